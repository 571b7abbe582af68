#pragma once
// One run of the uninstaller, passed along instead of shared through globals: what start-up and
// the start page's hand-over learn, what the removal steps need and count, and what the report
// reads. It is made once at start-up, so that its record holds everything the program did, and
// lives until the program ends.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Handles.h"
#include "record/RemovalRecord.h"

namespace ta {

// What the run was asked; set once at start-up.
struct RunRequest {
    std::wstring logPath;   // empty: no log
    std::wstring switches;  // the command line as given, for the log's header
    bool noRestart = false;  // /norestart: the run neither offers a restart nor asks for one
};

class RemovalLogFile;  // run/RunOutcome.cpp
// The removal log while the run writes it (run/RunOutcome.h).
struct RunLog {
    RunLog();
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    bool started = false;
    std::wstring path;  // where it goes
    std::unique_ptr<RemovalLogFile> file;
};

// What a private copy knows of the program it runs the removal for (wizard/HandOver.h).
struct HandedOver {
    // The program's own file, held from start-up until the copy runs: readable, but neither
    // writable nor removable, and known to be the running image. Empty when it is not (ownImageError
    // says why).
    FileHandle ownImage;
    DWORD ownImageError = 0;
    KernelHandle originalProcess;
    std::wstring originalPath;  // normalised; empty in a run that was not handed over
    // A run that finishes one cut short after its hand-over: it runs from that run's private
    // folder, which goes at its end.
    bool finishesCutShortRun = false;
};

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
    RunRequest request;
    HandedOver handedOver;
    // Declared before the record, which streams to it, so that it outlives the record.
    RunLog log;
    // Everything the run did to the machine. The steps write to it through a RecordingScope.
    RemovalRecord record;
};

}  // namespace ta
