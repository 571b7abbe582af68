// What one repaint of the progress bar costs between file deletions, piece by piece: each
// variant deletes the same number of files and does one piece of the paint after every deletion
// (nothing; the window's rectangles; the window's DC; a bare 425 x 25 BitBlt to the window;
// composing off screen only; DrawControl; a Value assignment). Two more variants delete as the
// progress page's file steps do (open, check the final path, delete through the handle), with
// and without a Value assignment: that deletion alone sets the floor of the removal benchmark's
// ratio. The variants take turns folder by folder, so every one sees the same load. Prints
// microseconds per file for the piece alone and for the whole step (deletion plus piece).
// Usage: bench_repaintcost [folders] (100 files each, default 20)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "controls/progressbar/ucProgressBar.h"
#include "fs/FileRemoval.h"
#include "platform/Handles.h"

namespace {

constexpr int kFilesPerFolder = 100;
constexpr int kWidth = 425;
constexpr int kHeight = 25;
const wchar_t kRoot[] = L"C:\\TaUnInstRepaintBench";

double Ticks() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart);
}

double MicrosecondsPerTick() {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1e6 / static_cast<double>(frequency.QuadPart);
}

void MakeFiles(const std::wstring& dir) {
    ::CreateDirectoryW(dir.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::wstring path = dir + L"\\f" + std::to_wstring(i) + L".dat";
        ta::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = 1000 + i * 300;
        ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file.get());
    }
}

// The bare loop's deletion, and the file steps' one.
void DeleteBare(const std::wstring& dir, const std::wstring&, const std::wstring& name) {
    ::DeleteFileW((dir + L"\\" + name).c_str());
}
void DeleteAsFileSteps(const std::wstring& dir, const std::wstring& dirFinal, const std::wstring& name) {
    ta::DeleteFileInFolder(dir + L"\\" + name, dirFinal, name);
}

struct Variant {
    const char* name;
    std::function<void(int)> piece;
    void (*remove)(const std::wstring& dir, const std::wstring& dirFinal, const std::wstring& name) = DeleteBare;
    double pieceTicks = 0;
    double wholeTicks = 0;
    int files = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int folders = std::max(1, argc > 1 ? std::atoi(argv[1]) : 20);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TaRepaintBench";
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    ::RegisterClassW(&wc);
    HWND page = ::CreateWindowExW(0, wc.lpszClassName, L"repaint cost", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 470, 313, nullptr, nullptr, wc.hInstance, nullptr);
    ta::ucProgressBar bar;
    bar.Create(page, 16, 136, kWidth, kHeight, 1);
    bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1");
    bar.Max(kFilesPerFolder * 4);
    ::UpdateWindow(page);

    // The source of the bare copy: a display-compatible surface showing the bar.
    ta::WindowDC held(bar.hWnd());
    ta::MemoryDC source(::CreateCompatibleDC(held.get()));
    ta::GdiObject bitmap(::CreateCompatibleBitmap(held.get(), kWidth, kHeight));
    ta::SelectedObject selected(source.get(), bitmap.get());
    bar.DrawInto(source.get(), kWidth, kHeight);
    const HWND barWindow = bar.hWnd();

    std::vector<Variant> variants = {
        {"deletion only", [](int) {}},
        {"GetClientRect + GetWindowRect",
         [&](int) {
             RECT r;
             ::GetClientRect(barWindow, &r);
             ::GetWindowRect(barWindow, &r);
         }},
        {"GetDC + ReleaseDC", [&](int) { ta::WindowDC dc(barWindow); }},
        {"bare BitBlt 425 x 25 to the window (DC held)",
         [&](int) { ::BitBlt(held.get(), 0, 0, kWidth, kHeight, source.get(), 0, 0, SRCCOPY); }},
        {"GetDC + bare BitBlt + ReleaseDC",
         [&](int) {
             ta::WindowDC dc(barWindow);
             ::BitBlt(dc.get(), 0, 0, kWidth, kHeight, source.get(), 0, 0, SRCCOPY);
         }},
        {"compose off screen only (DrawInto)", [&](int) { bar.DrawInto(source.get(), kWidth, kHeight); }},
        {"DrawControl", [&](int) { bar.DrawControl(); }},
        {"Value assignment", [&](int i) { bar.Value(i); }},
        {"file steps' deletion, nothing else", [](int) {}, DeleteAsFileSteps},
        {"file steps' deletion, Value assignment", [&](int i) { bar.Value(i); }, DeleteAsFileSteps},
    };

    ::CreateDirectoryW(kRoot, nullptr);
    for (int folder = 0; folder < folders; ++folder) {
        for (size_t v = 0; v < variants.size(); ++v)
            MakeFiles(std::wstring(kRoot) + L"\\" + std::to_wstring(v));
        for (size_t turn = 0; turn < variants.size(); ++turn) {
            const size_t v = (turn + folder) % variants.size();
            Variant& variant = variants[v];
            const std::wstring dir = ta::LongPathForm(std::wstring(kRoot) + L"\\" + std::to_wstring(v));
            const std::wstring dirFinal = ta::FinalFolderPath(dir);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::wstring name = L"f" + std::to_wstring(i) + L".dat";
                const double start = Ticks();
                variant.remove(dir, dirFinal, name);
                const double between = Ticks();
                variant.piece(i);
                const double end = Ticks();
                variant.pieceTicks += end - between;
                variant.wholeTicks += end - start;
                ++variant.files;
            }
            ::RemoveDirectoryW(dir.c_str());
        }
    }
    ::RemoveDirectoryW(kRoot);

    const double us = MicrosecondsPerTick();
    std::printf("one piece of the repaint after every deletion, %d files a variant\n", variants[0].files);
    for (const Variant& v : variants)
        std::printf("%-46s: %8.1f us per file (deletion plus piece %8.1f us)\n", v.name,
                    v.pieceTicks * us / v.files, v.wholeTicks * us / v.files);
    const auto whole = [&](size_t v) { return variants[v].wholeTicks / variants[v].files; };
    const size_t fileSteps = variants.size() - 2;
    std::printf("ratio %.3f file steps' deletion against DeleteFileW, nothing drawn\n", whole(fileSteps) / whole(0));
    std::printf("ratio %.3f file steps' deletion with a Value assignment against DeleteFileW\n",
                whole(fileSteps + 1) / whole(0));
    ::DestroyWindow(page);
    return 0;
}
