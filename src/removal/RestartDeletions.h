#pragma once
// Deletions the system carries out at the next restart, before any program can hold the file
// again: the way a file another program keeps open still leaves the machine.
#include <windows.h>

#include <string>
#include <vector>

namespace ta {

// Schedules the file or folder at longPath ("\\?\C:\...") for deletion at the next restart;
// answers ERROR_SUCCESS or why the system refused.
DWORD ScheduleDeletionAtRestart(const std::wstring& longPath);

// The paths waiting for deletion at the next restart ("C:\..."), in the order they will go.
std::vector<std::wstring> DeletionsPendingRestart();

// Whether everything the folder at longPath holds (at least one entry) already waits for
// deletion at the restart, so that the folder stays only because of it.
bool HoldsOnlyPendingDeletions(const std::wstring& longPath);

}  // namespace ta
