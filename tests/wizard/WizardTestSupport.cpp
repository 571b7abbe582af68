#include "wizard/WizardTestSupport.h"

#include "platform/AppShell.h"
#include "support/TestRegistry.h"
#include "ui/Page.h"
#include "ui/Picture.h"

namespace ta::test {
namespace {

// The pages take their icon and banner from the program's own resources.
void BorrowProgramResources() {
    static HMODULE program = [] {
        const std::wstring path = ExeFolder() + L"\\TaUnInst.exe";
        return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }();
    SetResourceModule(program);
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs) return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        DispatchPendingMessages();
    }
    return true;
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

SIZE OuterSize(HWND hwnd) {
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

RECT ChildRect(HWND child) {
    RECT rc{};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void WizardTest::SetUp() {
    BorrowProgramResources();
    DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
    recording_.emplace(run.record);
}

void WizardTest::TearDown() {
    for (Page* page : LoadedPages()) page->Unload();
    DispatchPendingMessages();
    DeleteTree(HKEY_LOCAL_MACHINE, kProductKey);
    recording_.reset();
}

}  // namespace ta::test
