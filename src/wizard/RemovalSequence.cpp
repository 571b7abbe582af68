#include "wizard/RemovalSequence.h"

#include <string>

#include "platform/ContinueOnError.h"
#include "registry/Regset.h"
#include "removal/CreateShortCut.h"
#include "removal/TarnilSet.h"
#include "report/UninstallReport.h"
#include "wizard/HandOver.h"
#include "wizard/InstallGuard.h"
#include "wizard/RunOutcome.h"
#include "wizard/Startup.h"

namespace ta {
namespace {

// The progress page's steps with nobody to show them to.
class HeadlessSteps : public ProgressPageSteps {
protected:
    void SetBarValue(int32_t) override {}
    int32_t BarMax() const override { return 0; }
    void ShowFilePath(const std::wstring&) override {}
    void SetText1(const std::wstring& text) override { text1_ = text; }
    std::wstring Text1() const override { return text1_; }

private:
    std::wstring text1_;
};

}  // namespace

void RunHandOverSteps() {
    Attempt(L"LoadServerSettings", [] { LoadServerSettings(); });
    Attempt(L"StopProductProcesses", [] { TarnilSet::StopProductProcesses(); });
    Attempt(L"StopControlProcess", [] { TarnilSet::StopControlProcess(); });
}

void RunProgressSteps(ProgressPageSteps& steps, const std::function<void()>& stepEnded) {
    const auto step = [&](const wchar_t* name, auto&& body) {
        Attempt(name, body);
        if (stepEnded) Attempt(L"StepEnded", stepEnded);
    };
    step(L"Uninstall", [] {
        RecordStatus(ItemKind::Value, std::wstring(TarnilSet::kProductKey) + L"\\Uninstall",
                     Regset::SetDwordValue(TarnilSet::kProductKey, L"Uninstall", 0), Outcome::Done);
    });
    step(L"ProgramPath", [&] { steps.InstallPath = Regset::GetStringValue(TarnilSet::kProductKey, L"ProgramPath"); });
    step(L"FindFilesAPI", [&] {
        // The install folder is emptied only when it is plainly the product's own.
        const auto guarded = GuardedInstallPath(steps.InstallPath);
        if (!guarded) {
            RecordKept(ItemKind::Folder, steps.InstallPath, KeptBy::Guard);
            return;
        }
        steps.InstallPath = *guarded;
        MoveOriginalOutOf(steps.InstallPath);
        int16_t fileCount = 0, dirCount = 0;
        steps.FindFilesAPI(steps.InstallPath, L"*.*", fileCount, dirCount);
        Attempt(L"RemoveInstallFolders", [&] { steps.RemoveInstallFolders(); });
    });
    step(L"RemoveBrowserHelper", [&] { steps.RemoveBrowserHelper(); });
    step(L"DeleteSystemFiles", [&] { steps.DeleteSystemFiles(); });
    step(L"RemoveRegistryEntries", [] { TarnilSet::RemoveRegistryEntries(); });
    step(L"RemoveShortcuts", [] { CreateShortCut::RemoveShortcuts(); });
    step(L"RestoreTextServices", [&] { steps.RestoreTextServices(); });
}

int RunSilentRemoval() {
    RunHandOverSteps();
    HeadlessSteps steps;
    RunProgressSteps(steps);
    Attempt(L"SendUninstallReport", [] { SendUninstallReport(); });
    const RemovalRecord* record = CurrentRecord();
    return record ? ExitCodeOf(record->Entries()) : kExitSuccess;
}

}  // namespace ta
