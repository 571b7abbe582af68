#pragma once
// A stand-in for the application services: records every message box and answers it from a
// script, and records the program's end instead of ending the test process.
#include <deque>
#include <string>
#include <vector>

#include "platform/AppShell.h"

namespace ta::test {

struct ShownMessage {
    std::wstring text;
    std::wstring title;
    UINT flags;
};

class ScriptedShell : public AppShell {
public:
    // Answers given in order; when the script runs out, IDOK for MB_OK boxes and IDNO otherwise.
    std::deque<int> answers;
    std::vector<ShownMessage> shown;
    int endCount = 0;
    int lastExitCode = -1;
    int quitCount = 0;
    int restartRequests = 0;
    DWORD restartAnswer = ERROR_SUCCESS;  // what the system answers a restart

    int ShowMessage(HWND, const std::wstring& text, const std::wstring& title, UINT flags) override {
        shown.push_back({text, title, flags});
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (flags & 0xF) == MB_OK ? IDOK : IDNO;
    }
    void EndProgram(int exitCode) override {
        ++endCount;
        lastExitCode = exitCode;
    }
    void QuitMessageLoop() override { ++quitCount; }
    DWORD RestartSystem() override {
        ++restartRequests;
        return restartAnswer;
    }
};

// Puts a ScriptedShell in place for one scope.
class ScopedScriptedShell : public ScriptedShell {
public:
    ScopedScriptedShell() : scope_(*this) {}

private:
    ScopedShell scope_;
};

}  // namespace ta::test
