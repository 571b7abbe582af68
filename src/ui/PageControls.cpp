#include "ui/PageControls.h"

#include <algorithm>

#include "ui/Page.h"
#include "ui/Twips.h"

namespace ta {

RECT TwipsRectToPixels(const TwipsRect& rect, int dpi) noexcept {
    const int left = TwipsToPixels(rect.left, dpi);
    const int top = TwipsToPixels(rect.top, dpi);
    return RECT{left, top, left + TwipsToPixels(rect.width, dpi), top + TwipsToPixels(rect.height, dpi)};
}

void PlaceWindow(HWND hwnd, const RECT& rc) {
    ::SetWindowPos(hwnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Label -------------------------------------------------------------------------------

void Label::Caption(const std::wstring& text) {
    // The progress page shows the file being deleted at most once a tick of its display timer:
    // one window text and one small repaint.
    caption_ = text;
    if (!hwnd_) {
        page_.InvalidatePixels(page_.PixelsOf(rect_), true);
        return;
    }
    ::SetWindowTextW(hwnd_, caption_.c_str());
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Label::Place() const {
    if (hwnd_) PlaceWindow(hwnd_, page_.PixelsOf(rect_));
}

void Label::Move(const TwipsRect& rect) {
    page_.InvalidatePixels(page_.PixelsOf(rect_), false);
    rect_ = rect;
    Place();
    page_.InvalidatePixels(page_.PixelsOf(rect_), false);
}

void Label::Paint(HDC hdc, HFONT font) const {
    RECT rc = page_.PixelsOf(rect_);
    SelectedObject selected(hdc, font);
    ::SetBkMode(hdc, TRANSPARENT);
    ::SetTextColor(hdc, color_ == CLR_INVALID ? ::GetSysColor(COLOR_BTNTEXT) : color_);
    ::DrawTextW(hdc, caption_.c_str(), static_cast<int>(caption_.size()), &rc, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

// ---- ImageBox ----------------------------------------------------------------------------

void ImageBox::SetPicture(std::shared_ptr<Picture> picture) {
    const RECT before = Bounds();
    picture_ = std::move(picture);
    page_.InvalidatePixels(before, false);
    page_.InvalidatePixels(Bounds(), false);
}

void ImageBox::Move(int leftTwips, int topTwips) {
    const RECT before = Bounds();
    left_ = leftTwips;
    top_ = topTwips;
    page_.InvalidatePixels(before, false);
    page_.InvalidatePixels(Bounds(), false);
}

RECT ImageBox::Bounds() const noexcept {
    if (!picture_) return RECT{};
    const SIZE size = picture_->TwipsSize();
    return page_.PixelsOf(TwipsRect{left_, top_, size.cx, size.cy});
}

void ImageBox::Paint(HDC hdc) const {
    if (!picture_) return;
    const RECT rc = Bounds();
    picture_->Render(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

// ---- LineShape ---------------------------------------------------------------------------

void LineShape::Move(int x1Twips, int y1Twips, int x2Twips, int y2Twips) {
    x1_ = x1Twips;
    y1_ = y1Twips;
    x2_ = x2Twips;
    y2_ = y2Twips;
    const POINT a = From(), b = To();
    page_.InvalidatePixels(RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1},
                           false);
}

POINT LineShape::From() const noexcept { return POINT{page_.Pixels(x1_), page_.Pixels(y1_)}; }
POINT LineShape::To() const noexcept { return POINT{page_.Pixels(x2_), page_.Pixels(y2_)}; }

void LineShape::Paint(HDC hdc) const {
    SelectedObject selected(hdc, pen_.get());
    const POINT a = From(), b = To();
    ::MoveToEx(hdc, a.x, a.y, nullptr);
    ::LineTo(hdc, b.x, b.y);
}

// ---- Button, TextBox, Timer --------------------------------------------------------------

namespace {
std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), length + 1)));
    return text;
}
}  // namespace

std::wstring Button::Caption() const { return WindowText(hwnd_); }
void Button::Caption(const std::wstring& text) { ::SetWindowTextW(hwnd_, text.c_str()); }
bool Button::Enabled() const noexcept { return ::IsWindowEnabled(hwnd_) != FALSE; }
void Button::Enabled(bool enabled) { ::EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

void Button::Move(int leftTwips, int topTwips) {
    rect_.left = leftTwips;
    rect_.top = topTwips;
    Place();
}

void Button::Place() const { PlaceWindow(hwnd_, page_.PixelsOf(rect_)); }

void Button::SetFocus() { ::SetFocus(hwnd_); }

void Button::Visible(bool visible) { ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

bool Button::Checked() const noexcept { return ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Button::Checked(bool checked) { ::SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

std::wstring TextBox::Text() const { return WindowText(hwnd_); }
void TextBox::Text(const std::wstring& text) { ::SetWindowTextW(hwnd_, text.c_str()); }
void TextBox::Place() const { PlaceWindow(hwnd_, page_.PixelsOf(rect_)); }
void TextBox::Visible(bool visible) { ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void Timer::Enabled(bool enabled) {
    enabled_ = enabled;
    if (!page_.hWnd()) return;
    if (enabled)
        ::SetTimer(page_.hWnd(), id_, interval_, nullptr);
    else
        ::KillTimer(page_.hWnd(), id_);
}

}  // namespace ta
