// The uninstaller end to end: the real TaUnInst.exe in the prefix, driven as a person would.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <sddl.h>

#include <algorithm>
#include <string>

#include "e2e/WizardDriver.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "support/PendingRestartList.h"
#include "support/ReportService.h"
#include "support/TestRegistry.h"
#include "support/UnixLinks.h"
#include "support/WinePaths.h"

namespace ta::e2e {
namespace {

using test::DeleteTree;
using test::KeyExists;
using test::PendingRestartList;
using test::ReportService;
using test::ReadString;
using test::SetDword;
using test::SetString;

constexpr wchar_t kProductKey[] = L"SOFTWARE\\Morla";
constexpr wchar_t kClosingNotice[] =
    L"타르닐가 적용된 모든 프로그램 (IE, MSN Messenger, Outlook Express,Outlook 등) 이 종료됩니다";
constexpr DWORD kWait = 20000;
constexpr DWORD kCancelled = 1602;

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
    for (const auto& t : texts)
        if (t == text) return true;
    return false;
}

// An installed product: the product key and an install folder with a few files in it.
class InstalledProduct {
public:
    static constexpr int kFiles = 40;
    static constexpr int kFileSize = 4096;

    InstalledProduct() : folder_(L"C:\\ta_e2e\\Tarnil." + std::to_wstring(::GetCurrentProcessId())) {
        ::CreateDirectoryW(L"C:\\ta_e2e", nullptr);
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        const std::string data(kFileSize, 'x');
        for (int i = 0; i < kFiles; ++i) {
            HANDLE file = ::CreateFileW(File(i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            ::WriteFile(file, data.data(), kFileSize, &written, nullptr);
            ::CloseHandle(file);
        }
        DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
        SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder_);
        SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", kFiles * kFileSize);
    }
    ~InstalledProduct() {
        for (int i = 0; i < kFiles; ++i) ::DeleteFileW(File(i).c_str());
        ::RemoveDirectoryW(folder_.c_str());
        ::RemoveDirectoryW(L"C:\\ta_e2e");
        DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
    }
    std::wstring File(int i) const { return folder_ + L"\\part" + std::to_wstring(i) + L".dat"; }
    const std::wstring& Folder() const { return folder_; }
    int FilesLeft() const {
        int left = 0;
        for (int i = 0; i < kFiles; ++i) left += ::GetFileAttributesW(File(i).c_str()) != INVALID_FILE_ATTRIBUTES;
        return left;
    }
    bool Untouched() const {
        return FilesLeft() == kFiles && ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath") == folder_ &&
               !test::ReadValue(HKEY_LOCAL_MACHINE, kProductKey, L"Uninstall");
    }

private:
    std::wstring folder_;
};

// A program of the person's that the product is loaded into, running with a window: the idle
// fixture under the program's name, in a folder of its own outside the product's (see
// ta_idle.exe for what --draft and --stubborn make it do). Its record is where it writes.
class RunningProgram {
public:
    RunningProgram(const std::wstring& name, const std::wstring& behaviour)
        : folder_(L"C:\\ta_e2e_" + name + L"." + std::to_wstring(::GetCurrentProcessId())),
          exe_(folder_ + L"\\" + name + L".exe") {
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        ::DeleteFileW(Record().c_str());
        ::CopyFileW((ExeFolder() + L"\\ta_idle.exe").c_str(), exe_.c_str(), FALSE);
        std::wstring commandLine = L"\"" + exe_ + L"\" " + behaviour + L" \"" + Record() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (::CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            ::CloseHandle(pi.hThread);
            ::WaitForInputIdle(pi.hProcess, 10000);
        }
    }
    ~RunningProgram() {
        if (process_ && !Ended(0)) ::TerminateProcess(process_.get(), 1);
        if (process_) ::WaitForSingleObject(process_.get(), 5000);
        ::DeleteFileW(exe_.c_str());
        ::DeleteFileW(Record().c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    bool Started() const { return static_cast<bool>(process_); }
    bool Ended(DWORD waitMs) const { return ::WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0; }
    DWORD Pid() const { return ::GetProcessId(process_.get()); }
    const std::wstring& Exe() const { return exe_; }
    std::wstring Record() const { return folder_ + L"\\record.txt"; }
    std::string RecordText() const {
        std::string text(4096, '\0');
        HANDLE file = ::CreateFileW(Record().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        DWORD read = 0;
        if (file != INVALID_HANDLE_VALUE) {
            ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
            ::CloseHandle(file);
        }
        text.resize(read);
        return text;
    }

private:
    std::wstring folder_;
    std::wstring exe_;
    KernelHandle process_;
};

constexpr char kDraftSaved[] = "draft saved on WM_QUERYENDSESSION\r\n";

// Each road starts with an installed product and the program showing its start page.
class WizardDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.Started());
        start = WaitForPage(program.Pid(), L"다음 >", kWait);
        ASSERT_NE(start, nullptr);
    }
    // Presses the page's button and answers the message box it opens; answers the box.
    HWND PressAndAnswer(HWND page, const std::wstring& button, const std::wstring& title, int answer,
                        const std::wstring& screenshot = {}) {
        Press(FindChild(page, button));
        HWND box = WaitForMessageBox(program.Pid(), title, kWait);
        if (!box) return nullptr;
        boxTexts = StaticTexts(box);
        if (!screenshot.empty()) {
            EXPECT_TRUE(Screenshot(nullptr, screenshot));
        }
        Press(::GetDlgItem(box, answer));
        return box;
    }

    InstalledProduct product;
    Uninstaller program;
    HWND start = nullptr;
    std::vector<std::wstring> boxTexts;
};

TEST_F(WizardDriverTest, YesRemovesTheProductAndDoneEndsTheProgram) {
    EXPECT_TRUE(Screenshot(start, L"1-start-page"));
    ASSERT_TRUE(PressAndAnswer(start, L"다음 >", L"타르닐 제거", IDYES, L"2-closing-notice"));
    EXPECT_TRUE(Contains(boxTexts, kClosingNotice));

    // The progress page waits a second before it starts: time for its picture.
    HWND progress = WaitForPage(program.Pid(), L"취소", kWait);
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(Screenshot(progress, L"3-progress-page"));

    HWND finish = WaitForPage(program.Pid(), L"완료", 60000);
    ASSERT_NE(finish, nullptr);
    // Only the finish page is left.
    EXPECT_EQ(program.Windows().size(), 1u);
    EXPECT_FALSE(::IsWindowEnabled(FindChild(finish, L"< 뒤로")));
    EXPECT_FALSE(::IsWindowEnabled(FindChild(finish, L"취소")));
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    ::Sleep(200);  // let the page finish painting before the picture
    EXPECT_TRUE(Screenshot(finish, L"4-finish-page"));

    Press(FindChild(finish, L"완료"));
    EXPECT_EQ(program.WaitForExit(kWait), 0u);  // everything gone
}

TEST_F(WizardDriverTest, ProgramsAreAskedToCloseWhileTheStartPageKeepsAnswering) {
    RunningProgram mail(L"mailbox", L"--draft"), viewer(L"viewer", L"--stubborn");
    ASSERT_TRUE(mail.Started() && viewer.Started());
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"PROGRAM", L"mailbox;viewer;"));
    ASSERT_TRUE(PressAndAnswer(start, L"다음 >", L"타르닐 제거", IDYES));

    // While the viewer is waited for, the close box and "취소" do nothing, and the page answers
    // every time it is asked, within a limit no person would notice: a page that waited for the
    // viewer itself would not answer for seconds, and a busy machine (tests side by side) delays
    // an answer by a tenth of a second now and then.
    constexpr UINT kAnswerLimitMs = 500;
    ::PostMessageW(start, WM_SYSCOMMAND, SC_CLOSE, 0);
    Press(FindChild(start, L"취소"));
    const ULONGLONG begin = ::GetTickCount64();
    int asked = 0, answered = 0;
    ULONGLONG slowest = 0;
    while (::IsWindow(start) && ::GetTickCount64() - begin < kWait) {
        const ULONGLONG sent = ::GetTickCount64();
        DWORD_PTR result = 0;
        const bool answer = ::SendMessageTimeoutW(start, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &result) != 0;
        if (!::IsWindow(start)) break;  // the page went meanwhile
        ++asked;
        answered += answer;
        slowest = std::max(slowest, ::GetTickCount64() - sent);
        ::Sleep(20);
    }
    const ULONGLONG waited = ::GetTickCount64() - begin;
    EXPECT_GE(waited, 4000u) << "the viewer refuses to close: it is given a few seconds";
    EXPECT_LT(waited, 15000u);
    EXPECT_EQ(answered, asked) << "slowest answer " << slowest << " ms";
    EXPECT_LT(slowest, kAnswerLimitMs);
    EXPECT_EQ(WaitForMessageBox(program.Pid(), L"타르닐 삭제", 0), nullptr) << "취소 asked during the wait";

    // The draft is saved and the mail program gone by itself; the viewer is ended.
    EXPECT_EQ(mail.RecordText(), kDraftSaved);
    EXPECT_TRUE(mail.Ended(0));
    EXPECT_TRUE(viewer.Ended(5000));
    EXPECT_EQ(viewer.RecordText(), "WM_QUERYENDSESSION refused\r\nWM_CLOSE ignored\r\n");

    // Then the removal runs as always.
    HWND finish = WaitForPage(program.Pid(), L"완료", 60000);
    ASSERT_NE(finish, nullptr);
    Press(FindChild(finish, L"완료"));
    EXPECT_EQ(program.WaitForExit(kWait), 0u);
    EXPECT_EQ(product.FilesLeft(), 0);
}

TEST_F(WizardDriverTest, NoToTheClosingNoticeEndsWithNothingRemoved) {
    ASSERT_TRUE(PressAndAnswer(start, L"다음 >", L"타르닐 제거", IDNO));
    EXPECT_EQ(program.WaitForExit(kWait), kCancelled);
    EXPECT_TRUE(product.Untouched());
}

TEST_F(WizardDriverTest, CancelAsksAndEndsOnYes) {
    ASSERT_TRUE(PressAndAnswer(start, L"취소", L"타르닐 삭제", IDNO, L"5-cancel-question"));
    EXPECT_TRUE(Contains(boxTexts, L"삭제를 취소하겠습니까?"));
    // No: the start page stays as it was.
    ASSERT_EQ(WaitForPage(program.Pid(), L"다음 >", kWait), start);
    EXPECT_EQ(program.WaitForExit(300), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(::IsWindowEnabled(FindChild(start, L"다음 >")));
    EXPECT_FALSE(::IsWindowEnabled(FindChild(start, L"< 뒤로")));

    ASSERT_TRUE(PressAndAnswer(start, L"취소", L"타르닐 삭제", IDYES));
    EXPECT_EQ(program.WaitForExit(kWait), kCancelled);
    EXPECT_TRUE(product.Untouched());
}

TEST_F(WizardDriverTest, CloseBoxOfTheStartPageEndsWithoutAQuestion) {
    ::PostMessageW(start, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.WaitForExit(kWait), kCancelled);
    EXPECT_TRUE(product.Untouched());
}

TEST_F(WizardDriverTest, SecondInstanceEndsSilently) {
    Uninstaller second;
    ASSERT_TRUE(second.Started());
    // Watched until it ends: it never shows a window.
    bool showedWindow = false;
    DWORD code = STILL_ACTIVE;
    for (DWORD waited = 0; code == STILL_ACTIVE && waited < kWait; waited += 10) {
        showedWindow = showedWindow || !second.Windows().empty();
        code = second.WaitForExit(10);
    }
    EXPECT_EQ(code, 1618u);  // another copy is running
    EXPECT_FALSE(showedWindow);
    // The first one is still there, alone.
    EXPECT_EQ(program.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(program.Windows().size(), 1u);
    // A silent copy keeps the rule too.
    Uninstaller silent(L"/S", false);
    EXPECT_EQ(silent.WaitForExit(kWait), 1618u);
    EXPECT_TRUE(product.Untouched());
    ::PostMessageW(start, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.WaitForExit(kWait), kCancelled);
}

// The private copy holds the instance for its whole run: a deployment tool that killed the
// original on a time-out and starts again meets the copy's run, not a machine to itself.
TEST(SingleInstance, ASecondStartWhileTheCopyRunsEndsAtOnceWithTheOriginalGone) {
    InstalledProduct product;
    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe";
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), inside.c_str(), FALSE));
    Uninstaller original({}, false, L"\"" + inside + L"\"");
    ASSERT_TRUE(original.Started());
    const HWND page = WaitForPage(original.Pid(), L"다음 >", kWait);
    ASSERT_NE(page, nullptr);
    DWORD copyPid = 0;
    ::GetWindowThreadProcessId(page, &copyPid);
    ASSERT_NE(copyPid, original.Pid()) << "the run was handed to the copy";
    KernelHandle copy(::OpenProcess(SYNCHRONIZE, FALSE, copyPid));
    {
        KernelHandle killed(::OpenProcess(PROCESS_TERMINATE, FALSE, original.Pid()));
        ASSERT_TRUE(::TerminateProcess(killed.get(), 1));
    }
    EXPECT_EQ(original.WaitForExit(kWait), 1u);

    Uninstaller second(L"/S", false);
    EXPECT_EQ(second.WaitForExit(kWait), 1618u);
    EXPECT_TRUE(product.Untouched());
    ::PostMessageW(page, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(::WaitForSingleObject(copy.get(), kWait), WAIT_OBJECT_0);
    ::DeleteFileW(inside.c_str());
}

// ---- Unattended removal ------------------------------------------------------------------

// Runs the program with the arguments, watching its windows until it ends; answers its code.
DWORD RunUnattended(const std::wstring& arguments, bool& showedWindow, const std::wstring& commandLine = {}) {
    Uninstaller program(arguments, false, commandLine);
    EXPECT_TRUE(program.Started());
    showedWindow = false;
    DWORD code = STILL_ACTIVE;
    for (DWORD waited = 0; code == STILL_ACTIVE && waited < 60000; waited += 10) {
        showedWindow = showedWindow || !program.Windows().empty();
        code = program.WaitForExit(10);
    }
    return code;
}

// The log's lines, read as UTF-8.
std::vector<std::wstring> LogLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    // Also while the program still writes it.
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string bytes(1 << 20, '\0');
    DWORD read = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    bytes.resize(read);
    std::wstring text(bytes.size(), L'\0');
    text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                      static_cast<int>(text.size())));
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool AnyLine(const std::vector<std::wstring>& lines, const std::wstring& a, const std::wstring& b = {}) {
    for (const auto& line : lines)
        if (line.find(a) != std::wstring::npos && line.find(b) != std::wstring::npos) return true;
    return false;
}

// A log folder whose name has blanks and Hangul, as an administrator's share might.
class LogFolder {
public:
    LogFolder() { ::CreateDirectoryW(folder_.c_str(), nullptr); }
    ~LogFolder() {
        ::DeleteFileW(Log().c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    std::wstring Log() const { return folder_ + L"\\제거 기록.log"; }
    std::wstring File(const std::wstring& name) const { return folder_ + L"\\" + name; }

private:
    std::wstring folder_ = L"C:\\ta e2e 로그." + std::to_wstring(::GetCurrentProcessId());
};

TEST(UnattendedRemoval, RemovesWithoutAWindowLogsEveryItemAndSaysSoAgainOnAnEmptyMachine) {
    InstalledProduct product;
    LogFolder logs;
    // Somebody works in the mail program: nobody is warned, and the draft still is not lost.
    RunningProgram mail(L"mailbox", L"--draft");
    ASSERT_TRUE(mail.Started());
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"PROGRAM", L"mailbox;"));
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
    EXPECT_FALSE(showedWindow);
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(mail.RecordText(), kDraftSaved);
    EXPECT_TRUE(mail.Ended(0));

    const auto lines = LogLines(logs.Log());
    ASSERT_GT(lines.size(), 5u);
    EXPECT_TRUE(AnyLine(lines, L"switches: /S /log="));
    EXPECT_TRUE(AnyLine(lines, L"\tprocess\tmailbox.exe (", L"\tclosed\t"));
    for (int i = 0; i < InstalledProduct::kFiles; ++i) EXPECT_TRUE(AnyLine(lines, product.File(i), L"\tremoved")) << i;
    // Nothing is said to be removed that was not the product's.
    for (const auto& line : lines) {
        if (line.find(L"\tremoved") == std::wstring::npos) continue;
        const bool ours = line.find(L"\\ta_e2e\\Tarnil.") != std::wstring::npos ||
                          line.find(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla") != std::wstring::npos;
        EXPECT_TRUE(ours) << ToUtf8(line);
    }
    EXPECT_NE(lines.back().find(L"exit code 0"), std::wstring::npos) << ToUtf8(lines.back());
    // Every item's line names its step: what a step writes outside any would never count toward 1603.
    for (size_t i = 5; i + 1 < lines.size(); ++i) {
        const size_t stepStarts = lines[i].find(L'\t') + 1;  // after the time
        EXPECT_NE(lines[i].find(L'\t', stepStarts), stepStarts) << ToUtf8(lines[i]);
    }

    // Again, on the emptied machine, in the other spelling of the switch, asked to log into a
    // folder that does not exist: the log goes to the temporary folder and says why.
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring fallback = std::wstring(temp) + L"TaUnInst removal.log";
    ::DeleteFileW(fallback.c_str());
    const std::wstring nowhere = L"C:\\ta e2e no such folder\\removal.log";
    EXPECT_EQ(RunUnattended(L"-quiet -LOG=\"" + nowhere + L"\"", showedWindow), 0u);
    EXPECT_FALSE(showedWindow);
    const auto again = LogLines(fallback);
    ::DeleteFileW(fallback.c_str());
    ASSERT_FALSE(again.empty());
    EXPECT_TRUE(AnyLine(again, L"\t" + nowhere + L"\tfailed\terror 3: ", L"the log could not be written"));
    EXPECT_NE(again.back().find(L"nothing to remove"), std::wstring::npos) << ToUtf8(again.back());
}

// Every text of the page, as a tool reads it: each visible child window asked for its text (a
// list's lines among them, which only the window itself knows).
std::vector<std::wstring> PageTexts(HWND page) {
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        std::wstring text(4096, L'\0');
        DWORD_PTR length = 0;
        if (::SendMessageTimeoutW(child, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                                  5000, &length))
            texts.push_back(text.substr(0, length));
    }
    return texts;
}

bool AnyText(const std::vector<std::wstring>& texts, const std::wstring& part) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::wstring& t) { return t.find(part) != std::wstring::npos; });
}

// A file of the product held open by another program, in a folder others may change: it can go
// neither now nor at the restart. The finish page must not say the removal is complete: it names
// the file and why it stayed, and the record. Once the holder has ended, "다시 시도" finishes the
// removal, the page reads as complete, and "완료" sends the one report.
TEST_F(WizardDriverTest, WhatStaysIsNamedOnTheFinishPageAndARetryFinishesTheRemoval) {
    ReportService service;
    ASSERT_TRUE(service.running());
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"PID", L"TN-RETRY"));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"mserver", service.base()));
    ASSERT_TRUE(test::LetOthersChange(product.Folder()));
    FileHandle holder(::CreateFileW(product.File(3).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(PressAndAnswer(start, L"다음 >", L"타르닐 제거", IDYES));

    HWND finish = WaitForPage(program.Pid(), L"다시 시도", 60000);
    ASSERT_NE(finish, nullptr);
    std::vector<std::wstring> texts = PageTexts(finish);
    EXPECT_FALSE(AnyText(texts, L"모두 완료"));
    EXPECT_TRUE(AnyText(texts, L"타르닐 프로그램의 일부 항목을 제거하지 못했습니다."));
    EXPECT_TRUE(AnyText(texts, product.File(3) + L": 다른 프로그램이 사용하고 있습니다 (Windows 오류 32)"));
    // The record the page names holds the file's line too.
    const auto named = std::find_if(texts.begin(), texts.end(), [](const std::wstring& t) { return t.rfind(L"제거 기록: ", 0) == 0; });
    ASSERT_NE(named, texts.end());
    // (written a piece at a time, at least once a second)
    bool logged = false;
    for (int waited = 0; waited < 40 && !logged; ++waited, ::Sleep(100))
        logged = AnyLine(LogLines(named->substr(7)), product.File(3), L"kept (in use)");
    EXPECT_TRUE(logged);
    EXPECT_EQ(product.FilesLeft(), 1);

    holder.reset();
    Press(FindChild(finish, L"다시 시도"));
    const auto retried = [&] {
        const std::vector<std::wstring> now = PageTexts(finish);
        return AnyText(now, L"모두 완료되었습니다") && !AnyText(now, L"다시 시도");
    };
    for (int waited = 0; waited < 200 && !retried(); ++waited) ::Sleep(50);
    texts = PageTexts(finish);
    EXPECT_TRUE(AnyText(texts, L"타르닐 프로그램 제거작업이 모두 완료되었습니다."));
    EXPECT_FALSE(AnyText(texts, L"다시 시도"));
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_TRUE(service.record().find("<request method=") == std::string::npos) << "no report before 완료";
    Press(FindChild(finish, L"완료"));
    EXPECT_EQ(program.WaitForExit(kWait), 0u);
    const std::string received = service.record();
    size_t calls = 0;
    for (size_t at = received.find("<request method=\"POST\""); at != std::string::npos;
         at = received.find("<request method=\"POST\"", at + 1))
        ++calls;
    EXPECT_EQ(calls, 1u) << received;
}

// Any account can put an object under the instance's name before a run starts: one that no
// trusted account owns blocks nothing, and the log says whose it was.
TEST(UnattendedRemoval, AnObjectOfAnotherAccountUnderTheInstancesNameBlocksNothing) {
    InstalledProduct product;
    LogFolder logs;
    // As an ordinary account's object is owned, by the users' group, and closed to everybody else.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BUD:P", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    KernelHandle squatter(::CreateMutexW(&security, TRUE, L"Global\\TaUnInst.Instance"));
    ::LocalFree(descriptor);
    ASSERT_TRUE(squatter);
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"passed over Global\\TaUnInst.Instance (owned by S-1-5-32-545)"));
}

// Unknown switches remove nothing; "/norestart", which deployment tools pass out of habit, is
// known, and a silent run never restarts anyway.
TEST(UnattendedRemoval, AnUnknownSwitchRemovesNothingAndNoRestartIsKnown) {
    InstalledProduct product;
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /uninstall-everything", showedWindow), 87u);
    EXPECT_FALSE(showedWindow);
    EXPECT_EQ(RunUnattended(L"/S /norestart /bogus", showedWindow), 87u);
    EXPECT_TRUE(product.Untouched());
    EXPECT_EQ(RunUnattended(L"/S /norestart", showedWindow), 0u);
    EXPECT_FALSE(showedWindow);
    EXPECT_EQ(product.FilesLeft(), 0);
}

// A file another program keeps open without letting it be deleted cannot be moved out of its
// folder: where only administrators may change the folders on its way, it goes at the restart
// where it is, and the install folder after it.
TEST(UnattendedRemoval, AFileHeldOpenGoesAtTheRestartWhereItIsAndTheRunSaysSo) {
    InstalledProduct product;
    LogFolder logs;
    PendingRestartList pendingList;  // put back as it was
    HANDLE holder =
        ::CreateFileW(product.File(3).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 3010u);
    ::CloseHandle(holder);
    EXPECT_EQ(product.FilesLeft(), 1);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), product.File(3), L"pending restart\terror 32"));
    const std::vector<std::wstring> added = pendingList.AddedSinceStart();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_TRUE(SameNameNoCase(added[0], L"\\\\?\\" + product.File(3))) << ToUtf8(added[0]);
    EXPECT_TRUE(SameNameNoCase(added[1], L"\\\\?\\" + product.Folder())) << ToUtf8(added[1]);
}

// Runs a copy of the program at inside (in the install folder, as the uninstall entry names it)
// with /S and the log, its temporary folder (TMP) set to temp; answers its exit code.
DWORD RunUnattendedFromInside(const std::wstring& inside, const wchar_t* temp, const LogFolder& logs,
                              bool& showedWindow) {
    EXPECT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), inside.c_str(), FALSE));
    wchar_t saved[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", temp);
    const DWORD code = RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow, L"\"" + inside + L"\"");
    ::SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
    return code;
}

// Started from inside the install folder with no temporary folder to hand over to, the program
// says so and removes in place, as it always did: its own file waits for the restart.
TEST(UnattendedRemoval, AHandOverThatCannotBeMadeRunsInPlaceAndSaysSo) {
    InstalledProduct product;
    LogFolder logs;
    PendingRestartList pendingList;  // put back as it was
    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe";
    bool showedWindow = true;
    EXPECT_EQ(RunUnattendedFromInside(inside, L"C:\\no such folder\\temp", logs, showedWindow), 3010u);
    EXPECT_FALSE(showedWindow);
    const auto lines = LogLines(logs.Log());
    EXPECT_TRUE(AnyLine(lines, L"HandOver\thand-over\tC:\\no such folder\\temp", L"the removal runs in place"));
    EXPECT_TRUE(AnyLine(lines, inside, L"pending restart"));
    EXPECT_EQ(product.FilesLeft(), 0);
    ::DeleteFileW(inside.c_str());
}


// Somebody who may change the install folder renames the program's file as it starts and puts
// another program in its place: the hand-over copies only the program that runs, and what lies at
// the path is never started; the removal runs in place and says why.
TEST(UnattendedRemoval, AProgramPutInTheOriginalsPlaceIsNeverStarted) {
    InstalledProduct product;
    LogFolder logs;
    PendingRestartList pendingList;  // put back as it was
    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe", renamed = product.Folder() + L"\\TaUnInst.run";
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), inside.c_str(), FALSE));
    // Started as the list of installed programs starts it, and caught before its first line.
    std::wstring commandLine = L"\"" + inside + L"\" /S /log=\"" + logs.Log() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessW(inside.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                 nullptr, &startup, &started));
    KernelHandle process(started.hProcess), thread(started.hThread);
    ASSERT_TRUE(::MoveFileExW(inside.c_str(), renamed.c_str(), 0));
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\ta_idle.exe").c_str(), inside.c_str(), TRUE));
    ::ResumeThread(thread.get());
    // A replacement started as the copy would never end, nor would the program waiting for it.
    ASSERT_EQ(::WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 3010u);  // its own, renamed file goes at the restart
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"HandOver\thand-over\t" + inside,
                        L"the program's file is not the program that runs; the removal runs in place"));
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_EQ(::GetFileAttributesW(inside.c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW(renamed.c_str());
}

// "/original=" names any program whose image is at that path, and the copy may have been started
// from any folder of a private-looking name: at the end it removes only a folder its own
// hand-over made, never one others may change.
TEST(UnattendedRemoval, AFolderOthersMayChangeIsNeverSweptWhateverOriginalNames) {
    InstalledProduct product;
    LogFolder logs;
    RunningProgram anything(L"anything", L"");
    ASSERT_TRUE(anything.Started());
    const std::wstring folder = L"C:\\ta_e2e\\TaUnInst-planted." + std::to_wstring(::GetCurrentProcessId());
    const std::wstring copy = folder + L"\\TaUnInst.exe", notes = folder + L"\\notes.txt";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\ta_idle.exe").c_str(), notes.c_str(), FALSE));
    ASSERT_TRUE(test::LetOthersChange(folder));
    bool showedWindow = true;
    const std::wstring original = L" \"/original=" + std::to_wstring(anything.Pid()) + L":" + anything.Exe() + L"\"";
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"" + original, showedWindow, L"\"" + copy + L"\""), 0u);
    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"\thand-over\t" + folder + L"\tkept (foreign)",
                        L"not removed: not a private folder of this program's (Everyone may change it)"));
    ::Sleep(2000);  // what a sweeper would have removed by now
    EXPECT_NE(::GetFileAttributesW(notes.c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW(notes.c_str());
    ::DeleteFileW(copy.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// A drive Q: on another file system than the prefix's drive C: (a RAM disk's), for as long as it
// lives: no file moves between the two, as between two volumes.
class OtherDrive {
public:
    OtherDrive() : unix_("/dev/shm/ta-drive-" + std::to_string(::GetCurrentProcessId())) {
        test::StartUnix("Z:\\bin\\sh -c \"mkdir -p " + unix_ + "/temp && ln -sfn " + unix_ + " " + DriveLink() + "\"");
        test::WaitUntil([] { return ::GetFileAttributesW(L"Q:\\temp") != INVALID_FILE_ATTRIBUTES; });
    }
    ~OtherDrive() {
        test::StartUnix("Z:\\bin\\sh -c \"rm -f " + DriveLink() + "; rm -rf " + unix_ + "\"");
        test::WaitUntil([] { return ::GetFileAttributesW(L"Q:\\") == INVALID_FILE_ATTRIBUTES; });
    }
    OtherDrive(const OtherDrive&) = delete;
    OtherDrive& operator=(const OtherDrive&) = delete;

private:
    // The prefix's link that makes the drive, as the shell finds it beside drive_c.
    static std::string DriveLink() {
        return "\\\"$(dirname \\\"$(realpath '" + test::UnixPath(L"C:\\") + "')\\\")/dosdevices/q:\\\"";
    }

    std::string unix_;
};

// The names in folder that begin with prefix.
std::vector<std::wstring> NamesIn(const std::wstring& folder, const std::wstring& prefix = L"") {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    FindHandle search(::FindFirstFileW((folder + L"\\" + prefix + L"*").c_str(), &entry));
    if (!search) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(search.get(), &entry));
    return names;
}

// A temporary folder reached through a link (a junction to another disk, say) still takes the
// hand-over: the private folder made there is compared where it really is.
TEST(UnattendedRemoval, ATemporaryFolderReachedThroughALinkStillTakesTheHandOver) {
    InstalledProduct product;
    LogFolder logs;
    const std::wstring real = logs.File(L"temp"), via = logs.File(L"via");
    ASSERT_TRUE(::CreateDirectoryW(real.c_str(), nullptr));
    ASSERT_TRUE(test::MakeUnixLink(real, via));
    bool showedWindow = true;
    EXPECT_EQ(RunUnattendedFromInside(product.Folder() + L"\\TaUnInst.exe", via.c_str(), logs, showedWindow), 0u);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"HandOver\thand-over\t", L"a private copy runs the removal"));
    EXPECT_EQ(::GetFileAttributesW(product.Folder().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(test::WaitUntil([&] { return NamesIn(real, L"TaUnInst-").empty(); })) << "the sweeper took its folder";
    test::StartUnix("Z:\\bin\\rm -f \"" + test::UnixPath(via) + "\"");
    test::WaitUntil([&] { return ::GetFileAttributesW(via.c_str()) == INVALID_FILE_ATTRIBUTES; });
    ::RemoveDirectoryW(real.c_str());
}

// Started from inside the install folder with the temporary folder on another drive, where the
// program's file cannot be moved: the private copy's folder goes on the program's own drive, and
// the run leaves nothing behind, nothing for the restart, in either place.
TEST(UnattendedRemoval, ATemporaryFolderOnAnotherDriveLeavesNothingBehind) {
    InstalledProduct product;
    LogFolder logs;
    PendingRestartList pendingList;  // put back as it was
    OtherDrive drive;
    // Precondition: a file does not move from C: to Q:.
    const std::wstring probe = product.Folder() + L"\\probe.txt";
    ASSERT_TRUE(::CopyFileW(product.File(0).c_str(), probe.c_str(), FALSE));
    ASSERT_FALSE(::MoveFileExW(probe.c_str(), L"Q:\\temp\\probe.txt", 0));
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
    ::DeleteFileW(probe.c_str());

    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe";
    const auto rootBefore = NamesIn(L"C:", L"TaUnInst-");
    bool showedWindow = true;
    EXPECT_EQ(RunUnattendedFromInside(inside, L"Q:\\temp", logs, showedWindow), 0u);

    EXPECT_EQ(::GetFileAttributesW(product.Folder().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(pendingList.AddedSinceStart().empty());
    // The sweeper takes the private folder once both programs have ended.
    EXPECT_TRUE(test::WaitUntil([&] { return NamesIn(L"C:", L"TaUnInst-") == rootBefore; }));
    EXPECT_TRUE(NamesIn(L"Q:\\temp").empty());
    const auto lines = LogLines(logs.Log());
    EXPECT_TRUE(AnyLine(lines, inside, L"moved to C:\\TaUnInst-"));
}

// Ends every process whose program is the file path; answers how many there were.
int EndProcessesRunning(const std::wstring& path) {
    int found = 0;
    KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH];
        DWORD size = MAX_PATH;
        if (!process || !::QueryFullProcessImageNameW(process.get(), 0, image, &size)) continue;
        if (ta::ToLower(image) != ta::ToLower(path)) continue;
        ++found;
        ::TerminateProcess(process.get(), 1);
    }
    return found;
}

// The copy's folder is swept from the temporary folder, where anybody may have left a program
// named as one the sweeper needs. With a file of the private folder still held when the copy
// ends, the sweeper pauses and tries again: nothing planted runs, and the folder goes.
TEST(UnattendedRemoval, TheSweeperRunsNothingPlantedInTheTemporaryFolder) {
    InstalledProduct product;
    LogFolder logs;
    const std::wstring temp = logs.File(L"temp"), marker = logs.File(L"planted ran.txt");
    ASSERT_TRUE(::CreateDirectoryW(temp.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\ta_idle.exe").c_str(), (temp + L"\\ping.exe").c_str(), FALSE));
    {
        const std::string script = "@echo ran > \"" + ta::ToUtf8(marker) + "\"\r\n";
        HANDLE file = ::CreateFileW((temp + L"\\ping.bat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, script.data(), static_cast<DWORD>(script.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe";
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), inside.c_str(), FALSE));
    wchar_t saved[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", temp.c_str());
    Uninstaller program(L"/S /log=\"" + logs.Log() + L"\"", false, L"\"" + inside + L"\"");
    ::SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
    ASSERT_TRUE(program.Started());

    // Once the copy's folder appears, a file in it is held until the run has ended.
    std::wstring privateFolder;
    HANDLE held = INVALID_HANDLE_VALUE;
    DWORD code = STILL_ACTIVE;
    for (DWORD waited = 0; code == STILL_ACTIVE && waited < 60000; waited += 10) {
        if (privateFolder.empty()) {
            WIN32_FIND_DATAW found;
            HANDLE search = ::FindFirstFileW((temp + L"\\TaUnInst-*").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                ::FindClose(search);
                privateFolder = temp + L"\\" + found.cFileName;
                held = ::CreateFileW((privateFolder + L"\\held.dat").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
            }
        }
        code = program.WaitForExit(10);
    }
    EXPECT_EQ(code, 0u);
    ASSERT_FALSE(privateFolder.empty()) << "the run was handed over";
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ::Sleep(500);  // the sweeper's first try has met the held file
    ::CloseHandle(held);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i, ::Sleep(100))
        gone = ::GetFileAttributesW(privateFolder.c_str()) == INVALID_FILE_ATTRIBUTES;
    EXPECT_TRUE(gone) << "the sweeper tried again after its pause";
    EXPECT_EQ(::GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "ping.bat ran";
    EXPECT_EQ(EndProcessesRunning(temp + L"\\ping.exe"), 0) << "ping.exe ran";
    for (const wchar_t* name : {L"ping.exe", L"ping.bat"}) ::DeleteFileW((temp + L"\\" + name).c_str());
    ::DeleteFileW(marker.c_str());
    ::RemoveDirectoryW(temp.c_str());
}

// The product's browser helper in the system folder, broken: damaged (no loadable library), or
// a built component whose entry point crashes. With the class registration it once made, and a
// class of another vendor beside it.
class DamagedHelper {
public:
    explicit DamagedHelper(const wchar_t* fixture = nullptr) {
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        file_ = std::wstring(system) + L"\\tageturl.dll";
        if (fixture) {
            ::CopyFileW((ExeFolder() + L"\\" + fixture).c_str(), file_.c_str(), FALSE);
        } else {
            HANDLE file = ::CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            const std::string text = "MZ and nothing of a library";
            DWORD written = 0;
            ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            ::CloseHandle(file);
        }
        SetString(HKEY_LOCAL_MACHINE, kProgId + std::wstring(L"\\CLSID"), L"", kClass);
        SetString(HKEY_LOCAL_MACHINE, ClassKey(kClass) + L"\\InprocServer32", L"", file_);
        SetString(HKEY_LOCAL_MACHINE, ClassKey(kForeign) + L"\\InprocServer32", L"", L"C:\\Other\\helper.dll");
    }
    ~DamagedHelper() {
        ::DeleteFileW(file_.c_str());
        ::DeleteFileW((file_ + L".log").c_str());  // what a built component records
        for (const std::wstring& key : {std::wstring(kProgId), ClassKey(kClass), ClassKey(kForeign)})
            DeleteTree(HKEY_LOCAL_MACHINE, key);
    }
    static std::wstring ClassKey(const wchar_t* id) { return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + id; }
    const std::wstring& File() const { return file_; }

    static constexpr wchar_t kProgId[] = L"SOFTWARE\\Classes\\Tarnil.CBrowserHelper";
    static constexpr wchar_t kClass[] = L"{5C1E2B7A-8F3D-4E69-A0B4-7D2C9E61F835}";
    static constexpr wchar_t kForeign[] = L"{11111111-2222-3333-4444-555555555555}";

private:
    std::wstring file_;
};

// Years after the product, its service is gone and its helper may be broken: neither makes a
// complete removal a failure, and the log says what became of each.
TEST(UnattendedRemoval, NoServiceAndADamagedHelperStillEndWith0AndTheLogSaysWhy) {
    InstalledProduct product;
    DamagedHelper helper;
    ReportService service;
    const std::wstring nobody = service.base();
    service.stop();  // nothing listens there any more
    SetString(HKEY_LOCAL_MACHINE, kProductKey, L"PID", L"TN-1");
    SetString(HKEY_LOCAL_MACHINE, kProductKey, L"mserver", nobody);
    LogFolder logs;
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);

    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::kProgId));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::ClassKey(DamagedHelper::kClass)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::ClassKey(DamagedHelper::kForeign)));
    EXPECT_EQ(::GetFileAttributesW(helper.File().c_str()), INVALID_FILE_ATTRIBUTES);

    const auto lines = LogLines(logs.Log());
    EXPECT_TRUE(AnyLine(lines, L"\treport\t" + nobody + L"\tfailed\tnot sent: no service answered"));
    EXPECT_TRUE(AnyLine(lines, L"\tcomponent\t" + helper.File() + L"\tremoved\tthe file is not a loadable library"));
    // No failure without its reason.
    for (const auto& line : lines) {
        if (line.find(L"\tfailed\t") == std::wstring::npos) continue;
        EXPECT_NE(line.back(), L'\t') << ToUtf8(line);
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(L"exit code 0"), std::wstring::npos) << ToUtf8(lines.back());
}

// A helper whose entry point crashes or never returns, or whose DllMain never returns (holding
// the loader's lock of the process it is loaded into), takes only its own process with it: the
// step ends after at most its 10 s, its class goes all the same, the rest of the removal runs, and
// as nothing of it was ever loaded into the uninstaller its file goes at once.
TEST(UnattendedRemoval, AHelperThatCrashesOrNeverReturnsCostsTheRemovalNothing) {
    const struct {
        const wchar_t* fixture;
        const wchar_t* why;
    } cases[] = {{L"ta_regdll_crash.dll", L"DllUnregisterServer crashed"},
                 {L"ta_regdll_block.dll", L"DllUnregisterServer did not return within 10 s"},
                 {L"ta_regdll_hangload.dll", L"DllUnregisterServer did not return within 10 s"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.fixture));
        InstalledProduct product;
        PendingRestartList pendingList;  // put back as it was
        DamagedHelper helper(c.fixture);
        LogFolder logs;
        bool showedWindow = true;
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
        EXPECT_LT(::GetTickCount64() - start, 30000u);

        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::kProgId));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::ClassKey(DamagedHelper::kClass)));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, DamagedHelper::ClassKey(DamagedHelper::kForeign)));
        EXPECT_EQ(product.FilesLeft(), 0);
        EXPECT_EQ(::GetFileAttributesW(helper.File().c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(pendingList.AddedSinceStart().empty());
        const auto lines = LogLines(logs.Log());
        EXPECT_TRUE(AnyLine(lines, L"\tcomponent\t" + helper.File() + L"\tremoved\t" + c.why));
        // The system files' table spells it "Tageturl.dll".
        const std::wstring asDeleted = helper.File().substr(0, helper.File().size() - 12) + L"Tageturl.dll";
        EXPECT_TRUE(AnyLine(lines, L"\tfile\t" + asDeleted + L"\tremoved"));
    }
}

// Whatever a name is (a file, a Unix link, one of a file's hard links), it goes as a name.
void RemoveName(const std::wstring& path) {
    test::StartUnix("Z:\\bin\\rm -f \"" + test::UnixPath(path) + "\"");
    test::WaitUntil([&] { return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

bool PlaceLink(const std::wstring& target, const std::wstring& linkPath, bool hard) {
    RemoveName(linkPath);
    return hard ? ::CreateHardLinkW(linkPath.c_str(), target.c_str(), nullptr) != FALSE
                : test::MakeUnixLink(target, linkPath);
}

// The product key names the install folder through a link above it (a folder moved to another
// disk and linked back, say). Where the link and every folder on both ways can be changed by the
// trusted alone, the removal goes where the folder really is: every folder goes, and the run ends
// 0. Where others may change one of them, the folder is not entered, and the run says so: 1603.
TEST(UnattendedRemoval, AnInstallPathThroughALinkIsFollowedOnlyWhereOnlyTheTrustedMayChangeIt) {
    const std::wstring id = std::to_wstring(::GetCurrentProcessId());
    const std::wstring real = L"C:\\ta_e2e\\real." + id, via = L"C:\\ta_e2e\\via." + id;
    const std::wstring installed = real + L"\\Tarnil", file = installed + L"\\data\\a.dat";
    ::CreateDirectoryW(L"C:\\ta_e2e", nullptr);
    const auto lay = [&] {
        ::CreateDirectoryW(real.c_str(), nullptr);
        ::CreateDirectoryW(installed.c_str(), nullptr);
        ::CreateDirectoryW((installed + L"\\data").c_str(), nullptr);
        FileHandle made(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
        return made && SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", via + L"\\Tarnil");
    };
    ASSERT_TRUE(lay());
    ASSERT_TRUE(test::MakeUnixLink(real, via));
    LogFolder logs;
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
    EXPECT_EQ(::GetFileAttributesW(installed.c_str()), INVALID_FILE_ATTRIBUTES) << "every folder goes";
    EXPECT_NE(::GetFileAttributesW(real.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(via.c_str()), INVALID_FILE_ATTRIBUTES) << "the link is not the product's";

    ASSERT_TRUE(lay());
    ASSERT_TRUE(test::LetOthersChange(real));
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 1603u);
    EXPECT_NE(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"\tfolder\t" + via + L"\\Tarnil\tfailed",
                        L"not removed: it is reached through a link, and " + real + L": Everyone may change it"));
    RemoveName(via);
    ::DeleteFileW(file.c_str());
    for (const std::wstring& folder : {installed + L"\\data", installed, real}) ::RemoveDirectoryW(folder.c_str());
    DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
}


std::string Contents(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::string bytes(4096, '\0');
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};
    bytes.resize(read);
    return bytes;
}

TEST(UnattendedRemoval, NeitherLogIsWrittenThroughALinkAndTheRemovalIsWhole) {
    // Whoever can write the folder of a log puts a link there, in the log's place, to a file
    // they want destroyed: the debug log beside the program, or the removal log.
    const std::string kSentinel = "[boot loader]\r\ntimeout=30\r\n";
    LogFolder logs;
    const std::wstring sentinel = logs.File(L"boot.ini");
    const std::wstring debugLog = ExeFolder() + L"\\taupdbg.dbg";
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard links" : "symbolic links");
        {
            FileHandle file(::CreateFileW(sentinel.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            ASSERT_TRUE(::WriteFile(file.get(), kSentinel.data(), static_cast<DWORD>(kSentinel.size()), &written, nullptr));
        }
        bool showedWindow = true;
        {
            InstalledProduct product;
            ASSERT_TRUE(PlaceLink(sentinel, debugLog, hard));
            EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
            RemoveName(debugLog);
            EXPECT_EQ(product.FilesLeft(), 0);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
            EXPECT_EQ(Contents(sentinel), kSentinel);
            EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"\\taupdbg.dbg\tkept (link)", L"not written"));
        }
        {
            InstalledProduct product;
            ASSERT_TRUE(PlaceLink(sentinel, logs.Log(), hard));
            EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
            RemoveName(logs.Log());
            EXPECT_EQ(product.FilesLeft(), 0);
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
            EXPECT_EQ(Contents(sentinel), kSentinel);
        }
    }
    ::DeleteFileW(sentinel.c_str());
    // Or a link in place of a folder on the log's way: nothing is made behind it, and the log goes
    // to the temporary folder, saying why.
    InstalledProduct product;
    const std::wstring behind = logs.File(L"behind"), via = logs.File(L"via"), asked = via + L"\\제거 기록.log";
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring fallback = std::wstring(temp) + L"TaUnInst removal.log";
    ::DeleteFileW(fallback.c_str());
    ASSERT_TRUE(::CreateDirectoryW(behind.c_str(), nullptr));
    ASSERT_TRUE(test::MakeUnixLink(behind, via));
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + asked + L"\"", showedWindow), 0u);
    EXPECT_EQ(::GetFileAttributesW((behind + L"\\제거 기록.log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(AnyLine(LogLines(fallback), L"\t" + asked + L"\tkept (link)", L"not written: a path through a link: " + via));
    EXPECT_EQ(product.FilesLeft(), 0);
    RemoveName(via);
    ::RemoveDirectoryW(behind.c_str());
    ::DeleteFileW(fallback.c_str());
}

// A deployment tool kills a run that hangs in a component's entry point: the log on disk already
// names the step that was running.
TEST(UnattendedRemoval, ARunKilledWhileAComponentHangsLeavesItsStepInTheLog) {
    InstalledProduct product;
    DamagedHelper helper(L"ta_regdll_block.dll");
    LogFolder logs;
    Uninstaller program(L"/S /log=\"" + logs.Log() + L"\"", false);
    ASSERT_TRUE(program.Started());
    bool hanging = false;
    for (int i = 0; i < 200 && !hanging; ++i, ::Sleep(50))
        hanging = Contents(helper.File() + L".log").find("DllUnregisterServer") != std::string::npos;
    ASSERT_TRUE(hanging) << "the entry point was called";
    ::Sleep(2000);
    {
        KernelHandle killed(::OpenProcess(PROCESS_TERMINATE, FALSE, program.Pid()));
        ASSERT_TRUE(::TerminateProcess(killed.get(), 1));
    }
    EXPECT_EQ(program.WaitForExit(kWait), 1u);
    EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"\tRemoveBrowserHelper\t"));
}

// The program a command line starts: quoted, or up to the first blank.
std::wstring ProgramIn(const std::wstring& command) {
    if (!command.empty() && command[0] == L'"') return command.substr(1, command.find(L'"', 1) - 1);
    return command.substr(0, command.find(L' '));
}

// A deployment tool kills the whole run, the original and its private copy, after the original's
// file has left the install folder: the list of installed programs still starts a program. Started
// from there and answered "아니오", it keeps that way back; started again, it finishes the removal.
// Afterwards nothing of the product, nor of any run, remains.
TEST(UnattendedRemoval, ARunKilledAfterTheHandOverIsFinishedFromTheUninstallEntry) {
    InstalledProduct product;
    PendingRestartList pendingList;  // put back as it was
    DamagedHelper helper(L"ta_regdll_block.dll");  // its entry point hangs: the moment to kill
    LogFolder logs;
    const std::wstring entry = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil";
    const std::wstring inside = product.Folder() + L"\\TaUnInst.exe";
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\TaUnInst.exe").c_str(), inside.c_str(), FALSE));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", L"\"" + inside + L"\""));
    wchar_t path[MAX_PATH + 1] = {};
    std::wstring temp(path, ::GetTempPathW(MAX_PATH + 1, path));
    if (!temp.empty()) temp.pop_back();  // its "\\"
    const auto copiesBefore = NamesIn(temp, L"TaUnInst-");
    {
        Uninstaller program(L"/S /log=\"" + logs.Log() + L"\"", false, L"\"" + inside + L"\"");
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(test::WaitUntil([&] {
            return Contents(helper.File() + L".log").find("DllUnregisterServer") != std::string::npos;
        })) << "the entry point was called";
        ASSERT_EQ(::GetFileAttributesW(inside.c_str()), INVALID_FILE_ATTRIBUTES) << "the original left the folder";
        const std::wstring copy = ProgramIn(ReadString(HKEY_LOCAL_MACHINE, entry, L"UninstallString").value_or(L""));
        EXPECT_NE(copy, inside);
        EXPECT_GE(EndProcessesRunning(copy), 1);  // the copy, and the process its helper hangs in
        KernelHandle original(::OpenProcess(PROCESS_TERMINATE, FALSE, program.Pid()));
        ::TerminateProcess(original.get(), 1);
        EXPECT_NE(program.WaitForExit(kWait), static_cast<DWORD>(STILL_ACTIVE));
    }
    // The helper is in order again for the second run, which starts as the list starts it.
    ASSERT_TRUE(::CopyFileW((ExeFolder() + L"\\ta_regdll.dll").c_str(), helper.File().c_str(), FALSE));
    const std::wstring command = ReadString(HKEY_LOCAL_MACHINE, entry, L"UninstallString").value_or(L"");
    ASSERT_NE(::GetFileAttributesW(ProgramIn(command).c_str()), INVALID_FILE_ATTRIBUTES);
    {
        Uninstaller asked({}, true, command);
        ASSERT_TRUE(asked.Started());
        const HWND start = WaitForPage(asked.Pid(), L"다음 >", kWait);
        ASSERT_NE(start, nullptr);
        Press(FindChild(start, L"다음 >"));
        const HWND box = WaitForMessageBox(asked.Pid(), L"타르닐 제거", kWait);
        ASSERT_NE(box, nullptr);
        Press(::GetDlgItem(box, IDNO));
        EXPECT_EQ(asked.WaitForExit(kWait), kCancelled);
    }
    ::Sleep(2000);  // what a sweeper would have removed by now
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, entry, L"UninstallString").value_or(L""), command);
    ASSERT_NE(::GetFileAttributesW(ProgramIn(command).c_str()), INVALID_FILE_ATTRIBUTES) << "the way back is kept";
    bool showedWindow = true;
    EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow, command), 0u);

    EXPECT_EQ(product.FilesLeft(), 0);
    EXPECT_EQ(::GetFileAttributesW(product.Folder().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_TRUE(pendingList.AddedSinceStart().empty());
    // Both runs' private folders go once the second run has ended.
    EXPECT_TRUE(test::WaitUntil([&] { return NamesIn(temp, L"TaUnInst-") == copiesBefore; }));
}

// A viewer, a backup or a scanner holds the debug log: the removal is whole all the same, in the
// wizard and unattended, and the log says why the trace is missing.
TEST(UnattendedRemoval, ADebugLogHeldByAnotherProgramCostsTheRemovalNothing) {
    LogFolder logs;
    FileHandle held(::CreateFileW((ExeFolder() + L"\\taupdbg.dbg").c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    {
        InstalledProduct product;
        bool showedWindow = true;
        EXPECT_EQ(RunUnattended(L"/S /log=\"" + logs.Log() + L"\"", showedWindow), 0u);
        EXPECT_EQ(product.FilesLeft(), 0);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
        EXPECT_TRUE(AnyLine(LogLines(logs.Log()), L"WriteDebugLog\tfile\t", L"failed\terror 32"));
    }
    {
        InstalledProduct product;
        Uninstaller program;
        ASSERT_TRUE(program.Started());
        const HWND start = WaitForPage(program.Pid(), L"다음 >", kWait);
        ASSERT_NE(start, nullptr) << "the wizard shows its start page";
        Press(FindChild(start, L"다음 >"));
        const HWND box = WaitForMessageBox(program.Pid(), L"타르닐 제거", kWait);
        ASSERT_NE(box, nullptr);
        Press(::GetDlgItem(box, IDYES));
        const HWND finish = WaitForPage(program.Pid(), L"완료", 60000);
        ASSERT_NE(finish, nullptr) << "the removal ran to its finish page";
        Press(FindChild(finish, L"완료"));
        EXPECT_EQ(program.WaitForExit(kWait), 0u);
        EXPECT_EQ(product.FilesLeft(), 0);
    }
}

}  // namespace
}  // namespace ta::e2e
