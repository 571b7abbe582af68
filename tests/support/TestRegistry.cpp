#include "support/TestRegistry.h"

#include "platform/Handles.h"

namespace ta::test {

bool CreateKey(HKEY root, const std::wstring& path) {
    RegKey key;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
           ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    RegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::wstring& path) { ::RegDeleteTreeW(root, path.c_str()), ::RegDeleteKeyW(root, path.c_str()); }

namespace {
bool SetRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    RegKey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}
}  // namespace

bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    return SetRaw(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
    return SetRaw(root, path, name, REG_DWORD, &value, sizeof value);
}

bool SetBinary(HKEY root, const std::wstring& path, const std::wstring& name, const std::vector<BYTE>& data) {
    return SetRaw(root, path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

std::optional<RawValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    RegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name) {
    auto raw = ReadValue(root, path, name);
    if (!raw || (raw->type != REG_SZ && raw->type != REG_EXPAND_SZ)) return std::nullopt;
    std::wstring text(reinterpret_cast<const wchar_t*>(raw->data.data()), raw->data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

ScratchKey::ScratchKey(HKEY root, const std::wstring& name)
    : root_(root), path_(L"SOFTWARE\\TaUnInstTests\\" + name + L"." + std::to_wstring(::GetCurrentProcessId())) {
    DeleteTree(root_, path_);
    CreateKey(root_, path_);
}

ScratchKey::~ScratchKey() { DeleteTree(root_, path_); }

std::wstring ScratchKey::fullPath() const {
    return (root_ == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") + path_;
}

}  // namespace ta::test
