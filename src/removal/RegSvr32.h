#pragma once
// Calls a self-registering component's own entry point ("DllRegisterServer" or
// "DllUnregisterServer") in a short-lived process of this program's own (platform/ComponentHost.h),
// waiting at most 10 s for the load and the call together. Nothing of the component is ever
// loaded into this process, so its file can be deleted right after, whatever it did.
#include <windows.h>

#include <string>

namespace RegSvr32 {

inline constexpr DWORD kEntryPointLimitMs = 10000;

// What became of one call of an entry point.
struct EntryPointCall {
    enum class Status {
        Returned,      // ran to its end in time; result holds what it answered
        NoFile,        // no ordinary file at the path
        CannotLoad,    // not a library the system can load (error says why)
        NoEntryPoint,  // the library lacks the entry point
        NoWorker,      // no process could be started to run it (error says why)
        Crashed,       // ended by an exception it did not handle (exception holds its code)
        TimedOut,      // had not returned after kEntryPointLimitMs; its process was ended
    };
    Status status = Status::NoFile;
    const char* entryName = "";
    DWORD error = 0;
    DWORD exception = 0;
    HRESULT result = S_OK;

    // Ran and answered success.
    bool Succeeded() const { return status == Status::Returned && SUCCEEDED(result); }
    // Why it did not succeed, in a short text with the status ("DllUnregisterServer crashed:
    // exception 0xC0000005"); empty when it did.
    std::wstring Describe() const;
};

// Runs the entry point and says what became of it. A library that is no ordinary file is never
// loaded; whatever the component does, its process ends by the time this returns.
EntryPointCall CallEntryPoint(const std::wstring& FileName, bool Unregister);

}  // namespace RegSvr32
