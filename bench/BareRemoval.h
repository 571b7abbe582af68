#pragma once
// The yardstick of the removal benchmarks: every file below dir deleted by the plainest loop
// the system offers, folders walked after their files.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/Handles.h"

namespace bench {

inline void BareRemove(const std::wstring& dir) {
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW entry;
    ta::FindHandle search(::FindFirstFileW((dir + L"\\*").c_str(), &entry));
    if (!search) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(dir + L"\\" + name);
        else
            ::DeleteFileW((dir + L"\\" + name).c_str());
    } while (::FindNextFileW(search.get(), &entry));
    search.reset();
    for (const std::wstring& folder : folders) BareRemove(folder);
}

}  // namespace bench
