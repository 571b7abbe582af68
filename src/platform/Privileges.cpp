#include "platform/Privileges.h"

#include "platform/Handles.h"

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

}  // namespace ta
