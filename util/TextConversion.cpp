// Conversion between narrow text in the process's ANSI code page and wide UTF-16 text.
#include "TextConversion.h"

#include <windows.h>

#include <vector>

namespace {

// No best fit: a character outside the code page must not turn into a look-alike (a folder "café" into an
// existing "cafe"); it becomes the default character, which no path check accepts. WideCharToMultiByte takes that
// flag only where a code page takes flags at all: UTF-8 takes only WC_ERR_INVALID_CHARS (an unpaired surrogate
// then fails the text instead of becoming U+FFFD), and the pages below take none. Any other flag fails with
// ERROR_INVALID_FLAGS, which would refuse every folder on a system set to UTF-8.
DWORD WideToMultiByteFlags(UINT nCodePage)
{
    if (nCodePage == CP_UTF8)
        return WC_ERR_INVALID_CHARS;
    const bool bTakesNoFlags = nCodePage == 42 || nCodePage == 52936 || nCodePage == 54936 || nCodePage == CP_UTF7 ||
                               (nCodePage >= 50220 && nCodePage <= 50229) || (nCodePage >= 57002 && nCodePage <= 57011);
    return bTakesNoFlags ? 0 : WC_NO_BEST_FIT_CHARS;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), units) != units)
        return {};
    return buffer.data();
}

std::string WideToCodePage(const std::wstring& text, unsigned int nCodePage)
{
    const DWORD dwFlags = WideToMultiByteFlags(nCodePage);
    const int bytes = WideCharToMultiByte(nCodePage, dwFlags, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(nCodePage, dwFlags, text.c_str(), -1, buffer.data(), bytes, nullptr, nullptr) != bytes)
        return {};
    return buffer.data();
}

std::string WideToAnsi(const std::wstring& text)
{
    return WideToCodePage(text, GetACP());
}
