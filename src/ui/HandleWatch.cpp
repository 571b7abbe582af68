#include "ui/HandleWatch.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace ta {
namespace {

struct Watch {
    HANDLE handle;
    std::function<void()> signalled;
};

std::vector<Watch>& Watches() {
    static std::vector<Watch> watches;
    return watches;
}

}  // namespace

void WatchHandle(HANDLE handle, std::function<void()> signalled) {
    UnwatchHandle(handle);
    Watches().push_back({handle, std::move(signalled)});
}

void UnwatchHandle(HANDLE handle) {
    auto& watches = Watches();
    watches.erase(std::remove_if(watches.begin(), watches.end(), [&](const Watch& w) { return w.handle == handle; }),
                  watches.end());
}

void RunSignalledWatches() {
    // A callback may watch or unwatch handles itself: take each off before it runs.
    for (size_t i = 0; i < Watches().size();) {
        if (::WaitForSingleObject(Watches()[i].handle, 0) != WAIT_OBJECT_0) {
            ++i;
            continue;
        }
        std::function<void()> signalled = std::move(Watches()[i].signalled);
        Watches().erase(Watches().begin() + static_cast<std::ptrdiff_t>(i));
        if (signalled) signalled();
        i = 0;
    }
}

void WaitForMessageOrWatch() {
    std::vector<HANDLE> handles;
    for (const Watch& watch : Watches()) handles.push_back(watch.handle);
    // At most MAXIMUM_WAIT_OBJECTS - 1 handles and the message queue; a page has one worker.
    const DWORD count = static_cast<DWORD>(std::min<size_t>(handles.size(), MAXIMUM_WAIT_OBJECTS - 1));
    ::MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace ta
