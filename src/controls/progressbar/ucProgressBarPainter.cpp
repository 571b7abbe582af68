#include "controls/progressbar/ucProgressBar.h"

#include <uxtheme.h>

#include <cmath>

#include "controls/progressbar/ProgressGeometry.h"
#include "platform/ContinueOnError.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"

namespace ta {
namespace {

// Visual-style numbers of the progress class.
constexpr int kPartBar = 1;
constexpr int kPartBarVertical = 2;
constexpr int kPartChunk = 3;
constexpr int kPartChunkVertical = 4;
constexpr int kPropChunkSize = 2411;
constexpr int kPropSpaceSize = 2412;

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

}  // namespace ta
