#include "platform/Page.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/AppShell.h"
#include "platform/ContinueOnError.h"
#include "platform/HandleWatch.h"
#include "platform/ResourceIds.h"
#include "platform/SystemLibrary.h"
#include "platform/Twips.h"

namespace ta {
namespace {

// Window subclassing of Common Controls, from the system folder; a label is subclassed only with
// all three at hand.
struct SubclassService {
    decltype(&::SetWindowSubclass) set = TA_SYSTEM_FUNCTION(ComCtl32, SetWindowSubclass);
    decltype(&::RemoveWindowSubclass) remove = TA_SYSTEM_FUNCTION(ComCtl32, RemoveWindowSubclass);
    decltype(&::DefSubclassProc) defaultProc = TA_SYSTEM_FUNCTION(ComCtl32, DefSubclassProc);
    bool complete() const { return set && remove && defaultProc; }
};

const SubclassService& Subclassing() {
    static const SubclassService service;
    return service;
}

const wchar_t kPageClass[] = L"TaWizardPage";
const wchar_t kPageFace[] = L"\uAD74\uB9BC";  // "굴림"
constexpr int kPageFontPoints = 9;

// Every page object, loaded or waiting for its last handler to return.
std::vector<std::unique_ptr<Page>>& AllPages() {
    static std::vector<std::unique_ptr<Page>> pages;
    return pages;
}

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

// A label's window paints nothing of its own: it shows the page's composition of its area, so the
// banner or the page's face lies beneath its text and one paint draws both without flicker.
LRESULT CALLBACK LabelWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(hwnd, &ps);
        HWND parent = ::GetParent(hwnd);
        if (Page* page = Page::FromWindow(parent)) Attempt(L"PaintForChild", [&] { page->PaintForChild(hwnd, hdc, ps.rcPaint); });
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        Subclassing().remove(hwnd, LabelWindowProc, 0);
        break;
    default:
        break;
    }
    return Subclassing().defaultProc(hwnd, msg, wParam, lParam);
}

void PlaceWindow(HWND hwnd, const RECT& rc) {
    ::SetWindowPos(hwnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

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

RECT TwipsRectToPixels(const TwipsRect& rect, int dpi) noexcept {
    const int left = TwipsToPixels(rect.left, dpi);
    const int top = TwipsToPixels(rect.top, dpi);
    return RECT{left, top, left + TwipsToPixels(rect.width, dpi), top + TwipsToPixels(rect.height, dpi)};
}

// ---- Label -------------------------------------------------------------------------------

void Label::Caption(const std::wstring& text) {
    // Called for every file the removal deletes: one window text and one small repaint.
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

std::wstring TextBox::Text() const { return WindowText(hwnd_); }
void TextBox::Text(const std::wstring& text) { ::SetWindowTextW(hwnd_, text.c_str()); }
void TextBox::Place() const { PlaceWindow(hwnd_, page_.PixelsOf(rect_)); }

void Timer::Enabled(bool enabled) {
    enabled_ = enabled;
    if (!page_.hWnd()) return;
    if (enabled)
        ::SetTimer(page_.hWnd(), id_, interval_, nullptr);
    else
        ::KillTimer(page_.hWnd(), id_);
}

// ---- Page --------------------------------------------------------------------------------

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
    Attempt(L"LoadPage", [&] {
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
    Attempt(L"MakeFonts", [&] { MakeFonts(); });
    state_ = State::Loaded;
    Attempt(L"OnLoad", [&] { OnLoad(); });
    if (state_ == State::Loaded) Attempt(L"CenterOnScreen", [&] { CenterOnScreen(); });
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
    Attempt(L"OnUnload", [&] { OnUnload(); });
    state_ = State::Unloaded;
    for (auto& timer : timers_) Attempt(L"StopTimer", [&] { timer->Enabled(false); });
    if (hwnd_) {
        HWND hwnd = hwnd_;
        ::DestroyWindow(hwnd);
        hwnd_ = nullptr;
    }
    if (LoadedPages().empty()) Shell().QuitMessageLoop();
}

void Page::LeaveHandler() {
    if (--handlerDepth_ > 0 || state_ != State::Unloaded) return;
    // No handler of this page runs any more: release it.
    auto& pages = AllPages();
    auto it = std::find_if(pages.begin(), pages.end(), [this](const auto& p) { return p.get() == this; });
    if (it != pages.end()) {
        std::unique_ptr<Page> self = std::move(*it);
        pages.erase(it);
        // self goes out of scope here and deletes this page; nothing touches it afterwards.
    }
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
    Attempt(L"MakeFonts", [&] { MakeFonts(); });
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
        if (Subclassing().complete()) Subclassing().set(window, LabelWindowProc, 0, 0);
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

Button& Page::AddCommand1(int index, const std::wstring& caption, const TwipsRect& rect) {
    const RECT rc = PixelsOf(rect);
    HWND button = ::CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                    rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hwnd_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCommand1BaseId + index)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(NormalFont()), FALSE);
    buttons_.push_back(std::make_unique<Button>(*this, button, index, rect));
    return *buttons_.back();
}

TextBox& Page::AddTextBox(const TwipsRect& rect) {
    const RECT rc = PixelsOf(rect);
    HWND edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, rc.left, rc.top,
                                  rc.right - rc.left, rc.bottom - rc.top, hwnd_, nullptr, ::GetModuleHandleW(nullptr),
                                  nullptr);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(NormalFont()), FALSE);
    textBoxes_.push_back(std::make_unique<TextBox>(*this, edit, rect));
    return *textBoxes_.back();
}

Timer& Page::AddTimer(UINT id, UINT intervalMs) {
    timers_.push_back(std::make_unique<Timer>(*this, id, intervalMs));
    return *timers_.back();
}

Button* Page::Command1(int index) noexcept {
    for (auto& button : buttons_)
        if (button->Index() == index) return button.get();
    return nullptr;
}

void Page::InvalidatePixels(const RECT& rect, bool repaintNow) {
    if (!hwnd_ || ::IsRectEmpty(&rect)) return;
    // The labels' windows show the page's pixels, so they are repainted with it.
    ::RedrawWindow(hwnd_, &rect, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | (repaintNow ? RDW_UPDATENOW : 0));
}

void Page::PaintForChild(HWND child, HDC hdc, const RECT& area) {
    POINT origin{0, 0};
    ::MapWindowPoints(child, hwnd_, &origin, 1);
    RECT onPage = area;
    ::OffsetRect(&onPage, origin.x, origin.y);
    // The child's DC addressed in the page's coordinates.
    POINT previous{};
    ::SetViewportOrgEx(hdc, -origin.x, -origin.y, &previous);
    Paint(hdc, onPage);
    ::SetViewportOrgEx(hdc, previous.x, previous.y, nullptr);
}

void Page::Paint(HDC hdc, const RECT& area) {
    // Drawn off screen first, so a label that changes while files are deleted does not flicker.
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    // The surface is kept: a label that changes every few milliseconds must not cost a new
    // bitmap each time. It grows to the largest area asked for and never shrinks.
    if (!paintDC_) paintDC_ = MemoryDC(::CreateCompatibleDC(hdc));
    if (!paintBitmap_ || width > paintSize_.cx || height > paintSize_.cy) {
        const SIZE size{std::max<LONG>(width, paintSize_.cx), std::max<LONG>(height, paintSize_.cy)};
        paintBitmap_ = GdiObject(::CreateCompatibleBitmap(hdc, size.cx, size.cy));
        paintSize_ = paintBitmap_ ? size : SIZE{};
    }
    if (!paintDC_ || !paintBitmap_) return;
    HDC memoryDC = paintDC_.get();
    {
        SelectedObject selected(memoryDC, paintBitmap_.get());
        ::SetViewportOrgEx(memoryDC, -area.left, -area.top, nullptr);
        ::FillRect(memoryDC, &area, ::GetSysColorBrush(COLOR_BTNFACE));
        for (const auto& image : images_) image->Paint(memoryDC);
        for (const auto& line : lines_) line->Paint(memoryDC);
        for (const auto& label : labels_)
            label->Paint(memoryDC, label->Font() == LabelFont::Bold ? BoldFont() : NormalFont());
        ::SetViewportOrgEx(memoryDC, 0, 0, nullptr);
        ::BitBlt(hdc, area.left, area.top, width, height, memoryDC, 0, 0, SRCCOPY);
    }
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
        Attempt(L"Paint", [&] { Paint(hdc, ps.rcPaint); });
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const int index = static_cast<int>(LOWORD(wParam)) - kCommand1BaseId;
            if (Command1(index)) Attempt(L"OnCommand1Click", [&] { OnCommand1Click(index); });
            return 0;
        }
        break;
    case WM_TIMER:
        for (const auto& timer : timers_) {
            if (timer->Id() == wParam) {
                if (timer->Enabled()) Attempt(L"OnTimer", [&] { OnTimer(static_cast<UINT>(wParam)); });
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
            Attempt(L"OnActivate", [&] { OnActivate(); });
        }
        return result;
    }
    case WM_DPICHANGED:
        Attempt(L"ApplyDpi", [&] { ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); });
        return 0;
    case WM_CLOSE: {
        bool close = true;
        Attempt(L"OnQueryClose", [&] { close = OnQueryClose(); });
        if (close) Unload();
        return 0;
    }
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    default:
        if (msg >= WM_APP && msg <= 0xBFFF) {
            Attempt(L"OnPageMessage", [&] { OnPageMessage(msg, wParam, lParam); });
            return 0;
        }
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---- The page registry and the message loop ------------------------------------------------

std::vector<Page*> LoadedPages() {
    std::vector<Page*> pages;
    for (const auto& page : AllPages())
        if (page->IsLoaded()) pages.push_back(page.get());
    return pages;
}

void AdoptAndLoad(std::unique_ptr<Page> page) {
    Page& ref = *page;
    AllPages().push_back(std::move(page));
    ref.Load();
}

bool TranslatePageKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !msg.hwnd) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    Page* page = Page::FromWindow(root);
    if (!page) return false;
    if (msg.wParam == VK_TAB) {
        if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
        HWND focus = ::GetFocus();
        if (HWND next = ::GetNextDlgTabItem(root, ::IsChild(root, focus) ? focus : nullptr, backwards ? TRUE : FALSE))
            ::SetFocus(next);
        return true;
    }
    if (msg.wParam == VK_RETURN) {
        HWND focus = ::GetFocus();
        if (!focus || ::GetParent(focus) != root || !::IsWindowEnabled(focus)) return false;
        const int id = ::GetDlgCtrlID(focus);
        if (!page->Command1(id - kCommand1BaseId)) return false;
        ::SendMessageW(root, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
        return true;
    }
    return false;
}

int RunMessageLoop() {
    // Messages and the watched handles together, so that a page learns of its worker's end
    // from the worker itself.
    for (;;) {
        RunSignalledWatches();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            if (TranslatePageKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        RunSignalledWatches();
        WaitForMessageOrWatch();
    }
}

void DispatchPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (TranslatePageKey(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    RunSignalledWatches();
}

}  // namespace ta
