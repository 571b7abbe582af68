#include "controls/progressbar/ucProgressBar.h"

#include "controls/bitmap/pcDibSection.h"
#include "controls/progressbar/ProgressGeometry.h"
#include "platform/AppError.h"
#include "record/ContinueOnError.h"
#include "ui/Twips.h"

namespace ta {
namespace {

const wchar_t kClassName[] = L"TaProgressBar";

}  // namespace

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
