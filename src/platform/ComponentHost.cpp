#include "platform/ComponentHost.h"

#include <algorithm>
#include <cwctype>

#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"

namespace ta {
namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

// The report goes once, whichever way the call ends.
void Report(ComponentReport::Outcome outcome, uint32_t value) {
    const ComponentReport report{outcome, value};
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), &report, sizeof report, &written, nullptr);
}

// A fault the component does not handle itself ends the process, having said which.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    Report(ComponentReport::Outcome::Crashed, code);
    ::TerminateProcess(::GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool IsKnownEntryPoint(const std::wstring& name) { return name == L"DllRegisterServer" || name == L"DllUnregisterServer"; }

// "X:\..." as the system would make it full: nothing relative, no device or long-path form.
bool IsFullLocalPath(const std::wstring& path) {
    if (path.size() < 4 || !std::iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\') return false;
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH && ::CompareStringOrdinal(full, static_cast<int>(n), path.c_str(),
                                                           static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}

// A file that is neither a folder, nor hidden, nor a system file, nor a link.
bool IsOrdinaryFileAt(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    constexpr DWORD kNotOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & kNotOrdinary);
}

int CallEntryPoint(const std::wstring& library, const std::string& entryName) {
    // The same hardening as every start of the program, before the component is loaded.
    RestrictLibrarySearchToSystemFolder();
    LoadSystemLibraries();
    ComApartment com;  // as a registration tool gives it
    ::SetUnhandledExceptionFilter(ReportFault);
    ModuleHandle loaded(::LoadLibraryW(library.c_str()));
    if (!loaded) {
        Report(ComponentReport::Outcome::CannotLoad, ::GetLastError());
        return 0;
    }
    const FARPROC entry = ::GetProcAddress(loaded.get(), entryName.c_str());
    if (!entry) {
        Report(ComponentReport::Outcome::NoEntryPoint, 0);
        return 0;
    }
    // Its DllMain may have put a filter of its own in place.
    ::SetUnhandledExceptionFilter(ReportFault);
    const HRESULT result = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(entry))();
    Report(ComponentReport::Outcome::Returned, static_cast<uint32_t>(result));
    return 0;
}

}  // namespace

std::optional<int> HostComponentEntryIfAsked(const std::vector<std::wstring>& arguments) {
    const std::wstring prefix = kComponentEntrySwitch;
    if (arguments.empty() || ::CompareStringOrdinal(arguments[0].c_str(), static_cast<int>(std::min(arguments[0].size(), prefix.size())),
                                                    prefix.c_str(), static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL)
        return std::nullopt;
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const std::wstring entry = arguments[0].substr(prefix.size());
    if (arguments.size() != 2 || !IsKnownEntryPoint(entry) || !IsFullLocalPath(arguments[1]) ||
        !IsOrdinaryFileAt(arguments[1]))
        return kComponentHostRefused;
    return CallEntryPoint(arguments[1], std::string(entry.begin(), entry.end()));
}

}  // namespace ta
