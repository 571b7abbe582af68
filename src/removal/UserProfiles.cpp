#include "removal/UserProfiles.h"

#include <cwchar>

#include "fs/PrivateFolder.h"
#include "platform/Account.h"
#include "platform/Privileges.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"

namespace UserProfiles {
namespace {

const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The local system, local service and network service accounts.
const wchar_t* const kServiceProfiles[] = {L"S-1-5-18", L"S-1-5-19", L"S-1-5-20"};

// A string value of key\subkey, expanded as the system expands it (REG_EXPAND_SZ with the
// machine's own variables) unless raw; nullopt when it cannot be read.
std::optional<std::wstring> StringValue(HKEY key, const wchar_t* subkey, const wchar_t* name, bool raw = false) {
    // Expanding, RRF_RT_REG_SZ takes REG_EXPAND_SZ too; naming that type is for RRF_NOEXPAND only.
    const DWORD flags = raw ? RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND : RRF_RT_REG_SZ;
    DWORD size = 0;
    if (::RegGetValueW(key, subkey, name, flags, nullptr, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegGetValueW(key, subkey, name, flags, nullptr, value.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    value.resize(std::wcslen(value.c_str()));
    return value;
}

// Every entry of the profile list that names a folder.
std::vector<Profile> ListedProfiles() {
    std::vector<Profile> listed;
    // The list is the same in both registry views; the 64-bit one is where Windows keeps it.
    ta::RegKey list;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | KEY_WOW64_64KEY, list.put()) != ERROR_SUCCESS)
        return listed;
    for (DWORD index = 0;; ++index) {
        wchar_t sid[256];
        DWORD length = 256;
        const LSTATUS status = ::RegEnumKeyExW(list.get(), index, sid, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        const auto folder = StringValue(list.get(), sid, L"ProfileImagePath");
        if (folder && !folder->empty()) listed.push_back({sid, *folder});
    }
    return listed;
}

}  // namespace

std::vector<Profile> OtherPeople() {
    std::vector<Profile> people;
    const std::wstring self = ta::ToLower(ta::RunningAccountSidText());
    for (Profile& profile : ListedProfiles()) {
        const std::wstring lower = ta::ToLower(profile.sid);
        bool skip = lower == self || lower.size() < 4 || lower.compare(lower.size() - 4, 4, L".bak") == 0;
        for (const wchar_t* service : kServiceProfiles) skip = skip || lower == ta::ToLower(service);
        if (!skip) people.push_back(std::move(profile));
    }
    return people;
}

std::vector<std::wstring> EveryProfileFolder() {
    std::vector<std::wstring> folders;
    for (const Profile& profile : ListedProfiles()) folders.push_back(profile.folder);
    return folders;
}

namespace {

// The hive in file loaded for this process alone and for reading only, where the system can do
// that: nothing can be written to it, no privilege is needed, and it is not under HKEY_USERS for
// the rest of the machine. Empty where the system cannot (Wine answers a key that is no key).
ta::RegKey LoadForReadingOnly(const std::wstring& file) {
    using LoadAppKey = LSTATUS(WINAPI*)(LPCWSTR, PHKEY, REGSAM, DWORD, DWORD);
    const auto load = reinterpret_cast<LoadAppKey>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"advapi32.dll"), "RegLoadAppKeyW")));
    ta::RegKey key;
    if (!load || load(file.c_str(), key.put(), KEY_READ, REG_PROCESS_APPKEY, 0) != ERROR_SUCCESS) return {};
    DWORD subkeys = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        key.release();  // not a key the system made: nothing to close
        return {};
    }
    return key;
}

// Loading and unloading another person's hive under HKEY_USERS takes these two privileges, held
// by administrators and the system but off until asked for, and on only around the load.
ta::ScopedPrivileges HiveLoading() { return ta::ScopedPrivileges{SE_RESTORE_NAME, SE_BACKUP_NAME}; }

}  // namespace

BorrowedHive::BorrowedHive(const Profile& profile) {
    // A person who is signed in has their hive loaded already: read it where it is.
    if (::RegOpenKeyExW(HKEY_USERS, profile.sid.c_str(), 0, KEY_READ, root_.put()) == ERROR_SUCCESS) return;
    root_.reset();
    const std::wstring file = profile.folder + L"\\NTUSER.DAT";
    if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error_ = ::GetLastError();
        return;
    }
    root_ = LoadForReadingOnly(file);
    if (root_) return;
    const std::wstring name = ta::FreshName();
    if (name.empty()) {
        error_ = ERROR_GEN_FAILURE;
        return;
    }
    {
        const ta::ScopedPrivileges privileged = HiveLoading();
        error_ = static_cast<DWORD>(::RegLoadKeyW(HKEY_USERS, name.c_str(), file.c_str()));
    }
    if (error_ != ERROR_SUCCESS) return;
    loadedAs_ = name;
    error_ = static_cast<DWORD>(::RegOpenKeyExW(HKEY_USERS, name.c_str(), 0, KEY_READ, root_.put()));
    if (error_ != ERROR_SUCCESS) root_.reset();
}

BorrowedHive::~BorrowedHive() {
    root_.reset();  // no key of the hive may stay open, or it cannot be unloaded
    if (loadedAs_.empty()) return;
    LSTATUS status = ERROR_SUCCESS;
    {
        const ta::ScopedPrivileges privileged = HiveLoading();
        status = ::RegUnLoadKeyW(HKEY_USERS, loadedAs_.c_str());
    }
    if (status == ERROR_SUCCESS) return;
    try {
        ta::Record(ta::ItemKind::Key, L"HKEY_USERS\\" + loadedAs_, ta::Outcome::Failed, static_cast<DWORD>(status),
                   ta::KeptBy::None, L"a borrowed hive could not be unloaded");
    } catch (...) {
        // Out of memory while recording: the hive goes with the next restart all the same.
    }
}

std::optional<std::wstring> ExpandForProfile(const std::wstring& value, const std::wstring& profileFolder) {
    static const std::wstring variable = L"%userprofile%";
    std::wstring expanded;
    const std::wstring lower = ta::ToLower(value);
    size_t from = 0;
    for (size_t at; (at = lower.find(variable, from)) != std::wstring::npos; from = at + variable.size())
        expanded.append(value, from, at - from).append(profileFolder);
    expanded.append(value, from, std::wstring::npos);
    if (expanded.find(L'%') != std::wstring::npos) return std::nullopt;
    return expanded;
}

std::wstring ShellFolder(HKEY hive, const wchar_t* name, const std::wstring& profileFolder) {
    for (const wchar_t* key : {kUserShellFolders, kShellFolders}) {
        const auto value = StringValue(hive, key, name, true);
        if (!value) continue;
        if (auto expanded = ExpandForProfile(*value, profileFolder); expanded && !expanded->empty()) return *expanded;
    }
    return {};
}

}  // namespace UserProfiles
