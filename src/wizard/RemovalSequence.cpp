#include "wizard/RemovalSequence.h"

#include <string>

#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "registry/Regset.h"
#include "removal/CreateShortCut.h"
#include "removal/RemovalSteps.h"
#include "removal/TarnilSet.h"
#include "report/UninstallReport.h"
#include "run/RunOutcome.h"
#include "wizard/HandOver.h"
#include "wizard/InstallGuard.h"
#include "wizard/Startup.h"

namespace ta {
namespace {

constexpr Step kStepEndedStep{L"StepEnded", Footprint::None};

}  // namespace

void RunHandOverSteps(RemovalRun& run) {
    Attempt(kLoadServerSettingsStep, [&] { LoadServerSettings(run); });
    // The shutdown's deadline passes from the one step to the next here, and nowhere else.
    ULONGLONG shutdownDeadline = 0;
    Attempt(TarnilSet::kStopProductProcessesStep, [&] { shutdownDeadline = TarnilSet::StopProductProcesses(); });
    Attempt(TarnilSet::kStopControlProcessStep, [&] { TarnilSet::StopControlProcess(shutdownDeadline); });
}

namespace {

// The removal's steps in their order. Again, they run a second time, after the person closed what
// kept an item: the product key is gone by then, so nothing is written into it, and the install
// folder is the one the first pass guarded.
void RunSteps(RemovalRun& run, RemovalProgress& progress, const std::function<void()>& stepEnded, bool again) {
    RemovalSteps steps(run, progress);
    const auto step = [&](const Step& declared, auto&& body) {
        Attempt(declared, body);
        if (stepEnded) Attempt(kStepEndedStep, stepEnded);
    };
    if (!again) {
        step(kUninstallStep, [] {
            RecordStatus(ItemKind::Value, std::wstring(TarnilSet::kProductKey) + L"\\Uninstall",
                         Regset::SetDwordValue(TarnilSet::kProductKey, L"Uninstall", 0), Outcome::Done);
        });
        step(kProgramPathStep, [&] { run.InstallPath = Regset::GetStringValue(TarnilSet::kProductKey, L"ProgramPath"); });
    }
    step(kFindFilesAPIStep, [&] {
        // The install folder is emptied only when it is plainly the product's own.
        const auto guarded = GuardedInstallPath(run.InstallPath);
        if (!guarded) {
            if (!again) RecordKept(ItemKind::Folder, run.InstallPath, KeptBy::Guard);
            return;
        }
        run.InstallPath = *guarded;
        MoveOriginalOutOf(run, run.InstallPath);
        // From here every step works on where the folder really is: the walk, the folders it
        // empties, and what compares with them.
        std::wstring why;
        const auto followed = FollowedInstallFolder(run.InstallPath, why);
        if (!followed) {
            Record(ItemKind::Folder, run.InstallPath, Outcome::Failed, 0, KeptBy::None, L"not removed: " + why);
            return;
        }
        if (!SameNameNoCase(*followed, run.InstallPath))
            Record(ItemKind::Folder, run.InstallPath, Outcome::Done, 0, KeptBy::None,
                   L"reached through a link that only the trusted may change: removed where it is, " + *followed);
        run.InstallPath = *followed;
        std::wstring searched = run.InstallPath;  // the walk's own copy; it gains the trailing "\"
        int16_t fileCount = 0, dirCount = 0;
        steps.FindFilesAPI(searched, L"*.*", fileCount, dirCount);
        Attempt(kRemoveInstallFoldersStep, [&] { steps.RemoveInstallFolders(); });
    });
    step(kRemoveBrowserHelperStep, [&] { steps.RemoveBrowserHelper(); });
    step(kDeleteSystemFilesStep, [&] { steps.DeleteSystemFiles(); });
    step(TarnilSet::kRemoveRegistryEntriesStep, [] { TarnilSet::RemoveRegistryEntries(); });
    step(CreateShortCut::kRemoveShortcutsStep, [] { CreateShortCut::RemoveShortcuts(); });
    step(kRestoreTextServicesStep, [&] { steps.RestoreTextServices(); });
}

}  // namespace

void RunProgressSteps(RemovalRun& run, RemovalProgress& progress, const std::function<void()>& stepEnded) {
    RunSteps(run, progress, stepEnded, false);
}

void RunRemovalStepsAgain(RemovalRun& run) {
    NoProgress nobody;
    RunSteps(run, nobody, {}, true);
}

int RunSilentRemoval(RemovalRun& run) {
    RunHandOverSteps(run);
    NoProgress nobody;
    RunProgressSteps(run, nobody);
    Attempt(kSendUninstallReportStep, [&] { SendUninstallReport(run); });
    const RemovalRecord* record = CurrentRecord();
    return record ? ExitCodeOf(record->Entries()) : kExitSuccess;
}

}  // namespace ta
