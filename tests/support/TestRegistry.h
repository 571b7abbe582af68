#pragma once
// Registry helpers for tests, on the prefix's real registry (32-bit view, as the program sees it).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ta::test {

// Creates the key (and its parents) under root.
bool CreateKey(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);
// Deletes the key and everything below it; quiet when it is missing.
void DeleteTree(HKEY root, const std::wstring& path);
bool SetString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value);
bool SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value);
bool SetBinary(HKEY root, const std::wstring& path, const std::wstring& name, const std::vector<BYTE>& data);

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};
std::optional<RawValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name);
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name);

// A scratch key "SOFTWARE\TaUnInstTests\<name>.<process id>" under HKCU or HKLM, removed with
// everything below it when the scope ends. The process id keeps tests that run side by side apart.
class ScratchKey {
public:
    ScratchKey(HKEY root, const std::wstring& name);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const std::wstring& path() const { return path_; }      // "SOFTWARE\TaUnInstTests\<name>.<id>"
    std::wstring fullPath() const;                            // "HKEY_...\SOFTWARE\TaUnInstTests\<name>.<id>"

private:
    HKEY root_;
    std::wstring path_;
};

}  // namespace ta::test
