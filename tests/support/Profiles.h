#pragma once
// Another person's profile, laid as the system keeps one: an entry in the profile list and, where
// asked, a hive NTUSER.DAT in its folder that holds the person's shell folders. Header-only, for
// the tests and the installation fixture alike.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Privileges.h"

namespace ta::test {

inline constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
inline constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct ShellFolderValue {
    std::wstring name;   // "Startup", "Desktop", "Programs"
    std::wstring value;  // stored as REG_EXPAND_SZ, as Windows stores them
};

// Lays the profile sid at folder (which must exist) with these shell folders in its hive, or with
// no hive at all when withHive is false. Answers what failed, empty on success.
inline std::wstring LayProfile(const std::wstring& sid, const std::wstring& folder,
                               const std::vector<ShellFolderValue>& shellFolders, bool withHive = true) {
    const std::wstring entry = std::wstring(kProfileList) + L"\\" + sid;
    ta::RegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        return L"cannot write the profile list entry " + sid;
    const auto size = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), L"ProfileImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         size) != ERROR_SUCCESS)
        return L"cannot write ProfileImagePath of " + sid;

    const std::wstring hive = folder + L"\\NTUSER.DAT";
    ::DeleteFileW(hive.c_str());
    if (!withHive) return {};
    // The hive is made as a key of our own, saved to the file, and the key removed again.
    const std::wstring scratch = L"SOFTWARE\\TaUnInstTests\\hive-" + sid;
    ta::RegKey root;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root.put(),
                          nullptr) != ERROR_SUCCESS)
        return L"cannot make the hive's key";
    std::wstring failed;
    for (const ShellFolderValue& folderValue : shellFolders) {
        const auto bytes = static_cast<DWORD>((folderValue.value.size() + 1) * sizeof(wchar_t));
        if (::RegSetKeyValueW(root.get(), kUserShellFolders, folderValue.name.c_str(), REG_EXPAND_SZ,
                              folderValue.value.c_str(), bytes) != ERROR_SUCCESS)
            failed = L"cannot write " + folderValue.name;
    }
    {
        const ta::ScopedPrivileges saving{SE_BACKUP_NAME};
        if (failed.empty() && ::RegSaveKeyW(root.get(), hive.c_str(), nullptr) != ERROR_SUCCESS) failed = L"cannot save " + hive;
    }
    root.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratch.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, scratch.c_str());
    return failed;
}

inline void RemoveProfile(const std::wstring& sid) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + sid).c_str(), KEY_WOW64_64KEY, 0);
}

// The names below HKEY_USERS that begin with prefix: hives somebody loaded there.
inline std::vector<std::wstring> HivesLoadedAs(const std::wstring& prefix) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(HKEY_USERS, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::wstring(name).rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

}  // namespace ta::test
