#pragma once
// The fixture programs and components of the removal tests: a scratch folder to copy them into
// under the names a test needs, and running copies of the idle program.
#include <windows.h>

#include <string>

#include "platform/AppShell.h"
#include "platform/Handles.h"

namespace ta::test::fixtures {

// A fixture built beside the test program ("ta_idle.exe", "ta_regdll.dll", ...).
inline std::wstring Built(const std::wstring& name) { return ExeFolder() + L"\\" + name; }

// A fresh folder under the temporary folder; its files and itself are deleted at the end, as far
// as they can be (a component left loaded stays behind).
class ScratchFolder {
public:
    ScratchFolder() {
        static int counter = 0;
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"TaUnInstTests-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAW found;
        FindHandle search(::FindFirstFileW((path_ + L"\\*").c_str(), &found));
        if (search) {
            do {
                const std::wstring file = path_ + L"\\" + found.cFileName;
                ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(file.c_str());
            } while (::FindNextFileW(search.get(), &found));
        }
        search.reset();
        ::RemoveDirectoryW(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Copies a built fixture into the folder under name; answers the copy's path.
    std::wstring Copy(const std::wstring& fixture, const std::wstring& name) const {
        const std::wstring target = *this / name;
        ::CopyFileW(Built(fixture).c_str(), target.c_str(), FALSE);
        return target;
    }

private:
    std::wstring path_;
};

// The idle program running under the given executable name (copied into folder). It is up and in
// its message loop when the constructor returns; it is terminated at the end if still running.
class RunningCopy {
public:
    RunningCopy(const ScratchFolder& folder, const std::wstring& name, const std::wstring& arguments = L"") {
        const std::wstring exe = folder.Copy(L"ta_idle.exe", name);
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
