#include "controls/progressbar/ucProgressBar.h"

#include <uxtheme.h>

#include <cmath>

#include "controls/progressbar/ProgressGeometry.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"

namespace ta {
namespace {

// Painting: nothing of the product stays when it fails.
constexpr Step kDrawCaptionStep{L"DrawCaption", Footprint::None};
constexpr Step kOnDrawStep{L"OnDraw", Footprint::None};
constexpr Step kDrawBackgroundStep{L"DrawBackground", Footprint::None};
constexpr Step kDrawBarStep{L"DrawBar", Footprint::None};
constexpr Step kDrawBorderStep{L"DrawBorder", Footprint::None};

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

void Fill(HDC target, const RECT& rect, COLORREF color) {
    GdiObject brush(::CreateSolidBrush(color));
    ::FillRect(target, &rect, static_cast<HBRUSH>(brush.get()));
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
    if (!Repeatable()) {
        m_shown.reset();
        Compose(offscreen, client, horizontal);
    } else if (PaintInputs inputs = InputsAt(client, horizontal); inputs != m_shown) {
        // Recomposed only when an input has changed: a new value that moves the bar by less than
        // a segment leaves the surface holding exactly what a composition would draw. There is
        // no Draw handler to raise.
        m_shown.reset();
        ComposeLayers(offscreen, inputs);
        m_shown = std::move(inputs);
    }
    m_memDC.Draw(screen, 0, 0, width, height, 0, 0);
}

ucProgressBar::PaintInputs ucProgressBar::InputsAt(const RECT& client, bool horizontal) const {
    using namespace progressbar;
    PaintInputs in;
    in.client = {client.left, client.top, client.right, client.bottom};
    in.horizontal = horizontal;
    in.xpStyle = m_xpStyle;
    const double fraction = BarFraction(m_min, m_max, m_value);
    const RECT inner = InnerRect(client, m_borderStyle, m_appearance, false);
    const RECT bar = BarRect(inner, fraction, horizontal, m_segments ? ClassicSegmentation().Period() : 0);
    in.bar = {bar.left, bar.top, bar.right, bar.bottom};
    in.styledFraction = m_xpStyle ? fraction : 0;
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

// What one composition has found out so far, layer by layer.
struct ucProgressBar::Layers {
    explicit Layers(const PaintInputs& inputs) : in(inputs) {}
    const PaintInputs& in;
    HDC target = nullptr;
    RECT client{};
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

void ucProgressBar::DrawCaption(const Layers& layers, COLORREF color) {
    SelectedObject font(layers.target, layers.in.font);
    ::SetBkMode(layers.target, TRANSPARENT);
    ::SetTextColor(layers.target, color);
    const std::string caption = ToAnsi(L" " + layers.in.text + L" ");
    RECT r = layers.inner;
    ::DrawTextA(layers.target, caption.c_str(), -1, &r, layers.format);
}

void ucProgressBar::Compose(HDC target, const RECT& client, bool horizontal) noexcept {
    if (!RaiseDraw(target, client)) return;
    ComposeLayers(target, InputsAt(client, horizontal));
}

void ucProgressBar::ComposeLayers(HDC target, const PaintInputs& in) noexcept {
    using namespace progressbar;
    Layers layers(in);
    layers.target = target;
    layers.client = RECT{in.client[0], in.client[1], in.client[2], in.client[3]};
    layers.width = std::abs(layers.client.right - layers.client.left);
    layers.height = std::abs(layers.client.bottom - layers.client.top);

    ComposeBackground(layers);
    if (in.segments && !layers.themed) layers.seg = ClassicSegmentation();
    layers.inner = InnerRect(layers.client, in.borderStyle, in.appearance, layers.themed);
    layers.caption = !in.text.empty() && in.showText;
    layers.format = CaptionFormat(in.textAlignX, in.textAlignY);
    // The classic caption in ForeColor over the whole inner area; the bar covers it where it is.
    if (layers.caption && !layers.themed) Attempt(kDrawCaptionStep, [&] { DrawCaption(layers, in.fore); });
    layers.bar = layers.themed ? BarRect(layers.inner, in.styledFraction, in.horizontal, layers.seg.Period())
                               : RECT{in.bar[0], in.bar[1], in.bar[2], in.bar[3]};
    ComposeBar(layers);
    ComposeCaptionOverBar(layers);
    ComposeBorder(layers);
}

bool ucProgressBar::RaiseDraw(HDC target, const RECT& client) {
    // A Draw handler that assigns a property would paint again from inside this paint, without
    // end. The nested paint is left out: this one reads its inputs after the handler, so it
    // shows the new value anyway.
    if (m_composing) return false;
    m_composing = true;
    bool doDefault = true;
    if (m_onDraw)
        Attempt(kOnDrawStep, [&] {
            m_onDraw(target, client.left, client.top, std::abs(client.right - client.left),
                     std::abs(client.bottom - client.top), doDefault);
        });
    m_composing = false;
    return doDefault;
}

// A picture, the visual style's track, or the back colour.
void ucProgressBar::ComposeBackground(Layers& layers) {
    if (HasPicture(picBack)) {
        Attempt(kDrawBackgroundStep, [&] {
            if (layers.in.backPictureMode == PictureTile)
                TileArea(layers.target, 0, 0, layers.width, layers.height, picBack.hdc(), picBack.Width(),
                         picBack.Height());
            else
                StretchWhole(layers.target, layers.width, layers.height, picBack);
        });
        return;
    }
    if (layers.in.xpStyle) {
        layers.theme.Open(m_hWnd);
        int chunk = 0;
        int space = 0;
        const HTHEME theme = layers.theme.get();
        if (theme && Themes().getInt(theme, 0, 0, kPropChunkSize, &chunk) == S_OK &&
            Themes().getInt(theme, 0, 0, kPropSpaceSize, &space) == S_OK) {
            layers.seg = progressbar::ThemedSegmentation(chunk, space);
            layers.themed = Themes().drawBackground(theme, layers.target, layers.in.horizontal ? kPartBar : kPartBarVertical,
                                                  0, &layers.client, &layers.client) == S_OK;
        }
    }
    if (!layers.themed) Fill(layers.target, layers.client, layers.in.back);
}

// The bar: a picture, the visual style's chunks or the bar colour, then the classic segment gaps.
// The classic bar is clipped to its rectangle, which its caption pass still needs.
void ucProgressBar::ComposeBar(Layers& layers) {
    const RECT& bar = layers.bar;
    if (!layers.themed) {
        layers.clip.reset(::CreateRectRgnIndirect(&bar));
        ::SelectClipRgn(layers.target, static_cast<HRGN>(layers.clip.get()));
    }
    Attempt(kDrawBarStep, [&] {
        if (HasPicture(picBar)) {
            if (layers.in.barPictureMode == PictureTile)
                TileArea(layers.target, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, picBar.hdc(),
                         picBar.Width(), picBar.Height());
            else
                StretchWhole(layers.target, layers.width, layers.height, picBar);
        } else if (layers.themed) {
            const RECT chunkRect = progressbar::ThemedChunkRect(bar);
            Themes().drawBackground(layers.theme.get(), layers.target,
                                    layers.in.horizontal ? kPartChunk : kPartChunkVertical, 0, &chunkRect, &chunkRect);
        } else {
            Fill(layers.target, bar, layers.in.barColor);
        }
    });
    if (layers.in.segments && !layers.themed) {
        for (const RECT& gap : progressbar::SegmentGaps(layers.inner, bar, layers.in.horizontal, layers.seg))
            Fill(layers.target, gap, layers.in.back);
    }
}

// The caption over the bar: the visual style's text, or BarForeColor clipped to the bar.
void ucProgressBar::ComposeCaptionOverBar(Layers& layers) {
    if (!layers.caption) return;
    Attempt(kDrawCaptionStep, [&] {
        if (!layers.themed) {
            DrawCaption(layers, layers.in.barFore);
            return;
        }
        SelectedObject font(layers.target, layers.in.font);
        RECT content{};
        if (Themes().contentRect(layers.theme.get(), layers.target, 0, 0, &layers.inner, &content) == S_OK)
            Themes().drawText(layers.theme.get(), layers.target, 0, 0, layers.in.text.c_str(), -1, layers.format, 0,
                              &content);
    });
}

// The classic border, outside the clip; the visual style's track has its own.
void ucProgressBar::ComposeBorder(Layers& layers) {
    if (layers.themed) return;
    ::SelectClipRgn(layers.target, nullptr);
    layers.clip.reset();
    if (layers.in.borderStyle == BorderInset || layers.in.borderStyle == BorderRaised)
        Attempt(kDrawBorderStep, [&] { DrawBorder(layers); });
}

void ucProgressBar::DrawBorder(const Layers& layers) {
    using progressbar::BorderPen;
    const HDC target = layers.target;
    const bool raised = layers.in.borderStyle == BorderRaised;
    if (layers.in.appearance == Appearance3D) {
        RECT e = layers.client;
        ::DrawEdge(target, &e, progressbar::EdgeKind(raised), progressbar::kEdgeFlags);
        return;
    }
    GdiObject black(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    GdiObject shadow(::CreatePen(PS_SOLID, 1, layers.in.edges[0]));
    GdiObject highlight(::CreatePen(PS_SOLID, 1, layers.in.edges[1]));
    const HGDIOBJ previous = ::GetCurrentObject(target, OBJ_PEN);
    for (const auto& stroke : progressbar::BorderStrokes(layers.in.appearance, layers.client, raised)) {
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
