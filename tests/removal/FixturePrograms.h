#pragma once
// The fixture programs and components of the removal tests, copied into a scratch folder under
// the names a test needs, and running copies of the idle program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "FileTestKit.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"

namespace ta::test::fixtures {

using ta::test::ScratchFolder;

// A fixture built beside the test program ("ta_idle.exe", "ta_regdll.dll", ...).
inline std::wstring Built(const std::wstring& name) { return ExeFolder() + L"\\" + name; }

// A folder name for the running test: its name, with "/" of parameterised names as "-".
inline std::wstring CurrentTestFolderName() {
    std::wstring name;
    for (const char* c = ::testing::UnitTest::GetInstance()->current_test_info()->name(); *c; ++c)
        name.push_back(*c == '/' ? L'-' : static_cast<wchar_t>(*c));
    return name;
}

// Copies a built fixture into folder under name; answers the copy's path.
inline std::wstring CopyFixture(const ScratchFolder& folder, const std::wstring& fixture, const std::wstring& name) {
    const std::wstring target = folder / name;
    ::CopyFileW(Built(fixture).c_str(), target.c_str(), FALSE);
    return target;
}

// The idle program running under the given executable name (copied into folder). It is up and in
// its message loop when the constructor returns; it is terminated at the end if still running.
class RunningCopy {
public:
    RunningCopy(const ScratchFolder& folder, const std::wstring& name, const std::wstring& arguments = L"") {
        const std::wstring exe = CopyFixture(folder, L"ta_idle.exe", name);
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info)) {
            process_.reset(info.hProcess);
            KernelHandle thread(info.hThread);
            id_ = info.dwProcessId;
            ::WaitForInputIdle(process_.get(), 10000);
        }
    }
    ~RunningCopy() {
        if (process_ && !Ended(0)) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD id() const { return id_; }
    // Whether the process has ended, waiting for it at most waitMs.
    bool Ended(DWORD waitMs) const { return ::WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0; }

private:
    KernelHandle process_;
    DWORD id_ = 0;
};

// Runs a program built beside the test program with the arguments and waits for it (at most 30
// s); answers its exit code, or STILL_ACTIVE.
inline DWORD RunProgram(const std::wstring& name, const std::wstring& arguments) {
    const std::wstring exe = Built(name);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return ::GetLastError();
    KernelHandle process(info.hProcess), thread(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
    return code;
}

// How long to give a terminated process to be gone, and a survivor to show it was not ended.
inline constexpr DWORD kEndWaitMs = 5000;
inline constexpr DWORD kSurviveWaitMs = 300;

// The whole text of a file; empty when it cannot be read.
inline std::string ReadText(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    return text;
}

// The file's text once it holds expected, or what it holds after timeoutMs.
inline std::string WaitForText(const std::wstring& path, const std::string& expected, DWORD timeoutMs) {
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    std::string text = ReadText(path);
    while (text.find(expected) == std::string::npos && ::GetTickCount64() < until) {
        ::Sleep(20);
        text = ReadText(path);
    }
    return text;
}

}  // namespace ta::test::fixtures
