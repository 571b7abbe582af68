#include "platform/SystemLibrary.h"

#include <atomic>
#include <iterator>
#include <string>

namespace ta {
namespace {

constexpr const wchar_t* kFileNames[] = {L"winhttp.dll", L"uxtheme.dll", L"msimg32.dll",
                                         L"msvfw32.dll", L"oleacc.dll",  L"comctl32.dll"};

std::atomic<HMODULE> loaded[std::size(kFileNames)];

// The libraries that the system's own libraries load for this program as it runs (the report's
// crypt32, bcrypt and msxml among them), found with the loader's trace of whole runs, in the
// wizard and unattended. Under a search that looks beside the program first, as Wine's does for a
// library's own imports, each would be looked for in the program's folder. Loaded here from the
// system folder, in the order the trace met them (a library's own imports before it), they are in
// the process before anyone asks for them by name. One the system lacks is passed over.
constexpr const wchar_t* kLoadedOnOurBehalf[] = {
    L"ws2_32.dll",  L"jsproxy.dll", L"msacm32.dll", L"winmm.dll",  L"propsys.dll",
    L"windowscodecs.dll", L"bcrypt.dll", L"crypt32.dll", L"mpr.dll", L"wininet.dll",
    L"urlmon.dll",  L"msxml3.dll",  L"msxml6.dll"};

// Present exactly where the LOAD_LIBRARY_SEARCH_* flags are understood.
bool SearchFlagsUnderstood() noexcept {
    static const bool understood =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
    return understood;
}

HMODULE LoadFromSystemFolder(const wchar_t* fileName) noexcept {
    // A name alone lets the manifest's activation context answer first (Common Controls 6); the
    // search behind it is the system folder's only.
    if (SearchFlagsUnderstood()) return ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
    return ::LoadLibraryExW(path.c_str(), nullptr, 0);
}

}  // namespace

bool RestrictLibrarySearchToSystemFolder() noexcept {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    ::SetDllDirectoryW(L"");
    return false;
}

void LoadSystemLibraries() noexcept {
    // Kept for the run, like the libraries the program calls itself.
    for (const wchar_t* name : kLoadedOnOurBehalf) LoadFromSystemFolder(name);
    for (size_t i = 0; i < std::size(kFileNames); ++i) LoadSystemLibrary(static_cast<SystemLibrary>(i));
}

HMODULE LoadSystemLibrary(SystemLibrary library) noexcept {
    const auto index = static_cast<size_t>(library);
    if (index >= std::size(kFileNames)) return nullptr;
    if (HMODULE module = loaded[index].load(std::memory_order_acquire)) return module;
    HMODULE module = LoadFromSystemFolder(kFileNames[index]);
    if (!module) return nullptr;
    HMODULE expected = nullptr;
    // Two threads may load it at once: one reference is kept for the run.
    if (!loaded[index].compare_exchange_strong(expected, module, std::memory_order_acq_rel)) {
        ::FreeLibrary(module);
        return expected;
    }
    return module;
}

FARPROC SystemFunctionAddress(SystemLibrary library, const char* name) noexcept {
    HMODULE module = LoadSystemLibrary(library);
    return module ? ::GetProcAddress(module, name) : nullptr;
}

}  // namespace ta
