#pragma once
// Privileges the process holds but has off until it asks for them.
#include <windows.h>

#include <initializer_list>
#include <vector>

#include "platform/Handles.h"

namespace ta {

// Turns the privilege (SE_BACKUP_NAME, SE_RESTORE_NAME, ...) on for this process; false when the
// process does not hold it or the system refused.
bool EnablePrivilege(const wchar_t* name);

// Whether the privilege is on for this process now.
bool PrivilegeEnabled(const wchar_t* name);

// Turns the privileges on for as long as the object lives, and back to what they were when it
// goes: what they allow (reading and loading any file, for one) is then allowed only around the
// work that needs it.
class ScopedPrivileges {
public:
    explicit ScopedPrivileges(std::initializer_list<const wchar_t*> names);
    ~ScopedPrivileges();
    ScopedPrivileges(const ScopedPrivileges&) = delete;
    ScopedPrivileges& operator=(const ScopedPrivileges&) = delete;

private:
    KernelHandle token_;
    std::vector<BYTE> previous_;  // TOKEN_PRIVILEGES as they were
};

}  // namespace ta
