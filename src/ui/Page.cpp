#include "ui/Page.h"

#include "platform/AppShell.h"
#include "record/ContinueOnError.h"
#include "ui/ResourceIds.h"
#include "ui/Twips.h"

namespace ta {
namespace {

// The page's own work: nothing of the product stays when it fails.
constexpr Step kLoadPageStep{L"LoadPage", Footprint::None};
constexpr Step kMakeFontsStep{L"MakeFonts", Footprint::None};
constexpr Step kOnLoadStep{L"OnLoad", Footprint::None};
constexpr Step kCenterOnScreenStep{L"CenterOnScreen", Footprint::None};
constexpr Step kOnUnloadStep{L"OnUnload", Footprint::None};
constexpr Step kStopTimerStep{L"StopTimer", Footprint::None};
constexpr Step kPaintStep{L"Paint", Footprint::None};
constexpr Step kOnCommand1ClickStep{L"OnCommand1Click", Footprint::None};
constexpr Step kOnTimerStep{L"OnTimer", Footprint::None};
constexpr Step kOnActivateStep{L"OnActivate", Footprint::None};
constexpr Step kApplyDpiStep{L"ApplyDpi", Footprint::None};
constexpr Step kOnQueryCloseStep{L"OnQueryClose", Footprint::None};
constexpr Step kOnPageMessageStep{L"OnPageMessage", Footprint::None};

const wchar_t kPageClass[] = L"TaWizardPage";
const wchar_t kPageFace[] = L"\uAD74\uB9BC";  // "굴림"
constexpr int kPageFontPoints = 9;

void RegisterPageClass() {
    static bool registered = false;
    if (registered) return;
    HMODULE resources = ResourceModule();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once its page is known
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kPageClass;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // the page paints its whole client area
    wc.hIcon = static_cast<HICON>(::LoadImageW(resources, MAKEINTRESOURCEW(TA_IDI_APP), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(::LoadImageW(resources, MAKEINTRESOURCEW(TA_IDI_APP), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    registered = ::RegisterClassExW(&wc) != 0;
}

GdiObject MakePageFont(bool bold, int dpi) {
    LOGFONTW lf{};
    lf.lfHeight = PointsToFontHeight(kPageFontPoints, dpi);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = HANGUL_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(lf.lfFaceName, kPageFace);
    return GdiObject(::CreateFontIndirectW(&lf));
}

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

}  // namespace

// Counts the page's handlers on the stack; when the last one of an unloaded page returns, the
// page object is released.
class HandlerScope {
public:
    explicit HandlerScope(Page& page) noexcept : page_(page) { ++page_.handlerDepth_; }
    ~HandlerScope() { page_.LeaveHandler(); }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    Page& page_;
};

Page::Page() = default;

Page::~Page() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

Page* Page::FromWindow(HWND hwnd) noexcept {
    if (!hwnd) return nullptr;
    wchar_t className[32] = {};
    ::GetClassNameW(hwnd, className, 32);
    if (wcscmp(className, kPageClass) != 0) return nullptr;
    return reinterpret_cast<Page*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Page::Load() {
    HandlerScope scope(*this);
    Attempt(kLoadPageStep, [&] {
        RegisterPageClass();
        // A fixed single border with a close box only; shown later by Show.
        hwnd_ = ::CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kPageClass, L"",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (!hwnd_) return;
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Page::WindowProc));
        dpi_ = WindowDpi(hwnd_);
    });
    Attempt(kMakeFontsStep, [&] { MakeFonts(); });
    state_ = State::Loaded;
    Attempt(kOnLoadStep, [&] { OnLoad(); });
    if (state_ == State::Loaded) Attempt(kCenterOnScreenStep, [&] { CenterOnScreen(); });
}

void Page::Show() {
    if (!hwnd_ || state_ != State::Loaded) return;
    HandlerScope scope(*this);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
}

void Page::Unload() {
    if (state_ != State::Loaded) return;
    HandlerScope scope(*this);
    Attempt(kOnUnloadStep, [&] { OnUnload(); });
    state_ = State::Unloaded;
    for (auto& timer : timers_) Attempt(kStopTimerStep, [&] { timer->Enabled(false); });
    if (hwnd_) {
        HWND hwnd = hwnd_;
        ::DestroyWindow(hwnd);
        hwnd_ = nullptr;
    }
    if (LoadedPages().empty()) Shell().QuitMessageLoop();
}

void Page::SetCaption(const std::wstring& caption) { ::SetWindowTextW(hwnd_, caption.c_str()); }

void Page::SetOuterSize(int widthTwips, int heightTwips) {
    outerTwips_ = SIZE{widthTwips, heightTwips};
    ::SetWindowPos(hwnd_, nullptr, 0, 0, Pixels(widthTwips), Pixels(heightTwips),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Page::Pixels(int twips) const noexcept { return TwipsToPixels(twips, dpi_); }

RECT Page::PixelsOf(const TwipsRect& rect) const noexcept { return TwipsRectToPixels(rect, dpi_); }

void Page::MakeFonts() {
    normalFont_ = MakePageFont(false, dpi_);
    boldFont_ = MakePageFont(true, dpi_);
}

void Page::ApplyDpi(int dpi, const RECT* placed) {
    if (!hwnd_ || dpi <= 0) return;
    dpi_ = dpi;
    // The old fonts stay alive until every window has been given the new ones.
    GdiObject oldNormal = std::move(normalFont_), oldBold = std::move(boldFont_);
    Attempt(kMakeFontsStep, [&] { MakeFonts(); });
    const auto setFont = [](HWND hwnd, HFONT font) { ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE); };
    for (const auto& label : labels_) {
        label->Place();
        setFont(label->hWnd(), label->Font() == LabelFont::Bold ? BoldFont() : NormalFont());
    }
    for (const auto& button : buttons_) {
        button->Place();
        setFont(button->hWnd(), NormalFont());
    }
    for (const auto& box : textBoxes_) {
        box->Place();
        setFont(box->hWnd(), NormalFont());
    }
    for (const auto& control : hosted_) PlaceWindow(control.hwnd, PixelsOf(control.rect));
    RECT now{};
    ::GetWindowRect(hwnd_, &now);
    const POINT at = placed ? POINT{placed->left, placed->top} : POINT{now.left, now.top};
    const int width = outerTwips_.cx > 0 ? Pixels(outerTwips_.cx) : now.right - now.left;
    const int height = outerTwips_.cy > 0 ? Pixels(outerTwips_.cy) : now.bottom - now.top;
    ::SetWindowPos(hwnd_, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}

void Page::HostControl(HWND child, const TwipsRect& rect) {
    if (!child) return;
    hosted_.push_back(HostedControl{child, rect});
    PlaceWindow(child, PixelsOf(rect));
}

void Page::CenterOnScreen() {
    RECT rc;
    if (!hwnd_ || !::GetWindowRect(hwnd_, &rc)) return;
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Label& Page::AddLabel(const TwipsRect& rect, const std::wstring& caption, LabelFont font, COLORREF color) {
    const RECT rc = PixelsOf(rect);
    // A static window with the label's text, as standard dialogs have, so that assistive tools
    // read it; "&" is shown as it is.
    HWND window = ::CreateWindowExW(0, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                    rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hwnd_, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (window) {
        ShowPageBeneath(window);
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font == LabelFont::Bold ? BoldFont() : NormalFont()),
                       FALSE);
    }
    labels_.push_back(std::make_unique<Label>(*this, window, rect, caption, font, color));
    InvalidatePixels(rc, false);
    return *labels_.back();
}

ImageBox& Page::AddImage() {
    images_.push_back(std::make_unique<ImageBox>(*this));
    return *images_.back();
}

LineShape& Page::AddLine(COLORREF color) {
    lines_.push_back(std::make_unique<LineShape>(*this, color));
    return *lines_.back();
}

Button& Page::AddCommand1(int index, const std::wstring& caption, const TwipsRect& rect, ButtonKind kind) {
    const RECT rc = PixelsOf(rect);
    const DWORD style = kind == ButtonKind::Push          ? BS_PUSHBUTTON
                        : kind == ButtonKind::FirstOption ? BS_AUTORADIOBUTTON | WS_GROUP
                                                          : BS_AUTORADIOBUTTON;
    HWND button = ::CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                                    rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hwnd_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCommand1BaseId + index)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(NormalFont()), FALSE);
    buttons_.push_back(std::make_unique<Button>(*this, button, index, rect));
    return *buttons_.back();
}

TextBox& Page::AddTextBox(const TwipsRect& rect, TextBoxKind kind) {
    const RECT rc = PixelsOf(rect);
    const DWORD style = kind == TextBoxKind::SingleLine
                            ? ES_AUTOHSCROLL
                            : ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL;
    HWND edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                                  rc.right - rc.left, rc.bottom - rc.top, hwnd_, nullptr, ::GetModuleHandleW(nullptr),
                                  nullptr);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(NormalFont()), FALSE);
    textBoxes_.push_back(std::make_unique<TextBox>(*this, edit, rect));
    return *textBoxes_.back();
}

Timer& Page::AddTimer(UINT_PTR id, UINT intervalMs) {
    timers_.push_back(std::make_unique<Timer>(*this, id, intervalMs));
    return *timers_.back();
}

Button* Page::Command1(int index) noexcept {
    for (auto& button : buttons_)
        if (button->Index() == index) return button.get();
    return nullptr;
}

LRESULT CALLBACK Page::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Page* page = reinterpret_cast<Page*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!page) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    HandlerScope scope(*page);
    return page->HandleMessage(msg, wParam, lParam);
}

LRESULT Page::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(hwnd, &ps);
        Attempt(kPaintStep, [&] { Paint(hdc, ps.rcPaint); });
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const int index = static_cast<int>(LOWORD(wParam)) - kCommand1BaseId;
            if (Command1(index)) Attempt(kOnCommand1ClickStep, [&] { OnCommand1Click(index); });
            return 0;
        }
        break;
    case WM_TIMER:
        for (const auto& timer : timers_) {
            if (timer->Id() == wParam) {
                if (timer->Enabled()) Attempt(kOnTimerStep, [&] { OnTimer(wParam); });
                return 0;
            }
        }
        break;
    case WM_ACTIVATE: {
        const LRESULT result = ::DefWindowProcW(hwnd, msg, wParam, lParam);
        if (LOWORD(wParam) != WA_INACTIVE && state_ == State::Loaded) {
            // Keep the focus on a control of the page, then let the page choose its own.
            HWND focus = ::GetFocus();
            if (!focus || !::IsChild(hwnd, focus)) {
                if (HWND first = ::GetNextDlgTabItem(hwnd, nullptr, FALSE)) ::SetFocus(first);
            }
            Attempt(kOnActivateStep, [&] { OnActivate(); });
        }
        return result;
    }
    case WM_DPICHANGED:
        Attempt(kApplyDpiStep, [&] { ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); });
        return 0;
    case WM_CLOSE: {
        bool close = true;
        Attempt(kOnQueryCloseStep, [&] { close = OnQueryClose(); });
        if (close) Unload();
        return 0;
    }
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    default:
        if (msg >= WM_APP && msg <= 0xBFFF) {
            Attempt(kOnPageMessageStep, [&] { OnPageMessage(msg, wParam, lParam); });
            return 0;
        }
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace ta
