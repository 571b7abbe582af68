#pragma once
// How a run ends: the exit codes deployment tools already read from installers, derived from
// the removal record, and the removal log written on the way out when one was asked for.
#include <string>

#include "platform/RemovalRecord.h"

namespace ta {

inline constexpr int kExitSuccess = 0;            // everything that should go is gone
inline constexpr int kExitInvalidParameter = 87;  // a switch the program does not know
inline constexpr int kExitUserCancelled = 1602;
inline constexpr int kExitFailed = 1603;          // items that should have gone are still there
inline constexpr int kExitAnotherInstance = 1618;
inline constexpr int kExitRestartPending = 3010;  // removed, some of it at the next restart

// 1603 when any item that should have gone failed to (or a step broke off), else 3010 when any
// waits for the restart, else 0.
int ExitCodeOf(const std::vector<RecordEntry>& entries);

// Whether anything of the removal waits for the next restart.
bool WaitsForRestart(const std::vector<RecordEntry>& entries);

// What the run was asked; set once at start-up.
struct RunRequest {
    std::wstring logPath;   // empty: no log
    std::wstring switches;  // the command line as given, for the log's header
};
RunRequest& CurrentRequest();

// The log as UTF-8 text: a header (version, time, Windows version, switches), one line per
// entry, and the totals with the exit code.
std::string FormatRemovalLog(const std::vector<RecordEntry>& entries, int exitCode, const std::wstring& switches);

// Writes the log when one was asked for (a log that cannot be written changes nothing), then
// ends the program at once with exitCode.
void EndRun(int exitCode);

}  // namespace ta
