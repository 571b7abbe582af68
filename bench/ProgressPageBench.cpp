// The progress page as a person sees it: the real frmAutoFileDel, shown on the display with its
// label and bar, removes an install folder of 10,000 files in 100 folders (0 to 4 KiB each),
// against a bare FindFirstFileW/DeleteFileW loop on an identical tree, the two taking turns.
// Meanwhile another thread sends the page a no-op message every 20 ms and notes the longest
// wait for its answer: what the system reads to call a window "Not Responding".
// Then the same at scale: 100,000 small files in 1,000 folders plus 25 sparse files of 128 MiB
// (3.4 GB, more than a signed 32-bit count holds), to show whether the cost per file stays flat
// and whether the process's memory grows with the files.
// Usage: bench_progresspage [rounds] [large-rounds] [big-files]
//   rounds: of the 10,000-file case, 8 by default (fewer let the disk's own pauses decide the ratio)
//   large-rounds: of the 100,000-file case, 1 by default; 0 leaves it out
//   big-files: of 128 MiB in the 100,000-file case, 25 by default
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "BareRemoval.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "record/RemovalRecord.h"
#include "run/RemovalRun.h"
#include "run/RunOutcome.h"
#include "ui/Page.h"
#include "ui/Picture.h"
#include "wizard/DelFinish.h"
#include "wizard/frmAutoFileDel.h"

namespace {

// One installation to remove: small files of 0 to 4 KiB, and big ones made sparse so that the
// disk is not filled.
struct TreeShape {
    int folders;
    int filesPerFolder;
    int bigFiles;  // 128 MiB each, one in each of the first folders
    int Files() const { return folders * filesPerFolder + bigFiles; }
};
constexpr TreeShape kSmall{100, 100, 0};
constexpr TreeShape kLarge{1000, 100, 25};
constexpr uint32_t kMaxSize = 4 * 1024;
constexpr int64_t kBigSize = int64_t{128} << 20;
const wchar_t kBenchRoot[] = L"C:\\TaUnInstPageBench";
const wchar_t kProductKey[] = L"SOFTWARE\\Morla";

// The pages stay in this process: ending the program is only noted.
class BenchShell : public ta::AppShell {
public:
    void EndProgram(int) override {}
    void QuitMessageLoop() override {}
};

int64_t BuildTree(const std::wstring& root, const TreeShape& shape) {
    ::CreateDirectoryW(kBenchRoot, nullptr);
    ::CreateDirectoryW(root.c_str(), nullptr);
    uint32_t state = 20261208;
    int64_t total = 0;
    std::vector<char> bytes(kMaxSize, 'x');
    for (int folder = 0; folder < shape.folders; ++folder) {
        const std::wstring dir = root + L"\\folder" + std::to_wstring(folder);
        ::CreateDirectoryW(dir.c_str(), nullptr);
        for (int file = 0; file < shape.filesPerFolder; ++file) {
            state = state * 1664525u + 1013904223u;
            const DWORD size = (state >> 8) % (kMaxSize + 1);
            const std::wstring path = dir + L"\\file" + std::to_wstring(file) + L".dat";
            ta::FileHandle handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            ::WriteFile(handle.get(), bytes.data(), size, &written, nullptr);
            total += size;
        }
        if (folder < shape.bigFiles) {
            // Its end set without writing anything: the file system keeps it as a hole.
            ta::FileHandle handle(::CreateFileW((dir + L"\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = kBigSize;
            if (::SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle.get()))
                total += kBigSize;
        }
    }
    return total;
}

// What is left of a tree once its files are gone: its folders, removed.
int RemoveLeftovers(const std::wstring& root, const TreeShape& shape) {
    int files = 0;
    for (int folder = 0; folder < shape.folders; ++folder) {
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

double PeakWorkingSetMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

void SetProductKey(const std::wstring& installPath, int64_t total) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    ::RegSetValueExW(key, L"ProgramPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(installPath.c_str()),
                     static_cast<DWORD>((installPath.size() + 1) * sizeof(wchar_t)));
    // Stored as the DWORD it is; above 2^31 the bar's own reading of it is another matter.
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

// What the runs of one case add up to.
struct Totals {
    double bare = 0, page = 0, filesStep = 0, longestMs = 0;
    int probes = 0, leftBehind = 0, logsIncomplete = 0;
};

// Seconds since midnight of a log line's time ("2026-12-09 06:41:13.123\t...").
double SecondsOfDay(const std::string& line) {
    unsigned hour = 0, minute = 0, second = 0, ms = 0;
    if (std::sscanf(line.c_str(), "%*u-%*u-%*u %u:%u:%u.%u", &hour, &minute, &second, &ms) != 4) return -1;
    return hour * 3600.0 + minute * 60.0 + second + ms / 1000.0;
}

// What the removal log says of the file step: how long it took, from its first line to its
// last, and how many files it says it removed.
struct FileStepInLog {
    double seconds = 0;
    int removed = 0;
    bool totals = false;  // the log ends with its totals line
};
// Read in pieces, so that reading it adds nothing to the process's peak memory.
FileStepInLog ReadLog(const std::wstring& path) {
    FileStepInLog said;
    ta::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return said;
    double first = -1, last = -1;
    std::string text, line, piece(64 * 1024, '\0');
    DWORD read = 0;
    while (::ReadFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &read, nullptr) && read > 0) {
        text.append(piece, 0, read);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            line.assign(text, start, end - start);
            said.totals = line.rfind("total: ", 0) == 0;
            if (line.find("\tFindFilesAPI\t") == std::string::npos) continue;
            const double at = SecondsOfDay(line);
            if (first < 0) first = at;
            last = at;
            if (line.find("\tfile\t") != std::string::npos && line.find("\tremoved\t") != std::string::npos)
                ++said.removed;
        }
        text.erase(0, start);
    }
    if (first >= 0) said.seconds = last >= first ? last - first : last + 86400 - first;
    return said;
}

// The whole page: shown, its removal run with the record streaming to the log as the program
// runs it, until the finish page is there. Adds to totals.
void RunPage(const std::wstring& root, int64_t total, int files, Totals& totals) {
    SetProductKey(root, total);
    const std::wstring log = std::wstring(kBenchRoot) + L"\\removal.log";
    ta::RemovalRun run;
    ta::RemovalRecord& record = run.record;
    ta::RecordingScope recording(record);
    run.request.logPath = log;
    ta::StartRemovalLog(run);
    auto& page = ta::LoadPage<ta::frmAutoFileDel>(run);
    page.Timer1->Enabled(false);  // started at once below, not a second later
    page.Show();
    ta::DispatchPendingMessages();
    const double from = Now();
    {
        ResponsivenessProbe probe(page.hWnd());
        page.RunRemoval();
        MSG msg;
        while (!ta::FindPage<ta::DelFinish>() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (ta::TranslatePageKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        totals.page += Now() - from;
        totals.longestMs = std::max(totals.longestMs, probe.LongestMs());
        totals.probes += probe.Probes();
    }
    // The finish page's unload ends the run: the log gets its totals.
    for (ta::Page* left : ta::LoadedPages()) left->Unload();
    ta::DispatchPendingMessages();
    const FileStepInLog said = ReadLog(log);
    ::DeleteFileW(log.c_str());
    totals.filesStep += said.seconds;
    if (said.removed != files || !said.totals) {
        std::printf("the log says %d of %d files removed%s\n", said.removed, files, said.totals ? "" : ", and has no totals");
        ++totals.logsIncomplete;
    }
}

// Writes what the tree's building and the last removal left dirty to the disk, so that each
// removal is timed alone and not with the write-back of what came before it.
void Settle() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    wchar_t command[] = L"Z:\\bin\\sync";
    if (!::CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return;
    ::WaitForSingleObject(process.hProcess, 120000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// Rounds of one case, the page and the bare loop each first in turn, so both see the same
// caches and load.
Totals RunCase(const TreeShape& shape, int rounds) {
    const std::wstring bareRoot = std::wstring(kBenchRoot) + L"\\Bare";
    const std::wstring pageRoot = std::wstring(kBenchRoot) + L"\\Tarnil";
    Totals totals;
    for (int round = 0; round < rounds; ++round) {
        BuildTree(bareRoot, shape);
        const int64_t total = BuildTree(pageRoot, shape);
        for (int turn = 0; turn < 2; ++turn) {
            Settle();
            if ((round + turn) % 2 == 0) {
                const double from = Now();
                bench::BareRemove(bareRoot);
                totals.bare += Now() - from;
            } else {
                RunPage(pageRoot, total, shape.Files(), totals);
            }
        }
        totals.leftBehind += RemoveLeftovers(bareRoot, shape) + RemoveLeftovers(pageRoot, shape);
    }
    return totals;
}

// Milliseconds a file, over every round.
double PerFile(double seconds, const TreeShape& shape, int rounds) {
    return seconds * 1000.0 / (static_cast<double>(shape.Files()) * rounds);
}

void PrintCase(const char* name, const TreeShape& shape, int rounds, const Totals& totals) {
    std::printf("%s: %d files in %d folders (0 to %u bytes%s), %d round(s)\n", name, shape.Files(), shape.folders,
                kMaxSize, shape.bigFiles ? " and sparse ones of 128 MiB" : "", rounds);
    std::printf("%s bare FindFirstFileW/DeleteFileW loop: %8.3f s\n", name, totals.bare);
    std::printf("%s progress page, load to finish page:  %8.3f s\n", name, totals.page);
    std::printf("%s page against bare: %.3f (target at most 1.10)\n", name, totals.page / totals.bare);
    std::printf("%s of which the file step (first file to last): %8.3f s (ratio %.3f)\n", name, totals.filesStep,
                totals.filesStep / totals.bare);
    std::printf("%s cost a file, page: %.4f ms\n", name, PerFile(totals.page, shape, rounds));
    std::printf("%s cost a file, bare loop: %.4f ms\n", name, PerFile(totals.bare, shape, rounds));
    std::printf("%s longest answer to a sent message:     %8.1f ms (target at most 100; %d probes)\n", name,
                totals.longestMs, totals.probes);
    if (totals.leftBehind) std::printf("%s: %d files were left behind\n", name, totals.leftBehind);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 8);
    const int largeRounds = std::max(0, argc > 2 ? std::atoi(argv[2]) : 1);
    TreeShape large = kLarge;
    if (argc > 3) large.bigFiles = std::clamp(std::atoi(argv[3]), 0, large.folders);
    BenchShell shell;
    ta::ScopedShell scope(shell);
    // The pages take their banner from the program's own resources.
    const std::wstring program = ta::ExeFolder() + L"\\TaUnInst.exe";
    ta::SetResourceModule(
        ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));

    const Totals small = RunCase(kSmall, rounds);
    const double smallPeakMb = PeakWorkingSetMb();
    std::printf("the progress page shown, removing installations against a bare deletion loop\n");
    PrintCase("10k", kSmall, rounds, small);
    std::printf("peak working set after the 10k rounds: %.1f MB\n", smallPeakMb);
    int failures = small.leftBehind + small.logsIncomplete;
    if (largeRounds > 0) {
        const Totals big = RunCase(large, largeRounds);
        PrintCase("100k", large, largeRounds, big);
        const double ratio = PerFile(big.page, large, largeRounds) / PerFile(small.page, kSmall, rounds);
        std::printf("cost a file at 100k against 10k: %.3f (target at most 1.25)\n", ratio);
        std::printf("the same for the bare loop: %.3f\n",
                    PerFile(big.bare, large, largeRounds) / PerFile(small.bare, kSmall, rounds));
        std::printf("peak working set after the 100k rounds: %.1f MB (target at most 64)\n", PeakWorkingSetMb());
        failures += big.leftBehind + big.logsIncomplete;
    }
    ::RemoveDirectoryW(kBenchRoot);
    return failures ? 1 : 0;
}
