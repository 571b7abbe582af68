#pragma once
// The Unix form of a Windows path under Wine, for test tooling that runs Unix programs (ln,
// python3, import) on the prefix's files. Empty when not under Wine or the path has no Unix form.
#include <windows.h>

#include <string>

namespace ta::test {

inline std::string UnixPath(const std::wstring& windowsPath) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return {};
    char* unix = convert(windowsPath.c_str());
    if (!unix) return {};
    std::string path(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return path;
}

}  // namespace ta::test
