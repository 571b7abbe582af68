#pragma once
// The system's list of deletions for the next restart, put back as it was when the test ends,
// so that no later restart of the prefix acts on what a test scheduled.
#include <windows.h>

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
        if (had_)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue, REG_MULTI_SZ, saved_.data(),
                              static_cast<DWORD>(saved_.size()));
        else
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kValue);
    }
    PendingRestartList(const PendingRestartList&) = delete;
    PendingRestartList& operator=(const PendingRestartList&) = delete;

private:
    static constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";
    bool had_ = false;
    std::vector<BYTE> saved_;
};

}  // namespace ta::test
