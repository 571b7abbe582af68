#include "wizard/RemovalSequence.h"

#include <string>

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

void RunHandOverSteps(RemovalRun& run) {
    Attempt(L"LoadServerSettings", [&] { LoadServerSettings(run); });
    // The shutdown's deadline passes from the one step to the next here, and nowhere else.
    ULONGLONG shutdownDeadline = 0;
    Attempt(L"StopProductProcesses", [&] { shutdownDeadline = TarnilSet::StopProductProcesses(); });
    Attempt(L"StopControlProcess", [&] { TarnilSet::StopControlProcess(shutdownDeadline); });
}

void RunProgressSteps(RemovalRun& run, RemovalProgress& progress, const std::function<void()>& stepEnded) {
    RemovalSteps steps(run, progress);
    const auto step = [&](const wchar_t* name, auto&& body) {
        Attempt(name, body);
        if (stepEnded) Attempt(L"StepEnded", stepEnded);
    };
    step(L"Uninstall", [] {
        RecordStatus(ItemKind::Value, std::wstring(TarnilSet::kProductKey) + L"\\Uninstall",
                     Regset::SetDwordValue(TarnilSet::kProductKey, L"Uninstall", 0), Outcome::Done);
    });
    step(L"ProgramPath", [&] { run.InstallPath = Regset::GetStringValue(TarnilSet::kProductKey, L"ProgramPath"); });
    step(L"FindFilesAPI", [&] {
        // The install folder is emptied only when it is plainly the product's own.
        const auto guarded = GuardedInstallPath(run.InstallPath);
        if (!guarded) {
            RecordKept(ItemKind::Folder, run.InstallPath, KeptBy::Guard);
            return;
        }
        run.InstallPath = *guarded;
        MoveOriginalOutOf(run, run.InstallPath);
        std::wstring searched = run.InstallPath;  // the walk's own copy; it gains the trailing "\"
        int16_t fileCount = 0, dirCount = 0;
        steps.FindFilesAPI(searched, L"*.*", fileCount, dirCount);
        Attempt(L"RemoveInstallFolders", [&] { steps.RemoveInstallFolders(); });
    });
    step(L"RemoveBrowserHelper", [&] { steps.RemoveBrowserHelper(); });
    step(L"DeleteSystemFiles", [&] { steps.DeleteSystemFiles(); });
    step(L"RemoveRegistryEntries", [] { TarnilSet::RemoveRegistryEntries(); });
    step(L"RemoveShortcuts", [] { CreateShortCut::RemoveShortcuts(); });
    step(L"RestoreTextServices", [&] { steps.RestoreTextServices(); });
}

int RunSilentRemoval(RemovalRun& run) {
    RunHandOverSteps(run);
    NoProgress nobody;
    RunProgressSteps(run, nobody);
    Attempt(L"SendUninstallReport", [&] { SendUninstallReport(run); });
    const RemovalRecord* record = CurrentRecord();
    return record ? ExitCodeOf(record->Entries()) : kExitSuccess;
}

}  // namespace ta
