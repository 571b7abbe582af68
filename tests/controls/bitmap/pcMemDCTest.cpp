#include <gtest/gtest.h>

#include "controls/bitmap/pcDibSection.h"
#include "controls/bitmap/pcMemDC.h"

namespace {

using ta::pcMemDC;

// The size of the bitmap selected into a device context.
SIZE SurfaceSize(HDC hdc) {
    BITMAP bm{};
    ::GetObjectW(::GetCurrentObject(hdc, OBJ_BITMAP), sizeof(bm), &bm);
    return {bm.bmWidth, bm.bmHeight};
}

TEST(pcMemDC, KeepsTheSurfaceAndItsPictureWhileARequestFits) {
    pcMemDC mem;
    HDC first = mem.hdc(100, 20);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SurfaceSize(first).cx, 100);
    EXPECT_EQ(SurfaceSize(first).cy, 20);
    HGDIOBJ bitmap = ::GetCurrentObject(first, OBJ_BITMAP);
    ::SetPixelV(first, 7, 3, RGB(200, 10, 20));

    EXPECT_EQ(mem.hdc(100, 20), first);
    EXPECT_EQ(mem.hdc(50, 10), first);
    EXPECT_EQ(::GetCurrentObject(first, OBJ_BITMAP), bitmap) << "created once";
    EXPECT_EQ(SurfaceSize(first).cx, 100) << "the surface never shrinks on its own";
    EXPECT_EQ(::GetPixel(first, 7, 3), RGB(200, 10, 20));
}

TEST(pcMemDC, GrowingEitherDimensionRecreatesAtExactlyTheRequestedSize) {
    pcMemDC mem;
    ASSERT_NE(mem.hdc(100, 20), nullptr);
    HDC taller = mem.hdc(50, 30);
    ASSERT_NE(taller, nullptr);
    EXPECT_EQ(SurfaceSize(taller).cx, 50) << "the width shrinks because the height grew";
    EXPECT_EQ(SurfaceSize(taller).cy, 30);
    HDC wider = mem.hdc(60, 5);
    EXPECT_EQ(SurfaceSize(wider).cx, 60);
    EXPECT_EQ(SurfaceSize(wider).cy, 5);
}

TEST(pcMemDC, DrawWithoutASourceSizeCopiesTheWholeSurface) {
    pcMemDC mem;
    HDC surface = mem.hdc(20, 10);
    ASSERT_NE(surface, nullptr);
    RECT all{0, 0, 20, 10};
    HBRUSH brush = ::CreateSolidBrush(RGB(0, 0, 255));
    ::FillRect(surface, &all, brush);
    ::DeleteObject(brush);

    ta::pcDibSection target;
    ASSERT_TRUE(target.Create(40, 30));
    mem.Draw(target.hdc(), 0, 0, 0, -5, 10, 10);
    ::GdiFlush();
    EXPECT_EQ(::GetPixel(target.hdc(), 10, 10), RGB(0, 0, 255));
    EXPECT_EQ(::GetPixel(target.hdc(), 29, 19), RGB(0, 0, 255));
    EXPECT_EQ(::GetPixel(target.hdc(), 30, 19), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(target.hdc(), 29, 20), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(target.hdc(), 9, 10), RGB(0, 0, 0));
}

}  // namespace
