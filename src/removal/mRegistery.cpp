#include "removal/mRegistery.h"

#include "platform/Handles.h"
#include "record/RemovalRecord.h"
#include "registry/Regset.h"

namespace mRegistery {
namespace {

// A subkey that is a registry link stands for a key somewhere else: neither it nor what it
// leads to is ours to walk or delete.
bool IsLinkKey(HKEY parent, const wchar_t* name) {
    ta::RegKey child;
    if (::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, child.put()) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    return ::RegQueryValueExW(child.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// The key as the record names it: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
std::wstring KeyName(HKEY root, const std::wstring& keyPath) { return Regset::RootName(root) + L"\\" + keyPath; }

using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);

// Deletes the registry links directly below the key as links: each opened as the link itself
// and deleted through that handle, so the key it points at stays whole.
void DeleteLinksBelow(HKEY root, const std::wstring& keyPath) {
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    ta::RegKey key;
    if (!ntDeleteKey || ::RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> links;
    wchar_t name[256];
    for (DWORD index = 0; ::RegEnumKeyW(key.get(), index, name, static_cast<DWORD>(std::size(name))) == ERROR_SUCCESS;
         ++index)
        if (IsLinkKey(key.get(), name)) links.emplace_back(name);
    for (const std::wstring& link : links) {
        const std::wstring item = KeyName(root, keyPath + L"\\" + link);
        ta::RegKey handle;
        const LONG opened = ::RegOpenKeyExW(key.get(), link.c_str(), REG_OPTION_OPEN_LINK, DELETE, handle.put());
        if (opened != ERROR_SUCCESS) {
            ta::RecordStatus(ta::ItemKind::Key, item, static_cast<DWORD>(opened));
            continue;
        }
        const LONG status = ntDeleteKey(handle.get());
        if (status == 0)
            ta::Record(ta::ItemKind::Key, item, ta::Outcome::Removed);
        else
            ta::Record(ta::ItemKind::Key, item, ta::Outcome::Failed, static_cast<DWORD>(status), ta::KeptBy::None, {},
                       ta::ErrorKind::NtStatus);
    }
}

}  // namespace

std::vector<std::wstring> EnumSubKeys(HKEY root, const std::wstring& keyPath) {
    std::vector<std::wstring> names;
    ta::RegKey key;
    if (::RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        if (::RegEnumKeyW(key.get(), index, name, static_cast<DWORD>(std::size(name))) != ERROR_SUCCESS) break;
        if (!IsLinkKey(key.get(), name)) names.emplace_back(name);
    }
    return names;
}

std::vector<std::wstring> CollectKeyTree(HKEY root, const std::wstring& keyPath) {
    std::vector<std::wstring> keys{keyPath};
    // The list grows while it is read: each entry's children are appended behind it.
    for (size_t j = 0; j < keys.size(); ++j) {
        for (const std::wstring& name : EnumSubKeys(root, keys[j])) keys.push_back(keys[j] + L"\\" + name);
    }
    return keys;
}

void DeleteRegKey(HKEY root, const std::wstring& keyPath) {
    ta::RecordStatus(ta::ItemKind::Key, KeyName(root, keyPath), ::RegDeleteKeyW(root, keyPath.c_str()));
}

bool DeleteKeyTree(HKEY root, const std::wstring& keyPath) {
    const std::vector<std::wstring> keys = CollectKeyTree(root, keyPath);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        DeleteLinksBelow(root, *it);
        DeleteRegKey(root, *it);
    }
    ta::RegKey left;
    return ::RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, left.put()) == ERROR_FILE_NOT_FOUND;
}

}  // namespace mRegistery
