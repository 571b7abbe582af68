// The control's state: new values, Percent, setters, notifications and the stored property set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/progressbar/BarTestSupport.h"
#include "controls/progressbar/ucProgressBar.h"
#include "platform/AppError.h"

namespace ta {
namespace {

using test::HostWindow;

ErrorNumber PercentError(const ucProgressBar& bar) {
    try {
        (void)bar.Percent();
    } catch (const AppError& e) {
        return e.number();
    }
    ADD_FAILURE() << "Percent did not fail";
    return ErrorNumber::FileAccess;
}

TEST(ucProgressBar, NewControlHasItsInitialValues) {
    ucProgressBar bar;
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(bar.Percent(), 0.0);
    EXPECT_EQ(bar.BarColor(), 0x800000u);
    EXPECT_EQ(bar.BarForeColor(), 0xFFFFFFu);
    EXPECT_EQ(bar.ForeColor(), 0u);  // not the stored default
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.Appearance(), 1);
    EXPECT_EQ(bar.BorderStyle(), 1);
    EXPECT_EQ(bar.BarPictureMode(), 1);
    EXPECT_EQ(bar.BackPictureMode(), 1);
    EXPECT_EQ(bar.TextAlignX(), 1);
    EXPECT_EQ(bar.TextAlignY(), 1);
    EXPECT_FALSE(bar.Segments() || bar.XpStyle() || bar.ShowText());
    EXPECT_TRUE(bar.Text().empty());
    EXPECT_FALSE(bar.Picture() || bar.BarPicture());
    ASSERT_TRUE(bar.Font());
}

TEST(ucProgressBar, PercentIsLimitedAndFailsOnAnEmptyOrHugeRange) {
    ucProgressBar bar;
    bar.Value(150);
    EXPECT_EQ(bar.Value(), 150);  // stored as given
    EXPECT_DOUBLE_EQ(bar.Percent(), 100.0);
    bar.Value(-5);
    EXPECT_DOUBLE_EQ(bar.Percent(), 0.0);

    bar.Min(100);
    bar.Max(0);
    bar.Value(25);
    EXPECT_DOUBLE_EQ(bar.Percent(), 75.0);

    bar.Max(100);
    EXPECT_EQ(PercentError(bar), ErrorNumber::DivisionByZero);
    EXPECT_EQ(bar.Min(), 100);
    EXPECT_EQ(bar.Value(), 25);

    bar.Min(-2);
    bar.Max(INT32_MAX);
    EXPECT_EQ(PercentError(bar), ErrorNumber::Overflow);
}

TEST(ucProgressBar, EveryAssignmentStoresRepaintsAndNotifiesInThatOrder) {
    HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 10, 10, 425, 25, 1));
    std::vector<std::wstring> events;
    bar.OnDraw([&](HDC hdc, int32_t left, int32_t top, int32_t width, int32_t height, bool& doDefault) {
        EXPECT_NE(hdc, nullptr);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(top, 0);
        EXPECT_EQ(width, 425);
        EXPECT_EQ(height, 25);
        EXPECT_TRUE(doDefault);
        events.push_back(L"draw " + std::to_wstring(bar.Value()));
    });
    bar.OnPropertyChanged([&](std::wstring_view name) { events.push_back(std::wstring(name)); });

    bar.Value(40);
    bar.Value(40);
    EXPECT_EQ(events, (std::vector<std::wstring>{L"draw 40", L"Value", L"draw 40", L"Value"}));

    events.clear();
    bar.BackColor(0x00FF00);
    bar.Font(MakeFont({L"Tahoma", 12, 700, 0}));
    EXPECT_EQ(events, (std::vector<std::wstring>{L"draw 40", L"BackColor", L"draw 40", L"Font"}));
}

TEST(ucProgressBar, AssigningEitherPictureNotifiesBothNames) {
    HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 0, 0, 100, 20, 1));
    std::vector<std::wstring> names;
    bar.OnPropertyChanged([&](std::wstring_view name) { names.emplace_back(name); });
    const PictureRef picture = MakePicture(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    bar.Picture(picture);
    bar.BarPicture(picture);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Picture", L"BarPicture", L"Picture", L"BarPicture"}));
    EXPECT_EQ(bar.Picture().get(), picture.get());
    bar.Picture(nullptr);
    EXPECT_FALSE(bar.Picture());
    EXPECT_EQ(bar.BarPicture().get(), picture.get());
}

TEST(ucProgressBar, AHandlerFailureReachesTheSetterAfterTheValueIsStored) {
    ucProgressBar bar;
    bar.OnPropertyChanged([](std::wstring_view) { throw AppError(ErrorNumber::CannotPerform, L"host", L""); });
    EXPECT_THROW(bar.Max(7), AppError);
    EXPECT_EQ(bar.Max(), 7);
}

// Sets every one of the twenty properties away from its default.
void SetEverything(ucProgressBar& bar) {
    bar.Picture(MakePicture(2, 1, {0x123456, 0xABCDEF}));
    bar.BackColor(0x00102030);
    bar.ForeColor(0x00405060);
    bar.Appearance(2);
    bar.BorderStyle(2);
    bar.BarColor(0x8000000D);
    bar.BarForeColor(0x00010203);
    bar.BarPicture(MakePicture(1, 2, {0xFF0000, 0x00FF00}));
    bar.BarPictureMode(0);
    bar.BackPictureMode(5);
    bar.Min(-10);
    bar.Max(1000);
    bar.Value(333);
    bar.ShowText(true);
    bar.TextAlignX(2);
    bar.TextAlignY(0);
    bar.Text(L"지우는 중 \"50%\"");
    bar.Font(MakeFont({L"Tahoma", 10.5, 700, 0, true, false, true}));
    bar.Segments(true);
    bar.XpStyle(true);
}

void ExpectSameProperties(const ucProgressBar& a, const ucProgressBar& b) {
    EXPECT_EQ(PicturePixels(a.Picture().get()), PicturePixels(b.Picture().get()));
    EXPECT_EQ(a.BackColor(), b.BackColor());
    EXPECT_EQ(a.ForeColor(), b.ForeColor());
    EXPECT_EQ(a.Appearance(), b.Appearance());
    EXPECT_EQ(a.BorderStyle(), b.BorderStyle());
    EXPECT_EQ(a.BarColor(), b.BarColor());
    EXPECT_EQ(a.BarForeColor(), b.BarForeColor());
    EXPECT_EQ(PicturePixels(a.BarPicture().get()), PicturePixels(b.BarPicture().get()));
    EXPECT_EQ(a.BarPictureMode(), b.BarPictureMode());
    EXPECT_EQ(a.BackPictureMode(), b.BackPictureMode());
    EXPECT_EQ(a.Min(), b.Min());
    EXPECT_EQ(a.Max(), b.Max());
    EXPECT_EQ(a.Value(), b.Value());
    EXPECT_EQ(a.ShowText(), b.ShowText());
    EXPECT_EQ(a.TextAlignX(), b.TextAlignX());
    EXPECT_EQ(a.TextAlignY(), b.TextAlignY());
    EXPECT_EQ(a.Text(), b.Text());
    EXPECT_EQ(DescribeFont(a.Font().get()), DescribeFont(b.Font().get()));
    EXPECT_EQ(a.Segments(), b.Segments());
    EXPECT_EQ(a.XpStyle(), b.XpStyle());
}

TEST(ucProgressBar, WrittenPropertiesReadBackTheSame) {
    HostWindow page;
    ucProgressBar original;
    ASSERT_TRUE(original.Create(page.get(), 0, 0, 200, 30, 1));
    SetEverything(original);
    PropertyBag bag;
    original.WriteProperties(bag);
    ASSERT_EQ(bag.Entries().size(), 20u);

    ucProgressBar copy;
    ASSERT_TRUE(copy.Create(page.get(), 0, 40, 200, 30, 2));
    std::vector<std::wstring> names;
    copy.OnPropertyChanged([&](std::wstring_view name) { names.emplace_back(name); });
    copy.ReadProperties(bag);
    ExpectSameProperties(original, copy);
    // Every key goes through its setter; the two pictures each notify both names.
    EXPECT_EQ(names.size(), 22u);

    // And through the stored text form.
    ucProgressBar fromText;
    fromText.ReadProperties(PropertyBag::FromText(bag.ToText()));
    ExpectSameProperties(original, fromText);
}

TEST(ucProgressBar, DefaultsAreLeftOutWhenWritten) {
    ucProgressBar bar;
    PropertyBag bag;
    bar.WriteProperties(bag);
    // The pictures and the font have no default; ForeColor 0 differs from the stored default.
    std::vector<std::wstring> keys;
    for (const auto& entry : bag.Entries()) keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"Picture", L"ForeColor", L"BarPicture", L"Font"}));
}

TEST(ucProgressBar, ASetHoldingOnlySegmentsRestoresTheDefaults) {
    ucProgressBar bar;
    const FontRef hostFont = MakeFont({L"Tahoma", 11, 400, 0});
    bar.Font(hostFont);
    bar.Max(5);
    const PropertyBag bag = PropertyBag::FromText(L"SEGMENTS = Integer -1\n");
    bar.ReadProperties(bag);
    EXPECT_TRUE(bar.Segments());
    EXPECT_EQ(bar.ForeColor(), 0x80000008u);
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.BorderStyle(), 1);
    EXPECT_FALSE(bar.XpStyle());
    EXPECT_FALSE(bar.Picture());
    EXPECT_EQ(bar.Font().get(), hostFont.get());  // the host's current font
}

TEST(ucProgressBar, TheProgressPageStoresASegmentedBarInThePageFont) {
    HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 8, 8, 100, 100, 1));
    ASSERT_TRUE(bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1"));
    RECT client{};
    ::GetClientRect(bar.hWnd(), &client);
    EXPECT_EQ(client.right, 425);  // 11245 × 661 HIMETRIC
    EXPECT_EQ(client.bottom, 25);
    EXPECT_TRUE(bar.Segments());
    EXPECT_EQ(bar.ForeColor(), 0x80000008u);
    EXPECT_EQ(bar.BarColor(), 0x800000u);
    EXPECT_EQ(bar.Appearance(), 1);
    EXPECT_EQ(bar.BorderStyle(), 1);
    EXPECT_FALSE(bar.ShowText());
    EXPECT_EQ(PictureHandle(bar.Picture().get()), nullptr);
    EXPECT_EQ(PictureHandle(bar.BarPicture().get()), nullptr);
    const FontDescription font = DescribeFont(bar.Font().get());
    EXPECT_EQ(font.name, L"\uAD74\uB9BC");
    EXPECT_DOUBLE_EQ(font.points, 9.0);
    EXPECT_EQ(font.weight, 400);
    EXPECT_EQ(font.charset, 129);
    EXPECT_FALSE(font.italic || font.underline || font.strikethrough);

    EXPECT_FALSE(bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar9"));
    EXPECT_FALSE(bar.ReadStoredProperties(L"NoSuchForm", L"ucProgressBar1"));
}

TEST(PropertyBag, KeysMatchWithoutCaseAndUnreadableLinesArePassedOver) {
    const PropertyBag bag = PropertyBag::FromText(
        L"; comment\r\n"
        L"Max = Long 250\r\n"
        L"broken = Long twelve\r\n"
        L"text = String \"a \\\"b\\\" \\\\ c\"\r\n"
        L"showtext = Integer -1\r\n"
        L"min = String \"7\"\r\n");
    EXPECT_EQ(bag.ReadLong(L"MAX", 0), 250);
    EXPECT_EQ(bag.ReadLong(L"broken", -1), -1);
    EXPECT_EQ(bag.ReadString(L"Text", L""), L"a \"b\" \\ c");
    EXPECT_TRUE(bag.ReadBoolean(L"ShowText", false));
    EXPECT_EQ(bag.ReadLong(L"Min", 3), 3);  // another type: the default
    EXPECT_EQ(bag.Entries().size(), 4u);
}

TEST(PropertyBag, FindsOneControlOfAStoredForm) {
    const std::wstring form =
        L"[Other]\nmax = Long 1\n[ucProgressBar1]\nmax = Long 2\nsegments = Integer -1\n[Third]\nmax = Long 3\n";
    const auto bag = FindStoredControl(form, L"UCPROGRESSBAR1");
    ASSERT_TRUE(bag);
    EXPECT_EQ(bag->ReadLong(L"max", 0), 2);
    EXPECT_EQ(bag->Entries().size(), 2u);
    EXPECT_FALSE(FindStoredControl(form, L"Missing"));
}

}  // namespace
}  // namespace ta
