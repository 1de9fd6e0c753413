// Stateless helpers on narrow (ANSI code page) paths.
#include "PathHelpers.h"

#include <windows.h>

#include <io.h>

#include <cstdio>

namespace {
constexpr int kMaxNumberedName = 99;
}

size_t NextCharOffset(std::string_view text, size_t pos)
{
    if (pos >= text.size())
        return text.size();
    const bool lead = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[pos])) != FALSE;
    return (lead && pos + 1 < text.size()) ? pos + 2 : pos + 1;
}

size_t FindAtCharBoundary(std::string_view text, std::string_view needle)
{
    for (size_t pos = 0; pos < text.size(); pos = NextCharOffset(text, pos)) {
        if (text.substr(pos, needle.size()) == needle)
            return pos;
    }
    return std::string_view::npos;
}

bool EndsWithSeparator(std::string_view path)
{
    size_t last = std::string_view::npos;
    for (size_t pos = 0; pos < path.size(); pos = NextCharOffset(path, pos))
        last = pos;
    if (last == std::string_view::npos || last + 1 != path.size())
        return false;
    return path[last] == '\\' || path[last] == '/';
}

std::string EnsureTrailingSeparator(const std::string& path)
{
    if (path.empty() || EndsWithSeparator(path))
        return path;
    return path + '\\';
}

bool PathExists(const std::string& path)
{
    return !path.empty() && _access(path.c_str(), 0) == 0;
}

void SplitFileName(const std::string& name, std::string& base, std::string& extension)
{
    const size_t dot = name.rfind('.');  // 0x2E is never a GBK trail byte
    if (name.empty() || dot == std::string::npos)
        return;
    base = name.substr(0, dot);
    extension = name.substr(dot);
}

std::string MakeUniqueFilePath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || name.empty())
        return {};
    std::string path = folder + name;
    if (!PathExists(path))
        return path;

    std::string base, extension;
    SplitFileName(name, base, extension);
    for (int i = 1; i <= kMaxNumberedName; ++i) {
        char number[20] = {};
        sprintf_s(number, sizeof number, "%d", i);
        path = folder + base + number + extension;
        if (!PathExists(path))
            return path;
    }
    return path;  // all taken: the last candidate is overwritten
}
