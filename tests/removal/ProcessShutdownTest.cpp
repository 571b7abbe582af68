#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <optional>
#include <vector>

#include "FixturePrograms.h"
#include "platform/AppShell.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "removal/CloseRequest.h"
#include "removal/ProKill.h"
#include "removal/TarnilSet.h"
#include "run/RunOutcome.h"
#include "support/RecordChecks.h"
#include "support/TestRegistry.h"

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

// How long a program being started under Wine takes at most to show in the process list.
constexpr DWORD kStartShowsMs = 1000;

// Programs that start the product's programs again the moment they end, for one test: they do so
// while the test lives; then the last of them are ended.
class Revivers {
public:
    explicit Revivers(const ScratchFolder& folder) : folder_(folder), flag_(folder / L"reviving") {
        ::CloseHandle(::CreateFileW(flag_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ~Revivers() {
        ::DeleteFileW(flag_.c_str());
        ::Sleep(kStartShowsMs);  // a start under way shows
        for (const std::wstring& name : names_) ProKill::KillProcessByName(name);
    }
    Revivers(const Revivers&) = delete;
    Revivers& operator=(const Revivers&) = delete;

    // Runs name, which starts target again whenever it ends; with pair, target does the same for it.
    std::unique_ptr<RunningCopy> Start(const std::wstring& name, const std::wstring& target, bool pair = false) {
        names_.insert(names_.end(), {name, target});
        if (!ta::test::Exists(folder_ / target)) ta::test::fixtures::CopyFixture(folder_, L"ta_idle.exe", target);
        return std::make_unique<RunningCopy>(folder_, name,
                                             (pair ? L"--pair \"" : L"--revive \"") + folder_ / target +
                                                 L"\" --while \"" + flag_ + L"\"");
    }

private:
    const ScratchFolder& folder_;
    std::wstring flag_;
    std::vector<std::wstring> names_;
};

bool RunsWithin(const wchar_t* name, DWORD timeoutMs) {
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    while (ProKill::ProcessNotRunning(name)) {
        if (::GetTickCount64() >= until) return false;
        ::Sleep(20);
    }
    return true;
}

size_t CountEntries(const ta::RemovalRecord& record, std::wstring_view itemStart, ta::Outcome outcome) {
    size_t count = 0;
    for (const auto& entry : record.Entries())
        count += entry.outcome == outcome && entry.item.compare(0, itemStart.size(), itemStart) == 0;
    return count;
}

// The product is loaded into a program ("PROGRAM", so stopped after the agent) that starts the
// agent again the moment it ends, and two of its programs restart each other: after the shutdown
// none of them runs, and nothing of it failed.
TEST_F(ProductKey, ProgramsStartedAgainStayStopped) {
    ScratchFolder folder(CurrentTestFolderName());
    Revivers revivers(folder);
    RunningCopy agent(folder, L"taagent.exe");
    const auto browser = revivers.Start(L"browser.exe", L"taagent.exe");
    const auto mail = revivers.Start(L"tamail.exe", L"morlasnd.exe", true);
    ASSERT_TRUE(agent.Started() && browser->Started() && mail->Started());
    ASSERT_TRUE(RunsWithin(L"morlasnd.exe", kEndWaitMs));  // the pair's other half, which mail starts
    SetProgram(L"browser;");
    ta::RemovalRecord record;
    ta::RecordingScope recording(record);

    TarnilSet::StopProductProcesses();

    ::Sleep(kStartShowsMs);  // anything still being started shows
    for (const wchar_t* name : {L"taagent.exe", L"browser.exe", L"tamail.exe", L"morlasnd.exe"})
        EXPECT_TRUE(ProKill::ProcessNotRunning(name)) << ta::ToUtf8(name);
    EXPECT_EQ(ta::test::FailuresBesideTheTrace(record), 0u);
    EXPECT_GE(CountEntries(record, L"taagent.exe (", ta::Outcome::Ended), 2u) << "the agent was started again";
}

// Something outside every list starts the agent again each time, without end: the shutdown gives
// up within its bound, and the agent still running makes the run's outcome a failure.
TEST_F(ProductKey, AProgramStartedAgainBeyondTheBoundIsRecordedFailed) {
    ScratchFolder folder(CurrentTestFolderName());
    Revivers revivers(folder);
    RunningCopy agent(folder, L"taagent.exe");
    const auto recovery = revivers.Start(L"recovery.exe", L"taagent.exe");
    ASSERT_TRUE(agent.Started() && recovery->Started());
    ta::RemovalRecord record;
    ta::RecordingScope recording(record);

    const ULONGLONG start = ::GetTickCount64();
    TarnilSet::StopProductProcesses();
    EXPECT_LT(::GetTickCount64() - start, ProKill::kReturnBoundMs + 2000);

    EXPECT_EQ(CountEntries(record, L"taagent.exe (", ta::Outcome::Ended), 1u + ProKill::kReturnPasses);
    const auto entries = record.Entries();
    const auto failed = std::find_if(entries.begin(), entries.end(),
                                     [](const ta::RecordEntry& e) { return e.outcome == ta::Outcome::Failed; });
    ASSERT_NE(failed, entries.end());
    EXPECT_EQ(failed->item.rfind(L"taagent.exe (", 0), 0u);
    EXPECT_FALSE(failed->detail.empty());
    EXPECT_EQ(ta::ExitCodeOf(entries), ta::kExitFailed);
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
