// Stateless helpers on narrow (ANSI code page) paths.
//
// Paths are scanned by character, not by byte: in GBK the second byte of a double-byte
// character can be 0x5C, the backslash, so a byte scan would find separators that are not there.
#pragma once

#include <string>
#include <string_view>

// Offset of the character that follows the one starting at pos (a lead byte takes its trail byte along).
size_t NextCharOffset(std::string_view text, size_t pos);

// Offset of the first occurrence of needle that starts on a character boundary, or npos.
size_t FindAtCharBoundary(std::string_view text, std::string_view needle);

// True when the last character is a backslash or a forward slash.
bool EndsWithSeparator(std::string_view path);

// Empty stays empty; otherwise a backslash is appended unless the path already ends in a separator.
std::string EnsureTrailingSeparator(const std::string& path);

// True when something (a file or a folder) exists at the path; false for an empty path.
bool PathExists(const std::string& path);

// Splits at the last dot: base before it, extension from it on. Leaves both alone when there is no dot.
void SplitFileName(const std::string& name, std::string& base, std::string& extension);

// folder + name, or the first free numbered variant (base1.ext .. base99.ext); the 99th when all exist.
// folder must end in a separator. Empty when folder or name is empty.
std::string MakeUniqueFilePath(const std::string& folder, const std::string& name);
