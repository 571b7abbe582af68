// Times one paint of the progress page's bar (425 x 25, segmented, composed off screen and copied
// to its window) against one plain BitBlt of the same size to the same window, in one run.
// Run it through build/wine-run. Usage: bench_progressbar.exe [calls per round] [rounds]
// (the best round of each side counts).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "controls/progressbar/ucProgressBar.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"

namespace {

constexpr int kWidth = 425;
constexpr int kHeight = 25;

// Microseconds per call of `call` over `calls` calls, the drawing flushed before the clock stops.
template <typename Call>
double MicrosecondsPerCall(int calls, Call call) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) call(i);
    ::GdiFlush();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    ta::ComApartment com;

    HWND page = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 500, 100, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ta::ucProgressBar bar;
    if (!page || !bar.Create(page, 10, 10, kWidth, kHeight, 1)) {
        std::fprintf(stderr, "cannot create the windows\n");
        return 1;
    }
    // The page's stored set: segmented, inset thin-3D border, no text.
    if (!bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1")) bar.Segments(true);
    bar.Value(50);

    // The source of the plain copy: a display-compatible surface of the same size.
    ta::WindowDC screen(bar.hWnd());
    ta::MemoryDC source(::CreateCompatibleDC(screen.get()));
    ta::GdiObject bitmap(::CreateCompatibleBitmap(screen.get(), kWidth, kHeight));
    ta::SelectedObject selected(source.get(), bitmap.get());
    bar.DrawInto(source.get(), kWidth, kHeight);

    double draw = 1e300;
    double assign = 1e300;
    double blt = 1e300;
    for (int r = 0; r < rounds; ++r) {
        draw = std::min(draw, MicrosecondsPerCall(calls, [&](int) { bar.DrawControl(); }));
        assign = std::min(assign, MicrosecondsPerCall(calls, [&](int i) { bar.Value(i % 101); }));
        blt = std::min(blt, MicrosecondsPerCall(calls, [&](int) {
                           ::BitBlt(screen.get(), 0, 0, kWidth, kHeight, source.get(), 0, 0, SRCCOPY);
                       }));
    }
    std::printf("progress bar %d x %d, segmented, best of %d rounds of %d calls\n", kWidth, kHeight, rounds, calls);
    std::printf("DrawControl (composed off screen, one copy to the window): %9.2f us per call\n", draw);
    std::printf("Value assignment (store, DrawControl, notify):            %9.2f us per call\n", assign);
    std::printf("BitBlt %d x %d to the window:                            %9.2f us per call\n", kWidth, kHeight, blt);
    std::printf("ratio DrawControl / BitBlt: %.1f\n", blt > 0 ? draw / blt : 0.0);
    ::DestroyWindow(page);
    return 0;
}
