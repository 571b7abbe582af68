#pragma once
// What the three wizard pages share: the caption, the outer size, the banner at the top left,
// the grey separator above the buttons and the three button places.
#include <memory>

#include "run/RemovalRun.h"
#include "ui/Page.h"

namespace ta {

inline constexpr wchar_t kPageCaption[] = L"타르닐-제거";
inline constexpr int kPageWidthTwips = 7050;
inline constexpr int kPageHeightTwips = 4700;
// The buttons' row: "< 뒤로", "다음 >" / "완료", "취소" (Command1 indexes 0, 1, 2).
inline constexpr int kButtonTopTwips = 3720;
inline constexpr int kButtonLeftTwips[3] = {2640, 3840, 5520};
inline constexpr int kButtonWidthTwips = 1215;
inline constexpr int kButtonHeightTwips = 375;
inline constexpr COLORREF kSeparatorColor = RGB(128, 128, 128);
inline constexpr COLORREF kBannerTextColor = RGB(255, 255, 255);

// Each page shows one run: the one it was made for, which it hands on to the next page.
class WizardPage : public Page {
public:
    explicit WizardPage(RemovalRun& run) : run_(run) {}
    RemovalRun& Run() const noexcept { return run_; }

    ImageBox* Image1 = nullptr;
    LineShape* Line1 = nullptr;

protected:
    // The controls every page has, with their stored properties.
    void AddCommonControls();
    // Creates Command1(index) with its caption at its place in the row.
    Button& AddRowButton(int index, const std::wstring& caption);
    // Creates the whole row: "< 뒤로", "다음 >", "취소".
    void AddButtonRow();
    // The load steps the pages share: outer size; the buttons placed; banner and separator placed.
    void SizePage();
    void PlaceButtons();
    void PlaceBannerAndLine();

private:
    RemovalRun& run_;
};

}  // namespace ta
