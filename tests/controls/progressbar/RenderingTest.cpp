// The control's drawing, read back pixel by pixel from a 32-bit surface.
#include <gtest/gtest.h>
#include <windows.h>
#include <uxtheme.h>

#include <set>

#include "controls/progressbar/BarTestSupport.h"
#include "controls/progressbar/ucProgressBar.h"

namespace ta {
namespace {

using test::HostWindow;
using test::PixelSurface;

constexpr COLORREF kDarkBlue = RGB(0, 0, 128);

// The progress page's bar as the form stores it, at Value percent of 0..100.
void MakePageBar(ucProgressBar& bar, int32_t value) {
    bar.Segments(true);
    bar.Value(value);
}

TEST(ucProgressBarRendering, PageBarAtHalfShowsChunksAndGapsUpToItsEnd) {
    ucProgressBar bar;
    MakePageBar(bar, 50);
    PixelSurface s(425, 25);
    bar.DrawInto(s.dc(), 425, 25);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    for (int x = 1; x < 424; ++x) {
        // Chunks [1, 9), [11, 19), ..., [201, 209); gaps and the rest in the back colour.
        const bool chunk = x < 209 && (x - 1) % 10 < 8;
        EXPECT_EQ(s.At(x, 12), chunk ? kDarkBlue : face) << x;
    }
    for (int y = 1; y < 24; ++y) EXPECT_EQ(s.At(5, y), kDarkBlue) << y;
}

TEST(ucProgressBarRendering, FullPageBarLeavesTheLastPixelsToTheBackground) {
    ucProgressBar bar;
    MakePageBar(bar, 100);
    PixelSurface s(425, 25);
    bar.DrawInto(s.dc(), 425, 25);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(s.At(418, 12), kDarkBlue);
    for (int x = 419; x < 424; ++x) EXPECT_EQ(s.At(x, 12), face) << x;
}

TEST(ucProgressBarRendering, ThinSunkenBorderUsesShadowAndHighlight) {
    ucProgressBar bar;
    PixelSurface s(425, 25);
    bar.DrawInto(s.dc(), 425, 25);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(s.At(0, 0), shadow);
    EXPECT_EQ(s.At(424, 0), shadow);
    EXPECT_EQ(s.At(0, 24), shadow);
    EXPECT_EQ(s.At(0, 12), shadow);
    EXPECT_EQ(s.At(200, 0), shadow);
    EXPECT_EQ(s.At(424, 12), highlight);
    EXPECT_EQ(s.At(200, 24), highlight);
    EXPECT_EQ(s.At(424, 24), highlight);

    bar.BorderStyle(2);  // raised: the highlight goes top and left
    bar.DrawInto(s.dc(), 425, 25);
    EXPECT_EQ(s.At(0, 0), highlight);
    EXPECT_EQ(s.At(200, 0), highlight);
    EXPECT_EQ(s.At(424, 12), shadow);
    EXPECT_EQ(s.At(200, 24), shadow);
}

TEST(ucProgressBarRendering, FlatBorderIsBlackAndUnknownStylesDrawNone) {
    ucProgressBar bar;
    bar.BackColor(0xFFFFFF);
    bar.Appearance(0);
    PixelSurface s(60, 20);
    bar.DrawInto(s.dc(), 60, 20);
    EXPECT_EQ(s.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.At(59, 19), RGB(0, 0, 0));
    EXPECT_EQ(s.At(1, 1), RGB(255, 255, 255));

    bar.BorderStyle(3);
    bar.Value(100);
    bar.DrawInto(s.dc(), 60, 20);
    EXPECT_EQ(s.At(0, 0), RGB(255, 255, 255));  // inset, but no border
    EXPECT_EQ(s.At(1, 1), kDarkBlue);
}

TEST(ucProgressBarRendering, ValueOutsideTheRangeDrawsAnEmptyOrFullBar) {
    ucProgressBar bar;
    bar.BorderStyle(0);
    bar.BackColor(0xFFFFFF);
    PixelSurface s(100, 10);
    bar.Value(-20);
    bar.DrawInto(s.dc(), 100, 10);
    EXPECT_EQ(s.At(0, 5), RGB(255, 255, 255));
    bar.Value(500);
    bar.DrawInto(s.dc(), 100, 10);
    EXPECT_EQ(s.At(0, 5), kDarkBlue);
    EXPECT_EQ(s.At(99, 5), kDarkBlue);
    bar.Min(40);
    bar.Max(40);
    bar.Value(40);
    bar.DrawInto(s.dc(), 100, 10);
    EXPECT_EQ(s.At(0, 5), RGB(255, 255, 255));
    bar.Value(41);
    bar.DrawInto(s.dc(), 100, 10);
    EXPECT_EQ(s.At(99, 5), kDarkBlue);
}

TEST(ucProgressBarRendering, VerticalBarGrowsFromTheBottom) {
    ucProgressBar bar;
    bar.BorderStyle(0);
    bar.BackColor(0xFFFFFF);
    bar.Value(25);
    PixelSurface s(25, 200);
    bar.DrawInto(s.dc(), 25, 200);
    EXPECT_EQ(s.At(12, 149), RGB(255, 255, 255));
    EXPECT_EQ(s.At(12, 150), kDarkBlue);
    EXPECT_EQ(s.At(0, 199), kDarkBlue);
}

TEST(ucProgressBarRendering, CaptionTakesTheBarColourOnlyOverTheBar) {
    ucProgressBar bar;
    bar.BorderStyle(0);
    bar.BackColor(0xFFFFFF);
    bar.BarColor(0x000000);
    bar.ForeColor(0x0000FF);     // red
    bar.BarForeColor(0x00FF00);  // green
    bar.Font(MakeFont({L"Tahoma", 18, 700, 0}));
    bar.Text(L"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH");
    bar.ShowText(true);
    bar.Value(50);
    PixelSurface s(400, 40);
    bar.DrawInto(s.dc(), 400, 40);
    int red = 0;
    int green = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 400; ++x) {
            const COLORREF c = s.At(x, y);
            if (x < 200) {
                EXPECT_NE(c, RGB(255, 0, 0)) << x << "," << y;
                EXPECT_NE(c, RGB(255, 255, 255)) << x << "," << y;
                green += c == RGB(0, 255, 0);
            } else {
                EXPECT_NE(c, RGB(0, 255, 0)) << x << "," << y;
                EXPECT_NE(c, RGB(0, 0, 0)) << x << "," << y;
                red += c == RGB(255, 0, 0);
            }
        }
    }
    EXPECT_GT(green, 50);
    EXPECT_GT(red, 50);

    bar.Text(L"");  // shown, but empty: no caption at all
    bar.DrawInto(s.dc(), 400, 40);
    std::set<COLORREF> colours;
    for (int x = 0; x < 400; ++x) colours.insert(s.At(x, 20));
    EXPECT_EQ(colours, (std::set<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}));
}

TEST(ucProgressBarRendering, TiledPicturesAreAnchoredToTheOrigin) {
    const std::vector<uint32_t> back{0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060};
    const std::vector<uint32_t> front{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    const auto colour = [](uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); };
    ucProgressBar bar;
    bar.Picture(MakePicture(3, 2, back));
    bar.BarPicture(MakePicture(3, 2, front));
    bar.BorderStyle(3);  // inset by 1 without a border line, so the bar starts at (1, 1)
    bar.Value(50);
    PixelSurface s(41, 9);
    bar.DrawInto(s.dc(), 41, 9);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 41; ++x) {
            const bool inBar = x >= 1 && x < 20 && y >= 1 && y < 8;  // 1 + 39 × 0.5 = 20.5 → 20
            const auto& source = inBar ? front : back;
            EXPECT_EQ(s.At(x, y), colour(source[(y % 2) * 3 + x % 3])) << x << "," << y;
        }
    }
}

TEST(ucProgressBarRendering, StretchedBackgroundAndXpStyleWithAPictureStayClassic) {
    ucProgressBar bar;
    bar.Picture(MakePicture(1, 1, {0x00FF00}));
    bar.BackPictureMode(0);
    bar.XpStyle(true);
    bar.Segments(true);
    bar.Value(50);
    PixelSurface s(100, 20);
    bar.DrawInto(s.dc(), 100, 20);
    EXPECT_EQ(s.At(0, 0), ::GetSysColor(COLOR_BTNSHADOW));  // classic border
    EXPECT_EQ(s.At(80, 10), RGB(0, 255, 0));                // stretched picture
    EXPECT_EQ(s.At(5, 10), kDarkBlue);
    EXPECT_EQ(s.At(9, 10), ::GetSysColor(COLOR_BTNFACE));  // a classic gap in the back colour
}

TEST(ucProgressBarRendering, ADrawHandlerCanTakeOverThePaint) {
    ucProgressBar bar;
    bar.OnDraw([](HDC hdc, int32_t, int32_t, int32_t width, int32_t height, bool& doDefault) {
        const RECT all{0, 0, width, height};
        ::FillRect(hdc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        doDefault = false;
    });
    bar.Value(100);
    PixelSurface s(50, 10);
    bar.DrawInto(s.dc(), 50, 10);
    EXPECT_EQ(s.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.At(25, 5), RGB(0, 0, 0));
}

TEST(ucProgressBarRendering, EveryAssignmentReachesTheWindow) {
    HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 0, 0, 425, 25, 1));
    ASSERT_TRUE(bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1"));
    const auto pixel = [&](int x, int y) {
        WindowDC screen(bar.hWnd());
        return ::GetPixel(screen.get(), x, y);
    };
    bar.Value(50);
    EXPECT_EQ(pixel(5, 12), kDarkBlue);
    EXPECT_EQ(pixel(9, 12), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(pixel(305, 12), ::GetSysColor(COLOR_BTNFACE));
    bar.Value(100);
    EXPECT_EQ(pixel(305, 12), kDarkBlue);
}

}  // namespace
}  // namespace ta

namespace ta {
namespace {

std::vector<COLORREF> BarPixels(ucProgressBar& bar) {
    test::PixelSurface s(8, 4);
    bar.DrawInto(s.dc(), 8, 4);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) pixels.push_back(s.At(x, y));
    return pixels;
}

TEST(ucProgressBarRendering, ModifyingThePictureTwiceEqualsOnceAndKeepsThePicture) {
    ucProgressBar bar;
    const PictureRef picture = MakePicture(2, 2, {0xC04020, 0x20C040, 0x4020C0, 0x808080});
    bar.BarPicture(picture);
    bar.BorderStyle(0);
    bar.Value(100);
    const std::vector<COLORREF> original = BarPixels(bar);

    bar.ModifyBarPicture(0.5, 1);
    const std::vector<COLORREF> once = BarPixels(bar);
    bar.ModifyBarPicture(0.5, 1);
    EXPECT_EQ(BarPixels(bar), once);
    EXPECT_NE(once, original);
    EXPECT_EQ(PicturePixels(bar.BarPicture().get()), PicturePixels(picture.get()));  // the picture is untouched

    bar.ModifyPicture(0.5, 1);  // no background picture: nothing happens
    EXPECT_EQ(BarPixels(bar), once);
    bar.BarPicture(picture);  // assigning again shows the picture as it is
    EXPECT_EQ(BarPixels(bar), original);
}

}  // namespace
}  // namespace ta

namespace ta {
namespace {

// Wine's visual style is taken: the style draws track and chunks, the classic border is not drawn.
TEST(ucProgressBarRendering, XpStyleDrawsThroughTheVisualStyleWhenOneIsActive) {
    test::HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 0, 0, 200, 20, 1));
    const HTHEME theme = ::OpenThemeData(bar.hWnd(), L"Progress");
    if (!theme) GTEST_SKIP() << "no visual style here";
    ::CloseThemeData(theme);
    bar.XpStyle(true);
    bar.Segments(true);
    bar.BackColor(0x00FF00);
    bar.BarColor(0x0000FF);
    test::PixelSurface empty(200, 20);
    bar.DrawInto(empty.dc(), 200, 20);
    bar.Value(100);
    test::PixelSurface full(200, 20);
    bar.DrawInto(full.dc(), 200, 20);
    int changed = 0;
    for (int x = 0; x < 200; ++x) {
        for (int y = 0; y < 20; ++y) {
            // Neither the back colour nor the bar colour is used by the style.
            EXPECT_NE(full.At(x, y), RGB(0, 255, 0));
            EXPECT_NE(full.At(x, y), RGB(255, 0, 0));
            changed += full.At(x, y) != empty.At(x, y);
        }
    }
    EXPECT_GT(changed, 1000);  // the chunks cover the track
}

}  // namespace
}  // namespace ta

namespace ta {
namespace {

TEST(ucProgressBarRendering, ADrawHandlerThatAssignsAPropertyPaintsOnce) {
    test::HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 0, 0, 100, 20, 1));
    bar.BorderStyle(0);
    int draws = 0;
    bar.OnDraw([&](HDC, int32_t, int32_t, int32_t, int32_t, bool&) {
        ++draws;
        bar.Value(100);
    });
    test::PixelSurface s(100, 20);
    bar.DrawInto(s.dc(), 100, 20);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(s.At(99, 10), RGB(0, 0, 128));
}

}  // namespace
}  // namespace ta
