#pragma once
// Privileges the process holds but has off until it asks for them.
#include <windows.h>

namespace ta {

// Turns the privilege (SE_BACKUP_NAME, SE_RESTORE_NAME, ...) on for this process; false when the
// process does not hold it or the system refused.
bool EnablePrivilege(const wchar_t* name);

}  // namespace ta
