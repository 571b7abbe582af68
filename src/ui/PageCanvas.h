#pragma once
// The page's composed painting: the page's face, its pictures, lines and labels' text are drawn
// off screen in one composition and copied in one block, so labels lie transparently on the
// banner and nothing flickers. A label's window shows the page's composition of its area.
#include <windows.h>

#include <functional>

#include "platform/Handles.h"

namespace ta {

// The off-screen surface a page composes its paints on, kept between paints and grown on demand.
class PageCanvas {
public:
    // Composes `area` (client pixels) on the surface: the page's face, then what `drawLayers`
    // draws in client coordinates; then copies it to hdc in one block.
    void Paint(HDC hdc, const RECT& area, const std::function<void(HDC)>& drawLayers);

private:
    MemoryDC dc_;
    GdiObject bitmap_;
    SIZE size_{};
};

// Makes a label's window paint nothing of its own but its page's composition of its area.
void ShowPageBeneath(HWND label);

}  // namespace ta
