// Conversion between narrow text in the process's ANSI code page and wide UTF-16 text.
#include "TextConversion.h"

#include <windows.h>

#include <vector>

std::wstring AnsiToWide(const std::string& text)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(units) + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), units);
    return buffer.data();
}

std::string WideToAnsi(const std::wstring& text)
{
    // No best fit: a character outside the code page must not turn into a look-alike (a folder "café" into an
    // existing "cafe"); it becomes the default character, which no path check accepts.
    constexpr DWORD kFlags = WC_NO_BEST_FIT_CHARS;
    const int bytes = WideCharToMultiByte(CP_ACP, kFlags, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(bytes) + 1, '\0');
    WideCharToMultiByte(CP_ACP, kFlags, text.c_str(), -1, buffer.data(), bytes, nullptr, nullptr);
    buffer[static_cast<size_t>(bytes) - 1] = '\0';
    return buffer.data();
}
