#include "controls/progressbar/ucProgressBar.h"

#include <uxtheme.h>

#include <cmath>

#include "controls/bitmap/pcDibSection.h"
#include "controls/progressbar/ProgressGeometry.h"
#include "platform/AppError.h"
#include "platform/ContinueOnError.h"
#include "platform/Handles.h"
#include "platform/Picture.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "platform/Twips.h"

namespace ta {
namespace {

const wchar_t kClassName[] = L"TaProgressBar";

// Visual-style numbers of the progress class.
constexpr int kPartBar = 1;
constexpr int kPartBarVertical = 2;
constexpr int kPartChunk = 3;
constexpr int kPartChunkVertical = 4;
constexpr int kPropChunkSize = 2411;
constexpr int kPropSpaceSize = 2412;

// Defaults of the stored property set.
constexpr OLE_COLOR kStoredBackColor = 0x8000000F;
constexpr OLE_COLOR kStoredForeColor = 0x80000008;

// The colour a fill of an OLE colour shows: a system colour when the high bit is set.
COLORREF FillColor(OLE_COLOR color) {
    return color & 0x80000000u ? ::GetSysColor(static_cast<int>(color & 0x1F)) : color;
}

// A brush for an OLE colour: the system colour's own brush when the high bit is set (nothing to
// release), otherwise a new solid brush released with this object.
class ColorBrush {
public:
    explicit ColorBrush(OLE_COLOR color)
        : owned_(color & 0x80000000u ? nullptr : ::CreateSolidBrush(color)),
          brush_(color & 0x80000000u ? ::GetSysColorBrush(static_cast<int>(color & 0x1F))
                                     : static_cast<HBRUSH>(owned_.get())) {}
    HBRUSH get() const { return brush_; }

private:
    GdiObject owned_;
    HBRUSH brush_;
};

void Fill(HDC target, const RECT& rect, OLE_COLOR color) {
    ColorBrush brush(color);
    ::FillRect(target, &rect, brush.get());
}

// The visual-style service, from the system folder; without all of it the bar is drawn classic.
struct ThemeService {
    decltype(&::OpenThemeData) open = TA_SYSTEM_FUNCTION(UxTheme, OpenThemeData);
    decltype(&::CloseThemeData) close = TA_SYSTEM_FUNCTION(UxTheme, CloseThemeData);
    decltype(&::GetThemeInt) getInt = TA_SYSTEM_FUNCTION(UxTheme, GetThemeInt);
    decltype(&::DrawThemeBackground) drawBackground = TA_SYSTEM_FUNCTION(UxTheme, DrawThemeBackground);
    decltype(&::GetThemeBackgroundContentRect) contentRect = TA_SYSTEM_FUNCTION(UxTheme, GetThemeBackgroundContentRect);
    decltype(&::DrawThemeText) drawText = TA_SYSTEM_FUNCTION(UxTheme, DrawThemeText);
    bool complete() const { return open && close && getInt && drawBackground && contentRect && drawText; }
};

const ThemeService& Themes() {
    static const ThemeService service;
    return service;
}

// Closes the visual-style data when the paint ends. Data is only ever open with the whole
// service at hand.
class ThemeData {
public:
    ThemeData() = default;
    ~ThemeData() {
        if (theme_) Themes().close(theme_);
    }
    ThemeData(const ThemeData&) = delete;
    ThemeData& operator=(const ThemeData&) = delete;
    void Open(HWND hwnd) { theme_ = Themes().complete() ? Themes().open(hwnd, L"Progress") : nullptr; }
    HTHEME get() const { return theme_; }

private:
    HTHEME theme_ = nullptr;
};

// Tiles (x, y, width, height) of the target with the sw × sh source, anchored to the target's
// origin shifted by the offsets. A source of width or height 0 raises division by zero.
void TileArea(HDC target, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sw, int32_t sh,
              int32_t xOffset = 0, int32_t yOffset = 0) {
    for (const auto& c : progressbar::TileCopies(x, y, width, height, sw, sh, xOffset, yOffset))
        ::BitBlt(target, c.x, c.y, c.width, c.height, source, c.srcX, c.srcY, SRCCOPY);
}

void StretchWhole(HDC target, int32_t width, int32_t height, const PictureHolder& source) {
    ::StretchBlt(target, 0, 0, width, height, source.hdc(), 0, 0, source.Width(), source.Height(), SRCCOPY);
}

}  // namespace

const std::array<ucProgressBar::MemberInfo, 23>& ucProgressBar::Members() {
    static const std::array<MemberInfo, 23> members{{
        {L"Segments", L"Gets/sets whether the bar is split into segments.  Not applicable when XPStyle is set."},
        {L"XpStyle",
         L"Gets/sets whether the bar is displayed using XP Visual Styles.  Only valid on XP systems or above."},
        {L"Text", L"Gets/sets the text to display when ShowText is set."},
        {L"TextAlignX", L"Gets/sets the horizontal alignment of the text."},
        {L"TextAlignY", L"Gets/sets the vertical alignment of the text."},
        {L"ShowText", L"Gets/sets whether text is shown over the bar."},
        {L"Percent", L"Gets the current progress bar percentage complete."},
        {L"Min", L"Gets/sets the minimum value of the bar."},
        {L"Max", L"Gets/sets the maximum value of the bar."},
        {L"Value", L"Gets/sets the value of the bar."},
        {L"BorderStyle", L"Gets/sets the border style of the control. Not applicable when using XPStyle."},
        {L"Appearance", L"Gets/sets the border appearance of the control.  Not applicable when using XPStyle."},
        {L"BackColor", L"Gets/sets the back colour of the control. Not applicable when using XPStyle."},
        {L"ForeColor", L"Gets/sets the colour of text which is drawn over the background of the bar."},
        {L"Font", L"Gets/sets the font used to draw text on the progress bar."},
        {L"BarColor", L"Gets/sets the colour of the progress bar.  Not applicable when using XPStyle."},
        {L"BarForeColor", L"Gets/sets the colour of text which is drawn over the bar."},
        {L"ModifyBarPicture",
         L"Applies image processing to the bar picture, allowing you to adjust the luminance or saturation of the "
         L"image."},
        {L"ModifyPicture",
         L"Applies image processing to the background picture, allowing you to adjust the luminance or saturation "
         L"of the image."},
        {L"BarPicture", L"Gets/sets a picture to use as the bar in the progress bar."},
        {L"BarPictureMode", L"Gets/sets the drawing mode (stretch or tile) applied when drawing the bar picture."},
        {L"BackPictureMode",
         L"Gets/sets the drawing mode (stretch or tile) applied when drawing the background picture."},
        {L"Picture", L"Gets/sets the picture shown in the background of the progress bar control."},
    }};
    return members;
}

ucProgressBar::ucProgressBar() : m_font(MakeFont(PageFont())) {}

ucProgressBar::~ucProgressBar() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

bool ucProgressBar::Create(HWND parent, int x, int y, int width, int height, int id) {
    WNDCLASSW wc{};
    wc.style = CS_OWNDC;  // the control keeps one device context for its whole life
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ::RegisterClassW(&wc);  // a second registration fails harmlessly
    // Stored once the window exists: the paints its creation sends find no window yet.
    HWND hwnd = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, this);
    if (!hwnd) return false;
    m_hWnd = hwnd;
    m_windowDC.reset();
    m_shown.reset();
    InitProperties();
    return true;
}

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

void ucProgressBar::Changed(std::wstring_view name) {
    if (m_onPropertyChanged) m_onPropertyChanged(name);
}

// The simple setters: store as given, repaint, notify.
template <typename Field, typename Given>
void ucProgressBar::Store(Field& field, const Given& value, std::wstring_view name) {
    field = value;
    DrawControl();
    AnnounceValue();
    Changed(name);
}

std::wstring ucProgressBar::AccessibleValue() const {
    return std::to_wstring(progressbar::BarPercent(m_min, m_max, m_value)) + L"%";
}

LRESULT ucProgressBar::AnswerGetObject(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !m_hWnd) return 0;
    if (!m_accessible)
        m_accessible = ControlAccessible::Create(m_hWnd, ROLE_SYSTEM_PROGRESSBAR, [this] { return AccessibleValue(); });
    return m_accessible ? m_accessible->AnswerGetObject(wParam, lParam) : 0;
}

void ucProgressBar::AnnounceValue() {
    if (!m_hWnd) return;
    const int32_t percent = progressbar::BarPercent(m_min, m_max, m_value);
    if (percent == m_announcedPercent) return;
    m_announcedPercent = percent;
    ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

void ucProgressBar::Segments(bool bState) { Store(m_segments, bState, L"Segments"); }
void ucProgressBar::XpStyle(bool bState) { Store(m_xpStyle, bState, L"XpStyle"); }
void ucProgressBar::Text(const std::wstring& sText) { Store(m_text, sText, L"Text"); }
void ucProgressBar::TextAlignX(int32_t eAlign) { Store(m_textAlignX, eAlign, L"TextAlignX"); }
void ucProgressBar::TextAlignY(int32_t eAlign) { Store(m_textAlignY, eAlign, L"TextAlignY"); }
void ucProgressBar::ShowText(bool bState) { Store(m_showText, bState, L"ShowText"); }
void ucProgressBar::Min(int32_t lMin) { Store(m_min, lMin, L"Min"); }
void ucProgressBar::Max(int32_t lMax) { Store(m_max, lMax, L"Max"); }
void ucProgressBar::Value(int32_t lValue) { Store(m_value, lValue, L"Value"); }
void ucProgressBar::BorderStyle(int32_t eStyle) { Store(m_borderStyle, eStyle, L"BorderStyle"); }
void ucProgressBar::Appearance(int32_t eAppearance) { Store(m_appearance, eAppearance, L"Appearance"); }
void ucProgressBar::ForeColor(OLE_COLOR oColor) { Store(m_foreColor, oColor, L"ForeColor"); }
void ucProgressBar::BarColor(OLE_COLOR oColor) { Store(m_barColor, oColor, L"BarColor"); }
void ucProgressBar::BarForeColor(OLE_COLOR oColor) { Store(m_barForeColor, oColor, L"BarForeColor"); }
void ucProgressBar::BarPictureMode(int32_t eMode) { Store(m_barPictureMode, eMode, L"BarPictureMode"); }
void ucProgressBar::BackPictureMode(int32_t eMode) { Store(m_backPictureMode, eMode, L"BackPictureMode"); }
// Held by the host, set the same way.
void ucProgressBar::BackColor(OLE_COLOR oColor) { Store(m_backColor, oColor, L"BackColor"); }
void ucProgressBar::Font(FontRef font) { Store(m_font, font, L"Font"); }

double ucProgressBar::Percent() const {
    int32_t done = 0;
    int32_t range = 0;
    if (__builtin_sub_overflow(m_value, m_min, &done) || __builtin_sub_overflow(m_max, m_min, &range))
        RaiseOverflow();
    if (range == 0) RaiseDivisionByZero();
    double f = static_cast<double>(done) / range;
    if (f > 1) f = 1;
    if (f < 0) f = 0;
    return f * 100;
}

void ucProgressBar::Picture(PictureRef picture) { AssignPicture(std::move(picture), picBack); }
void ucProgressBar::BarPicture(PictureRef picture) { AssignPicture(std::move(picture), picBar); }

void ucProgressBar::AssignPicture(PictureRef picture, PictureHolder& holder) {
    holder.Assign(std::move(picture));
    m_shown.reset();
    DrawControl();
    Changed(L"Picture");
    Changed(L"BarPicture");
}

void ucProgressBar::ModifyBarPicture(double fLuminance, double fSaturation) {
    ModifyHolderPicture(picBar, fLuminance, fSaturation);
}
void ucProgressBar::ModifyPicture(double fLuminance, double fSaturation) {
    ModifyHolderPicture(picBack, fLuminance, fSaturation);
}

void ucProgressBar::ModifyHolderPicture(PictureHolder& holder, double fLuminance, double fSaturation) {
    if (!HasPicture(holder)) return;
    // From the assigned picture, not from the surface, so that calls do not accumulate.
    pcDibSection dib;
    dib.CreateFromPicture(holder.Picture().get());
    dib.ModifyHLS(1.0, fLuminance, fSaturation);
    dib.PaintPicture(holder.hdc(), 0, 0, -1, -1, 0, 0, SRCCOPY);
    m_shown.reset();
}

int32_t ucProgressBar::TranslateColor(OLE_COLOR oColor, HPALETTE hPal) {
    COLORREF rgb = 0;
    if (FAILED(::OleTranslateColor(oColor, hPal, &rgb))) return -1;
    return static_cast<int32_t>(rgb);
}

HFONT ucProgressBar::FontHandle() const {
    HFONT font = nullptr;
    if (m_font) m_font->get_hFont(&font);
    return font;
}

void ucProgressBar::DrawControl() noexcept {
    if (!m_hWnd) return;  // not sited yet: there is no window to paint
    RECT client{};
    RECT window{};
    if (!::GetClientRect(m_hWnd, &client) || !::GetWindowRect(m_hWnd, &window)) return;
    const int32_t width = std::abs(client.right - client.left);
    const int32_t height = std::abs(client.bottom - client.top);
    const bool horizontal = progressbar::IsHorizontal(window.right - window.left, window.bottom - window.top);
    if (!m_windowDC || !*m_windowDC) m_windowDC.emplace(m_hWnd);
    const HDC screen = m_windowDC->get();
    // Composed off screen and copied in one block; straight onto the window when no surface.
    const HDC offscreen = m_memDC.hdc(width, height);
    if (!offscreen) {
        m_shown.reset();
        Compose(screen, client, horizontal);
        return;
    }
    // Most assignments move the bar by less than a segment: the surface then already holds
    // exactly what a new composition would draw.
    std::optional<Inputs> inputs = PaintInputs(client, horizontal);
    if (!inputs || inputs != m_shown) {
        m_shown.reset();
        Compose(offscreen, client, horizontal);
        m_shown = std::move(inputs);
    }
    m_memDC.Draw(screen, 0, 0, width, height, 0, 0);
}

std::optional<ucProgressBar::Inputs> ucProgressBar::PaintInputs(const RECT& client, bool horizontal) const {
    using namespace progressbar;
    if (m_onDraw || m_xpStyle) return std::nullopt;
    Inputs in;
    in.width = std::abs(client.right - client.left);
    in.height = std::abs(client.bottom - client.top);
    in.horizontal = horizontal;
    const RECT inner = InnerRect(client, m_borderStyle, m_appearance, false);
    const RECT bar = BarRect(inner, BarFraction(m_min, m_max, m_value), horizontal,
                             m_segments ? ClassicSegmentation().Period() : 0);
    in.bar = {bar.left, bar.top, bar.right, bar.bottom};
    in.segments = m_segments;
    in.borderStyle = m_borderStyle;
    in.appearance = m_appearance;
    in.back = FillColor(m_backColor);
    in.barColor = FillColor(m_barColor);
    in.fore = static_cast<COLORREF>(TranslateColor(m_foreColor));
    in.barFore = static_cast<COLORREF>(TranslateColor(m_barForeColor));
    in.edges = {::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_3DLIGHT),
                ::GetSysColor(COLOR_3DDKSHADOW)};
    in.showText = m_showText;
    in.text = m_text;
    in.textAlignX = m_textAlignX;
    in.textAlignY = m_textAlignY;
    in.font = FontHandle();
    in.barPictureMode = m_barPictureMode;
    in.backPictureMode = m_backPictureMode;
    return in;
}

void ucProgressBar::DrawInto(HDC target, int32_t width, int32_t height) noexcept {
    Compose(target, RECT{0, 0, width, height}, progressbar::IsHorizontal(width, height));
}

void ucProgressBar::DrawCaption(HDC target, const RECT& inner, UINT format, OLE_COLOR color) const {
    SelectedObject font(target, FontHandle());
    ::SetBkMode(target, TRANSPARENT);
    ::SetTextColor(target, static_cast<COLORREF>(TranslateColor(color)));
    const std::string caption = ToAnsi(L" " + m_text + L" ");
    RECT r = inner;
    ::DrawTextA(target, caption.c_str(), -1, &r, format);
}

// What one composition has found out so far, layer by layer.
struct ucProgressBar::Layers {
    HDC target = nullptr;
    RECT client{};
    bool horizontal = false;
    int32_t width = 0, height = 0;
    ThemeData theme;
    bool themed = false;  // the visual style has drawn the track
    progressbar::Segmentation seg;
    RECT inner{};  // inside the border
    RECT bar{};    // the filled part of inner
    bool caption = false;
    UINT format = 0;
    GdiObject clip;  // the bar's clip region while the bar and its caption are drawn
};

void ucProgressBar::Compose(HDC target, const RECT& client, bool horizontal) noexcept {
    using namespace progressbar;
    Layers layers;
    layers.target = target;
    layers.client = client;
    layers.horizontal = horizontal;
    layers.width = std::abs(client.right - client.left);
    layers.height = std::abs(client.bottom - client.top);
    if (!RaiseDraw(layers)) return;

    ComposeBackground(layers);
    if (m_segments && !layers.themed) layers.seg = ClassicSegmentation();
    layers.inner = InnerRect(client, m_borderStyle, m_appearance, layers.themed);
    layers.caption = !m_text.empty() && m_showText;
    layers.format = CaptionFormat(m_textAlignX, m_textAlignY);
    // The classic caption in ForeColor over the whole inner area; the bar covers it where it is.
    if (layers.caption && !layers.themed)
        Attempt(L"DrawCaption", [&] { DrawCaption(target, layers.inner, layers.format, m_foreColor); });
    layers.bar = BarRect(layers.inner, BarFraction(m_min, m_max, m_value), horizontal,
                         m_segments || layers.themed ? layers.seg.Period() : 0);
    ComposeBar(layers);
    ComposeCaptionOverBar(layers);
    ComposeBorder(layers);
}

bool ucProgressBar::RaiseDraw(const Layers& layers) {
    // A Draw handler that assigns a property would paint again from inside this paint, without
    // end. The nested paint is left out: this one has not read any field yet, so it shows the
    // new value anyway.
    if (m_composing) return false;
    m_composing = true;
    bool doDefault = true;
    if (m_onDraw)
        Attempt(L"OnDraw", [&] {
            m_onDraw(layers.target, layers.client.left, layers.client.top, layers.width, layers.height, doDefault);
        });
    m_composing = false;
    return doDefault;
}

// A picture, the visual style's track, or the back colour.
void ucProgressBar::ComposeBackground(Layers& layers) {
    if (HasPicture(picBack)) {
        Attempt(L"DrawBackground", [&] {
            if (m_backPictureMode == PictureTile)
                TileArea(layers.target, 0, 0, layers.width, layers.height, picBack.hdc(), picBack.Width(),
                         picBack.Height());
            else
                StretchWhole(layers.target, layers.width, layers.height, picBack);
        });
        return;
    }
    if (m_xpStyle) {
        layers.theme.Open(m_hWnd);
        int chunk = 0;
        int space = 0;
        const HTHEME theme = layers.theme.get();
        if (theme && Themes().getInt(theme, 0, 0, kPropChunkSize, &chunk) == S_OK &&
            Themes().getInt(theme, 0, 0, kPropSpaceSize, &space) == S_OK) {
            layers.seg = progressbar::ThemedSegmentation(chunk, space);
            layers.themed = Themes().drawBackground(theme, layers.target, layers.horizontal ? kPartBar : kPartBarVertical,
                                                  0, &layers.client, &layers.client) == S_OK;
        }
    }
    if (!layers.themed) Fill(layers.target, layers.client, m_backColor);
}

// The bar: a picture, the visual style's chunks or the bar colour, then the classic segment gaps.
// The classic bar is clipped to its rectangle, which its caption pass still needs.
void ucProgressBar::ComposeBar(Layers& layers) {
    const RECT& bar = layers.bar;
    if (!layers.themed) {
        layers.clip.reset(::CreateRectRgnIndirect(&bar));
        ::SelectClipRgn(layers.target, static_cast<HRGN>(layers.clip.get()));
    }
    Attempt(L"DrawBar", [&] {
        if (HasPicture(picBar)) {
            if (m_barPictureMode == PictureTile)
                TileArea(layers.target, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, picBar.hdc(),
                         picBar.Width(), picBar.Height());
            else
                StretchWhole(layers.target, layers.width, layers.height, picBar);
        } else if (layers.themed) {
            const RECT chunkRect = progressbar::ThemedChunkRect(bar);
            Themes().drawBackground(layers.theme.get(), layers.target,
                                    layers.horizontal ? kPartChunk : kPartChunkVertical, 0, &chunkRect, &chunkRect);
        } else {
            Fill(layers.target, bar, m_barColor);
        }
    });
    if (m_segments && !layers.themed) {
        ColorBrush gapBrush(m_backColor);
        for (const RECT& gap : progressbar::SegmentGaps(layers.inner, bar, layers.horizontal, layers.seg))
            ::FillRect(layers.target, &gap, gapBrush.get());
    }
}

// The caption over the bar: the visual style's text, or BarForeColor clipped to the bar.
void ucProgressBar::ComposeCaptionOverBar(Layers& layers) {
    if (!layers.caption) return;
    Attempt(L"DrawCaption", [&] {
        if (!layers.themed) {
            DrawCaption(layers.target, layers.inner, layers.format, m_barForeColor);
            return;
        }
        SelectedObject font(layers.target, FontHandle());
        RECT content{};
        if (Themes().contentRect(layers.theme.get(), layers.target, 0, 0, &layers.inner, &content) == S_OK)
            Themes().drawText(layers.theme.get(), layers.target, 0, 0, m_text.c_str(), -1, layers.format, 0, &content);
    });
}

// The classic border, outside the clip; the visual style's track has its own.
void ucProgressBar::ComposeBorder(Layers& layers) {
    if (layers.themed) return;
    ::SelectClipRgn(layers.target, nullptr);
    layers.clip.reset();
    if (m_borderStyle == BorderInset || m_borderStyle == BorderRaised)
        Attempt(L"DrawBorder", [&] { DrawBorder(layers.target, m_appearance, layers.client, m_borderStyle == BorderRaised); });
}

void ucProgressBar::DrawBorder(HDC target, int32_t appearance, const RECT& outer, bool raised) const {
    using progressbar::BorderPen;
    if (appearance == Appearance3D) {
        RECT e = outer;
        ::DrawEdge(target, &e, progressbar::EdgeKind(raised), progressbar::kEdgeFlags);
        return;
    }
    GdiObject black(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    GdiObject shadow(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW)));
    GdiObject highlight(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT)));
    const HGDIOBJ previous = ::GetCurrentObject(target, OBJ_PEN);
    for (const auto& stroke : progressbar::BorderStrokes(appearance, outer, raised)) {
        const GdiObject& pen = stroke.pen == BorderPen::Black ? black
                               : stroke.pen == BorderPen::Shadow ? shadow
                                                                 : highlight;
        ::SelectObject(target, pen.get());
        ::MoveToEx(target, stroke.from.x, stroke.from.y, nullptr);
        for (const POINT& p : stroke.to) ::LineTo(target, p.x, p.y);
    }
    ::SelectObject(target, previous);
}

LRESULT CALLBACK ucProgressBar::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<ucProgressBar*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            ::BeginPaint(hwnd, &ps);
            ::EndPaint(hwnd, &ps);
            self->DrawControl();
            return 0;
        }
        case WM_SIZE:
            self->DrawControl();
            return 0;
        case WM_GETOBJECT:
            return self->AnswerGetObject(wParam, lParam);
        case WM_NCDESTROY:
            if (self->m_accessible) self->m_accessible->Disconnect();
            self->m_accessible.reset();
            self->m_windowDC.reset();
            self->m_shown.reset();
            self->m_hWnd = nullptr;
            break;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace ta
