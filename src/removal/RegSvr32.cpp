// RegSvr32: a component's registration entry point, run on a worker thread with a time limit.
#include "removal/RegSvr32.h"

#include <atomic>

#include "platform/Handles.h"
#include "platform/OrdinaryFile.h"

namespace RegSvr32 {
namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

// What the worker shares with the waiting thread. The waiting thread deletes it once the worker
// has ended; after a time-out it is left alone for the worker to finish with.
struct Worker {
    EntryPoint entry = nullptr;
    std::atomic<bool> returned{false};
};

constexpr DWORD kCrashedExitCode = 0xDEADDEAD;

// The handler of an exception frame around the entry point. A fault the component does not handle
// itself reaches it before the thread's default handler, which would end the whole process: here
// it ends only the worker thread. Exceptions the component handles never get this far.
EXCEPTION_DISPOSITION NTAPI EndWorkerOnFault(EXCEPTION_RECORD* exception, PVOID, CONTEXT*, PVOID) {
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    ::ExitThread(kCrashedExitCode);
}

// This thread's information block (fs:[0x18] on 32-bit Windows), where the frame chain starts.
NT_TIB* ThreadInformationBlock() {
    NT_TIB* tib = nullptr;
    __asm__("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

DWORD WINAPI RunEntryPoint(LPVOID parameter) {
    Worker& worker = *static_cast<Worker*>(parameter);
    NT_TIB* const tib = ThreadInformationBlock();
    // The frame lives on this thread's stack, innermost but for the component's own frames.
    EXCEPTION_REGISTRATION_RECORD frame{};
    frame.Next = tib->ExceptionList;
    frame.Handler = EndWorkerOnFault;
    tib->ExceptionList = &frame;
    const HRESULT result = worker.entry();
    tib->ExceptionList = frame.Next;
    worker.returned = true;
    return static_cast<DWORD>(result);
}

}  // namespace

bool RegisterComponent(const std::wstring& FileName, bool Unregister) {
    const char* const entryName = Unregister ? "DllUnregisterServer" : "DllRegisterServer";
    if (!ta::IsOrdinaryFile(FileName)) return false;
    ta::ModuleHandle library(::LoadLibraryW(FileName.c_str()));
    if (!library) return false;
    const FARPROC entry = ::GetProcAddress(library.get(), entryName);
    if (!entry) return false;

    auto* worker = new Worker;
    worker->entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(entry));
    ta::KernelHandle thread(::CreateThread(nullptr, 0, RunEntryPoint, worker, 0, nullptr));
    if (!thread) {
        delete worker;
        return false;
    }
    if (::WaitForSingleObject(thread.get(), kEntryPointLimitMs) != WAIT_OBJECT_0) {
        // The worker may still be running the component's code: keep the library loaded and its
        // shared state alive for the rest of the run.
        library.release();
        return false;
    }
    const bool returned = worker->returned;
    delete worker;
    if (!returned) library.release();  // it crashed: leave the component as it is
    return returned;
}

bool RegisterServer(const std::wstring& path) { return RegisterComponent(path, false); }
bool UnregisterServer(const std::wstring& path) { return RegisterComponent(path, true); }

}  // namespace RegSvr32
