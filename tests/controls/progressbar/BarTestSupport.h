#pragma once
// What the progress bar's tests share: a page window to site the control on and a 32-bit
// surface whose pixels can be read back.
#include <windows.h>

#include <cstdint>

#include "controls/progressbar/HostObjects.h"
#include "platform/Handles.h"

namespace ta::test {

// A top-level window standing in for a page; shown so that paints reach the screen.
class HostWindow {
public:
    HostWindow()
        : hwnd_(::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}
    ~HostWindow() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

// A width × height 32-bit top-down surface; pixels read back as COLORREF values.
class PixelSurface {
public:
    PixelSurface(int32_t width, int32_t height) : width_(width), height_(height) {
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const uint32_t*>(bits);
        dc_.reset(::CreateCompatibleDC(nullptr));
        ::SelectObject(dc_.get(), bitmap_.get());
    }
    HDC dc() const { return dc_.get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    COLORREF At(int32_t x, int32_t y) const {
        ::GdiFlush();
        const uint32_t p = bits_[static_cast<size_t>(y) * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int32_t width_;
    int32_t height_;
    const uint32_t* bits_ = nullptr;
    GdiObject bitmap_;
    MemoryDC dc_;
};

}  // namespace ta::test
