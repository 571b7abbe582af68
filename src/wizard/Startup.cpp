#include "wizard/Startup.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "fs/FinalPath.h"
#include "platform/AppShell.h"
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "run/RunOutcome.h"
#include "ui/Page.h"
#include "wizard/CommandLine.h"
#include "wizard/HandOver.h"
#include "wizard/RemovalSequence.h"
#include "wizard/Un_Start.h"

namespace ta {
namespace {

// The run's start: nothing of the product stays when it fails.
constexpr Step kInitSystemPathsStep{L"InitSystemPaths", Footprint::None};
constexpr Step kShowStartPageStep{L"ShowStartPage", Footprint::None};

// The services of a run without a window: every box is answered without being shown (Yes is
// never the answer), the rest is the real program's.
class SilentShell : public AppShell {
public:
    int ShowMessage(HWND, const std::wstring&, const std::wstring&, UINT flags) override {
        return (flags & 0xF) == MB_OK ? IDOK : IDNO;
    }
};

}  // namespace

void InitSystemPaths(RemovalRun& run) { run.SystemDir = SystemFolder(); }

void LoadServerSettings(RemovalRun& run) {
    AttemptEach(kLoadServerSettingsStep,
                [&] { run.PidSetting = Regset::GetStringValue(TarnilSet::kProductKey, L"PID"); },
                [&] { run.MServerSetting = Regset::GetStringValue(TarnilSet::kProductKey, L"mserver"); });
}

int RunUninstaller(const std::wstring& arguments) {
    const std::vector<std::wstring> split = SplitArguments(arguments);
    const CommandLine options = ParseCommandLine(split);
    // The run, made before anything happens, so that its record holds everything the run does to
    // the machine.
    RemovalRun run;
    RecordingScope recording(run.record);
    run.request = RunRequest{options.logPath, arguments, options.noRestart};
    // Silent means silent: nothing the run meets may raise a box.
    SilentShell silentShell;
    std::optional<ScopedShell> quiet;
    if (options.silent) quiet.emplace(silentShell);

    if (!options.unknown.empty() || (options.help && !options.silent)) {
        if (!options.silent)
            Shell().ShowMessage(nullptr, kUsageText, L"타르닐 제거", MB_OK | (options.help ? MB_ICONINFORMATION : MB_ICONWARNING));
        const int code = options.unknown.empty() ? kExitSuccess : kExitInvalidParameter;
        EndRun(run, code);
        return code;
    }
    if (options.help) {  // silent help: nothing to show, nothing to do
        EndRun(run, kExitSuccess);
        return kExitSuccess;
    }
    // A private copy the original handed the run to counts as that original's instance.
    const bool handedOver = AcceptHandOver(run, options);
    // Any other run may hand over: its own file is held before anybody has a chance to put
    // another in its place, until the hand-over is decided.
    if (!handedOver) HoldOwnImage(run);
    std::wstring passedOver;
    const bool another = AnotherInstanceRunning(kInstanceName, &passedOver);
    if (!passedOver.empty())
        Record(ItemKind::Step, kInstanceName, Outcome::Done, 0, KeptBy::None,
               L"another account's object under the instance's name blocks nothing: passed over " + passedOver);
    if (another && !handedOver) {
        EndRun(run, kExitAnotherInstance);
        return kExitAnotherInstance;
    }
    // A program that removes folders keeps none of them as its current one (the install folder,
    // when it was opened from there); a relative log path still means where it was started.
    if (!options.logPath.empty()) run.request.logPath = NormalisedPath(options.logPath);
    // The wizard keeps its record too, so that what a finish page names as staying can be read
    // afterwards; where no log was asked for, in the place a log that cannot be written goes.
    if (run.request.logPath.empty() && !options.silent) run.request.logPath = FallbackLogPath();
    if (const std::wstring system = SystemFolder(); !system.empty()) ::SetCurrentDirectoryW(system.c_str());
    if (!handedOver) {
        if (const std::optional<int> code = RunFromPrivateCopy(run, split)) {
            // The copy ran the whole run and wrote its log; this process only answers for it.
            Shell().EndProgram(*code);
            return *code;
        }
        FinishCutShortRun(run);
    }
    // From here the record streams: the log grows as the removal goes, and memory does not.
    Attempt(kWriteRemovalLogStep, [&] { StartRemovalLog(run); });
    Attempt(kInitSystemPathsStep, [&] { InitSystemPaths(run); });
    if (options.silent) {
        const int code = RunSilentRemoval(run);
        EndRun(run, code);
        return code;
    }
    Attempt(kShowStartPageStep, [&] { LoadPage<Un_Start>(run).Show(); });
    if (!LoadedPages().empty()) RunMessageLoop();
    // The loop ends only when a page was closed before the removal began.
    EndRun(run, kExitUserCancelled);
    return kExitUserCancelled;
}

}  // namespace ta
