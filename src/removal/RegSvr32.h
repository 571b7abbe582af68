#pragma once
// Calls a self-registering component's own entry point ("DllRegisterServer" or
// "DllUnregisterServer") inside this process, on a worker thread, waiting at most 10 s.
#include <windows.h>

#include <string>

namespace RegSvr32 {

inline constexpr DWORD kEntryPointLimitMs = 10000;

// True when the entry point ran and returned within the limit, whatever result it answered.
// False when FileName is no ordinary file, cannot be loaded, lacks the entry point, or no worker
// can be started (the library is released again), and when the entry point has not returned in
// time or crashed: then the library stays loaded for the rest of the run, as the worker may still
// be in its code or the component may be in no state to be unloaded.
bool RegisterComponent(const std::wstring& FileName, bool Unregister);
bool RegisterServer(const std::wstring& path);
bool UnregisterServer(const std::wstring& path);

}  // namespace RegSvr32
