#pragma once
// The program's message loop, with the pages' own keyboard handling.
#include <windows.h>

namespace ta {

// The pages' keyboard: Tab and Shift+Tab move between enabled buttons, Enter presses the focused
// one (Space is the button's own). Answers true when the message was consumed.
bool TranslatePageKey(const MSG& msg);
// Dispatches messages until the last page has been unloaded; answers the exit code.
int RunMessageLoop();
// Dispatches the messages waiting now, through the pages' keyboard handling.
void DispatchPendingMessages();

}  // namespace ta
