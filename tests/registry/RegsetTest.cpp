#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/AppError.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "registry/DebugLog.h"
#include "registry/Regset.h"
#include "support/ScriptedShell.h"
#include "support/TestRegistry.h"

namespace {

using ta::test::ScopedScriptedShell;
using ta::test::ScratchKey;

std::string ReadLogBytes() {
    std::ifstream in(ta::ToUtf8(Regset::DebugLogPath()).c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The log's one line as text, without its CR LF.
std::wstring LogLine() {
    std::string bytes = ReadLogBytes();
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find('\n'), bytes.size() - 1) << "exactly one line";
    return ta::FromAnsi(bytes.substr(0, bytes.size() - 2));
}

bool LogEndsWith(const std::wstring& message) {
    const std::wstring line = LogLine();
    return line.rfind(L"TaTra:", 0) == 0 && line.size() >= message.size() + 1 &&
           line.compare(line.size() - message.size() - 1, std::wstring::npos, L":" + message) == 0;
}

TEST(RegsetPaths, SplitsRootAndSubkey) {
    ScopedScriptedShell shell;
    std::wstring path = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\WWW";
    HKEY root = nullptr;
    Regset::SplitKeyPath(path, root);
    EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(path, L"SOFTWARE\\Morla\\WWW");

    path = L"HKEY_CURRENT_USER";
    Regset::SplitKeyPath(path, root);
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(path, L"");
    EXPECT_TRUE(shell.shown.empty());
}

TEST(RegsetPaths, RootNamesMatchExactly) {
    EXPECT_EQ(Regset::RootKeyFromName(L"HKEY_DYN_DATA"), HKEY_DYN_DATA);
    EXPECT_EQ(Regset::RootKeyFromName(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(Regset::RootKeyFromName(L"HKEY_Local_Machine"), nullptr);
    EXPECT_EQ(Regset::RootKeyFromName(L"HKLM"), nullptr);
}

TEST(RegsetPaths, BadFormatShowsMessageAndTouchesNothing) {
    ScratchKey scratch(HKEY_CURRENT_USER, L"Format");
    ta::test::SetString(HKEY_CURRENT_USER, scratch.path(), L"v", L"kept");
    for (const std::wstring& bad : {L"hkey_current_user\\" + scratch.path(), scratch.fullPath() + L"\\", std::wstring(L"HKEY"),
                                   std::wstring()}) {
        ScopedScriptedShell shell;
        EXPECT_EQ(Regset::GetStringValue(bad, L"v"), L"") << ta::ToUtf8(bad);
        Regset::SetStringValue(bad, L"v", L"changed");
        Regset::SetDwordValue(bad, L"v", 7);
        Regset::DeleteKey(bad);
        ASSERT_EQ(shell.shown.size(), 4u);  // one message for each operation
        EXPECT_EQ(shell.shown[0].text, L"Incorrect Format:\n\n" + bad);
        EXPECT_EQ(shell.shown[0].flags, static_cast<UINT>(MB_OK));
        EXPECT_EQ(shell.shown[0].title, ta::ProgramTitle());
    }
    EXPECT_EQ(ta::test::ReadString(HKEY_CURRENT_USER, scratch.path(), L"v"), L"kept");
}

TEST(RegsetPaths, UnknownRootGivesEmptyTextAndZeroWithoutMessage) {
    ScopedScriptedShell shell;
    EXPECT_EQ(Regset::GetStringValue(L"HKEY_FOO\\X", L"v"), L"");
    EXPECT_EQ(Regset::GetDwordValue(L"HKEY_FOO\\X", L"v"), 0);
    EXPECT_TRUE(shell.shown.empty());
}

TEST(RegsetStrings, ReadsMissingKeyOrValueAsError) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Missing");
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath() + L"\\nothere", L"v"), L"Error");
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"nothere"), L"Error");
    EXPECT_EQ(Regset::GetDwordValue(scratch.fullPath(), L"nothere"), 0);
}

TEST(RegsetStrings, RootKeyItselfIsReadable) {
    ta::test::SetString(HKEY_CURRENT_USER, L"", L"TaUnInstRootValue", L"root");
    EXPECT_EQ(Regset::GetStringValue(L"HKEY_CURRENT_USER", L"TaUnInstRootValue"), L"root");
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, nullptr, L"TaUnInstRootValue");
}

TEST(RegsetStrings, LeadingBlanksAreLostTrailingBlanksKept) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Blanks");
    ta::test::SetString(HKEY_LOCAL_MACHINE, scratch.path(), L"v", L"  abc  ");
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"v"), L"abc  ");
    ta::test::SetString(HKEY_LOCAL_MACHINE, scratch.path(), L"e", L"");
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"e"), L"");
}

TEST(RegsetStrings, ReadLimitIsCountedInAnsiBytes) {
    ASSERT_EQ(::GetACP(), 949u) << "tests run under the Korean code page";
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Limit");
    // 499 syllables + one ASCII letter = 999 bytes in code page 949: read back whole.
    const std::wstring fits = std::wstring(499, L'가') + L"a";
    const std::wstring tooLong = std::wstring(500, L'가');  // 1000 bytes + NUL
    ta::test::SetString(HKEY_LOCAL_MACHINE, scratch.path(), L"fits", fits);
    ta::test::SetString(HKEY_LOCAL_MACHINE, scratch.path(), L"long", tooLong);
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"fits"), fits);
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"long"), L"Error");
}

TEST(RegsetStrings, WritesIntoExistingKeysOnly) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Write");
    Regset::SetStringValue(scratch.fullPath(), L"name", L"타르닐 값");
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, scratch.path(), L"name"), L"타르닐 값");
    EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"name"), L"타르닐 값");

    Regset::SetStringValue(scratch.fullPath(), L"empty", L"");
    const auto raw = ta::test::ReadValue(HKEY_LOCAL_MACHINE, scratch.path(), L"empty");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, scratch.path(), L"empty"), L"");

    Regset::SetStringValue(scratch.fullPath() + L"\\absent", L"v", L"x");
    Regset::SetDwordValue(scratch.fullPath() + L"\\absent", L"d", 1);
    EXPECT_FALSE(ta::test::KeyExists(HKEY_LOCAL_MACHINE, scratch.path() + L"\\absent"));
}

TEST(RegsetStrings, OverlongTextIsAnOverflowAndWritesNothing) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Overflow");
    EXPECT_EQ(Regset::AnsiByteLength(std::wstring(16383, L'가') + L"a"), 32767);
    EXPECT_THROW(Regset::AnsiByteLength(std::wstring(16384, L'가')), ta::AppError);
    EXPECT_THROW(Regset::SetStringValue(scratch.fullPath(), L"v", std::wstring(32767, L'a')), ta::AppError);
    EXPECT_FALSE(ta::test::ReadValue(HKEY_LOCAL_MACHINE, scratch.path(), L"v"));
    Regset::SetStringValue(scratch.fullPath(), L"v", std::wstring(32766, L'a'));
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, scratch.path(), L"v")->size(), 32766u);
}

TEST(RegsetDwords, RoundTripAndShortData) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Dword");
    Regset::SetDwordValue(scratch.fullPath(), L"Uninstall", -2);
    const auto raw = ta::test::ReadValue(HKEY_LOCAL_MACHINE, scratch.path(), L"Uninstall");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw->data, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Regset::GetDwordValue(scratch.fullPath(), L"Uninstall"), -2);

    ta::test::SetBinary(HKEY_LOCAL_MACHINE, scratch.path(), L"short", {0x34, 0x12});
    EXPECT_EQ(Regset::GetDwordValue(scratch.fullPath(), L"short"), 0x1234);
    ta::test::SetBinary(HKEY_LOCAL_MACHINE, scratch.path(), L"long", {1, 2, 3, 4, 5});
    EXPECT_EQ(Regset::GetDwordValue(scratch.fullPath(), L"long"), 0);
}

TEST(RegsetKeys, DeleteKeyRemovesLeavesOnly) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Delete");
    ta::test::CreateKey(HKEY_LOCAL_MACHINE, scratch.path() + L"\\parent\\child");
    Regset::DeleteKey(scratch.fullPath() + L"\\parent");
    EXPECT_TRUE(ta::test::KeyExists(HKEY_LOCAL_MACHINE, scratch.path() + L"\\parent\\child"));
    Regset::DeleteKey(scratch.fullPath() + L"\\parent\\child");
    EXPECT_FALSE(ta::test::KeyExists(HKEY_LOCAL_MACHINE, scratch.path() + L"\\parent\\child"));
    EXPECT_TRUE(ta::test::KeyExists(HKEY_LOCAL_MACHINE, scratch.path() + L"\\parent"));
    Regset::DeleteKey(scratch.fullPath() + L"\\missing");  // quiet
}

TEST(DebugLog, HoldsOnlyTheLastMessage) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Log");
    Regset::GetStringValue(scratch.fullPath(), L"PID");
    Regset::GetDwordValue(scratch.fullPath(), L"ToTFile");
    EXPECT_TRUE(LogEndsWith(L"ToTFile"));

    Regset::SetStringValue(scratch.fullPath(), L"Run1", L"x");
    EXPECT_TRUE(LogEndsWith(L"Run1x"));

    Regset::GetStringValue(scratch.fullPath(), L"프로그램");
    EXPECT_TRUE(LogEndsWith(L"프로그램"));  // ANSI form of Hangul, read back from code page 949
    const std::string before = ReadLogBytes();
    Regset::DeleteKey(scratch.fullPath() + L"\\none");
    EXPECT_EQ(ReadLogBytes(), before);
}

// A trace that cannot be written costs the registry nothing: every operation goes through, and
// the record says once why the trace is missing.
TEST(DebugLog, AnUnwritableLogLeavesEveryOperationWholeAndIsRecordedOnce) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"LockedLog");
    ta::FileHandle lock(::CreateFileW(Regset::DebugLogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        EXPECT_EQ(Regset::SetStringValue(scratch.fullPath(), L"v", L"x"), ERROR_SUCCESS);
        EXPECT_EQ(Regset::SetDwordValue(scratch.fullPath(), L"d", 7), ERROR_SUCCESS);
        EXPECT_EQ(Regset::GetStringValue(scratch.fullPath(), L"v"), L"x");
        EXPECT_EQ(Regset::GetDwordValue(scratch.fullPath(), L"d"), 7);
    }
    lock.reset();
    const auto entries = record.Entries();
    ASSERT_EQ(entries.size(), 1u) << "said once";
    EXPECT_EQ(entries[0].item, Regset::DebugLogPath());
    EXPECT_EQ(entries[0].step, L"WriteDebugLog");
    EXPECT_EQ(entries[0].outcome, ta::Outcome::Failed);
    EXPECT_EQ(entries[0].error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

}  // namespace
