#include "fs/TrustedWay.h"

#include <aclapi.h>

#include <memory>
#include <vector>

#include "fs/FinalPath.h"
#include "fs/PrivateFolder.h"
#include "platform/Account.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"

namespace ta {
namespace {

struct LocalMemory {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// Why the open folder may be changed by others, in words; empty when only the trusted may.
std::wstring WhoMayChange(HANDLE folder, const TrustedAccounts& trusted, bool volumeRoot) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = ::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &descriptor);
    const std::unique_ptr<void, LocalMemory> held(descriptor);
    if (read != ERROR_SUCCESS) return L"its permissions could not be read: " + StatusText(ErrorKind::Win32, read);
    if (!owner || !trusted.Trusts(owner)) return L"it is owned by " + (owner ? AccountName(owner) : L"nobody");
    if (!dacl) return L"it has no access list, so everybody may change it";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        // An entry only inherited by what is made in the folder does not apply to the folder itself.
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            PSID account = &allowed->SidStart;
            if (ChangesFolder(allowed->Mask, volumeRoot) && !trusted.Trusts(account))
                return AccountName(account) + L" may change it";
        } else if (header->AceType == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
                   header->AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE) {
            // Not made for files; whom it names is not read, so it counts as somebody else.
            if (ChangesFolder(reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(header)->Mask, volumeRoot))
                return L"an entry of its access list that names no plain account may change it";
        }
    }
    return {};
}

}  // namespace

bool ChangesFolder(ACCESS_MASK access, bool volumeRoot) noexcept {
    ACCESS_MASK changes = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    if (!volumeRoot) changes |= FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    return (access & changes) != 0;
}

namespace {

// The one folder (its plain form, without a trailing separator unless it is the root) of the check.
// With linkAllowed, a link in its place is looked at as itself (who may change it), not refused.
WayCheck CheckOneFolder(const std::wstring& asFolder, const TrustedAccounts& trusted, bool root, bool linkAllowed = false) {
    const FileHandle handle = OpenFolderItself(LongPathForm(asFolder), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!handle) return {false, asFolder, L"it could not be opened: " + StatusText(ErrorKind::Win32, ::GetLastError())};
    // A link in its place, or on the way to it, leads to a folder the check does not see.
    const EntryCheck itself = CheckFolder(handle.get(), LongPathForm(asFolder));
    if (itself.is == EntryIs::Elsewhere && !linkAllowed) return {false, asFolder, L"it is a link, or reached through one"};
    if (itself.is == EntryIs::Unknown)
        return {false, asFolder, L"it could not be told from a link: " + StatusText(ErrorKind::Win32, itself.error)};
    if (std::wstring why = WhoMayChange(handle.get(), trusted, root); !why.empty()) return {false, asFolder, why};
    return {true};
}

// Every folder from path up to its volume's root, each as CheckOneFolder looks at it.
WayCheck CheckEveryFolderUp(const std::wstring& path, bool linksAllowed) {
    const TrustedAccounts trusted;
    std::wstring folder = WithoutTrailingSeparator(NormalisedPath(path));
    const std::wstring volume = WithoutTrailingSeparator(VolumeOf(folder));
    if (volume.empty() || folder.size() < volume.size())
        return {false, folder, L"the volume it lies on could not be told: " + StatusText(ErrorKind::Win32, ::GetLastError())};
    for (;;) {
        const bool root = SameNameNoCase(folder, volume);
        if (WayCheck one = CheckOneFolder(root ? volume + L"\\" : folder, trusted, root, linksAllowed); !one.trusted)
            return one;
        if (root) return {true};
        const size_t slash = folder.find_last_of(L'\\');
        if (slash == std::wstring::npos) return {false, folder, L"it lies on no volume"};
        folder = WithoutTrailingSeparator(folder.substr(0, slash + 1));
    }
}

}  // namespace

WayCheck CheckLinkedWayIsTrusted(const std::wstring& named, const std::wstring& resolved) {
    // Where it leads: real folders, each changeable by the trusted alone; and the way it is named
    // by, each folder and link on it as itself.
    if (WayCheck real = CheckEveryFolderUp(resolved, false); !real.trusted) return real;
    return CheckEveryFolderUp(named, true);
}

WayCheck CheckFolderIsTrusted(const std::wstring& path) {
    return CheckOneFolder(WithoutTrailingSeparator(NormalisedPath(path)), TrustedAccounts(), false);
}

WayCheck CheckWayIsTrusted(const std::wstring& path) { return CheckEveryFolderUp(path, false); }

}  // namespace ta
