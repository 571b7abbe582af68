// Removal throughput: a tree of 10,000 files in 100 folders (0 to 64 KiB each) removed by the
// progress page's FindFilesAPI with the real progress bar attached, against a bare
// FindFirstFileW/DeleteFileW loop on an identical tree. Prints both times and their ratio, and
// for comparison the time with Label3 showing every path as well, as the page runs it.
// Usage: bench_removal [rounds]   (each round builds the trees and removes them; times add up).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BareRemoval.h"
#include "controls/progressbar/ucProgressBar.h"
#include "platform/Handles.h"
#include "removal/RemovalSteps.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr uint32_t kMaxSize = 64 * 1024;
const wchar_t kBenchRoot[] = L"C:\\TaUnInstBench";

// The progress page as far as the file steps see it: the real bar and a label, both repainting
// at once, on a visible window.
class BenchPage : public ta::RemovalProgress {
public:
    BenchPage() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TaBenchPage";
        wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"removal benchmark", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 470, 313, nullptr, nullptr, wc.hInstance, nullptr);
        label_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 112, 401, 17, window_,
                                   nullptr, wc.hInstance, nullptr);
        bar.Create(window_, 16, 136, 425, 25, 1);
        bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1");  // as the page shows it
        bar.Min(0);
        ::UpdateWindow(window_);
    }
    ~BenchPage() override { ::DestroyWindow(window_); }
    ta::ucProgressBar bar;
    bool showPaths = false;
    ta::RemovalRun run;
    ta::RemovalSteps steps{run, *this};

    void ShowDeletedBytes(int64_t value) override { bar.Value(static_cast<int32_t>(value)); }
    void ShowComplete() override { bar.Value(bar.Max()); }
    void ShowFilePath(const std::wstring& path) override {
        if (!showPaths) return;
        ::SetWindowTextW(label_, path.c_str());
        ::UpdateWindow(label_);
    }
    void ShowClassId(const std::wstring&) override {}

private:
    HWND window_ = nullptr;
    HWND label_ = nullptr;
};

// The same sizes for both trees: a fixed pseudo-random sequence.
std::vector<uint32_t> FileSizes() {
    std::vector<uint32_t> sizes(kFolders * kFilesPerFolder);
    uint32_t state = 20260101;
    for (uint32_t& size : sizes) {
        state = state * 1664525u + 1013904223u;
        size = (state >> 8) % (kMaxSize + 1);
    }
    return sizes;
}

// Builds the tree; files get their size by their end-of-file mark, which is what the removal
// reads. Answers the total of the sizes.
int64_t BuildTree(const std::wstring& root, const std::vector<uint32_t>& sizes) {
    ::CreateDirectoryW(kBenchRoot, nullptr);
    ::CreateDirectoryW(root.c_str(), nullptr);
    int64_t total = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::wstring dir = root + L"\\folder" + std::to_wstring(folder);
        ::CreateDirectoryW(dir.c_str(), nullptr);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const uint32_t size = sizes[folder * kFilesPerFolder + file];
            const std::wstring path = dir + L"\\file" + std::to_wstring(file) + L".dat";
            ta::FileHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = size;
            ::SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN);
            ::SetEndOfFile(handle.get());
            total += size;
        }
    }
    return total;
}

// Removes what is left of a tree (its empty folders).
void RemoveFolders(const std::wstring& root) {
    for (int folder = 0; folder < kFolders; ++folder)
        ::RemoveDirectoryW((root + L"\\folder" + std::to_wstring(folder)).c_str());
    ::RemoveDirectoryW(root.c_str());
}

int CountFiles(const std::wstring& root) {
    int count = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
        WIN32_FIND_DATAW entry;
        ta::FindHandle search(
            ::FindFirstFileW((root + L"\\folder" + std::to_wstring(folder) + L"\\*").c_str(), &entry));
        if (!search) continue;
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
        } while (::FindNextFileW(search.get(), &entry));
    }
    return count;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Run>
double Time(Run&& run) {
    LARGE_INTEGER from, to;
    ::QueryPerformanceCounter(&from);
    run();
    ::QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 1);
    const std::vector<uint32_t> sizes = FileSizes();
    const std::wstring roots[] = {std::wstring(kBenchRoot) + L"\\Bare", std::wstring(kBenchRoot) + L"\\Tarnil",
                                  std::wstring(kBenchRoot) + L"\\TarnilLabel"};
    BenchPage page;
    double seconds[3] = {};
    int leftBehind = 0;

    // One tree a side, removed folder by folder with the sides taking turns (and each side first
    // in turn): on a shared machine every side then sees the same load and the same cache.
    const auto removeFolder = [&](int side, const std::wstring& folder) {
        if (side == 0) {
            seconds[0] += Time([&] { bench::BareRemove(folder); });
            return;
        }
        page.showPaths = side == 2;
        seconds[side] += Time([&] {
            std::wstring path = folder;
            int16_t files = 0, dirs = 0;
            page.steps.FindFilesAPI(path, L"*.*", files, dirs);
        });
    };
    for (int round = 0; round < rounds; ++round) {
        int64_t total = 0;
        for (const std::wstring& root : roots) total = BuildTree(root, sizes);
        page.bar.Max(static_cast<int32_t>(total));
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::wstring name = L"\\folder" + std::to_wstring(folder);
            if (folder == 0) {  // the bar starts from empty for each page's tree
                page.run.DeletedBytes = 0;
                page.bar.Value(0);
            }
            for (int turn = 0; turn < 3; ++turn) {
                const int side = (folder + round + turn) % 3;
                removeFolder(side, roots[side] + name);
            }
        }
        for (const std::wstring& root : roots) {
            leftBehind += CountFiles(root);
            RemoveFolders(root);
        }
    }
    ::RemoveDirectoryW(kBenchRoot);

    std::printf("%d files in %d folders (0 to %u bytes each), %d round(s)\n", kFolders * kFilesPerFolder, kFolders,
                kMaxSize, rounds);
    std::printf("bare FindFirstFileW/DeleteFileW loop: %8.3f s\n", seconds[0]);
    std::printf("FindFilesAPI with the bar:            %8.3f s\n", seconds[1]);
    std::printf("ratio %.3f (target at most 1.15)\n", seconds[1] / seconds[0]);
    std::printf("FindFilesAPI with the bar and Label3: %8.3f s (ratio %.3f)\n", seconds[2], seconds[2] / seconds[0]);
    if (leftBehind) std::printf("%d files were left behind\n", leftBehind);
    return leftBehind ? 1 : 0;
}
