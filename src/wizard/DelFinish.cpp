#include "wizard/DelFinish.h"

#include <cwchar>

#include "platform/AppShell.h"
#include "platform/ComPtr.h"
#include "record/ContinueOnError.h"
#include "report/UninstallReport.h"
#include "run/RunOutcome.h"
#include "wizard/HandOver.h"
#include "wizard/RemovalSequence.h"
#include "wizard/Un_Start.h"
#include "wizard/frmAutoFileDel.h"

namespace ta {
namespace {

// The page's own work: nothing of the product stays when it fails.
constexpr Step kLoadDelFinishStep{L"LoadDelFinish", Footprint::None};
constexpr Step kShowOutcomeStep{L"ShowOutcome", Footprint::None};
// The restart the person chose; a refusal leaves the run waiting for a restart all the same.
constexpr Step kRestartSystemStep{L"RestartSystem", Footprint::None};

constexpr wchar_t kCompleted[] = L"타르닐 프로그램 제거작업이 모두 완료되었습니다.";
constexpr wchar_t kSomeStayed[] = L"타르닐 프로그램의 일부 항목을 제거하지 못했습니다.";
constexpr wchar_t kRestartLine[] = L"일부 파일은 컴퓨터를 다시 시작하면 삭제됩니다.";

// Where the texts go (twips). With something staying, the list takes the room below Label2, and
// Label4 moves down beneath the record's path.
constexpr TwipsRect kLabel4Place{240, 2280, 4935, 375};
constexpr TwipsRect kLabel4BelowList{240, 3300, 4935, 285};
constexpr TwipsRect kRestartLabelPlace{240, 2880, 6255, 300};
constexpr TwipsRect kRestartNowPlace{240, 3210, 2535, 330};
constexpr TwipsRect kRestartLaterPlace{2880, 3210, 2535, 330};
constexpr TwipsRect kStayedListPlace{240, 2070, 5175, 720};
constexpr TwipsRect kRetryPlace{5520, 2070, 1215, 375};
constexpr TwipsRect kRecordLabelPlace{240, 2820, 6480, 450};

// Why an item stayed, in words a person understands.
const wchar_t* ReasonInWords(const RecordEntry& entry) {
    if (entry.kind == ItemKind::Step) return L"작업이 끝까지 진행되지 못했습니다";
    if (entry.kind == ItemKind::Process) return L"프로그램이 아직 실행 중입니다";
    const bool win32 = entry.errorKind == ErrorKind::Win32;
    if (entry.keptBy == KeptBy::InUse || (win32 && (entry.error == ERROR_SHARING_VIOLATION || entry.error == ERROR_LOCK_VIOLATION)))
        return L"다른 프로그램이 사용하고 있습니다";
    if ((win32 && entry.error == ERROR_ACCESS_DENIED) || (!win32 && entry.error == static_cast<DWORD>(E_ACCESSDENIED)))
        return L"권한이 없습니다";
    if (entry.keptBy == KeptBy::Hidden) return L"숨김 파일 또는 시스템 파일이라 제거하지 않았습니다";
    return L"제거하지 못했습니다";
}

// One line of the list: the path or key, the reason, and the Windows error number.
std::wstring StayedLine(const RecordEntry& entry) {
    std::wstring line = (entry.item.empty() ? entry.step : entry.item) + L": " + ReasonInWords(entry);
    if (entry.error != 0) {
        wchar_t number[48];
        if (entry.errorKind == ErrorKind::Win32)
            std::swprintf(number, 48, L" (Windows 오류 %lu)", static_cast<unsigned long>(entry.error));
        else
            std::swprintf(number, 48, L" (%ls 0x%08lX)", entry.errorKind == ErrorKind::HResult ? L"HRESULT" : L"NTSTATUS",
                          static_cast<unsigned long>(entry.error));
        line += number;
    }
    return line;
}

// On a worker a step keeps its name; the report brings its own COM apartment.
void SendReportStep(const RemovalRun& run) {
    Attempt(kSendUninstallReportStep, [&] { SendUninstallReport(run); });
}

void RunStepsAgain(RemovalRun& run) {
    ComApartment com;  // the component and shortcut steps need COM on their own thread
    RunRemovalStepsAgain(run);
}

}  // namespace

void DelFinish::OnLoad() {
    // The page as it is stored.
    AddCommonControls();
    Label1 = &AddLabel({240, 120, 1455, 255}, L"약관동의", LabelFont::Bold, kBannerTextColor);
    Label2 = &AddLabel({240, 1680, 6255, 375}, kCompleted);
    Label4 = &AddLabel(kLabel4Place, L"완료를 누르시면 타르닐 프로그램 제거작업을 마칩니다.");
    AddButtonRow();

    // The load itself; only the progress page's finish remains to be shown.
    AttemptEach(kLoadDelFinishStep, [&] { SizePage(); }, [&] { PlaceButtons(); }, [&] { PlaceBannerAndLine(); },
                [&] { Image1->SetPicture(Un_Start::Banner()); }, [&] { Command1(1)->Caption(L"완료"); },
                [&] {
                    Command1(0)->Enabled(false);
                    Command1(2)->Enabled(false);
                },
                [&] { ShowOutcome(); },
                [] {
                    if (auto* progress = FindPage<frmAutoFileDel>()) progress->Unload();
                });
}

void DelFinish::ShowOutcome() {
    const std::vector<RecordEntry> entries = Run().record.Entries();
    outcome_ = ExitCodeOf(entries);
    const bool stayed = outcome_ == kExitFailed;
    Attempt(kShowOutcomeStep, [&] { Label2->Caption(stayed ? kSomeStayed : kCompleted); });
    Attempt(kShowOutcomeStep, [&] { ShowWhatStayed(stayed ? WhatStayed(entries) : std::vector<RecordEntry>()); });
    Attempt(kShowOutcomeStep, [&] {
        // What waits for the restart is said whatever else the page says: the person should know
        // before leaving.
        const bool waits = WaitsForRestart(entries);
        if (waits && !RestartLabel) RestartLabel = &AddLabel(kRestartLabelPlace, L"");
        if (RestartLabel) RestartLabel->Caption(waits && !stayed ? kRestartLine : L"");
        ShowRestartChoice(outcome_ == kExitRestartPending && !Run().request.noRestart);
    });
}

void DelFinish::ShowWhatStayed(const std::vector<RecordEntry>& stayed) {
    const bool shown = !stayed.empty();
    if (shown && !StayedList) {
        StayedList = &AddTextBox(kStayedListPlace, TextBoxKind::ReadOnlyList);
        RetryButton = &AddCommand1(kRetryIndex, L"다시 시도", kRetryPlace);
        RecordLabel = &AddLabel(kRecordLabelPlace, L"");
    }
    Label4->Move(shown ? kLabel4BelowList : kLabel4Place);
    if (!StayedList) return;
    std::wstring lines;
    for (const RecordEntry& entry : stayed) lines += (lines.empty() ? L"" : L"\r\n") + StayedLine(entry);
    StayedList->Text(lines);
    StayedList->Visible(shown);
    RetryButton->Visible(shown);
    const RunLog& log = Run().log;
    RecordLabel->Caption(shown && log.file ? L"제거 기록: " + log.path : L"");
}

void DelFinish::ShowRestartChoice(bool shown) {
    if (shown && !RestartNow) {
        RestartNow = &AddCommand1(kRestartNowIndex, L"지금 다시 시작", kRestartNowPlace, ButtonKind::FirstOption);
        RestartLater = &AddCommand1(kRestartLaterIndex, L"나중에 다시 시작", kRestartLaterPlace, ButtonKind::Option);
        RestartLater->Checked(true);
    }
    if (!RestartNow) return;
    RestartNow->Visible(shown);
    RestartLater->Visible(shown);
}

void DelFinish::OnActivate() { Command1(1)->SetFocus(); }

void DelFinish::EnableButtons(bool enabled) {
    Command1(1)->Enabled(enabled);
    if (RetryButton) RetryButton->Enabled(enabled);
}

void DelFinish::OnCommand1Click(int index) {
    if (reporter_.Running() || retrier_.Running()) return;
    RemovalRun& run = Run();
    if (index == kRetryIndex && outcome_ == kExitFailed) {
        EnableButtons(false);
        if (!retrier_.Start(hWnd(), kRetryEndedMessage, [&run] { RunStepsAgain(run); })) {
            RunStepsAgain(run);
            FinishRetry();
        }
        return;
    }
    if (index != 1) return;
    EnableButtons(false);
    if (!reporter_.Start(hWnd(), kReportEndedMessage, [&run] { SendReportStep(run); })) {
        // Without a thread the report still goes, as before, from this one.
        SendReportStep(run);
        FinishReport();
    }
}

void DelFinish::OnPageMessage(UINT msg, WPARAM, LPARAM) {
    if (msg == kReportEndedMessage && reporter_.Running()) FinishReport();
    if (msg == kRetryEndedMessage && retrier_.Running()) FinishRetry();
}

void DelFinish::FinishRetry() {
    retrier_.Join();
    ShowOutcome();
    EnableButtons(true);
    Command1(1)->SetFocus();
}

void DelFinish::FinishReport() {
    reporter_.Join();
    if (outcome_ == kExitRestartPending && RestartNow && RestartNow->Checked() && !Run().request.noRestart) {
        Attempt(kRestartSystemStep, [&] {
            const DWORD refused = Shell().RestartSystem();
            restartBegun_ = refused == ERROR_SUCCESS;
            Record(ItemKind::Step, L"restart", restartBegun_ ? Outcome::Done : Outcome::Failed, refused, KeptBy::None,
                   restartBegun_ ? L"the system restarts to finish the removal" : L"the system refused the restart");
        });
    }
    EnableButtons(true);
    Unload();
}

// The report's few seconds and a retry's end the program anyway; until then the page stays, so
// that the log is written with their lines in it.
bool DelFinish::OnQueryClose() { return !reporter_.Running() && !retrier_.Running(); }

void DelFinish::OnUnload() {
    reporter_.Join();
    retrier_.Join();
    EndRun(Run(), restartBegun_ ? kExitRestartInitiated : ExitCodeOf(Run().record.Entries()));
}

}  // namespace ta
