// Narrow (code page 936) and wide text conversion.
#include "TextConversion.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(TextConversion, RunsUnderCodePage936)
{
    ASSERT_EQ(GetACP(), 936u) << "the tests expect the ANSI code page GBK";
}

TEST(TextConversion, GbkFolderSurvivesRoundTrip)
{
    const std::wstring folder = L"C:\\用户\\下载目录\\誠";
    const std::string narrow = WideToAnsi(folder);
    EXPECT_EQ(narrow, "C:\\用户\\下载目录\\誠");  // literal stored as GBK by the compiler
    EXPECT_EQ(AnsiToWide(narrow), folder);
}

TEST(TextConversion, EmptyAndEmbeddedNul)
{
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
}

// Per code page: what cannot be written becomes "?", never a look-alike; UTF-8 and UTF-7 write everything (the
// flags must suit each page: Windows fails the whole text for a flag its page does not take).
TEST(TextConversion, CharacterOutsideCodePageBecomesQuestionMarkNeverALookAlike)
{
    const struct {
        unsigned int nCodePage;
        const wchar_t* pszWide;
        const char* pszNarrow;
    } rows[] = {
        {936, L"D:\\dl\\\u0e01t\u0e01", "D:\\dl\\?t?"},  // no mapping at all
        {936, L"D:\\dl\\v\u00b2", "D:\\dl\\v?"},          // superscript two: best fit would give "v2"
        {936, L"D:\\dl\\\u00c0", "D:\\dl\\?"},            // A with grave: best fit would give GBK's small a with grave
        {1252, L"D:\\dl\\\u0109\u00c0", "D:\\dl\\?\xc0"},  // c with circumflex: best fit would give "c"
        {65001, L"D:\\dl\\v\u00b2", "D:\\dl\\v\xc2\xb2"},
        {65001, L"D:\\dl\\\xd800", ""},                      // an unpaired surrogate: refused, not U+FFFD
        {65000, L"v\u00b2", "v+ALI-"},  // UTF-7 takes no flags (nor does GB18030, which Wine lacks)
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WideToCodePage(row.pszWide, row.nCodePage), row.pszNarrow)
            << row.nCodePage << " " << testing::PrintToString(std::wstring(row.pszWide));
    }
    EXPECT_EQ(WideToAnsi(L"D:\\dl\\v\u00b2"), "D:\\dl\\v?");
}
