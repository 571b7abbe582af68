#pragma once
// Drives the real TaUnInst.exe from another process: finds its windows by caption and buttons,
// presses buttons, answers message boxes and takes screenshots of the X display.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/Handles.h"

namespace ta::e2e {

// The program under test, started from the build folder (or from program, in its own folder);
// ended when still running at the end.
class Uninstaller {
public:
    // Started with the arguments; by default waits until its first page is ready for input.
    explicit Uninstaller(const std::wstring& arguments = {}, bool waitForInput = true,
                         const std::wstring& program = {});
    ~Uninstaller();
    Uninstaller(const Uninstaller&) = delete;
    Uninstaller& operator=(const Uninstaller&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Pid() const { return pid_; }
    // Waits for the process to end; answers its exit code, or STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD timeoutMs);
    // Every visible top-level window of the process.
    std::vector<HWND> Windows() const;

private:
    KernelHandle process_;
    DWORD pid_ = 0;
};

// Text of a window.
std::wstring TextOf(HWND hwnd);
// The visible top-level window of the process with that caption and that child button (empty:
// any), or nullptr after timeoutMs.
HWND WaitForPage(DWORD pid, const std::wstring& button, DWORD timeoutMs);
// The message box of the process with that title, or nullptr after timeoutMs.
HWND WaitForMessageBox(DWORD pid, const std::wstring& title, DWORD timeoutMs);
// The child window with that text, or nullptr.
HWND FindChild(HWND parent, const std::wstring& text);
// All texts of the static children of a window (a message box's text is one of them).
std::vector<std::wstring> StaticTexts(HWND parent);
// Presses a button as a click would.
void Press(HWND button);
// Saves a PNG of the window (frame included, with a margin) or of the whole screen (nullptr) as
// build/screenshots/NAME.png; answers false when it could not be saved.
bool Screenshot(HWND window, const std::wstring& name);
// The build folder's screenshot folder, in its Windows form.
std::wstring ScreenshotFolder();

}  // namespace ta::e2e
