// The move-only drawing objects: one owner per handle, released exactly once, selections undone.
#include "Bitmap.h"
#include "Brush.h"
#include "ClientDC.h"
#include "Font.h"
#include "MemoryDC.h"
#include "Pen.h"
#include "SelectGuard.h"

#include <gtest/gtest.h>

#include <type_traits>

static_assert(!std::is_copy_constructible_v<CBrush> && !std::is_copy_assignable_v<CBrush>);
static_assert(std::is_nothrow_move_constructible_v<CBrush> && std::is_nothrow_move_assignable_v<CFont>);
static_assert(!std::is_copy_constructible_v<CMemoryDC> && !std::is_copy_constructible_v<CSelectGuard>);
static_assert(!std::is_copy_constructible_v<CClientDC> && std::is_nothrow_move_constructible_v<CClientDC>);

TEST(DrawingObjects, MovedHandleHasOneOwnerAndIsReleasedOnce)
{
    HBRUSH handle = nullptr;
    {
        CBrush first;
        ASSERT_TRUE(first.CreateSolidBrush(RGB(1, 2, 3)));
        handle = first;
        CBrush second(std::move(first));
        EXPECT_EQ(first.GetSafeHandle(), nullptr);
        EXPECT_EQ(second.GetSafeHandle(), handle);
        CBrush third;
        third.CreateSolidBrush(RGB(4, 5, 6));
        HBRUSH replaced = third;
        third = std::move(second);
        EXPECT_EQ(GetObjectType(replaced), 0u);  // the object it held before is released
        EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST(DrawingObjects, SelectionIsUndoneBeforeTheObjectGoes)
{
    CMemoryDC dc(nullptr);
    HGDIOBJ original = GetCurrentObject(dc, OBJ_PEN);
    {
        CPen pen;
        ASSERT_TRUE(pen.CreatePen(PS_SOLID, 1, RGB(9, 9, 9)));
        CSelectGuard select(dc, pen);
        EXPECT_TRUE(select.Selected());
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen.GetSafeHandle());
    }
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), original);
    CSelectGuard nothing(dc, nullptr);
    EXPECT_FALSE(nothing.Selected());
}

TEST(DrawingObjects, PointFontHeightIsTenthsOfAPointAtTheScreenResolution)
{
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(95, L"Arial"));
    LOGFONTW logFont = {};
    GetObjectW(font, sizeof logFont, &logFont);
    const int dpi = GetDeviceCaps(CClientDC(nullptr), LOGPIXELSY);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(95, dpi, 720));
    if (dpi == 96) {
        EXPECT_EQ(logFont.lfHeight, -13);
    }
}

TEST(DrawingObjects, EmptyBitmapHasNoSize)
{
    CBitmap bitmap;
    EXPECT_EQ(bitmap.GetSize().cx, 0);
    CMemoryDC dc(nullptr);
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(CClientDC(nullptr), 12, 7));
    EXPECT_EQ(bitmap.GetSize().cx, 12);
    EXPECT_EQ(bitmap.GetSize().cy, 7);
}
