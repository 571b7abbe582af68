#pragma once
// The system's list of deletions for the next restart, put back as it was when the test ends,
// so that no later restart of the prefix acts on what a test scheduled. What the test scheduled
// is deleted then, where nothing holds it any more: the files moved aside for the restart and
// their folders.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ta::test {

class PendingRestartList {
public:
    PendingRestartList() {
        DWORD bytes = 0;
        had_ = ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) ==
               ERROR_SUCCESS;
        if (!had_) return;
        saved_.resize(bytes);
        ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, saved_.data(), &bytes);
        saved_.resize(bytes);
    }
    ~PendingRestartList() {
        for (const std::wstring& path : AddedSinceStart()) {
            if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());
        }
        if (had_)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue, REG_MULTI_SZ, saved_.data(),
                              static_cast<DWORD>(saved_.size()));
        else
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue);
    }
    PendingRestartList(const PendingRestartList&) = delete;
    PendingRestartList& operator=(const PendingRestartList&) = delete;

    // The deletions in the list now that were not in it at the start, in the list's order.
    std::vector<std::wstring> AddedSinceStart() const {
        std::vector<std::wstring> added;
        DWORD bytes = 0;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return added;
        std::vector<BYTE> now(bytes);
        ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, now.data(), &bytes);
        const auto names = [](const std::vector<BYTE>& block) {
            std::vector<std::wstring> strings;
            const auto* text = reinterpret_cast<const wchar_t*>(block.data());
            const size_t count = block.size() / sizeof(wchar_t);
            for (size_t start = 0; start < count;) {
                size_t end = start;
                while (end < count && text[end]) ++end;
                strings.emplace_back(text + start, end - start);
                start = end + 1;
            }
            return strings;
        };
        const std::vector<std::wstring> before = names(saved_), after = names(now);
        // Pairs of a name and its new name; an empty new name is a deletion.
        for (size_t i = 0; i + 1 < after.size(); i += 2) {
            if (after[i].empty() || !after[i + 1].empty()) continue;
            if (std::find(before.begin(), before.end(), after[i]) != before.end()) continue;
            added.push_back(after[i].rfind(L"\\??\\", 0) == 0 ? L"\\\\?\\" + after[i].substr(4) : after[i]);
        }
        return added;
    }

private:
    static constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";
    bool had_ = false;
    std::vector<BYTE> saved_;
};

}  // namespace ta::test
