#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <optional>
#include <vector>

#include "platform/AppShell.h"
#include "platform/RemovalRecord.h"
#include "removal/CloseRequest.h"
#include "removal/ProKill.h"
#include "removal/TarnilSet.h"
#include "support/TestRegistry.h"
#include "FixturePrograms.h"

namespace {

using ta::test::fixtures::CurrentTestFolderName;
using ta::test::fixtures::kEndWaitMs;
using ta::test::fixtures::kSurviveWaitMs;
using ta::test::fixtures::RunningCopy;
using ta::test::fixtures::ScratchFolder;

TEST(ProKill, MatchesTheEndOfTheNameInAnyCase) {
    EXPECT_TRUE(ProKill::NameMatches(L"TaSuf.EXE", L"tasuf.exe"));
    EXPECT_TRUE(ProKill::NameMatches(L"mytasuf.exe", L"tasuf.exe"));
    EXPECT_TRUE(ProKill::NameMatches(L"C:\\Program Files\\Tarnil\\TASUF.exe", L"tasuf.exe"));
    EXPECT_FALSE(ProKill::NameMatches(L"tasuf.exe.bak", L"tasuf.exe"));
    EXPECT_FALSE(ProKill::NameMatches(L"suf.exe", L"tasuf.exe"));
}

TEST(ProKill, KillsEveryProcessWhoseNameEndsWithTheName) {
    ScratchFolder folder(CurrentTestFolderName());
    RunningCopy upper(folder, L"TaSuf.EXE"), longer(folder, L"mytasuf.exe"), other(folder, L"tasufx.exe");
    ASSERT_TRUE(upper.Started() && longer.Started() && other.Started());
    EXPECT_FALSE(ProKill::ProcessNotRunning(L"tasuf.exe"));

    EXPECT_TRUE(ProKill::KillProcessByName(L"tasuf.exe"));
    EXPECT_TRUE(upper.Ended(kEndWaitMs));
    EXPECT_TRUE(longer.Ended(kEndWaitMs));
    EXPECT_FALSE(other.Ended(kSurviveWaitMs));
}

// A number from a process list names another program once its own has ended: only a process
// that ran under the listed name when the list was taken is ended, and with a failure code.
TEST(ProKill, OnlyTheProcessTheListNamedIsEndedAndItsCodeSaysItWasEnded) {
    ScratchFolder folder(CurrentTestFolderName()), later(CurrentTestFolderName() + L"-later");
    RunningCopy listed(folder, L"tasuf.exe");
    ASSERT_TRUE(listed.Started());
    FILETIME listedAt{};
    ::GetSystemTimeAsFileTime(&listedAt);
    ::Sleep(50);
    RunningCopy reused(later, L"tasuf.exe");
    ASSERT_TRUE(reused.Started());
    const ta::KernelHandle first(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, listed.id()));
    const ta::KernelHandle second(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, reused.id()));
    EXPECT_TRUE(ProKill::IsTheProcessListed(first.get(), L"tasuf.exe", listedAt));
    EXPECT_FALSE(ProKill::IsTheProcessListed(second.get(), L"tasuf.exe", listedAt)) << "started after the list";
    EXPECT_FALSE(ProKill::IsTheProcessListed(first.get(), L"taagent.exe", listedAt)) << "another program";

    EXPECT_TRUE(ProKill::KillProcessByName(L"tasuf.exe"));
    ASSERT_TRUE(listed.Ended(kEndWaitMs));
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(first.get(), &code));
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_NE(code, 0u);
}

TEST(ProKill, OneCallEndsEveryInstance) {
    ScratchFolder folder(CurrentTestFolderName());
    std::vector<std::unique_ptr<RunningCopy>> instances;
    for (int i = 0; i < 3; ++i) instances.push_back(std::make_unique<RunningCopy>(folder, L"taagent.exe"));
    ProKill::KillProcessByName(L"taagent.exe");
    for (const auto& instance : instances) EXPECT_TRUE(instance->Ended(kEndWaitMs));
    EXPECT_TRUE(ProKill::ProcessNotRunning(L"taagent.exe"));
}

TEST(ProKill, ProcessNotRunningOnlyLooks) {
    ScratchFolder folder(CurrentTestFolderName());
    RunningCopy first(folder, L"qxctl.exe"), second(folder, L"QXCTL.exe");
    EXPECT_FALSE(ProKill::ProcessNotRunning(L"qxctl.exe"));
    EXPECT_FALSE(first.Ended(kSurviveWaitMs));
    EXPECT_FALSE(second.Ended(0));
    EXPECT_TRUE(ProKill::ProcessNotRunning(L"no-such-program.exe"));
}

TEST(ProKill, NeverEndsOurOwnProcess) {
    // Reaching the end of the test is the check: our own executable matches the name.
    EXPECT_TRUE(ProKill::KillProcessByName(ta::ExeName() + L".exe"));
    EXPECT_FALSE(ProKill::ProcessNotRunning(ta::ExeName() + L".exe"));
}

// The product key's "PROGRAM" value, for one test.
class ProductKey : public ::testing::Test {
protected:
    void SetUp() override { ta::test::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"); }
    void TearDown() override { ta::test::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"); }
    static void SetProgram(const std::wstring& value) {
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla", L"PROGRAM", value));
    }
};

TEST_F(ProductKey, StopsTheFixedListNotifiesTheTrayAndSparesOthers) {
    ScratchFolder folder(CurrentTestFolderName());
    std::vector<std::unique_ptr<RunningCopy>> product;
    for (const wchar_t* name :
         {L"taagent.exe", L"tasuf.exe", L"morlatra.exe", L"tamail.exe", L"morlasnd.exe", L"qxctl.exe"})
        product.push_back(std::make_unique<RunningCopy>(folder, name));
    const std::wstring record = folder / L"tray.log";
    RunningCopy tray(folder, L"tatrayhost.exe", L"--tray \"" + record + L"\"");
    ASSERT_TRUE(tray.Started());

    TarnilSet::StopProductProcesses();

    for (const auto& process : product) EXPECT_TRUE(process->Ended(kEndWaitMs));
    EXPECT_EQ(ta::test::fixtures::WaitForText(record, "\r\n", kEndWaitMs), "30000 2000 0\r\n");
    EXPECT_FALSE(tray.Ended(0));  // not in any list
}

TEST_F(ProductKey, NotifyTrayPausesWithoutATrayWindow) {
    const ULONGLONG start = ::GetTickCount64();
    TarnilSet::NotifyTray();
    EXPECT_GE(::GetTickCount64() - start, 180u);
}

TEST_F(ProductKey, NeverEndsOurOwnProcessNamedByProgram) {
    SetProgram(ta::ExeName());
    TarnilSet::StopProductProcesses();
    SetProgram(L"x;" + ta::ExeName() + L";");
    TarnilSet::StopProductProcesses();
    SUCCEED();  // still here
}

TEST_F(ProductKey, StopControlProcessEndsEveryControlProcess) {
    ScratchFolder folder(CurrentTestFolderName());
    RunningCopy first(folder, L"qxctl.exe"), second(folder, L"Qxctl.exe"), other(folder, L"qxctl2.exe");
    TarnilSet::StopControlProcess();
    EXPECT_TRUE(first.Ended(kEndWaitMs));
    EXPECT_TRUE(second.Ended(kEndWaitMs));
    EXPECT_FALSE(other.Ended(kSurviveWaitMs));
}

TEST_F(ProductKey, ProgramsWithWindowsAreAskedToCloseAndOnlyThoseThatStayAreEnded) {
    ScratchFolder folder(CurrentTestFolderName());
    const std::wstring draft = folder / L"draft.txt", refusals = folder / L"refusals.txt",
                       hang = folder / L"hang.txt";
    RunningCopy mail(folder, L"mailbox.exe", L"--draft \"" + draft + L"\""),
        viewer(folder, L"viewer.exe", L"--stubborn \"" + refusals + L"\""),
        player(folder, L"player.exe", L"--hung \"" + hang + L"\""), service(folder, L"helper.exe");
    ASSERT_TRUE(mail.Started() && viewer.Started() && player.Started() && service.Started());
    SetProgram(L"mailbox;viewer;player;helper;");
    ta::RemovalRecord record;
    ta::RecordingScope recording(record);

    const ULONGLONG start = ::GetTickCount64();
    TarnilSet::StopProductProcesses();
    const ULONGLONG took = ::GetTickCount64() - start;

    // The mail program saved its draft when asked and went by itself.
    EXPECT_TRUE(mail.Ended(0));
    EXPECT_EQ(ta::test::fixtures::ReadText(draft), "draft saved on WM_QUERYENDSESSION\r\n");
    // The one that refuses was asked both ways, the one that hangs was not waited for beyond the
    // answer's limit, and both were ended after one wait that they shared.
    EXPECT_TRUE(viewer.Ended(kEndWaitMs) && player.Ended(kEndWaitMs) && service.Ended(kEndWaitMs));
    EXPECT_EQ(ta::test::fixtures::ReadText(refusals), "WM_QUERYENDSESSION refused\r\nWM_CLOSE ignored\r\n");
    EXPECT_EQ(ta::test::fixtures::ReadText(hang), "WM_QUERYENDSESSION hung\r\n");
    EXPECT_GE(took, ProKill::kCloseWaitMs - 200);
    EXPECT_LT(took, ProKill::kCloseWaitMs + CloseRequest::kAnswerWaitMs + 1500);

    const auto outcome = [&](const wchar_t* name, const RunningCopy& copy) {
        const auto entry = record.Find(std::wstring(name) + L" (" + std::to_wstring(copy.id()) + L")");
        return entry ? ta::OutcomeName(entry->outcome) : L"none";
    };
    EXPECT_STREQ(outcome(L"mailbox.exe", mail), L"closed");
    EXPECT_STREQ(outcome(L"viewer.exe", viewer), L"ended");
    EXPECT_STREQ(outcome(L"player.exe", player), L"ended");
    EXPECT_STREQ(outcome(L"helper.exe", service), L"ended");  // no window: ended at once, as always
}

TEST(ParseProgramList, OneNameWithoutSeparatorIsEndedAtOnce) {
    const auto one = TarnilSet::ParseProgramList(L"alpha");
    EXPECT_TRUE(one.endAtOnce);
    EXPECT_EQ(one.names, std::vector<std::wstring>{L"alpha.exe"});
    const auto listed = TarnilSet::ParseProgramList(L"alpha; beta;;gamma");
    EXPECT_FALSE(listed.endAtOnce);
    EXPECT_EQ(listed.names, (std::vector<std::wstring>{L"alpha.exe", L" beta.exe"}));
    EXPECT_TRUE(TarnilSet::ParseProgramList(L"").names.empty());
}

TEST_F(ProductKey, ADamagedListEndsNeitherTheSystemsProcessesNorAnyPattern) {
    ScratchFolder folder(CurrentTestFolderName());
    RunningCopy system(folder, L"lsass.exe"), bystander(folder, L"gamma.exe");
    ASSERT_TRUE(system.Started() && bystander.Started());
    // A system process named outright, and pieces that name no executable but match many.
    SetProgram(L"lsass; ;..;*;a\\gamma;");
    TarnilSet::StopProductProcesses();
    EXPECT_FALSE(system.Ended(kSurviveWaitMs));
    EXPECT_FALSE(bystander.Ended(0));
    EXPECT_EQ(TarnilSet::ParseProgramList(L" ;..;*;a\\gamma;").names, std::vector<std::wstring>{});
}

// Each form of the "PROGRAM" value, against running "alpha.exe" and "beta.exe".
struct ProgramCase {
    const char* label;
    std::optional<std::wstring> value;  // nullopt: no value at all
    bool alphaEnds;
    bool betaEnds;
};
void PrintTo(const ProgramCase& form, std::ostream* out) { *out << form.label; }

class ProgramForms : public ProductKey, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ProgramForms, EndsTheListedApplicationsOnly) {
    const ProgramCase& form = GetParam();
    if (form.value) SetProgram(*form.value);
    ScratchFolder folder(CurrentTestFolderName());
    RunningCopy alpha(folder, L"alpha.exe"), beta(folder, L"beta.exe"), bystander(folder, L"gamma.exe");
    ASSERT_TRUE(alpha.Started() && beta.Started() && bystander.Started());

    TarnilSet::StopProductProcesses();

    EXPECT_EQ(alpha.Ended(form.alphaEnds ? kEndWaitMs : kSurviveWaitMs), form.alphaEnds);
    EXPECT_EQ(beta.Ended(form.betaEnds ? kEndWaitMs : kSurviveWaitMs), form.betaEnds);
    EXPECT_FALSE(bystander.Ended(0));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ProgramForms,
    ::testing::Values(ProgramCase{"TwoClosed", L"alpha;beta;", true, true},
                      ProgramCase{"LastUnclosed", L"alpha;beta", true, false},
                      ProgramCase{"SingleName", L"alpha", true, false},
                      ProgramCase{"OuterBlanks", L"  alpha;  ", true, false},
                      ProgramCase{"EmptyPiece", L"alpha;;beta;", true, true},
                      ProgramCase{"BlankInsidePiece", L"alpha; beta;", true, false},
                      ProgramCase{"Empty", L"", false, false},
                      ProgramCase{"Missing", std::nullopt, false, false}),
    [](const ::testing::TestParamInfo<ProgramCase>& info) { return std::string(info.param.label); });

}  // namespace
