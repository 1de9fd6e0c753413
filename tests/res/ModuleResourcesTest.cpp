// Strings, version block, manifest, icon and the language of every resource.
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

std::vector<WORD> LanguagesOf(LPCWSTR type, int id)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesW(GetModuleHandleW(nullptr), type, MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::string ResourceBytes(LPCWSTR type, int id, WORD language)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
    if (!found)
        return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
}

std::wstring LoadText(int id)
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return std::wstring(text ? text : L"", length);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

}  // namespace

TEST(ModuleResources, EveryResourceCarriesItsLanguage)
{
    struct Row { LPCWSTR type; int id; WORD language; };
    const Row rows[] = {
        {RT_DIALOG, IDD_ABOUTBOX, kChinese}, {RT_DIALOG, IDD_MAIN, kChinese}, {RT_DIALOG, IDD_TIP, kChinese},
        {RT_STRING, IDS_ABOUTBOX / 16 + 1, kChinese}, {RT_GROUP_ICON, IDR_MAINFRAME, kChinese},
        {RT_VERSION, VS_VERSION_INFO, kChinese}, {RT_MANIFEST, 1, kEnglish},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(reinterpret_cast<ULONG_PTR>(r.type) * 1000 + r.id);
        EXPECT_EQ(LanguagesOf(r.type, r.id), std::vector<WORD>{r.language});
    }
    for (int id = IDB_DOWNLOAD_NORMAL; id <= IDB_BG_INSTALL_FAILED; ++id) {
        if (id == 133)
            continue;  // not used
        EXPECT_EQ(LanguagesOf(RT_BITMAP, id), std::vector<WORD>{kChinese}) << id;
    }
}

TEST(ModuleResources, StringsHaveTheirExactTexts)
{
    EXPECT_EQ(LoadText(IDS_ABOUTBOX), L"关于 TarnvikHSDownloader(&A)...");
    EXPECT_EQ(LoadText(IDS_SOCKETS_INIT_FAILED), L"Windows 套接字初始化失败。");
}

TEST(ModuleResources, VersionBlockReadsBack104)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00040000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00040000u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04B0);

    struct Row { const wchar_t* name; const wchar_t* value; };
    const Row rows[] = {
        {L"CompanyName", L"TarnvikHSDownloader"}, {L"FileDescription", L"TarnvikHSDownloader"},
        {L"ProductName", L"TarnvikHSDownloader"}, {L"FileVersion", L"1.0.4"}, {L"ProductVersion", L"1.0.4"},
        {L"InternalName", L"TarnvikHSDownloader.exe"}, {L"OriginalFilename", L"TarnvikHSDownloader.exe"},
        {L"LegalCopyright", nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + r.name;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
        if (r.value)
            EXPECT_STREQ(value, r.value);
        else
            EXPECT_GT(wcslen(value), 0u);
    }
}

TEST(ModuleResources, ManifestAsksForCommonControls6AsInvokerAndDpiAware)
{
    const std::string manifest = ResourceBytes(RT_MANIFEST, 1, kEnglish);
    ASSERT_FALSE(manifest.empty());
    const std::string processor = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"";
    for (const std::string& part :
         {std::string("name=\"Microsoft.Windows.Common-Controls\""), std::string("version=\"6.0.0.0\""),
          std::string("type=\"win32\""), processor, std::string("publicKeyToken=\"6595b64144ccf1df\""),
          std::string("language=\"*\""), std::string("level=\"asInvoker\""), std::string("uiAccess=\"false\""),
          std::string(">true</dpiAware>")})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(ModuleResources, IconHoldsElevenImagesOfTheListedSizesAndDepths)
{
    const std::string group = ResourceBytes(RT_GROUP_ICON, IDR_MAINFRAME, kChinese);
    ASSERT_GE(group.size(), 6u);
    WORD header[3] = {};
    std::memcpy(header, group.data(), sizeof(header));
    EXPECT_EQ(header[1], 1) << "icon, not cursor";
    ASSERT_EQ(header[2], 11);
    ASSERT_EQ(group.size(), 6 + 11 * sizeof(GroupIconEntry));

    struct Row { int size; int bits; };
    const Row rows[] = {{48, 4}, {32, 4}, {16, 4}, {256, 8}, {48, 8}, {32, 8}, {16, 8}, {256, 32}, {48, 32}, {32, 32}, {16, 32}};
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        GroupIconEntry entry{};
        std::memcpy(&entry, group.data() + 6 + i * sizeof(entry), sizeof(entry));
        EXPECT_EQ(entry.width == 0 ? 256 : entry.width, rows[i].size);
        EXPECT_EQ(entry.height == 0 ? 256 : entry.height, rows[i].size);
        EXPECT_EQ(entry.bitCount, rows[i].bits);
        EXPECT_EQ(entry.planes, 1);
        const std::string image = ResourceBytes(RT_ICON, entry.id, kChinese);
        ASSERT_EQ(image.size(), entry.bytesInRes);
        const bool png = image.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
        EXPECT_EQ(png, rows[i].size == 256 && rows[i].bits == 32) << "only the 256 px 32-bit image is PNG";
        if (!png) {
            BITMAPINFOHEADER dib{};
            std::memcpy(&dib, image.data(), sizeof(dib));
            EXPECT_EQ(dib.biBitCount, rows[i].bits);
            EXPECT_EQ(dib.biWidth, rows[i].size);
        }
    }
    for (const int px : {16, 32, 48, 256}) {
        const HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, px, px, 0));
        EXPECT_NE(icon, nullptr) << px;
        DestroyIcon(icon);
    }
}
