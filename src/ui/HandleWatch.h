#pragma once
// Handles the user-interface thread waits on together with its messages. When one is signalled,
// its callback runs on that thread, once: a page learns that its worker has ended from the
// thread's handle itself, whatever became of the message the worker posted on its way out.
// Used from the user-interface thread only.
#include <windows.h>

#include <functional>

namespace ta {

void WatchHandle(HANDLE handle, std::function<void()> signalled);
void UnwatchHandle(HANDLE handle);
// Runs the callback of every watched handle that is signalled now, each taken off first.
void RunSignalledWatches();
// Waits until a message arrives or a watched handle is signalled.
void WaitForMessageOrWatch();

}  // namespace ta
