#pragma once
// Work a page hands to a thread of its own, so that the page's thread keeps answering the
// system while it runs: when the work has run, the page gets a message of its own, posted by the
// thread on its way out and sent again when the page's thread sees the thread's handle signalled
// (the page handles it once: Running() is false once joined).
#include <windows.h>

#include <functional>

#include "platform/Handles.h"

namespace ta {

class PageWorker {
public:
    PageWorker() = default;
    ~PageWorker() { Join(); }
    PageWorker(const PageWorker&) = delete;
    PageWorker& operator=(const PageWorker&) = delete;

    // Runs work on the thread; page gets doneMessage when it has run. Answers false when no
    // thread could be made; nothing has run then.
    bool Start(HWND page, UINT doneMessage, std::function<void()> work);
    // Waits for the thread to end, answering the messages it sends this thread meanwhile; its
    // handle is closed only once it has ended.
    void Join();
    bool Running() const noexcept { return static_cast<bool>(thread_); }

private:
    static DWORD WINAPI Main(LPVOID worker);

    std::function<void()> work_;
    HWND page_ = nullptr;
    UINT doneMessage_ = 0;
    KernelHandle thread_;
};

}  // namespace ta
