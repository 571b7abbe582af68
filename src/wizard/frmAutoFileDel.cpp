#include "wizard/frmAutoFileDel.h"

#include "platform/ComPtr.h"
#include "record/ContinueOnError.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "ui/Twips.h"
#include "wizard/DelFinish.h"
#include "wizard/RemovalSequence.h"
#include "wizard/Un_Start.h"

namespace ta {
namespace {

// The page's own work: nothing of the product stays when it fails.
constexpr Step kLoadfrmAutoFileDelStep{L"LoadfrmAutoFileDel", Footprint::None};
constexpr Step kShowClassIdStep{L"ShowClassId", Footprint::None};
constexpr Step kShowFinishPageStep{L"ShowFinishPage", Footprint::None};

}  // namespace

frmAutoFileDel::~frmAutoFileDel() { worker_.Join(); }

void frmAutoFileDel::OnLoad() {
    // The page as it is stored.
    AddCommonControls();
    Label1 = &AddLabel({240, 240, 1455, 255}, L"", LabelFont::Bold, kBannerTextColor);
    Label2 = &AddLabel({240, 1080, 6495, 255}, L"");
    Label3 = &AddLabel({240, 1680, 6015, 255}, L"");
    const RECT bar = PixelsOf(kBarTwips);
    ucProgressBar1.Create(hWnd(), bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, 1);
    ucProgressBar1.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1");
    HostControl(ucProgressBar1.hWnd(), kBarTwips);
    AddRowButton(2, L"취소");
    Timer1 = &AddTimer(kTimer1Id, kTimer1IntervalMs);
    displayTimer_ = &AddTimer(kDisplayTimerId, kDisplayIntervalMs);
    // Below the visible area, never seen: it shows the browser helper's class id as the steps met it.
    Text1Box = &AddTextBox({3840, 6360, 5055, 495});

    // The load itself.
    AttemptEach(kLoadfrmAutoFileDelStep, [&] { SizePage(); }, [&] { Command1(2)->Move(5520, 3720); }, [&] { PlaceBannerAndLine(); },
                [&] { Image1->SetPicture(Un_Start::Banner()); },
                [&] {
                    Label1->Caption(L"제거 상태");
                    Label2->Caption(L"타르닐 제거 프로그램이 요청한 작업을 수행 중입니다");
                },
                [&] {
                    ucProgressBar1.Min(0);
                    share_ = BarShare(static_cast<uint32_t>(Regset::GetDwordValue(TarnilSet::kProductKey, L"ToTFile")));
                    ucProgressBar1.Max(share_.Max());
                },
                [&] { Timer1->Enabled(true); });
}

void frmAutoFileDel::OnTimer(UINT_PTR timerId) {
    if (timerId == kDisplayTimerId) {
        ShowLatestProgress();
        return;
    }
    if (timerId != kTimer1Id || removalStarted_) return;
    // One tick only: the timer stops before the removal starts, so no second tick can start it.
    removalStarted_ = true;
    Timer1->Enabled(false);
    RunRemoval();
}

void frmAutoFileDel::RunRemoval() {
    if (RemovalRunning()) return;
    removalStarted_ = true;
    barMax_ = ucProgressBar1.Max();
    displayTimer_->Enabled(true);
    workerTarget_ = hWnd();
    // The page's thread only shows progress and answers the system; the steps, which wait on
    // files, components and other programs, run on the worker.
    const bool started = worker_.Start(workerTarget_, kRemovalEndedMessage, [this] {
        ComApartment com;  // the component and shortcut steps need COM on their own thread
        RunRemovalSteps();
    });
    if (!started) {
        // Without a thread the removal still runs, as before, on this one.
        RunRemovalSteps();
        FinishRemoval();
    }
}

void frmAutoFileDel::RunRemovalSteps() {
    RunProgressSteps(Run(), *this, [this] { ::PostMessageW(workerTarget_, kStepEndedMessage, 0, 0); });
}

void frmAutoFileDel::OnPageMessage(UINT msg, WPARAM, LPARAM) {
    if (msg == kStepEndedMessage) ShowLatestProgress();
    if (msg == kRemovalEndedMessage && RemovalRunning()) FinishRemoval();
}

void frmAutoFileDel::ShowLatestProgress() {
    LatestProgress::Changes changes = latest_.Take();
    if (changes.value) Attempt(kShowBarValueStep, [&] { ucProgressBar1.Value(*changes.value); });
    if (changes.path) Attempt(kShowFilePathStep, [&] { Label3->Caption(*changes.path); });
    if (changes.classId) Attempt(kShowClassIdStep, [&] { Text1Box->Text(*changes.classId); });
}

void frmAutoFileDel::FinishRemoval() {
    worker_.Join();
    displayTimer_->Enabled(false);
    ShowLatestProgress();
    Attempt(kShowFinishPageStep, [&] { LoadPage<DelFinish>(Run()).Show(); });
}

void frmAutoFileDel::OnUnload() { worker_.Join(); }

// Once the removal has started, the page stays until the finish page replaces it: closing it
// half-way would leave the product half removed.
bool frmAutoFileDel::OnQueryClose() { return !removalStarted_; }

void frmAutoFileDel::ShowDeletedBytes(int64_t bytes) { latest_.Value(share_.ValueOf(bytes)); }

void frmAutoFileDel::ShowComplete() { latest_.Value(barMax_); }

void frmAutoFileDel::ShowFilePath(const std::wstring& path) { latest_.Path(path); }

void frmAutoFileDel::ShowClassId(const std::wstring& text) { latest_.ClassId(text); }

}  // namespace ta
