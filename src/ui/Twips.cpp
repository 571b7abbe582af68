#include "ui/Twips.h"

namespace ta {
namespace {

int ScreenCaps(int index) noexcept {
    HDC screen = ::GetDC(nullptr);
    const int value = screen ? ::GetDeviceCaps(screen, index) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
}

}  // namespace

int TwipsToPixels(int twips, int dpi) noexcept { return ::MulDiv(twips, dpi, kTwipsPerInch); }

int HimetricToPixels(int himetric, int dpi) noexcept { return ::MulDiv(himetric, dpi, kHimetricPerInch); }

int PointsToFontHeight(int points, int dpi) noexcept { return -::MulDiv(points, dpi, 72); }

int ScreenDpiX() noexcept { return ScreenCaps(LOGPIXELSX); }
int ScreenDpiY() noexcept { return ScreenCaps(LOGPIXELSY); }

int WindowDpi(HWND hwnd) noexcept {
    // GetDpiForWindow came with per-monitor scaling (Windows 10); older systems have one DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = hwnd && getDpiForWindow ? getDpiForWindow(hwnd) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : ScreenDpiY();
}

}  // namespace ta
