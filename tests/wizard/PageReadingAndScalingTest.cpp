// The pages as assistive tools read them and as every display scale shows them.
//
// Reading: what a tool reads of a page's windows (its child windows' texts, and each one's own
// accessible object) holds every text the page shows. Scaling: each page laid out at the DPI the
// process runs at (PageScaling runs again in prefixes at 120, 144 and 192 DPI, see
// tests/CMakeLists.txt) and after the system has moved it to a monitor of another DPI.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ComPtr.h"
#include "platform/Text.h"
#include "removal/RemovalSteps.h"
#include "ui/Page.h"
#include "ui/Twips.h"
#include "wizard/DelFinish.h"
#include "wizard/Un_Start.h"
#include "wizard/WizardTestSupport.h"
#include "wizard/frmAutoFileDel.h"

namespace ta::test {
namespace {

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

static BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

// The texts a tool finds on the page: the visible child windows' texts.
std::vector<std::wstring> TextsFound(HWND page) {
    std::vector<HWND> children;
    ::EnumChildWindows(page, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::vector<std::wstring> texts;
    for (HWND child : children)
        if (::IsWindowVisible(child) && !WindowText(child).empty()) texts.push_back(WindowText(child));
    return texts;
}

// The name a tool reads from the window's own accessible object.
std::wstring AccessibleName(HWND hwnd) {
    ComPtr<IAccessible> accessible;
    if (FAILED(::AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), accessible.put_void())) || !accessible)
        return L"(no object)";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    Bstr name;
    accessible->get_accName(self, name.put());
    return name.str();
}

void ExpectReadable(Page& page, const std::vector<std::wstring>& shown) {
    const std::vector<std::wstring> found = TextsFound(page.hWnd());
    for (const std::wstring& text : shown)
        EXPECT_NE(std::find(found.begin(), found.end(), text), found.end()) << "not readable: " << ToUtf8(text);
}

std::vector<Label*> LabelsOf(Page& page) {
    if (auto* start = dynamic_cast<Un_Start*>(&page)) return {start->Label2, start->Label3_1, start->Label3_0};
    if (auto* progress = dynamic_cast<frmAutoFileDel*>(&page)) return {progress->Label1, progress->Label2, progress->Label3};
    if (auto* finish = dynamic_cast<DelFinish*>(&page)) {
        std::vector<Label*> labels{finish->Label1, finish->Label2, finish->Label4};
        for (Label* more : {finish->RestartLabel, finish->RecordLabel})
            if (more) labels.push_back(more);
        return labels;
    }
    return {};
}

// The run as the finish page meets it when something waits for the restart, or stays.
enum class Ending { Restart, Stayed };
void EndAs(RemovalRun& run, Ending ending) {
    run.record.Clear();
    run.record.Add({{}, kFindFilesAPIStep.name, kFindFilesAPIStep.footprint, ItemKind::File,
                    L"C:\\Program Files\\Tarnil\\사용 설명서.txt",
                    ending == Ending::Restart ? Outcome::PendingRestart : Outcome::Kept,
                    ending == Ending::Restart ? KeptBy::None : KeptBy::InUse, ERROR_SHARING_VIOLATION, L""});
}

bool IsRowButton(Page& page, HWND child) {
    for (int index = 0; index < 3; ++index)
        if (page.Command1(index) && page.Command1(index)->hWnd() == child) return true;
    return false;
}

// No two visible child windows of the page overlap, and each lies inside it.
void ExpectNothingOverlaps(Page& page) {
    std::vector<HWND> children;
    ::EnumChildWindows(page.hWnd(), CollectChild, reinterpret_cast<LPARAM>(&children));
    RECT client{};
    ::GetClientRect(page.hWnd(), &client);
    std::vector<std::pair<HWND, RECT>> shown;
    for (HWND child : children)
        if (::IsWindowVisible(child) && !WindowText(child).empty()) shown.emplace_back(child, ChildRect(child));
    for (size_t i = 0; i < shown.size(); ++i) {
        RECT inside{};
        ::IntersectRect(&inside, &shown[i].second, &client);
        EXPECT_TRUE(::EqualRect(&inside, &shown[i].second)) << "past the page: " << ToUtf8(WindowText(shown[i].first));
        for (size_t j = i + 1; j < shown.size(); ++j) {
            // The stored row of buttons touches by a pixel, as it always did.
            if (IsRowButton(page, shown[i].first) && IsRowButton(page, shown[j].first)) continue;
            RECT both{};
            EXPECT_FALSE(::IntersectRect(&both, &shown[i].second, &shown[j].second))
                << ToUtf8(WindowText(shown[i].first)) << " overlaps " << ToUtf8(WindowText(shown[j].first));
        }
    }
}

class PageReading : public WizardTest {};

TEST_F(PageReading, EveryTextOfEveryPageIsReadable) {
    Un_Start& start = LoadPage<Un_Start>(run);
    start.Show();
    ExpectReadable(start, {L"타르닐 프로그램 제거를 시작합니다.",
                           L"제거를 시작하기 전에 실행 중인 다른 프로그램을 종료하는 것이 좋습니다.",
                           L"타르닐가 적용된 모든 프로그램이 종료됩니다. ", L"< 뒤로", L"다음 >", L"취소"});

    frmAutoFileDel& progress = LoadPage<frmAutoFileDel>(run);
    progress.Show();
    ExpectReadable(progress, {L"제거 상태", L"타르닐 제거 프로그램이 요청한 작업을 수행 중입니다", L"취소"});
    // The file being deleted, as it changes; "&" read as it is shown.
    progress.Label3->Caption(L"C:\\Program Files\\Tarnil\\R&D\\a.dll");
    ExpectReadable(progress, {L"C:\\Program Files\\Tarnil\\R&D\\a.dll"});
    progress.Label3->Caption(L"C:\\Program Files\\Tarnil\\b.dll");
    ExpectReadable(progress, {L"C:\\Program Files\\Tarnil\\b.dll"});

    DelFinish& finish = LoadPage<DelFinish>(run);
    finish.Show();
    ExpectReadable(finish, {L"약관동의", L"타르닐 프로그램 제거작업이 모두 완료되었습니다.",
                            L"완료를 누르시면 타르닐 프로그램 제거작업을 마칩니다.", L"< 뒤로", L"완료", L"취소"});
    // Each label's own object names it, as a static text of any dialog is named.
    for (Label* label : LabelsOf(finish)) EXPECT_EQ(AccessibleName(label->hWnd()), label->Caption());

    // What waits for the restart, and the choice it offers; what stayed, and the way to finish.
    EndAs(run, Ending::Restart);
    DelFinish& restart = LoadPage<DelFinish>(run);
    restart.Show();
    ExpectReadable(restart, {L"타르닐 프로그램 제거작업이 모두 완료되었습니다.", L"일부 파일은 컴퓨터를 다시 시작하면 삭제됩니다.",
                             L"지금 다시 시작", L"나중에 다시 시작", L"완료"});
    EndAs(run, Ending::Stayed);
    DelFinish& stayed = LoadPage<DelFinish>(run);
    stayed.Show();
    ExpectReadable(stayed, {L"타르닐 프로그램의 일부 항목을 제거하지 못했습니다.",
                            L"C:\\Program Files\\Tarnil\\사용 설명서.txt: 다른 프로그램이 사용하고 있습니다 (Windows 오류 32)",
                            L"다시 시도", L"완료를 누르시면 타르닐 프로그램 제거작업을 마칩니다.", L"완료"});
    for (const std::wstring& text : TextsFound(stayed.hWnd()))
        EXPECT_EQ(text.find(L"모두 완료"), std::wstring::npos) << ToUtf8(text);
    for (Label* label : LabelsOf(stayed)) EXPECT_EQ(AccessibleName(label->hWnd()), label->Caption());
}

// ---- Scaling -------------------------------------------------------------------------------

// The banner's area: 459 × 53 pixels at 96 DPI.
constexpr TwipsRect kBannerTwips{0, 0, 459 * 15, 53 * 15};

bool IsBannerBlue(COLORREF c) { return GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > 80; }

int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// True when some pixel of the window is close to the colour: the label's text is drawn.
bool ShowsColour(HWND hwnd, COLORREF colour) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    HDC dc = ::GetDC(hwnd);
    bool found = false;
    for (int y = 0; y < rc.bottom && !found; ++y)
        for (int x = 0; x < rc.right && !found; ++x) found = Distance(::GetPixel(dc, x, y), colour) < 120;
    ::ReleaseDC(hwnd, dc);
    return found;
}

void ExpectAt(HWND child, const RECT& expected, const char* what) {
    const RECT r = ChildRect(child);
    EXPECT_EQ(r.left, expected.left) << what;
    EXPECT_EQ(r.top, expected.top) << what;
    EXPECT_EQ(r.right, expected.right) << what;
    EXPECT_EQ(r.bottom, expected.bottom) << what;
}

// The page as it must look at dpi: every place scaled from its twips, the banner filling its
// area, every label's text inside its label and its page.
void ExpectLaidOutAt(Page& page, int dpi) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    ASSERT_EQ(page.Dpi(), dpi);
    HWND hwnd = page.hWnd();
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const SIZE outer = OuterSize(hwnd);
    EXPECT_EQ(outer.cx, TwipsToPixels(kPageWidthTwips, dpi));
    EXPECT_EQ(outer.cy, TwipsToPixels(kPageHeightTwips, dpi));
    RECT client{};
    ::GetClientRect(hwnd, &client);

    for (int index = 0; index < 3; ++index) {
        if (Button* button = page.Command1(index)) {
            ExpectAt(button->hWnd(),
                     TwipsRectToPixels({kButtonLeftTwips[index], kButtonTopTwips, kButtonWidthTwips, kButtonHeightTwips},
                                       dpi),
                     "button");
            EXPECT_LE(ChildRect(button->hWnd()).bottom, client.bottom);
        }
    }
    if (auto* progress = dynamic_cast<frmAutoFileDel*>(&page))
        ExpectAt(progress->ucProgressBar1.hWnd(), TwipsRectToPixels(frmAutoFileDel::kBarTwips, dpi), "bar");

    for (Label* label : LabelsOf(page)) {
        const RECT place = TwipsRectToPixels(label->Rect(), dpi);
        ExpectAt(label->hWnd(), place, ToUtf8(label->Caption()).c_str());
        if (label->Caption().empty()) continue;
        // The text as the page draws it, in the label's font at this DPI.
        HDC dc = ::GetDC(hwnd);
        HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label->hWnd(), WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        RECT text = place;
        ::DrawTextW(dc, label->Caption().c_str(), -1, &text, DT_CALCRECT | DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, previous);
        ::ReleaseDC(hwnd, dc);
        EXPECT_EQ(-metrics.tmHeight + metrics.tmInternalLeading, PointsToFontHeight(9, dpi)) << "font size";
        EXPECT_LE(text.bottom, place.bottom) << "clipped at the bottom: " << ToUtf8(label->Caption());
        EXPECT_LE(text.right, client.right) << "past the page: " << ToUtf8(label->Caption());
        const COLORREF colour = label->ForeColor() == CLR_INVALID ? ::GetSysColor(COLOR_BTNTEXT) : label->ForeColor();
        EXPECT_TRUE(ShowsColour(label->hWnd(), colour)) << "no text shown: " << ToUtf8(label->Caption());
    }

    // The banner reaches the right end and the bottom of its area, and stops there.
    const RECT banner = TwipsRectToPixels(kBannerTwips, dpi);
    HDC dc = ::GetDC(hwnd);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const int middle = banner.bottom / 2;
    const COLORREF rightEnd = ::GetPixel(dc, banner.right - 1, middle);
    const COLORREF beyond = ::GetPixel(dc, banner.right + 1, middle);
    const COLORREF bottomEnd = ::GetPixel(dc, banner.right / 2, banner.bottom - 1);
    const COLORREF below = ::GetPixel(dc, banner.right / 2, banner.bottom + 1);
    const COLORREF line = ::GetPixel(dc, TwipsToPixels(3000, dpi), TwipsToPixels(3600, dpi));
    ::ReleaseDC(hwnd, dc);
    EXPECT_TRUE(IsBannerBlue(rightEnd)) << std::hex << rightEnd;
    EXPECT_NE(rightEnd, face);
    if (banner.right + 1 < client.right) {
        EXPECT_EQ(beyond, face) << std::hex << beyond;
    }
    EXPECT_NE(bottomEnd, face) << std::hex << bottomEnd;
    EXPECT_EQ(below, face) << std::hex << below;
    EXPECT_EQ(line, RGB(128, 128, 128)) << std::hex << line;
}

template <typename P>
P& ShowPage(RemovalRun& run) {
    P& page = LoadPage<P>(run);
    page.Show();
    DispatchPendingMessages();
    return page;
}

class PageScaling : public WizardTest {};

TEST_F(PageScaling, StartPageAtTheScreensDpi) { ExpectLaidOutAt(ShowPage<Un_Start>(run), ScreenDpiY()); }
TEST_F(PageScaling, ProgressPageAtTheScreensDpi) { ExpectLaidOutAt(ShowPage<frmAutoFileDel>(run), ScreenDpiY()); }
TEST_F(PageScaling, FinishPageAtTheScreensDpi) {
    ExpectLaidOutAt(ShowPage<DelFinish>(run), ScreenDpiY());
    for (const Ending ending : {Ending::Restart, Ending::Stayed}) {
        SCOPED_TRACE(ending == Ending::Restart ? "waiting for the restart" : "something stayed");
        EndAs(run, ending);
        DelFinish& finish = ShowPage<DelFinish>(run);
        ExpectLaidOutAt(finish, ScreenDpiY());
        ExpectNothingOverlaps(finish);
    }
}

// What the system sends when it moves a page to a monitor of another scale.
void MoveToMonitorAt(Page& page, int dpi) {
    RECT now{};
    ::GetWindowRect(page.hWnd(), &now);
    RECT suggested{0, 0, TwipsToPixels(kPageWidthTwips, dpi), TwipsToPixels(kPageHeightTwips, dpi)};
    ::SendMessageW(page.hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    DispatchPendingMessages();
}

class PageDpiChange : public WizardTest {};

TEST_F(PageDpiChange, EveryPageIsLaidOutAnewAtTheNewDpi) {
    const int other = ScreenDpiY() == 144 ? 192 : 144;
    Un_Start& start = ShowPage<Un_Start>(run);
    MoveToMonitorAt(start, other);
    ExpectLaidOutAt(start, other);
    frmAutoFileDel& progress = ShowPage<frmAutoFileDel>(run);
    progress.Label3->Caption(L"C:\\Program Files\\Tarnil\\a.dll");
    MoveToMonitorAt(progress, other);
    ExpectLaidOutAt(progress, other);
    DelFinish& finish = ShowPage<DelFinish>(run);
    MoveToMonitorAt(finish, other);
    ExpectLaidOutAt(finish, other);
    // And back.
    MoveToMonitorAt(finish, ScreenDpiY());
    ExpectLaidOutAt(finish, ScreenDpiY());
}

}  // namespace
}  // namespace ta::test
