// Conversion between narrow text in the process's ANSI code page and wide UTF-16 text.
#pragma once

#include <string>

// Both stop at the first NUL of their input and give empty text when the converter fails.
// Characters the target cannot represent become the code page's default character, never a best-fit
// look-alike.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// WideToAnsi into the given code page rather than the process's.
std::string WideToCodePage(const std::wstring& text, unsigned int nCodePage);
