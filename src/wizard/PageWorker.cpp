#include "wizard/PageWorker.h"

#include "platform/ContinueOnError.h"

namespace ta {

bool PageWorker::Start(HWND page, UINT doneMessage, std::function<void()> work) {
    if (Running()) return false;
    // Fixed before the thread starts; the thread reads them only.
    work_ = std::move(work);
    page_ = page;
    doneMessage_ = doneMessage;
    thread_.reset(::CreateThread(nullptr, 0, &PageWorker::Main, this, 0, nullptr));
    return Running();
}

DWORD WINAPI PageWorker::Main(LPVOID parameter) {
    auto& worker = *static_cast<PageWorker*>(parameter);
    Attempt(L"PageWork", worker.work_);
    ::PostMessageW(worker.page_, worker.doneMessage_, 0, 0);
    return 0;
}

void PageWorker::Join() {
    if (!thread_) return;
    // The work may be sending this thread a message and wait for it.
    HANDLE thread = thread_.get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
}

}  // namespace ta
