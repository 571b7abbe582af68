#include "removal/ClassRegistration.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "fs/FinalPath.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "removal/mRegistery.h"

namespace ta {
namespace {

constexpr wchar_t kClassesKey[] = L"SOFTWARE\\Classes";
constexpr wchar_t kClassesName[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
// This program is 32-bit like the component, so SOFTWARE is the 32-bit view its registration
// lives in.

// The default value of Classes\subKey as text (REG_SZ or REG_EXPAND_SZ, unexpanded); empty when
// there is none.
std::wstring DefaultText(const std::wstring& subKey) {
    RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassesKey) + L"\\" + subKey).c_str(), 0,
                        KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, bytes = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS)
        return {};
    text.resize(bytes / sizeof(wchar_t));
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

// The names of Classes\subKey's own subkeys, registry links left out; none when it cannot be opened.
std::vector<std::wstring> SubKeyNames(const std::wstring& subKey) {
    return mRegistery::EnumSubKeys(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"\\" + subKey);
}

// Whether the type library key (TypeLib\{...}) describes nothing but the component: every file
// it names, for each version, language and platform, is serverPath, and it names one at least.
bool IsOwnTypeLibrary(const std::wstring& libraryKey, const std::wstring& serverPath) {
    bool any = false;
    for (const std::wstring& version : SubKeyNames(libraryKey)) {
        const std::wstring versionKey = libraryKey + L"\\" + version;
        for (const std::wstring& language : SubKeyNames(versionKey)) {
            if (SameNameNoCase(language, L"FLAGS") || SameNameNoCase(language, L"HELPDIR")) continue;
            for (const std::wstring& platform : SubKeyNames(versionKey + L"\\" + language)) {
                if (!SameServerPath(DefaultText(versionKey + L"\\" + language + L"\\" + platform), serverPath))
                    return false;
                any = true;
            }
        }
    }
    return any;
}

// The path as one file has it: no blanks or quotes around it, variables expanded, made full and
// long.
std::wstring NormalPath(std::wstring path) {
    path = TrimBlanks(path);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    std::wstring expanded(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::ExpandEnvironmentStringsW(path.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (n == 0) break;
        if (n <= expanded.size()) {
            expanded.resize(n - 1);
            path = expanded;
            break;
        }
        expanded.resize(n);
    }
    // A short (8.3) name of an existing file stands for its long one.
    return NormalisedPath(path);
}

// The 32-bit system folder ("C:\Windows\SysWOW64") and the system folder the component's own
// view calls it by; empty where there is no such pair.
std::pair<std::wstring, std::wstring> SystemFolderTwins() {
    wchar_t wow[MAX_PATH] = {}, system[MAX_PATH] = {};
    const UINT w = ::GetSystemWow64DirectoryW(wow, MAX_PATH);
    const UINT s = ::GetSystemDirectoryW(system, MAX_PATH);
    if (w == 0 || w >= MAX_PATH || s == 0 || s >= MAX_PATH) return {};
    return {std::wstring(wow, w), std::wstring(system, s)};
}

std::wstring WithSystemFolder(const std::wstring& path) {
    const auto [wow, system] = SystemFolderTwins();
    if (wow.empty() || path.size() <= wow.size() || path[wow.size()] != L'\\' ||
        !SameNameNoCase(std::wstring_view(path).substr(0, wow.size()), wow))
        return path;
    return system + path.substr(wow.size());
}

// Deletes Classes\subKey with everything below it, each key recorded; a registry link inside it
// goes as a link, never followed. Answers whether the key is gone.
bool DeleteClassesTree(const std::wstring& subKey) {
    return mRegistery::DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kClassesKey) + L"\\" + subKey);
}

}  // namespace

bool SameServerPath(const std::wstring& registered, const std::wstring& serverPath) {
    if (TrimBlanks(registered).empty()) return false;
    return SameNameNoCase(WithSystemFolder(NormalPath(registered)), WithSystemFolder(NormalPath(serverPath)));
}

ClassRemoval RemoveClassRegistration(const std::wstring& progId, const std::wstring& serverPath) {
    ClassRemoval removal;
    const std::wstring classId = TrimBlanks(DefaultText(progId + L"\\CLSID"));
    if (classId.empty() || classId.find(L'\\') != std::wstring::npos) return removal;
    const std::wstring classKey = L"CLSID\\" + classId;
    const std::wstring server = DefaultText(classKey + L"\\InprocServer32");
    if (server.empty()) return removal;
    if (!SameServerPath(server, serverPath)) {
        removal.found = ClassRemoval::Found::Elsewhere;
        Record(ItemKind::Key, kClassesName + classKey, Outcome::Kept, 0, KeptBy::Foreign,
               L"its in-process server is " + server);
        return removal;
    }
    removal.found = ClassRemoval::Found::Ours;

    // Every program identifier that names this class: the one asked for and those the class
    // names as its own (the versioned and the version-independent one).
    std::vector<std::wstring> progIds{progId};
    for (const wchar_t* named : {L"\\ProgID", L"\\VersionIndependentProgID"}) {
        const std::wstring other = TrimBlanks(DefaultText(classKey + named));
        if (other.empty() || other.find(L'\\') != std::wstring::npos) continue;
        const auto same = [&](const std::wstring& id) { return SameNameNoCase(id, other); };
        if (std::any_of(progIds.begin(), progIds.end(), same)) continue;
        if (SameNameNoCase(TrimBlanks(DefaultText(other + L"\\CLSID")), classId)) progIds.push_back(other);
    }
    // Its type library, when the component is all it describes.
    const std::wstring library = TrimBlanks(DefaultText(classKey + L"\\TypeLib"));
    const std::wstring libraryKey = L"TypeLib\\" + library;
    const bool ownLibrary =
        !library.empty() && library.find(L'\\') == std::wstring::npos && IsOwnTypeLibrary(libraryKey, serverPath);

    removal.complete = true;
    for (const std::wstring& id : progIds) removal.complete = DeleteClassesTree(id) && removal.complete;
    if (ownLibrary) removal.complete = DeleteClassesTree(libraryKey) && removal.complete;
    removal.complete = DeleteClassesTree(classKey) && removal.complete;
    return removal;
}

}  // namespace ta
