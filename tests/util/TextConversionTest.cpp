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

TEST(TextConversion, CharacterOutsideCodePageBecomesQuestionMarkNeverALookAlike)
{
    const struct {
        const wchar_t* pszWide;
        const char* pszNarrow;
    } rows[] = {
        {L"D:\\dl\\\u0e01t\u0e01", "D:\\dl\\?t?"},  // no mapping at all
        {L"D:\\dl\\v\u00b2", "D:\\dl\\v?"},          // superscript two: best fit would give "v2"
        {L"D:\\dl\\\u00c0", "D:\\dl\\?"},            // A with grave: best fit would give GBK's small a with grave
    };
    for (const auto& row : rows)
        EXPECT_EQ(WideToAnsi(row.pszWide), row.pszNarrow) << testing::PrintToString(std::wstring(row.pszWide));
}
