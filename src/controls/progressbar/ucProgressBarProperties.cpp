#include "controls/progressbar/ucProgressBar.h"

#include "ui/Picture.h"
#include "ui/Twips.h"

namespace ta {
namespace {

// Defaults of the stored property set.
constexpr OLE_COLOR kStoredBackColor = 0x8000000F;
constexpr OLE_COLOR kStoredForeColor = 0x80000008;

}  // namespace

bool ucProgressBar::ReadStoredProperties(std::wstring_view form, std::wstring_view control) {
    const std::optional<PropertyBag> bag = LoadStoredControl(ResourceModule(), form, control);
    if (!bag) return false;
    const int32_t extentX = bag->ReadLong(L"_extentx", 0);
    const int32_t extentY = bag->ReadLong(L"_extenty", 0);
    if (m_hWnd && extentX > 0 && extentY > 0) {
        // At the DPI of the page the control is sited on.
        const int dpi = WindowDpi(m_hWnd);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, ::MulDiv(extentX, dpi, 2540), ::MulDiv(extentY, dpi, 2540),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ReadProperties(*bag);
    return true;
}

// A new instance keeps the initial values; Create has already stored the window.
void ucProgressBar::InitProperties() {}

void ucProgressBar::ReadProperties(const PropertyBag& bag) {
    Picture(bag.ReadPicture(L"Picture"));
    BackColor(static_cast<OLE_COLOR>(bag.ReadLong(L"BackColor", static_cast<int32_t>(kStoredBackColor))));
    ForeColor(static_cast<OLE_COLOR>(bag.ReadLong(L"ForeColor", static_cast<int32_t>(kStoredForeColor))));
    Appearance(bag.ReadLong(L"Appearance", AppearanceThin3D));
    BorderStyle(bag.ReadLong(L"BorderStyle", BorderInset));
    BarColor(static_cast<OLE_COLOR>(bag.ReadLong(L"BarColor", 0x800000)));
    BarForeColor(static_cast<OLE_COLOR>(bag.ReadLong(L"BarForeColor", 0xFFFFFF)));
    BarPicture(bag.ReadPicture(L"BarPicture"));
    BarPictureMode(bag.ReadLong(L"BarPictureMode", PictureTile));
    BackPictureMode(bag.ReadLong(L"BackPictureMode", PictureTile));
    Min(bag.ReadLong(L"Min", 0));
    Max(bag.ReadLong(L"Max", 100));
    Value(bag.ReadLong(L"Value", 0));
    ShowText(bag.ReadBoolean(L"ShowText", false));
    TextAlignX(bag.ReadLong(L"TextAlignX", TextAlignCenter));
    TextAlignY(bag.ReadLong(L"TextAlignY", TextAlignVCenter));
    Text(bag.ReadString(L"Text", L""));
    const std::optional<FontDescription> font = bag.ReadFont(L"Font");
    Font(font ? MakeFont(*font) : Font());
    Segments(bag.ReadBoolean(L"Segments", false));
    XpStyle(bag.ReadBoolean(L"XpStyle", false));
}

void ucProgressBar::WriteProperties(PropertyBag& bag) const {
    const auto colour = [](OLE_COLOR c) { return static_cast<int32_t>(c); };
    bag.WriteProperty(L"Picture", Picture());
    bag.WriteProperty(L"BackColor", colour(BackColor()), colour(kStoredBackColor));
    bag.WriteProperty(L"ForeColor", colour(ForeColor()), colour(kStoredForeColor));
    bag.WriteProperty(L"Appearance", Appearance(), int32_t{AppearanceThin3D});
    bag.WriteProperty(L"BorderStyle", BorderStyle(), int32_t{BorderInset});
    bag.WriteProperty(L"BarColor", colour(BarColor()), int32_t{0x800000});
    bag.WriteProperty(L"BarForeColor", colour(BarForeColor()), int32_t{0xFFFFFF});
    bag.WriteProperty(L"BarPicture", BarPicture());
    bag.WriteProperty(L"BarPictureMode", BarPictureMode(), int32_t{PictureTile});
    bag.WriteProperty(L"BackPictureMode", BackPictureMode(), int32_t{PictureTile});
    bag.WriteProperty(L"Min", Min(), int32_t{0});
    bag.WriteProperty(L"Max", Max(), int32_t{100});
    bag.WriteProperty(L"Value", Value(), int32_t{0});
    bag.WriteProperty(L"ShowText", PropertyBag::Boolean(ShowText()), PropertyBag::Boolean(false));
    bag.WriteProperty(L"TextAlignX", TextAlignX(), int32_t{TextAlignCenter});
    bag.WriteProperty(L"TextAlignY", TextAlignY(), int32_t{TextAlignVCenter});
    bag.WriteProperty(L"Text", Text(), std::wstring());
    bag.WriteProperty(L"Font", DescribeFont(Font().get()));
    bag.WriteProperty(L"Segments", PropertyBag::Boolean(Segments()), PropertyBag::Boolean(false));
    bag.WriteProperty(L"XpStyle", PropertyBag::Boolean(XpStyle()), PropertyBag::Boolean(false));
}

}  // namespace ta
