#include "wizard/Un_Start.h"

#include "platform/AppShell.h"
#include "record/ContinueOnError.h"
#include "removal/TarnilSet.h"
#include "run/RunOutcome.h"
#include "ui/ResourceIds.h"
#include "wizard/HandOver.h"
#include "wizard/RemovalSequence.h"
#include "wizard/Startup.h"
#include "wizard/frmAutoFileDel.h"

namespace ta {
namespace {

// The page's own work: nothing of the product stays when it fails.
constexpr Step kLoadUn_StartStep{L"LoadUn_Start", Footprint::None};
constexpr Step kStartHandOverStep{L"StartHandOver", Footprint::None};
constexpr Step kShowProgressPageStep{L"ShowProgressPage", Footprint::None};

}  // namespace

std::shared_ptr<Picture> Un_Start::Banner() {
    static const std::shared_ptr<Picture> banner = [] {
        auto picture = Picture::FromResource(ResourceModule(), TA_IDR_BANNER, TEXT(TA_RT_GIF));
        // Drawn again for the larger scales, so that the banner fills its area sharply there.
        if (picture)
            for (int id : {TA_IDR_BANNER_120, TA_IDR_BANNER_144, TA_IDR_BANNER_192})
                picture->AddRendition(Picture::FromResource(ResourceModule(), id, TEXT(TA_RT_GIF)));
        return picture;
    }();
    return banner;
}

void Un_Start::OnLoad() {
    // The page as it is stored.
    AddCommonControls();
    Image1->SetPicture(Banner());
    Label2 = &AddLabel({240, 1320, 6255, 375}, L"타르닐 프로그램 제거를 시작합니다.");
    Label3_1 = &AddLabel({240, 1800, 6375, 495}, L"제거를 시작하기 전에 실행 중인 다른 프로그램을 종료하는 것이 좋습니다.");
    Label3_0 = &AddLabel({240, 2280, 6735, 495}, L"타르닐가 적용된 모든 프로그램이 종료됩니다. ");
    AddButtonRow();

    // The load itself; the first page has nothing to go back to.
    AttemptEach(kLoadUn_StartStep, [&] { SizePage(); }, [&] { PlaceButtons(); }, [&] { PlaceBannerAndLine(); },
                [&] { Command1(0)->Enabled(false); });
}

Un_Start::~Un_Start() { worker_.Join(); }

void Un_Start::OnActivate() { Command1(1)->SetFocus(); }

void Un_Start::OnCommand1Click(int index) {
    if (handOverStarted_) return;
    switch (index) {
    case 1: {
        const int answer = Shell().ShowMessage(
            hWnd(), L"타르닐가 적용된 모든 프로그램 (IE, MSN Messenger, Outlook Express,Outlook 등) 이 종료됩니다",
            L"타르닐 제거", MB_YESNO | MB_ICONWARNING);
        if (answer != IDYES) {
            EndRun(Run(), kExitUserCancelled);
            return;
        }
        StartHandOver();
        break;
    }
    case 2:
        ConfirmCancel();
        break;
    default:
        break;
    }
}

void Un_Start::StartHandOver() {
    handOverStarted_ = true;
    AttemptEach(kStartHandOverStep, [&] { Command1(1)->Enabled(false); }, [&] { Command1(2)->Enabled(false); });
    // Without a thread the steps still run, as before, on this one.
    if (!worker_.Start(hWnd(), kHandOverEndedMessage, [this] { RunHandOverSteps(Run()); })) {
        RunHandOverSteps(Run());
        FinishHandOver();
    }
}

void Un_Start::OnPageMessage(UINT msg, WPARAM, LPARAM) {
    if (msg == kHandOverEndedMessage && worker_.Running()) {
        worker_.Join();
        FinishHandOver();
    }
}

void Un_Start::FinishHandOver() {
    AttemptEach(kShowProgressPageStep, [&] { LoadPage<frmAutoFileDel>(Run()).Show(); }, [&] { Unload(); });
}

// Once the programs are being stopped, closing the page would end the run half-way.
bool Un_Start::OnQueryClose() { return !handOverStarted_; }

void Un_Start::OnUnload() { worker_.Join(); }

void Un_Start::ConfirmCancel() {
    if (Shell().ShowMessage(hWnd(), L"삭제를 취소하겠습니까?", L"타르닐 삭제", MB_YESNO | MB_ICONWARNING) == IDYES)
        EndRun(Run(), kExitUserCancelled);
}

}  // namespace ta
