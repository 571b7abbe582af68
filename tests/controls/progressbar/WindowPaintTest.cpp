// The window always shows what a fresh composition draws, also when a paint reuses the surface
// of the one before: after small and large moves of the bar, a move of the control, a picture
// adjusted in place, a font changed through its own object, and a Draw handler that comes and goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "controls/progressbar/BarTestSupport.h"
#include "controls/progressbar/ucProgressBar.h"

namespace ta {
namespace {

using test::HostWindow;
using test::PixelSurface;

constexpr int kWidth = 425;
constexpr int kHeight = 25;

std::vector<COLORREF> Pixels(const PixelSurface& s) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) pixels.push_back(s.At(x, y));
    return pixels;
}

// What the control's window shows now.
std::vector<COLORREF> WindowPixels(const ucProgressBar& bar) {
    PixelSurface s(kWidth, kHeight);
    WindowDC screen(bar.hWnd());
    ::BitBlt(s.dc(), 0, 0, kWidth, kHeight, screen.get(), 0, 0, SRCCOPY);
    return Pixels(s);
}

// What a composition from scratch draws.
std::vector<COLORREF> ComposedPixels(ucProgressBar& bar) {
    PixelSurface s(kWidth, kHeight);
    bar.DrawInto(s.dc(), kWidth, kHeight);
    return Pixels(s);
}

class WindowPaint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bar.Create(page.get(), 0, 0, kWidth, kHeight, 1));
        ASSERT_TRUE(bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1"));
        bar.Max(1000);
    }
    HostWindow page;
    ucProgressBar bar;
};

TEST_F(WindowPaint, MovesWithinAndAcrossSegmentsShowTheComposition) {
    for (int value : {0, 1, 7, 8, 23, 24, 500, 499, 1000, 3, 3}) {
        bar.Value(value);
        EXPECT_EQ(WindowPixels(bar), ComposedPixels(bar)) << value;
    }
    bar.BackColor(0x00FFFF);  // the same bar, other colours
    EXPECT_EQ(WindowPixels(bar), ComposedPixels(bar));
    bar.Segments(false);
    bar.Value(4);
    EXPECT_EQ(WindowPixels(bar), ComposedPixels(bar));
}

TEST_F(WindowPaint, AMovedControlPaintsAtItsNewPlace) {
    bar.Value(1000);
    const std::vector<COLORREF> full = WindowPixels(bar);
    ::SetWindowPos(bar.hWnd(), nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT all{0, 0, 500, 300};
    WindowDC pageDC(page.get());
    ::FillRect(pageDC.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    bar.Value(1000);
    PixelSurface s(kWidth, kHeight);
    ::BitBlt(s.dc(), 0, 0, kWidth, kHeight, pageDC.get(), 30, 40, SRCCOPY);
    EXPECT_EQ(Pixels(s), full);
}

TEST_F(WindowPaint, APictureAdjustedInPlaceShowsAtTheNextPaint) {
    bar.BarPicture(MakePicture(2, 2, {0xC04020, 0x20C040, 0x4020C0, 0x808080}));
    bar.Value(1000);
    const std::vector<COLORREF> before = WindowPixels(bar);
    bar.ModifyBarPicture(0.5, 1);
    bar.Value(1000);
    EXPECT_NE(WindowPixels(bar), before);
    EXPECT_EQ(WindowPixels(bar), ComposedPixels(bar));
}

TEST_F(WindowPaint, AFontChangedThroughItsObjectShowsAtTheNextPaint) {
    bar.Font(MakeFont({L"Tahoma", 10, 400, 0}));
    bar.Text(L"HHHH");
    bar.ShowText(true);
    bar.Value(500);
    const std::vector<COLORREF> before = WindowPixels(bar);
    CY size{};
    size.int64 = 16 * 10000;
    ASSERT_EQ(bar.Font()->put_Size(size), S_OK);
    bar.Value(500);
    EXPECT_NE(WindowPixels(bar), before);
    EXPECT_EQ(WindowPixels(bar), ComposedPixels(bar));
}

TEST_F(WindowPaint, TheControlPaintsAgainOnceADrawHandlerIsGone) {
    bar.Value(500);
    const std::vector<COLORREF> own = WindowPixels(bar);
    bar.OnDraw([](HDC hdc, int32_t, int32_t, int32_t width, int32_t height, bool& doDefault) {
        const RECT all{0, 0, width, height};
        ::FillRect(hdc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        doDefault = false;
    });
    bar.Value(500);
    EXPECT_NE(WindowPixels(bar), own);
    bar.OnDraw(nullptr);
    bar.Value(500);
    EXPECT_EQ(WindowPixels(bar), own);
}

}  // namespace
}  // namespace ta
