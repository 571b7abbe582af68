#pragma once
// What the page tests share: the program's resources, a scripted shell, a clean product key and
// no page left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>

#include "run/RemovalRun.h"
#include "support/ScriptedShell.h"

namespace ta::test {

inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Morla";

// Dispatches messages until done() holds or timeoutMs has passed; answers done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for a while.
void PumpFor(DWORD ms);

// The outer size and the client-area rectangle of a window, in pixels.
SIZE OuterSize(HWND hwnd);
RECT ChildRect(HWND child);

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScopedScriptedShell shell;
    // The run the pages show; what they do is recorded in it.
    RemovalRun run;

private:
    std::optional<RecordingScope> recording_;
};

}  // namespace ta::test
