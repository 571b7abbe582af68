#include "wizard/frmAutoFileDel.h"

#include "platform/ContinueOnError.h"
#include "platform/Twips.h"
#include "registry/Regset.h"
#include "removal/CreateShortCut.h"
#include "removal/TarnilSet.h"
#include "wizard/DelFinish.h"
#include "wizard/InstallGuard.h"
#include "wizard/Un_Start.h"

namespace ta {

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
    // Below the visible area: a scratch field of the component steps, never seen.
    Text1Box = &AddTextBox({3840, 6360, 5055, 495});

    // The load itself.
    AttemptEach([&] { SizePage(); }, [&] { Command1(2)->Move(5520, 3720); }, [&] { PlaceBannerAndLine(); },
                [&] { Image1->SetPicture(Un_Start::Banner()); },
                [&] {
                    Label1->Caption(L"제거 상태");
                    Label2->Caption(L"타르닐 제거 프로그램이 요청한 작업을 수행 중입니다");
                },
                [&] {
                    ucProgressBar1.Min(0);
                    ucProgressBar1.Max(Regset::GetDwordValue(TarnilSet::kProductKey, L"ToTFile"));
                },
                [&] { Timer1->Enabled(true); });
}

void frmAutoFileDel::OnTimer(UINT timerId) {
    if (timerId != kTimer1Id || removalStarted_) return;
    // One tick only: the timer stops before the removal, which may let messages through while
    // it waits on other programs, so no second tick can start it again.
    removalStarted_ = true;
    Timer1->Enabled(false);
    RunRemoval();
}

void frmAutoFileDel::RunRemoval() {
    AttemptEach([] { Regset::SetDwordValue(TarnilSet::kProductKey, L"Uninstall", 0); },
                [&] { InstallPath = Regset::GetStringValue(TarnilSet::kProductKey, L"ProgramPath"); },
                [&] {
                    // The install folder is emptied only when it is plainly the product's own.
                    const auto guarded = GuardedInstallPath(InstallPath);
                    if (!guarded) return;
                    InstallPath = *guarded;
                    int16_t fileCount = 0, dirCount = 0;
                    AttemptEach([&] { FindFilesAPI(InstallPath, L"*.*", fileCount, dirCount); },
                                [&] { RemoveInstallFolders(); });
                },
                [&] { RemoveBrowserHelper(); }, [&] { DeleteSystemFiles(); },
                [] { TarnilSet::RemoveRegistryEntries(); }, [] { CreateShortCut::RemoveShortcuts(); },
                [&] { RestoreTextServices(); }, [] { LoadPage<DelFinish>().Show(); });
}

void frmAutoFileDel::SetBarValue(int32_t value) { ucProgressBar1.Value(value); }

int32_t frmAutoFileDel::BarMax() const { return ucProgressBar1.Max(); }

void frmAutoFileDel::ShowFilePath(const std::wstring& path) { Label3->Caption(path); }

void frmAutoFileDel::SetText1(const std::wstring& text) { Text1Box->Text(text); }

std::wstring frmAutoFileDel::Text1() const { return Text1Box->Text(); }

}  // namespace ta
