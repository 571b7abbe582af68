#include "wizard/DelFinish.h"

#include "platform/AppShell.h"
#include "record/ContinueOnError.h"
#include "report/UninstallReport.h"
#include "run/RunOutcome.h"
#include "wizard/HandOver.h"
#include "wizard/Un_Start.h"
#include "wizard/frmAutoFileDel.h"

namespace ta {
namespace {

// The page's own work: nothing of the product stays when it fails.
constexpr Step kLoadDelFinishStep{L"LoadDelFinish", Footprint::None};

}  // namespace

void DelFinish::OnLoad() {
    // The page as it is stored.
    AddCommonControls();
    Label1 = &AddLabel({240, 120, 1455, 255}, L"약관동의", LabelFont::Bold, kBannerTextColor);
    Label2 = &AddLabel({240, 1680, 6255, 375}, L"타르닐 프로그램 제거작업이 모두 완료되었습니다.");
    Label4 = &AddLabel({240, 2280, 4935, 375}, L"완료를 누르시면 타르닐 프로그램 제거작업을 마칩니다.");
    // Files another program held go at the next restart; the person should know before leaving.
    if (WaitsForRestart(Run().record.Entries()))
        RestartLabel = &AddLabel({240, 2880, 6255, 375}, L"일부 파일은 컴퓨터를 다시 시작하면 삭제됩니다.");
    AddButtonRow();

    // The load itself; only the progress page's finish remains to be shown.
    AttemptEach(kLoadDelFinishStep, [&] { SizePage(); }, [&] { PlaceButtons(); }, [&] { PlaceBannerAndLine(); },
                [&] { Image1->SetPicture(Un_Start::Banner()); }, [&] { Command1(1)->Caption(L"완료"); },
                [&] {
                    Command1(0)->Enabled(false);
                    Command1(2)->Enabled(false);
                },
                [] {
                    if (auto* progress = FindPage<frmAutoFileDel>()) progress->Unload();
                });
}

void DelFinish::OnActivate() { Command1(1)->SetFocus(); }

namespace {

// On the worker the step keeps its name; the report brings its own COM apartment.
void SendReportStep(const RemovalRun& run) {
    Attempt(kSendUninstallReportStep, [&] { SendUninstallReport(run); });
}

}  // namespace

void DelFinish::OnCommand1Click(int index) {
    if (index != 1 || reporter_.Running()) return;
    Command1(1)->Enabled(false);
    const RemovalRun& run = Run();
    if (!reporter_.Start(hWnd(), kReportEndedMessage, [&run] { SendReportStep(run); })) {
        // Without a thread the report still goes, as before, from this one.
        SendReportStep(run);
        FinishReport();
    }
}

void DelFinish::OnPageMessage(UINT msg, WPARAM, LPARAM) {
    if (msg == kReportEndedMessage && reporter_.Running()) FinishReport();
}

void DelFinish::FinishReport() {
    reporter_.Join();
    Command1(1)->Enabled(true);
    Unload();
}

// The report's few seconds end the program anyway; until then the page stays, so that the log
// is written with the report's line in it.
bool DelFinish::OnQueryClose() { return !reporter_.Running(); }

void DelFinish::OnUnload() {
    reporter_.Join();
    EndRun(Run(), ExitCodeOf(Run().record.Entries()));
}

}  // namespace ta
