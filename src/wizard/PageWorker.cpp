#include "wizard/PageWorker.h"

#include "record/ContinueOnError.h"
#include "ui/HandleWatch.h"

namespace ta {
namespace {

// The page's worker: what it runs declares its own steps.
constexpr Step kPageWorkStep{L"PageWork", Footprint::None};

}  // namespace

bool PageWorker::Start(HWND page, UINT doneMessage, std::function<void()> work) {
    if (Running()) return false;
    // Fixed before the thread starts; the thread reads them only.
    work_ = std::move(work);
    page_ = page;
    doneMessage_ = doneMessage;
    thread_.reset(::CreateThread(nullptr, 0, &PageWorker::Main, this, 0, nullptr));
    if (!Running()) return false;
    // The page learns of the end from the thread itself too: a message can be lost (a full
    // queue, a window that was busy being made), the thread's end cannot.
    WatchHandle(thread_.get(), [page, doneMessage] { ::SendMessageW(page, doneMessage, 0, 0); });
    return true;
}

DWORD WINAPI PageWorker::Main(LPVOID parameter) {
    auto& worker = *static_cast<PageWorker*>(parameter);
    Attempt(kPageWorkStep, worker.work_);
    ::PostMessageW(worker.page_, worker.doneMessage_, 0, 0);
    return 0;
}

void PageWorker::Join() {
    if (!thread_) return;
    UnwatchHandle(thread_.get());
    // The work may be sending this thread a message and wait for it.
    HANDLE thread = thread_.get();
    for (;;) {
        const DWORD waited = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (waited == WAIT_OBJECT_0) break;
        if (waited == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        // The wait itself failed, which tells nothing of the thread: ask it instead. A thread
        // that cannot be asked keeps its handle for good rather than have it closed under it.
        DWORD code = 0;
        if (!::GetExitCodeThread(thread, &code)) {
            thread_.release();
            return;
        }
        if (code != STILL_ACTIVE) break;
        ::Sleep(10);
    }
    thread_.reset();
}

}  // namespace ta
