#include "registry/Regset.h"

#include <optional>
#include <vector>

#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "registry/DebugLog.h"

namespace Regset {
namespace {

constexpr size_t kReadBufferBytes = 1000;

struct NamedRoot {
    const wchar_t* name;
    HKEY root;
};
const NamedRoot kRoots[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},         {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},       {L"HKEY_USERS", HKEY_USERS},
    {L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}, {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

// Opens an existing key; never creates one.
ta::RegKey OpenKey(const std::wstring& keyPath, REGSAM access, bool& rootFound, LONG* status = nullptr) {
    std::wstring subKey = keyPath;
    HKEY root = nullptr;
    SplitKeyPath(subKey, root);
    rootFound = root != nullptr;
    ta::RegKey key;
    const LONG rc = root ? ::RegOpenKeyExW(root, subKey.c_str(), 0, access, key.put()) : ERROR_INVALID_PARAMETER;
    if (status) *status = rc;
    return key;
}

// A value's data as the ANSI interface hands it out: string types in the ANSI code page with
// their NUL, any other type as its raw bytes. Nothing when the value cannot be read.
std::optional<std::string> QueryAnsiData(HKEY key, const std::wstring& name) {
    std::vector<BYTE> data;
    DWORD type = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(),
                                           &size);
        if (rc == ERROR_SUCCESS && (size <= data.size() || (data.empty() && size == 0))) {
            data.resize(size);
            break;
        }
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return std::nullopt;
        data.resize(size);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const std::wstring_view wide(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        return ta::ToAnsi(wide);
    }
    return std::string(data.begin(), data.end());
}

}  // namespace

std::wstring RootName(HKEY root) {
    for (const NamedRoot& r : kRoots)
        if (root == r.root) return r.name;
    return {};
}

HKEY RootKeyFromName(const std::wstring& name) {
    for (const NamedRoot& r : kRoots)
        if (name == r.name) return r.root;
    return nullptr;
}

void SplitKeyPath(std::wstring& keyPath, HKEY& root) {
    root = nullptr;
    if (keyPath.compare(0, 5, L"HKEY_") != 0 || keyPath.back() == L'\\') {
        ta::Shell().ShowMessage(nullptr, L"Incorrect Format:\n\n" + keyPath, ta::ProgramTitle(), MB_OK);
        return;
    }
    const size_t slash = keyPath.find(L'\\');
    if (slash == std::wstring::npos) {
        root = RootKeyFromName(keyPath);
        keyPath.clear();
    } else {
        root = RootKeyFromName(keyPath.substr(0, slash));
        keyPath.erase(0, slash + 1);
    }
}

int16_t AnsiByteLength(const std::wstring& text) {
    const size_t bytes = ta::ToAnsi(text).size();
    if (bytes > 32767) ta::RaiseOverflow();
    return static_cast<int16_t>(bytes);
}

std::wstring GetStringValue(const std::wstring& keyPath, const std::wstring& name) {
    WriteDebugLog(name);
    bool rootFound = false;
    const ta::RegKey key = OpenKey(keyPath, KEY_READ, rootFound);
    if (!rootFound) return {};
    if (!key) return kReadError;
    std::optional<std::string> data = QueryAnsiData(key.get(), name);
    if (!data || data->size() > kReadBufferBytes) return kReadError;

    // The value lands in a buffer of blanks; blanks at both ends go before the cut at the first NUL.
    data->resize(kReadBufferBytes, ' ');
    std::wstring text = ta::TrimBlanks(ta::FromAnsi(*data));
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.erase(nul);
    return text;
}

LONG SetStringValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text) {
    WriteDebugLog(name + text);
    LONG status = ERROR_SUCCESS;
    {
        bool rootFound = false;
        const ta::RegKey key = OpenKey(keyPath, KEY_WRITE, rootFound, &status);
        if (key) {
            // The stored size is counted in 16 bits with its NUL: 32767 bytes of text do not fit.
            const int16_t n = AnsiByteLength(text);
            if (n == 32767) ta::RaiseOverflow();
            status = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
    }
    WriteDebugLog(name + text);
    return status;
}

int32_t GetDwordValue(const std::wstring& keyPath, const std::wstring& name) {
    WriteDebugLog(name);
    bool rootFound = false;
    const ta::RegKey key = OpenKey(keyPath, KEY_READ, rootFound);
    if (!key) return 0;
    BYTE data[4] = {};
    DWORD size = sizeof data;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, data, &size) != ERROR_SUCCESS) return 0;
    // Shorter data reads as its bytes, the missing high bytes zero.
    return static_cast<int32_t>(static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                                static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
}

LONG SetDwordValue(const std::wstring& keyPath, const std::wstring& name, int32_t value) {
    WriteDebugLog(name);
    bool rootFound = false;
    LONG status = ERROR_SUCCESS;
    const ta::RegKey key = OpenKey(keyPath, KEY_WRITE, rootFound, &status);
    if (!key) return status;
    const DWORD data = static_cast<DWORD>(value);
    return ::RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

LONG DeleteKey(const std::wstring& keyPath) {
    std::wstring subKey = keyPath;
    HKEY root = nullptr;
    SplitKeyPath(subKey, root);
    if (!root) return ERROR_INVALID_PARAMETER;
    return ::RegDeleteKeyW(root, subKey.c_str());
}

}  // namespace Regset
