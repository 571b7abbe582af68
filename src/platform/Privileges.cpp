#include "platform/Privileges.h"

namespace ta {

bool EnablePrivilege(const wchar_t* name) {
    KernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privilege{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    if (!::LookupPrivilegeValueW(nullptr, name, &privilege.Privileges[0].Luid)) return false;
    // Success is not enough: the call also succeeds when the process lacks the privilege.
    return ::AdjustTokenPrivileges(token.get(), FALSE, &privilege, 0, nullptr, nullptr) &&
           ::GetLastError() == ERROR_SUCCESS;
}

bool PrivilegeEnabled(const wchar_t* name) {
    KernelHandle token;
    LUID luid{};
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) || !::LookupPrivilegeValueW(nullptr, name, &luid))
        return false;
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL held = FALSE;
    return ::PrivilegeCheck(token.get(), &set, &held) && held;
}

ScopedPrivileges::ScopedPrivileges(std::initializer_list<const wchar_t*> names) {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
    std::vector<BYTE> wanted(sizeof(TOKEN_PRIVILEGES) + names.size() * sizeof(LUID_AND_ATTRIBUTES));
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(wanted.data());
    for (const wchar_t* name : names) {
        LUID_AND_ATTRIBUTES& entry = privileges->Privileges[privileges->PrivilegeCount];
        if (!::LookupPrivilegeValueW(nullptr, name, &entry.Luid)) return;
        entry.Attributes = SE_PRIVILEGE_ENABLED;
        ++privileges->PrivilegeCount;
    }
    previous_.resize(wanted.size());
    DWORD size = static_cast<DWORD>(previous_.size());
    // A privilege the process lacks stays off; the others are on, and go back at the end.
    if (!::AdjustTokenPrivileges(token_.get(), FALSE, privileges, size, reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()),
                                 &size))
        previous_.clear();
}

ScopedPrivileges::~ScopedPrivileges() {
    // The previous state lists only those the call changed.
    if (!previous_.empty())
        ::AdjustTokenPrivileges(token_.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()), 0, nullptr,
                                nullptr);
}

}  // namespace ta
