#pragma once
// Application services every page relies on: the message box, ending the program at once, and
// asking the system to restart. They go through one replaceable service, so tests can answer
// prompts and see the program end, or a restart asked for, without their own process ending or
// the machine restarting.
#include <windows.h>

#include <string>
#include <vector>

namespace ta {

class AppShell {
public:
    virtual ~AppShell() = default;
    // Modal message box; answers the button pressed (IDYES, IDNO, IDOK, ...).
    virtual int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags);
    // Ends the process at once with the exit code; no page's unload handling runs.
    virtual void EndProgram(int exitCode = 0);
    // The last page has been unloaded: the message loop ends and with it the program.
    virtual void QuitMessageLoop();
    // Asks the system to restart, as an installer that finishes at the restart does: with the
    // shutdown privilege, and a planned restart of the installation kind. Answers ERROR_SUCCESS
    // once the system has taken the request, or why it refused.
    virtual DWORD RestartSystem();
};

// The service in force: the real one unless a test has put its own in place.
AppShell& Shell();
// Puts a service in place (nullptr restores the real one); answers the one it replaced.
AppShell* SetShell(AppShell* shell) noexcept;

// Puts a service in place for one scope.
class ScopedShell {
public:
    explicit ScopedShell(AppShell& shell) noexcept : previous_(SetShell(&shell)) {}
    ~ScopedShell() { SetShell(previous_); }
    ScopedShell(const ScopedShell&) = delete;
    ScopedShell& operator=(const ScopedShell&) = delete;

private:
    AppShell* previous_;
};

// The arguments of a command line as the system splits them (quotes group, "\"" escapes), without
// its first part, the program's name.
std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine);

// The full path of the running executable.
std::wstring ExePath();
// The folder of the running executable, without a trailing backslash.
std::wstring ExeFolder();
// The running executable's file name without folder and extension.
std::wstring ExeName();
// The system folder, without a trailing backslash; empty when it cannot be found.
std::wstring SystemFolder();
// The temporary folder, with its trailing backslash; empty when it cannot be found. Where the
// system has a temporary folder of its own for the local system account, that one (only that
// account and administrators can write there).
std::wstring TemporaryFolder();
// The program's title, as message boxes of its own show it.
std::wstring ProgramTitle();

// The previous-instance test, for the whole machine: claims the name for the rest of the process's
// life (also when it was claimed already) and answers true when another running process had
// already claimed it. Only a claim one of the trusted accounts made counts (platform/Account.h):
// an object another account put under the name first blocks nothing, and the claim moves on to a
// name made from that object's owner, which every run derives alike; passedOver, when given,
// then names whose objects were passed over.
bool AnotherInstanceRunning(const std::wstring& name, std::wstring* passedOver = nullptr);

}  // namespace ta
