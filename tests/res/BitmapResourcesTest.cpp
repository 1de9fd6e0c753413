// The skin bitmaps: sizes, depth, storage, language, the fixed colours and how the pieces fit together.
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>

namespace {

struct BitmapSize { int id; int width; int height; };

constexpr int kBackgroundW = 650, kBackgroundH = 360;
constexpr int kActionW = 140, kActionH = 39;
constexpr int kSmall = 12;
constexpr int kBrowseW = 43, kBrowseH = 30;
constexpr int kTipW = 307, kTipH = 185;
constexpr int kTipButtonW = 92, kTipButtonH = 26;

constexpr BitmapSize kBitmaps[] = {
    {IDB_DOWNLOAD_NORMAL, kActionW, kActionH}, {IDB_DOWNLOAD_HOVER, kActionW, kActionH},
    {IDB_DOWNLOAD_PRESSED, kActionW, kActionH}, {IDB_BG_READY, kBackgroundW, kBackgroundH},
    {IDB_MINIMIZE_NORMAL, kSmall, kSmall}, {IDB_MINIMIZE_PRESSED, kSmall, kSmall},
    {IDB_MINIMIZE_HOVER, kSmall, kSmall}, {IDB_CLOSE_NORMAL, kSmall, kSmall},
    {IDB_CLOSE_PRESSED, kSmall, kSmall}, {IDB_CLOSE_HOVER, kSmall, kSmall},
    {IDB_INSTALL_NORMAL, kActionW, kActionH}, {IDB_INSTALL_PRESSED, kActionW, kActionH},
    {IDB_INSTALL_HOVER, kActionW, kActionH}, {IDB_REDOWNLOAD_NORMAL, kActionW, kActionH},
    {IDB_REDOWNLOAD_PRESSED, kActionW, kActionH}, {IDB_REDOWNLOAD_HOVER, kActionW, kActionH},
    {IDB_BROWSE_NORMAL, kBrowseW, kBrowseH}, {IDB_BROWSE_PRESSED, kBrowseW, kBrowseH},
    {IDB_BROWSE_HOVER, kBrowseW, kBrowseH}, {IDB_BG_DOWNLOADING, kBackgroundW, kBackgroundH},
    {IDB_BG_DOWNLOAD_FAILED, kBackgroundW, kBackgroundH}, {IDB_BG_COMPLETED, kBackgroundW, kBackgroundH},
    {IDB_MINIMIZE_DARK_NORMAL, kSmall, kSmall}, {IDB_MINIMIZE_DARK_PRESSED, kSmall, kSmall},
    {IDB_MINIMIZE_DARK_HOVER, kSmall, kSmall}, {IDB_CLOSE_DARK_NORMAL, kSmall, kSmall},
    {IDB_CLOSE_DARK_PRESSED, kSmall, kSmall}, {IDB_CLOSE_DARK_HOVER, kSmall, kSmall},
    {IDB_BROWSE_DARK_NORMAL, kBrowseW, kBrowseH}, {IDB_BROWSE_DARK_PRESSED, kBrowseW, kBrowseH},
    {IDB_BROWSE_DARK_HOVER, kBrowseW, kBrowseH}, {IDB_BG_TIP, kTipW, kTipH},
    {IDB_TIP_CLOSE_NORMAL, kSmall, kSmall}, {IDB_TIP_CLOSE_PRESSED, kSmall, kSmall},
    {IDB_TIP_CLOSE_HOVER, kSmall, kSmall}, {IDB_TIP_OK_NORMAL, kTipButtonW, kTipButtonH},
    {IDB_TIP_OK_PRESSED, kTipButtonW, kTipButtonH}, {IDB_TIP_OK_HOVER, kTipButtonW, kTipButtonH},
    {IDB_TIP_CANCEL_NORMAL, kTipButtonW, kTipButtonH}, {IDB_TIP_CANCEL_PRESSED, kTipButtonW, kTipButtonH},
    {IDB_TIP_CANCEL_HOVER, kTipButtonW, kTipButtonH}, {IDB_BG_INSTALL_FAILED, kBackgroundW, kBackgroundH},
};

struct BitmapDeleter { void operator()(HBITMAP h) const { DeleteObject(h); } };

// A bitmap resource loaded as a DIB section, so its pixels keep the stored depth and can be read.
class CPixels {
public:
    explicit CPixels(int id)
        : m_hBitmap(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP,
                                                    0, 0, LR_CREATEDIBSECTION)))
    {
        if (!m_hBitmap || GetObjectW(m_hBitmap.get(), sizeof(m_dib), &m_dib) != sizeof(m_dib))
            m_dib = {};
    }
    bool Loaded() const { return m_dib.dsBm.bmBits != nullptr; }
    int Width() const { return m_dib.dsBm.bmWidth; }
    int Height() const { return m_dib.dsBm.bmHeight; }
    int BitsPerPixel() const { return m_dib.dsBm.bmBitsPixel; }
    COLORREF At(int x, int y) const
    {
        const int row = m_dib.dsBmih.biHeight > 0 ? Height() - 1 - y : y;
        const auto* p = static_cast<const BYTE*>(m_dib.dsBm.bmBits) + row * m_dib.dsBm.bmWidthBytes + x * 3;
        return RGB(p[2], p[1], p[0]);
    }

private:
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> m_hBitmap;
    DIBSECTION m_dib{};
};

::testing::AssertionResult ColourNear(COLORREF actual, COLORREF expected, int tolerance)
{
    const int d = std::abs(GetRValue(actual) - GetRValue(expected)) + std::abs(GetGValue(actual) - GetGValue(expected)) +
                  std::abs(GetBValue(actual) - GetBValue(expected));
    if (d <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour (" << int(GetRValue(actual)) << "," << int(GetGValue(actual)) << ","
                                         << int(GetBValue(actual)) << ") expected (" << int(GetRValue(expected)) << ","
                                         << int(GetGValue(expected)) << "," << int(GetBValue(expected)) << ")";
}

// Every pixel on the edge of `box` (inclusive) has the colour; names the first that has not.
::testing::AssertionResult EdgeIs(const CPixels& pixels, const RECT& box, COLORREF colour)
{
    for (int x = box.left; x <= box.right; ++x) {
        for (const int y : {box.top, box.bottom}) {
            if (pixels.At(x, y) != colour)
                return ::testing::AssertionFailure() << "edge pixel " << x << "," << y;
        }
    }
    for (int y = box.top; y <= box.bottom; ++y) {
        for (const int x : {box.left, box.right}) {
            if (pixels.At(x, y) != colour)
                return ::testing::AssertionFailure() << "edge pixel " << x << "," << y;
        }
    }
    return ::testing::AssertionSuccess();
}

// Every pixel in [left, right) x [top, bottom) has the colour; names the first that has not.
::testing::AssertionResult AreaIs(const CPixels& pixels, const RECT& area, COLORREF colour)
{
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (pixels.At(x, y) != colour)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(BitmapResources, EachLoadsWithItsSizeAt24BitsStoredBottomUpAndUncompressed)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    for (const BitmapSize& b : kBitmaps) {
        SCOPED_TRACE(b.id);
        const CPixels pixels(b.id);
        ASSERT_TRUE(pixels.Loaded());
        EXPECT_EQ(pixels.Width(), b.width);
        EXPECT_EQ(pixels.Height(), b.height);
        EXPECT_EQ(pixels.BitsPerPixel(), 24);

        const HRSRC found = FindResourceExW(module, RT_BITMAP, MAKEINTRESOURCEW(b.id),
                                            MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
        ASSERT_NE(found, nullptr);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
        EXPECT_EQ(header->biHeight, b.height) << "a positive height is a bottom-up bitmap";
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    }
    EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(133), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
}

TEST(BitmapResources, BackgroundsHaveTheirFrameAndTopBandColours)
{
    struct Row { int id; COLORREF frame; COLORREF band; };
    const Row rows[] = {
        {IDB_BG_READY, RGB(7, 178, 189), RGB(66, 47, 116)},
        {IDB_BG_DOWNLOADING, RGB(8, 176, 187), RGB(66, 47, 116)},
        {IDB_BG_DOWNLOAD_FAILED, RGB(8, 176, 187), RGB(61, 57, 73)},
        {IDB_BG_COMPLETED, RGB(8, 176, 187), RGB(66, 47, 116)},
        {IDB_BG_INSTALL_FAILED, RGB(8, 176, 187), RGB(61, 57, 73)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const CPixels bg(r.id);
        ASSERT_TRUE(bg.Loaded());
        EXPECT_TRUE(EdgeIs(bg, {0, 0, kBackgroundW - 1, kBackgroundH - 1}, r.frame));
        // Where the minimise (592, 20) and close (618, 20) buttons sit, with a margin.
        EXPECT_TRUE(AreaIs(bg, {588, 16, 634, 36}, r.band));
    }
}

TEST(BitmapResources, PathBoxFrameIsDrawnWhereTheBoxSits)
{
    struct Row { int id; COLORREF fill; COLORREF border; };
    const Row rows[] = {
        {IDB_BG_READY, RGB(57, 55, 125), RGB(168, 165, 216)},
        {IDB_BG_DOWNLOAD_FAILED, RGB(73, 73, 91), RGB(190, 190, 190)},
    };
    constexpr int kLeft = 158, kTop = 184, kRight = 488, kBottom = 213;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        const CPixels bg(r.id);
        EXPECT_TRUE(EdgeIs(bg, {kLeft, kTop, kRight, kBottom}, r.border));
        EXPECT_TRUE(AreaIs(bg, {kLeft + 1, kTop + 1, kRight, kBottom}, r.fill));
    }
}

TEST(BitmapResources, SmallAndBrowseButtonsHaveTheirFixedColours)
{
    struct Row { int first; COLORREF corner; COLORREF inside; };
    const Row rows[] = {
        {IDB_MINIMIZE_NORMAL, RGB(66, 47, 118), RGB(66, 47, 118)},
        {IDB_CLOSE_NORMAL, RGB(66, 47, 118), RGB(66, 47, 118)},
        {IDB_MINIMIZE_DARK_NORMAL, RGB(61, 57, 73), RGB(61, 57, 73)},
        {IDB_CLOSE_DARK_NORMAL, RGB(61, 57, 73), RGB(61, 57, 73)},
        {IDB_BROWSE_NORMAL, RGB(168, 165, 216), RGB(57, 55, 125)},
        {IDB_BROWSE_DARK_NORMAL, RGB(177, 176, 189), RGB(69, 68, 87)},
    };
    for (const Row& r : rows) {
        for (int id = r.first; id < r.first + 3; ++id) {
            SCOPED_TRACE(id);
            const CPixels button(id);
            ASSERT_TRUE(button.Loaded());
            const int w = button.Width(), h = button.Height();
            EXPECT_EQ(button.At(0, 0), r.corner);
            EXPECT_EQ(button.At(w - 1, 0), r.corner);
            EXPECT_EQ(button.At(0, h - 1), r.corner);
            EXPECT_EQ(button.At(w - 1, h - 1), r.corner);
            // One pixel in from the corner: the button's own fill (inside the browse frame).
            EXPECT_EQ(button.At(1, 1), r.inside);
            EXPECT_EQ(button.At(w - 2, h - 2), r.inside);
        }
    }
}

TEST(BitmapResources, ConfirmationRepeatsTheDownloadingSceneOutsideItsBox)
{
    constexpr int kOffsetX = 172, kOffsetY = 88;  // the confirmation centred on the 650 x 360 window
    constexpr RECT kBox = {38, 32, 268, 160};       // inclusive
    const CPixels tip(IDB_BG_TIP), scene(IDB_BG_DOWNLOADING);
    ASSERT_TRUE(tip.Loaded() && scene.Loaded());
    int inside = 0;
    for (int y = 0; y < kTipH; ++y) {
        for (int x = 0; x < kTipW; ++x) {
            if (x >= kBox.left && x <= kBox.right && y >= kBox.top && y <= kBox.bottom) {
                inside += tip.At(x, y) != scene.At(x + kOffsetX, y + kOffsetY);
                continue;
            }
            ASSERT_EQ(tip.At(x, y), scene.At(x + kOffsetX, y + kOffsetY)) << x << "," << y;
        }
    }
    EXPECT_GT(inside, (kBox.right - kBox.left) * (kBox.bottom - kBox.top) / 2) << "the box covers the scene";
}

// Buttons copy their whole image, so their corners must match what lies behind them on their window.
TEST(BitmapResources, ButtonCornersBlendWithTheBackgroundBehindThem)
{
    struct Row { int first; int background; POINT at; int tolerance; };
    const Row rows[] = {
        {IDB_DOWNLOAD_NORMAL, IDB_BG_READY, {255, 269}, 0},
        {IDB_INSTALL_NORMAL, IDB_BG_COMPLETED, {255, 269}, 0},
        {IDB_REDOWNLOAD_NORMAL, IDB_BG_DOWNLOAD_FAILED, {255, 269}, 0},
        {IDB_REDOWNLOAD_NORMAL, IDB_BG_INSTALL_FAILED, {255, 269}, 6},
        {IDB_MINIMIZE_NORMAL, IDB_BG_DOWNLOADING, {592, 20}, 2},
        {IDB_CLOSE_NORMAL, IDB_BG_COMPLETED, {618, 20}, 2},
        {IDB_MINIMIZE_DARK_NORMAL, IDB_BG_INSTALL_FAILED, {592, 20}, 0},
        {IDB_CLOSE_DARK_NORMAL, IDB_BG_DOWNLOAD_FAILED, {618, 20}, 0},
        {IDB_TIP_CLOSE_NORMAL, IDB_BG_TIP, {243, 46}, 0},
        {IDB_TIP_OK_NORMAL, IDB_BG_TIP, {58, 115}, 0},
        {IDB_TIP_CANCEL_NORMAL, IDB_BG_TIP, {156, 115}, 0},
    };
    for (const Row& r : rows) {
        const CPixels bg(r.background);
        for (int id = r.first; id < r.first + 3; ++id) {
            SCOPED_TRACE(::testing::Message() << id << " on " << r.background);
            const CPixels button(id);
            ASSERT_TRUE(button.Loaded() && bg.Loaded());
            const int w = button.Width(), h = button.Height();
            for (const POINT corner : {POINT{0, 0}, POINT{w - 1, 0}, POINT{0, h - 1}, POINT{w - 1, h - 1}})
                EXPECT_TRUE(ColourNear(button.At(corner.x, corner.y), bg.At(r.at.x + corner.x, r.at.y + corner.y),
                                       r.tolerance));
        }
    }
}
