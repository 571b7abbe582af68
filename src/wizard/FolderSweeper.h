#pragma once
// Removing a folder that a running program's own file lies in: only another process can do it,
// once that program has ended. The sweeper is the system folder's command processor, so nothing
// of ours has to stay behind to do the job.
#include <windows.h>

#include <string>

namespace ta {

// Starts the sweeper for folder, whose last component must be a plain name of our own making
// (letters, digits, "-"). It waits until this process and, when given, the process holder have
// ended (each holds one end of the sweeper's input, which reaches its end when both have closed
// it), then removes the folder with everything in it, trying once more a moment later when a
// file was still held. Answers 0, or the Win32 error that kept the sweeper from starting.
DWORD StartFolderSweeper(const std::wstring& folder, HANDLE holder);

}  // namespace ta
