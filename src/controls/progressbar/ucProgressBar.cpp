#include "controls/progressbar/ucProgressBar.h"

namespace ta {
namespace {
const wchar_t kClassName[] = L"TaProgressBar";
}

ucProgressBar::~ucProgressBar() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool ucProgressBar::Create(HWND parent, int x, int y, int width, int height, int id) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ::RegisterClassW(&wc);  // a second registration fails harmlessly
    hwnd_ = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, this);
    return hwnd_ != nullptr;
}

void ucProgressBar::Min(int32_t value) { min_ = value; Redraw(); }
void ucProgressBar::Max(int32_t value) { max_ = value; Redraw(); }
void ucProgressBar::Value(int32_t value) { value_ = value; Redraw(); }

void ucProgressBar::Redraw() {
    if (!hwnd_) return;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    ::UpdateWindow(hwnd_);
}

void ucProgressBar::Paint(HDC hdc) {
    RECT rc;
    ::GetClientRect(hwnd_, &rc);
    ::FillRect(hdc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    const double range = static_cast<double>(max_) - min_;
    double f = range > 0 ? (static_cast<double>(value_) - min_) / range : 0.0;
    f = f < 0 ? 0 : (f > 1 ? 1 : f);
    RECT bar = rc;
    bar.right = rc.left + static_cast<LONG>((rc.right - rc.left) * f);
    ::FillRect(hdc, &bar, ::GetSysColorBrush(COLOR_HIGHLIGHT));
}

LRESULT CALLBACK ucProgressBar::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<ucProgressBar*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(hwnd, &ps);
        self->Paint(hdc);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_NCDESTROY && self) self->hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace ta
