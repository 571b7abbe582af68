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

// What became of a file moved aside for the restart.
struct RestartMove {
    DWORD error = ERROR_SUCCESS;  // why it does not wait for the restart; ERROR_SUCCESS when it does
    bool moved = false;           // it left its folder (then error, if any, is the restart's refusal)
    std::wstring movedTo;         // where it is when it did not go back ("C:\...")
};

// Leaves the open file (opened with DELETE access) for the restart without naming a folder that
// others could change: the restart deletes by path, as the system, and a user who can write to
// the file's folder could put a link on that path meanwhile. So the file is first moved into a
// fresh private folder on its own volume (see CreatePrivateFolder), and only it and then that
// folder are scheduled. Should the restart refuse them, the file goes back where it was.
RestartMove MoveAsideForRestart(HANDLE file);

}  // namespace ta
