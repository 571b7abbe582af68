// RegSvr32: a component's registration entry point, run on a worker thread with a time limit.
#include "removal/RegSvr32.h"

#include <atomic>
#include <cwchar>

#include "fs/OrdinaryFile.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"

namespace RegSvr32 {
namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

// What the worker shares with the waiting thread. The waiting thread deletes it once the worker
// has ended; after a time-out it is left alone for the worker to finish with.
struct Worker {
    EntryPoint entry = nullptr;
    std::atomic<bool> returned{false};
    std::atomic<DWORD> fault{0};  // the code of the exception that ended it
};

constexpr DWORD kCrashedExitCode = 0xDEADDEAD;

// The worker that this thread runs, if it is one: a thread-local slot, read without allocating
// while a fault is being dispatched.
DWORD WorkerSlot() {
    static const DWORD slot = ::TlsAlloc();
    return slot;
}

// The filter that was in place before ours, which gets every fault that is not a worker's.
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> earlierFilter{nullptr};

// The process's last word on a fault nobody handled. A fault in the component that it does not
// handle itself reaches this filter instead of ending the whole process: on a worker thread it
// ends only that thread. Exceptions the component handles never get this far, and a fault on any
// other thread goes where it went before. The same on 32 and 64 bits, where exceptions are not
// chained through the thread's frame list.
LONG WINAPI EndWorkerOnFault(EXCEPTION_POINTERS* exception) {
    if (auto* worker = static_cast<Worker*>(::TlsGetValue(WorkerSlot()))) {
        worker->fault = exception->ExceptionRecord->ExceptionCode;
        ::ExitThread(kCrashedExitCode);
    }
    const LPTOP_LEVEL_EXCEPTION_FILTER earlier = earlierFilter;
    return earlier ? earlier(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// Puts the filter in front again before each call: a component's DllMain may have set one of its
// own, which the filter then passes on to.
void GuardWorkerFaults() {
    static SRWLOCK lock = SRWLOCK_INIT;
    ::AcquireSRWLockExclusive(&lock);
    const LPTOP_LEVEL_EXCEPTION_FILTER earlier = ::SetUnhandledExceptionFilter(EndWorkerOnFault);
    if (earlier != EndWorkerOnFault) earlierFilter = earlier;
    ::ReleaseSRWLockExclusive(&lock);
}

DWORD WINAPI RunEntryPoint(LPVOID parameter) {
    Worker& worker = *static_cast<Worker*>(parameter);
    ::TlsSetValue(WorkerSlot(), &worker);
    const HRESULT result = worker.entry();
    ::TlsSetValue(WorkerSlot(), nullptr);
    worker.returned = true;
    return static_cast<DWORD>(result);
}

}  // namespace

EntryPointCall CallEntryPoint(const std::wstring& FileName, bool Unregister) {
    using Status = EntryPointCall::Status;
    EntryPointCall call;
    call.entryName = Unregister ? "DllUnregisterServer" : "DllRegisterServer";
    if (!ta::IsOrdinaryFile(FileName)) return call;
    ta::ModuleHandle library(::LoadLibraryW(FileName.c_str()));
    if (!library) {
        call.status = Status::CannotLoad;
        call.error = ::GetLastError();
        return call;
    }
    const FARPROC entry = ::GetProcAddress(library.get(), call.entryName);
    if (!entry) {
        call.status = Status::NoEntryPoint;
        return call;
    }

    GuardWorkerFaults();
    auto* worker = new Worker;
    worker->entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(entry));
    ta::KernelHandle thread(::CreateThread(nullptr, 0, RunEntryPoint, worker, 0, nullptr));
    if (!thread) {
        call.status = Status::NoWorker;
        call.error = ::GetLastError();
        delete worker;
        return call;
    }
    if (::WaitForSingleObject(thread.get(), kEntryPointLimitMs) != WAIT_OBJECT_0) {
        // The worker may still be running the component's code: keep the library loaded and its
        // shared state alive for the rest of the run.
        library.release();
        call.status = Status::TimedOut;
        return call;
    }
    DWORD exitCode = 0;
    ::GetExitCodeThread(thread.get(), &exitCode);
    call.status = worker->returned ? Status::Returned : Status::Crashed;
    call.result = static_cast<HRESULT>(exitCode);
    call.exception = worker->fault;
    delete worker;
    if (call.status == Status::Crashed) library.release();  // leave the component as it is
    return call;
}

std::wstring EntryPointCall::Describe() const {
    using ta::ErrorKind;
    const std::wstring entry = ta::FromAnsi(entryName);
    switch (status) {
    case Status::Returned:
        if (SUCCEEDED(result)) return {};
        return entry + L" answered " + ta::StatusText(ErrorKind::HResult, static_cast<DWORD>(result));
    case Status::NoFile: return L"the file is missing";
    case Status::CannotLoad: return L"the file is not a loadable library: " + ta::StatusText(ErrorKind::Win32, error);
    case Status::NoEntryPoint: return L"the library has no " + entry;
    case Status::NoWorker: return L"no thread could run " + entry + L": " + ta::StatusText(ErrorKind::Win32, error);
    case Status::Crashed: {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(exception));
        return entry + L" crashed: exception " + code;
    }
    case Status::TimedOut:
        return entry + L" did not return within " + std::to_wstring(kEntryPointLimitMs / 1000) + L" s";
    }
    return {};
}

}  // namespace RegSvr32
