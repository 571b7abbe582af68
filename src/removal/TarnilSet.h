#pragma once
// The product-specific removal steps: which processes to stop and which registry data is ours.
#include <windows.h>

#include <string>
#include <vector>

#include "record/Step.h"

namespace TarnilSet {

// The product's key and the entries outside it that the product created.
inline constexpr wchar_t kProductKey[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla";
// The entry in the list of installed programs, whose "UninstallString" starts this program.
inline constexpr wchar_t kUninstallEntry[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil";

inline constexpr ta::Step kRemoveRegistryEntriesStep{L"RemoveRegistryEntries", ta::Footprint::Items};
// Means to the removal: a program they could not stop is the last shutdown step's to count.
inline constexpr ta::Step kStopProductProcessesStep{L"StopProductProcesses", ta::Footprint::None};
inline constexpr ta::Step kStopControlProcessStep{L"StopControlProcess", ta::Footprint::None};

// Deletes the product key tree, its uninstall entry and browser-extension key, and empties the
// autorun value "Tarnil".
void RemoveRegistryEntries();

// Stops the product's processes, notifies its tray program, and stops the applications listed
// in the product key's "PROGRAM" value: all in one round, in which those with windows are asked
// to close first and share one wait (see ProKill::ShutdownRound). Answers the round's deadline,
// for StopControlProcess.
ULONGLONG StopProductProcesses();
// Posts the tray program its shutdown message, then waits 200 ms.
void NotifyTray();
// The start page's second attempt at the product's control process, within the bound of the
// round before it: its deadline, as StopProductProcesses answered it (0: a round's bound from now).
void StopControlProcess(ULONGLONG roundDeadline = 0);

// The applications a "PROGRAM" value names ("alpha;beta;"), as executable names ("alpha.exe").
// A value without ";" names one application, ended at once; otherwise each name closed by ";"
// counts, empty ones are skipped, and each is looked for before it is ended.
struct ListedApplications {
    std::vector<std::wstring> names;
    bool endAtOnce = false;
};
// value: the "PROGRAM" text with its outer blanks already removed.
ListedApplications ParseProgramList(const std::wstring& value);

}  // namespace TarnilSet
