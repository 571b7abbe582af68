#pragma once
// The self-drawn progress bar. (Placeholder: the hosting interface the pages use, with a plain
// fill; the full control replaces it.)
#include <windows.h>

#include <cstdint>

namespace ta {

class ucProgressBar {
public:
    ucProgressBar() = default;
    virtual ~ucProgressBar();
    ucProgressBar(const ucProgressBar&) = delete;
    ucProgressBar& operator=(const ucProgressBar&) = delete;

    // Sites the control on a page: a child window at (x, y), width × height pixels.
    bool Create(HWND parent, int x, int y, int width, int height, int id);
    HWND hWnd() const { return hwnd_; }

    int32_t Min() const { return min_; }
    void Min(int32_t value);
    int32_t Max() const { return max_; }
    void Max(int32_t value);
    int32_t Value() const { return value_; }
    void Value(int32_t value);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC hdc);
    void Redraw();

    HWND hwnd_ = nullptr;
    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t value_ = 0;
};

}  // namespace ta
