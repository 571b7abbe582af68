// TarnilSet: stopping the product's processes and the applications it is loaded into.
#include <windows.h>

#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
#include "registry/Regset.h"
#include "removal/ProKill.h"
#include "removal/TarnilSet.h"

namespace TarnilSet {
namespace {

// The tray and the listed applications are means to the removal; a program that keeps coming back
// after the shutdown runs on, holding its files.
constexpr ta::Step kNotifyTrayStep{L"NotifyTray", ta::Footprint::None};
constexpr ta::Step kStopListedApplicationsStep{L"StopListedApplications", ta::Footprint::None};
constexpr ta::Step kStopReturningProcessesStep{L"StopReturningProcesses", ta::Footprint::Programs};


constexpr wchar_t kTrayClass[] = L"ThunderRT6FormDC";
constexpr wchar_t kTrayCaption[] = L"TarnilTray";
constexpr WPARAM kTrayShutdown = 2000;
constexpr DWORD kTrayPauseMs = 200;

void Stop(ProKill::ShutdownRound& round, const wchar_t* name) {
    ta::Attempt([&] { round.Stop(name); });
}

void StopListedApplications(ProKill::ShutdownRound& round) {
    const std::wstring value = Regset::GetStringValue(kProductKey, L"PROGRAM");
    if (value == Regset::kReadError) return;
    const ListedApplications listed = ParseProgramList(ta::TrimBlanks(value));
    for (const std::wstring& name : listed.names) {
        ta::Attempt([&] {
            if (listed.endAtOnce || !ProKill::ProcessNotRunning(name))
                round.Stop(name);
            else
                ta::Record(ta::ItemKind::Process, name, ta::Outcome::Absent);
        });
    }
}

// A listed name that can be an executable's: something before ".exe" that is not only blanks
// and dots, and nothing a file name cannot hold. A damaged value names no process at all
// rather than a pattern that many end with.
bool IsPlausibleName(const std::wstring& piece) {
    if (piece.find_first_not_of(L" .") == std::wstring::npos) return false;
    return piece.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

}  // namespace

ListedApplications ParseProgramList(const std::wstring& value) {
    ListedApplications listed;
    if (value.find(L';') == std::wstring::npos) {
        listed.endAtOnce = true;
        if (IsPlausibleName(value)) listed.names.push_back(value + L".exe");
        return listed;
    }
    // Only pieces closed by ";" count; what follows the last ";" is ignored. Pieces keep their
    // own blanks.
    size_t start = 0;
    for (size_t end = value.find(L';'); end != std::wstring::npos; end = value.find(L';', start)) {
        if (end > start && IsPlausibleName(value.substr(start, end - start)))
            listed.names.push_back(value.substr(start, end - start) + L".exe");
        start = end + 1;
    }
    return listed;
}

ULONGLONG StopProductProcesses() {
    // One round for all: every program with windows is asked in this order, then they all get
    // the same few seconds to close before what still runs is ended.
    ProKill::ShutdownRound round;
    const ULONGLONG deadline = round.Deadline();
    Stop(round, L"taagent.exe");
    Stop(round, L"tasuf.exe");
    ta::Attempt(kNotifyTrayStep, NotifyTray);
    for (const wchar_t* name : {L"morlatra.exe", L"tamail.exe", L"morlasnd.exe", L"qxctl.exe"}) Stop(round, name);
    ta::Attempt(kStopListedApplicationsStep, [&] { StopListedApplications(round); });
    ta::Attempt([&] { round.Finish(); });
    // What the product is loaded into, or a service's recovery, starts its programs again the
    // moment they end; a program ended late in the round may have done so for one ended early.
    ta::Attempt(kStopReturningProcessesStep, [&] { round.StopReturning(); });
    return deadline;
}

void NotifyTray() {
    // The message the tray program understands.
    const UINT trayMessage = ::RegisterWindowMessageW(L"30000");
    if (const HWND tray = ::FindWindowW(kTrayClass, kTrayCaption); tray && trayMessage != 0) {
        const bool posted = ::PostMessageW(tray, trayMessage, kTrayShutdown, 0);
        const DWORD refused = posted ? 0 : ::GetLastError();
        ta::Record(ta::ItemKind::Tray, kTrayCaption, posted ? ta::Outcome::Done : ta::Outcome::Failed, refused,
                   ta::KeptBy::None, posted || refused ? L"" : L"the message could not be posted");
    } else {
        ta::Record(ta::ItemKind::Tray, kTrayCaption, ta::Outcome::Absent);
    }
    ::Sleep(kTrayPauseMs);
}

void StopControlProcess(ULONGLONG roundDeadline) {
    // Its first attempt is already recorded; only a process still running is worth a line.
    if (ProKill::ProcessNotRunning(L"qxctl.exe")) return;
    // Within the bound of the round before, so that the whole shutdown stays within one round's.
    ProKill::ShutdownRound round(roundDeadline);
    round.Stop(L"qxctl.exe");
    round.Finish();
}

}  // namespace TarnilSet
