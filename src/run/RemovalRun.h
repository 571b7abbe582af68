#pragma once
// One run of the uninstaller, passed along instead of shared through globals: what start-up and
// the start page's hand-over learn, what the removal steps need and count, and what the report
// reads. It is made once at start-up, so that its record holds everything the program did, and
// lives until the program ends.
#include <cstdint>
#include <string>

#include "record/RemovalRecord.h"

namespace ta {

struct RemovalRun {
    // The install folder: "ProgramPath" as read, and once the guard has passed, its full form.
    std::wstring InstallPath;
    // The system folder without a trailing backslash; empty when it could not be found.
    std::wstring SystemDir;
    // "PID" and "mserver" of the product key, or "Error".
    std::wstring PidSetting;
    std::wstring MServerSetting;
    // Sum of the sizes of every file passed to deletion with a progress update, counted in 64
    // bits so that it stays true past 2 GB; the bar shows it as a share of "ToTFile". Only the
    // thread that runs the removal steps writes it.
    int64_t DeletedBytes = 0;
    // Everything the run did to the machine. The steps write to it through a RecordingScope.
    RemovalRecord record;
};

}  // namespace ta
