// The progress page as a person sees it: the real frmAutoFileDel, shown on the display with its
// label and bar, removes an install folder of 10,000 files in 100 folders (0 to 4 KiB each),
// against a bare FindFirstFileW/DeleteFileW loop on an identical tree, the two taking turns.
// Meanwhile another thread sends the page a no-op message every 20 ms and notes the longest
// wait for its answer: what the system reads to call a window "Not Responding".
// Usage: bench_progresspage [rounds]   (8 by default: fewer let the disk's own pauses decide the ratio)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/AppShell.h"
#include "BareRemoval.h"
#include "platform/Handles.h"
#include "platform/Page.h"
#include "platform/Picture.h"
#include "platform/RemovalRun.h"
#include "platform/RemovalRecord.h"
#include "wizard/DelFinish.h"
#include "wizard/frmAutoFileDel.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr uint32_t kMaxSize = 4 * 1024;
const wchar_t kBenchRoot[] = L"C:\\TaUnInstPageBench";
const wchar_t kProductKey[] = L"SOFTWARE\\Morla";

// The pages stay in this process: ending the program is only noted.
class BenchShell : public ta::AppShell {
public:
    void EndProgram(int) override {}
    void QuitMessageLoop() override {}
};

int64_t BuildTree(const std::wstring& root) {
    ::CreateDirectoryW(kBenchRoot, nullptr);
    ::CreateDirectoryW(root.c_str(), nullptr);
    uint32_t state = 20261208;
    int64_t total = 0;
    std::vector<char> bytes(kMaxSize, 'x');
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::wstring dir = root + L"\\folder" + std::to_wstring(folder);
        ::CreateDirectoryW(dir.c_str(), nullptr);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            state = state * 1664525u + 1013904223u;
            const DWORD size = (state >> 8) % (kMaxSize + 1);
            const std::wstring path = dir + L"\\file" + std::to_wstring(file) + L".dat";
            ta::FileHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            ::WriteFile(handle.get(), bytes.data(), size, &written, nullptr);
            total += size;
        }
    }
    return total;
}

// What is left of a tree once its files are gone: its folders, removed.
int RemoveLeftovers(const std::wstring& root) {
    int files = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::wstring dir = root + L"\\folder" + std::to_wstring(folder);
        WIN32_FIND_DATAW entry;
        ta::FindHandle search(::FindFirstFileW((dir + L"\\*").c_str(), &entry));
        if (search) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    ++files;
                    ::DeleteFileW((dir + L"\\" + entry.cFileName).c_str());
                }
            } while (::FindNextFileW(search.get(), &entry));
        }
        search.reset();
        ::RemoveDirectoryW(dir.c_str());
    }
    ::RemoveDirectoryW(root.c_str());
    return files;
}

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void SetProductKey(const std::wstring& installPath, int64_t total) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    ::RegSetValueExW(key, L"ProgramPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(installPath.c_str()),
                     static_cast<DWORD>((installPath.size() + 1) * sizeof(wchar_t)));
    const DWORD totalBytes = static_cast<DWORD>(total);
    ::RegSetValueExW(key, L"ToTFile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&totalBytes), sizeof totalBytes);
    ::RegCloseKey(key);
}

// Sends the page a no-op message every 20 ms while it lives; keeps the longest wait.
class ResponsivenessProbe {
public:
    explicit ResponsivenessProbe(HWND page) : thread_([this, page] { Run(page); }) {}
    ~ResponsivenessProbe() {
        stop_ = true;
        thread_.join();
    }
    double LongestMs() const { return longest_; }
    int Probes() const { return probes_; }

private:
    void Run(HWND page) {
        while (!stop_) {
            const double from = Now();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(page, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
                if (!::IsWindow(page)) break;
            }
            longest_ = std::max(longest_.load(), (Now() - from) * 1000.0);
            ++probes_;
            ::Sleep(20);
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
    std::atomic<int> probes_{0};
    std::thread thread_;
};

// The whole page: shown, its removal run, until the finish page is there. Answers the seconds.
double RunPage(const std::wstring& root, int64_t total, double& longestMs, int& probes, double& filesStep) {
    SetProductKey(root, total);
    ta::RemovalRun run;
    ta::RemovalRecord& record = run.record;
    ta::RecordingScope recording(record);
    auto& page = ta::LoadPage<ta::frmAutoFileDel>(run);
    page.Timer1->Enabled(false);  // started at once below, not a second later
    page.Show();
    ta::DispatchPendingMessages();
    const double from = Now();
    double seconds = 0;
    {
        ResponsivenessProbe probe(page.hWnd());
        page.RunRemoval();
        MSG msg;
        while (!ta::FindPage<ta::DelFinish>() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (ta::TranslatePageKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        seconds = Now() - from;
        longestMs = std::max(longestMs, probe.LongestMs());
        probes += probe.Probes();
    }
    for (ta::Page* left : ta::LoadedPages()) left->Unload();
    ta::DispatchPendingMessages();
    // The file step alone, from the record: its first entry to its last.
    int64_t first = 0, last = 0;
    for (const ta::RecordEntry& entry : record.Entries()) {
        if (entry.step != L"FindFilesAPI") continue;
        const int64_t at = (static_cast<int64_t>(entry.time.dwHighDateTime) << 32) | entry.time.dwLowDateTime;
        if (!first) first = at;
        last = at;
    }
    filesStep += static_cast<double>(last - first) / 1e7;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 8);
    BenchShell shell;
    ta::ScopedShell scope(shell);
    // The pages take their banner from the program's own resources.
    const std::wstring program = ta::ExeFolder() + L"\\TaUnInst.exe";
    ta::SetResourceModule(
        ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));

    const std::wstring bareRoot = std::wstring(kBenchRoot) + L"\\Bare";
    const std::wstring pageRoot = std::wstring(kBenchRoot) + L"\\Tarnil";
    double bare = 0, pageSeconds = 0, longestMs = 0, filesStep = 0;
    int probes = 0, leftBehind = 0;
    for (int round = 0; round < rounds; ++round) {
        BuildTree(bareRoot);
        const int64_t total = BuildTree(pageRoot);
        // Each side first in turn, so both see the same caches and load.
        for (int turn = 0; turn < 2; ++turn) {
            if ((round + turn) % 2 == 0) {
                const double from = Now();
                bench::BareRemove(bareRoot);
                bare += Now() - from;
            } else {
                pageSeconds += RunPage(pageRoot, total, longestMs, probes, filesStep);
            }
        }
        leftBehind += RemoveLeftovers(bareRoot) + RemoveLeftovers(pageRoot);
    }
    ::RemoveDirectoryW(kBenchRoot);

    std::printf("the progress page shown, removing %d files in %d folders (0 to %u bytes), %d round(s)\n",
                kFolders * kFilesPerFolder, kFolders, kMaxSize, rounds);
    std::printf("bare FindFirstFileW/DeleteFileW loop: %8.3f s\n", bare);
    std::printf("progress page, load to finish page:  %8.3f s\n", pageSeconds);
    std::printf("ratio %.3f (target at most 1.10)\n", pageSeconds / bare);
    std::printf("of which the file step (first file to last): %8.3f s (ratio %.3f)\n", filesStep, filesStep / bare);
    std::printf("longest answer to a sent message:     %8.1f ms (target at most 100; %d probes)\n", longestMs, probes);
    if (leftBehind) std::printf("%d files were left behind\n", leftBehind);
    return leftBehind ? 1 : 0;
}
