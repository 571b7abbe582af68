#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
#include "removal/CreateShortCut.h"
#include "removal/RemovalSteps.h"
#include "removal/TarnilSet.h"
#include "report/UninstallReport.h"
#include "run/RunOutcome.h"
#include "wizard/RemovalSequence.h"
#include "support/ScriptedShell.h"

namespace ta::test {
namespace {

// What a record that streams its lines away keeps of entries: what the exit code is read from.
std::vector<RecordEntry> KeptWhileStreaming(const std::vector<RecordEntry>& entries) {
    RemovalRecord record;
    record.Stream(nullptr);
    for (const RecordEntry& entry : entries) record.Add(entry);
    return record.Entries();
}

// 1603 says that something of the product is still there; what else failed says so in the log only.
// The record of a real run, which streams, keeps what tells.
TEST(ExitCode, Is1603OnlyForWhatIsLeftOfTheProduct) {
    // Entries as the steps themselves declare them.
    const auto failed = [](const Step& step, ItemKind kind) {
        return RecordEntry{{}, step.name, step.footprint, kind, L"item", Outcome::Failed, KeptBy::None, ERROR_ACCESS_DENIED, L""};
    };
    constexpr Step paint{L"Paint", Footprint::None};  // any page's own work
    std::vector<RecordEntry> entries = {
        failed(kSendUninstallReportStep, ItemKind::Report),     // no service answered
        failed(kSendUninstallReportStep, ItemKind::Step),       // the report broke off
        failed(kRestoreTextServicesStep, ItemKind::Component),  // the system's library, not the product's
        failed(TarnilSet::kStopProductProcessesStep, ItemKind::Process),
        failed(kUninstallStep, ItemKind::Value),                // the mark on a key that goes anyway
        failed(paint, ItemKind::Step),
        failed(kWriteRemovalLogStep, ItemKind::Step),
    };
    const auto removed = [](const Step& step, ItemKind kind, const wchar_t* item) {
        return RecordEntry{{}, step.name, step.footprint, kind, item, Outcome::Removed, KeptBy::None, 0, L""};
    };
    for (int i = 0; i < 50; ++i) entries.push_back(removed(kFindFilesAPIStep, ItemKind::File, L"C:\\Tarnil\\a.dat"));
    EXPECT_EQ(ExitCodeOf(entries), kExitSuccess);
    EXPECT_EQ(ExitCodeOf(KeptWhileStreaming(entries)), kExitSuccess);
    entries.push_back({{}, kFindFilesAPIStep.name, kFindFilesAPIStep.footprint, ItemKind::File, L"held",
                       Outcome::PendingRestart, KeptBy::None, 32, L""});
    EXPECT_EQ(ExitCodeOf(entries), kExitRestartPending);
    EXPECT_EQ(ExitCodeOf(KeptWhileStreaming(entries)), kExitRestartPending);
    // A key the tree walk could not delete and the second pass then took is gone.
    entries.push_back(failed(TarnilSet::kRemoveRegistryEntriesStep, ItemKind::Key));
    entries.push_back(removed(TarnilSet::kRemoveRegistryEntriesStep, ItemKind::Key, L"ITEM"));
    EXPECT_EQ(ExitCodeOf(entries), kExitRestartPending);
    EXPECT_EQ(ExitCodeOf(KeptWhileStreaming(entries)), kExitRestartPending);
    for (const auto& [step, kind] : {std::pair{&kRemoveBrowserHelperStep, ItemKind::Key},
                                     std::pair{&kDeleteSystemFilesStep, ItemKind::Step},  // broke off part-way
                                     std::pair{&CreateShortCut::kRemoveShortcutsStep, ItemKind::Shortcut}}) {
        auto left = entries;
        left.push_back(failed(*step, kind));
        EXPECT_EQ(ExitCodeOf(left), kExitFailed) << ToUtf8(step->name);
        EXPECT_EQ(ExitCodeOf(KeptWhileStreaming(left)), kExitFailed) << ToUtf8(step->name);
    }
    // What went, and said so only, is not kept.
    EXPECT_LT(KeptWhileStreaming(entries).size(), 15u);
}

std::string FileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(1 << 20, '\0');
    DWORD read = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// The log of a long run grows as the run goes, and is whole when it ends: the header, every line
// in the order written, and the totals of everything, although the record keeps only the failure.
TEST(RemovalLog, GrowsAsTheRunGoesAndIsWholeAtItsEnd) {
    ScopedScriptedShell shell;
    const std::wstring folder = L"C:\\ta_wizard_log." + std::to_wstring(::GetCurrentProcessId());
    const std::wstring log = folder + L"\\제거 기록.log";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    RemovalRun run;
    RemovalRecord& record = run.record;
    RecordingScope recording(record);
    run.request = RunRequest{log, L"/S /log=x"};
    StartRemovalLog(run);
    constexpr int kFiles = 3000;  // more lines than one piece of the log holds
    const auto file = [](int i) { return L"C:\\Tarnil\\파일 " + std::to_wstring(i) + L".dat"; };
    {
        StepScope step(kFindFilesAPIStep);
        for (int i = 0; i < kFiles; ++i) Record(ItemKind::File, file(i), Outcome::Removed);
        Record(ItemKind::File, L"C:\\Tarnil\\held.dat", Outcome::Failed, ERROR_ACCESS_DENIED);
    }
    EXPECT_GT(FileBytes(log).size(), 64u * 1024);
    EXPECT_EQ(record.Entries().size(), 1u);
    FinishRun(run, kExitFailed);
    EXPECT_EQ(shell.lastExitCode, kExitFailed);

    const std::wstring text = FromUtf8(FileBytes(log));
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    ::DeleteFileW(log.c_str());
    ::RemoveDirectoryW(folder.c_str());
    ASSERT_EQ(lines.size(), 5u + kFiles + 2);
    EXPECT_EQ(lines[0], L"TaUnInst 1.00.0039 removal log");
    EXPECT_EQ(lines[3], L"switches: /S /log=x");
    for (int i = 0; i < kFiles; ++i)
        ASSERT_NE(lines[5 + i].find(L"\tFindFilesAPI\tfile\t" + file(i) + L"\tremoved\t"), std::wstring::npos) << i;
    EXPECT_NE(lines[5 + kFiles].find(L"\\held.dat\tfailed\terror 5: "), std::wstring::npos);
    EXPECT_EQ(lines.back(), L"total: 3000 removed, 0 pending restart, 1 failed, 0 kept, 0 absent; exit code 1603");
}

}  // namespace
}  // namespace ta::test
