// ta_wizard_walk.exe: walks the uninstaller's wizard from outside, as a person would, on the
// end-to-end driver, and keeps screenshots of what the person sees.
//
//   ta_wizard_walk [--from-entry | --program PATH] [--shots DIR] [--watch] [--timeout SECONDS]
//   ta_wizard_walk [--from-entry | --program PATH] --silent LOG
//
// Starts TaUnInst.exe (beside this program, or PATH; with --from-entry as the list of installed
// programs does, from the product's uninstall entry: the copy inside the install folder), presses
// "다음 >" on the start page, answers the
// closing notice with Yes, lets the progress page remove the product, presses "완료" on the finish
// page and waits for the program to end. With --watch it presses nothing and waits for a person to
// do it. With --shots it keeps PNG screenshots in DIR: the start page, the closing notice, the
// progress page, the progress page part-way and the finish page. The part-way shot is taken while
// the product's browser helper holds the removal (see the installation's BrowserHelper.cpp): the
// install folder is emptied then, the system folder not yet.
// Exits 0 when the program ran to its end, 1 at the first step that did not come.
//
// With --silent it runs TaUnInst.exe /S /log=LOG instead, as a deployment tool would, and watches
// that no window of it appears; it exits with the program's exit code, or 1 for a window seen.
//
// Started from the entry, the program must answer for the whole run: when the process that was
// started ends, the install folder must be gone (or wait for the restart, or the removal must have
// taken the uninstall entry after it, keeping the folder for a reason), and a few seconds later
// the temporary folders must hold nothing new but the wizard's removal record, and no deletion of
// theirs wait for the restart; a second start while the wizard is shown must end at once with 1618.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "../fixtures/installation/InstallationNames.h"
#include "../fixtures/installation/Manifest.h"
#include "e2e/WizardDriver.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace {

using namespace ta::e2e;

struct Options {
    std::wstring shots;
    std::wstring silentLog;
    std::wstring program;  // empty: TaUnInst.exe beside this program
    bool watch = false;
    bool fromEntry = false;
    DWORD timeoutMs = 90000;
};

void Say(const std::wstring& text) {
    const std::string bytes = ta::ToUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// A path as a command line names it; empty stays empty.
std::wstring Quoted(const std::wstring& path) { return path.empty() ? path : L"\"" + path + L"\""; }

std::wstring EntryValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    const LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil",
                                          name, RRF_RT_REG_SZ, nullptr, value, &bytes);
    return status == ERROR_SUCCESS ? value : L"";
}

std::vector<std::wstring> TemporaryFolders() {
    wchar_t user[MAX_PATH + 1] = {}, windows[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH + 1, user);
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    return {user, std::wstring(windows) + L"\\Temp\\"};
}

std::vector<std::wstring> EntriesOf(const std::vector<std::wstring>& folders) {
    std::vector<std::wstring> names;
    for (const std::wstring& folder : folders) {
        WIN32_FIND_DATAW entry;
        ta::FindHandle search(::FindFirstFileW((folder + L"*").c_str(), &entry));
        if (!search) continue;
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") names.push_back(folder + name);
        } while (::FindNextFileW(search.get(), &entry));
    }
    return names;
}

// The wizard's removal record, which it keeps in the temporary folder when no log was asked for.
bool EndsWithRecordName(const std::wstring& path) {
    static const std::wstring record = L"\\TaUnInst removal.log";
    return path.size() >= record.size() &&
           ::CompareStringOrdinal(path.c_str() + path.size() - record.size(), -1, record.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Inside(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()),
                                                                 folder.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The program as the list of installed programs starts it: the entry's command line, and what
// must hold of the machine once the process that was started has ended.
class FromEntry {
public:
    FromEntry() : command_(EntryValue(L"UninstallString")), installFolder_(EntryValue(L"InstallLocation")),
                  temporary_(TemporaryFolders()), before_(EntriesOf(temporary_)) {}

    const std::wstring& Command() const { return command_; }

    // Right when the started process has ended, then a few seconds later. Answers false on a fault.
    bool CheckAfterEnd() const {
        bool ok = true;
        const auto pending = installation::PendingDeletions();
        const bool folderThere = ::GetFileAttributesW(installFolder_.c_str()) != INVALID_FILE_ATTRIBUTES;
        const bool folderPending = std::any_of(pending.begin(), pending.end(), [&](const std::wstring& path) {
            return ::CompareStringOrdinal(path.c_str(), -1, installFolder_.c_str(), -1, TRUE) == CSTR_EQUAL;
        });
        // A folder the removal keeps for a reason of its own (a file held open where others may
        // change it) is the report's to judge; but the removal must have run by then, and its
        // last steps take the uninstall entry.
        const bool removalRan = EntryValue(L"UninstallString").empty();
        if (folderThere && !folderPending && !removalRan) {
            Say(L"walk: the started process ended before the removal: " + installFolder_ + L" is still there");
            ok = false;
        }
        std::vector<std::wstring> added;
        for (int waited = 0; waited <= 10000; waited += 250) {
            added.clear();
            for (const std::wstring& name : EntriesOf(temporary_)) {
                // The wizard's removal record is meant to stay there, for the person to read.
                if (EndsWithRecordName(name)) continue;
                if (std::find(before_.begin(), before_.end(), name) == before_.end()) added.push_back(name);
            }
            if (added.empty()) break;
            ::Sleep(250);
        }
        for (const std::wstring& name : added) Say(L"walk: left in a temporary folder: " + name);
        for (const std::wstring& path : installation::PendingDeletions())
            for (const std::wstring& folder : temporary_)
                if (Inside(path, folder)) Say(L"walk: waits for the restart in a temporary folder: " + path), ok = false;
        if (ok && added.empty()) Say(L"walk: the temporary folders hold nothing new");
        return ok && added.empty();
    }

private:
    std::wstring command_;
    std::wstring installFolder_;
    std::vector<std::wstring> temporary_;
    std::vector<std::wstring> before_;
};

class Walk {
public:
    explicit Walk(const Options& options) : options_(options) {}
    int Run();

private:
    // A screenshot once the page's thread has come back to its messages and painted; a page whose
    // thread is held (settle false) is taken as it stands.
    void Shot(HWND window, const std::wstring& name, bool settle) {
        if (options_.shots.empty()) return;
        DWORD_PTR ignored = 0;
        if (settle && window) ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 15000, &ignored);
        ::Sleep(700);
        const std::wstring taken = ScreenshotFolder() + L"\\walk-" + name + L".png";
        const std::wstring kept = options_.shots + L"\\" + name + L".png";
        if (Screenshot(window, L"walk-" + name) &&
            ::MoveFileExW(taken.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            Say(L"walk: screenshot " + kept);
        } else {
            Say(L"walk: no screenshot " + kept);
        }
    }

    // Waits for a window while the program runs: a person may end it any time in --watch mode.
    template <typename Probe>
    HWND Await(Uninstaller& program, const std::wstring& what, Probe probe) {
        const ULONGLONG until = ::GetTickCount64() + options_.timeoutMs;
        while (::GetTickCount64() < until) {
            if (HWND hwnd = probe(250)) return hwnd;
            if (program.WaitForExit(0) != STILL_ACTIVE) break;
        }
        Say(L"walk: no " + what);
        return nullptr;
    }

    void PressOn(HWND window, const std::wstring& caption) {
        if (options_.watch) return;
        Press(FindChild(window, caption));
        Say(L"walk: pressed " + caption);
    }

    const Options& options_;
};

int Walk::Run() {
    // Events through which the product's browser helper holds the removal part-way.
    ta::KernelHandle reached, release;
    if (!options_.shots.empty()) {
        reached.reset(::CreateEventW(nullptr, TRUE, FALSE, tarnil::kPartWayReached));
        release.reset(::CreateEventW(nullptr, TRUE, FALSE, tarnil::kPartWayRelease));
    }

    std::optional<FromEntry> entry;
    if (options_.fromEntry) entry.emplace();
    Uninstaller program({}, !entry, entry ? entry->Command() : Quoted(options_.program));
    if (!program.Started()) {
        Say(L"walk: TaUnInst.exe did not start");
        return 1;
    }
    Say(std::wstring(L"walk: TaUnInst.exe started") + (options_.watch ? L"; click through it" : L""));
    const DWORD pid = program.Pid();

    HWND start = Await(program, L"start page", [&](DWORD ms) { return WaitForPage(pid, L"다음 >", ms); });
    if (!start) return 1;
    Shot(start, L"1-start-page", true);
    if (entry) {
        // The wizard is the copy's now; a second start still meets the one instance there is.
        Uninstaller second(L"/S", false);
        const DWORD code = second.WaitForExit(10000);
        Say(L"walk: a second start during the run answered " + std::to_wstring(code));
        if (code != 1618) return 1;
    }
    PressOn(start, L"다음 >");

    HWND notice = Await(program, L"closing notice", [&](DWORD ms) { return WaitForMessageBox(pid, L"타르닐 제거", ms); });
    if (!notice) return 1;
    Shot(start, L"2-closing-notice", false);  // the box stands over the start page
    if (!options_.watch) {
        Press(::GetDlgItem(notice, IDYES));
        Say(L"walk: answered Yes");
    }

    HWND progress = Await(program, L"progress page", [&](DWORD ms) { return WaitForPage(pid, L"취소", ms); });
    if (!progress) return 1;
    Shot(progress, L"3-progress-page", false);  // its removal may already hold the thread
    if (reached) {
        // The hold comes while the progress page works; a removal that never unregisters the
        // browser helper goes on to the finish page without it.
        bool held = false;
        Await(program, L"removal part-way", [&](DWORD ms) -> HWND {
            held = ::WaitForSingleObject(reached.get(), ms) == WAIT_OBJECT_0;
            return held ? progress : WaitForPage(pid, L"완료", 0);
        });
        if (held) Shot(progress, L"4-progress-part-way", false);
        else Say(L"walk: the removal went on without the part-way hold");
        ::SetEvent(release.get());
    }

    HWND finish = Await(program, L"finish page", [&](DWORD ms) { return WaitForPage(pid, L"완료", ms); });
    if (!finish) return 1;
    Shot(finish, L"5-finish-page", true);
    PressOn(finish, L"완료");

    const DWORD code = program.WaitForExit(options_.timeoutMs);
    if (code == STILL_ACTIVE) {
        Say(L"walk: the program did not end");
        return 1;
    }
    Say(L"walk: the program ended with exit code " + std::to_wstring(code));
    return entry && !entry->CheckAfterEnd() ? 1 : 0;
}

// The unattended road: nothing to press, nothing may be shown.
int RunSilently(const Options& options) {
    std::optional<FromEntry> entry;
    if (options.fromEntry) entry.emplace();
    Uninstaller program(L"/S \"/log=" + options.silentLog + L"\"", false, entry ? entry->Command() : Quoted(options.program));
    if (!program.Started()) {
        Say(L"walk: TaUnInst.exe /S did not start");
        return 1;
    }
    bool showedWindow = false;
    DWORD code = STILL_ACTIVE;
    for (const ULONGLONG until = ::GetTickCount64() + options.timeoutMs;
         code == STILL_ACTIVE && ::GetTickCount64() < until;) {
        showedWindow = showedWindow || !program.Windows().empty();
        code = program.WaitForExit(10);
    }
    if (code == STILL_ACTIVE) {
        Say(L"walk: TaUnInst.exe /S did not end");
        return 1;
    }
    Say(L"walk: TaUnInst.exe /S ended with exit code " + std::to_wstring(code) +
        (showedWindow ? L", but a window of it appeared" : L", no window of it appeared"));
    if (entry && !entry->CheckAfterEnd()) return 1;
    return showedWindow ? 1 : static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--shots" && i + 1 < argc) options.shots = argv[++i];
        else if (arg == L"--watch") options.watch = true;
        else if (arg == L"--from-entry") options.fromEntry = true;
        else if (arg == L"--silent" && i + 1 < argc) options.silentLog = argv[++i];
        else if (arg == L"--program" && i + 1 < argc) options.program = argv[++i];
        else if (arg == L"--timeout" && i + 1 < argc) options.timeoutMs = std::wcstoul(argv[++i], nullptr, 10) * 1000;
        else {
            std::fputs("usage: ta_wizard_walk [--from-entry | --program PATH] [--shots DIR] [--watch] [--timeout SECONDS]"
                       " | [--from-entry | --program PATH] --silent LOG\n",
                       stderr);
            return 2;
        }
    }
    if (options.watch) options.timeoutMs = 3600 * 1000;
    if (!options.silentLog.empty()) return RunSilently(options);
    return Walk(options).Run();
}
