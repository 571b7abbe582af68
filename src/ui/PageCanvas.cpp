#include "ui/PageCanvas.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/SystemLibrary.h"
#include "record/ContinueOnError.h"
#include "ui/Page.h"

namespace ta {
namespace {

// Painting: nothing of the product stays when it fails.
constexpr Step kPaintForChildStep{L"PaintForChild", Footprint::None};

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
        if (Page* page = Page::FromWindow(parent)) Attempt(kPaintForChildStep, [&] { page->PaintForChild(hwnd, hdc, ps.rcPaint); });
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

}  // namespace

void ShowPageBeneath(HWND label) {
    if (label && Subclassing().complete()) Subclassing().set(label, LabelWindowProc, 0, 0);
}

void PageCanvas::Paint(HDC hdc, const RECT& area, const std::function<void(HDC)>& drawLayers) {
    // Drawn off screen first, so a label that changes while files are deleted does not flicker.
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    // The surface is kept: a label that changes at every display tick must not cost a new
    // bitmap each time. It grows to the largest area asked for and never shrinks.
    if (!dc_) dc_ = MemoryDC(::CreateCompatibleDC(hdc));
    if (!bitmap_ || width > size_.cx || height > size_.cy) {
        const SIZE size{std::max<LONG>(width, size_.cx), std::max<LONG>(height, size_.cy)};
        bitmap_ = GdiObject(::CreateCompatibleBitmap(hdc, size.cx, size.cy));
        size_ = bitmap_ ? size : SIZE{};
    }
    if (!dc_ || !bitmap_) return;
    HDC memoryDC = dc_.get();
    {
        SelectedObject selected(memoryDC, bitmap_.get());
        ::SetViewportOrgEx(memoryDC, -area.left, -area.top, nullptr);
        ::FillRect(memoryDC, &area, ::GetSysColorBrush(COLOR_BTNFACE));
        drawLayers(memoryDC);
        ::SetViewportOrgEx(memoryDC, 0, 0, nullptr);
        ::BitBlt(hdc, area.left, area.top, width, height, memoryDC, 0, 0, SRCCOPY);
    }
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
    canvas_.Paint(hdc, area, [this](HDC surface) {
        for (const auto& image : images_) image->Paint(surface);
        for (const auto& line : lines_) line->Paint(surface);
        for (const auto& label : labels_)
            label->Paint(surface, label->Font() == LabelFont::Bold ? BoldFont() : NormalFont());
    });
}

}  // namespace ta
