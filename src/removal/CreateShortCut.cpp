#include "removal/CreateShortCut.h"

#include <cwctype>
#include <functional>
#include <string>

#include "fs/FileRemoval.h"
#include "fs/FinalPath.h"
#include "fs/OrdinaryFile.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "registry/Regset.h"
#include "removal/UserProfiles.h"

namespace CreateShortCut {
namespace {

const wchar_t kShellFolders[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kShortcut[] = L"\\타르닐.lnk";
const wchar_t kGroup[] = L"\\타르닐";
const wchar_t* const kGroupShortcuts[] = {L"\\타르닐.lnk", L"\\타르닐 도움말.lnk", L"\\타르닐 업데이트.lnk"};

// A person's folder of a name ("Startup", "Desktop", "Programs"); empty when it cannot be read.
using FolderOf = std::function<std::wstring(const wchar_t* name)>;

// The current user's folder of that name. An empty location would put the names below on the
// current drive's root, so it counts as unreadable too.
std::wstring UserFolder(const wchar_t* name) {
    std::wstring folder = Regset::GetStringValue(kShellFolders, name);
    if (folder == Regset::kReadError) folder.clear();
    return folder;
}

void DeleteShortcut(const std::wstring& path) {
    const std::wstring longPath = ta::LongPathForm(path);
    if (ta::IsOrdinaryFile(longPath))
        ta::RecordDeletion(ta::ItemKind::Shortcut, path,
                           ta::DeleteFileItself(longPath, {.clearReadOnly = false, .laterWhenHeld = true}));
    else
        ta::Record(ta::ItemKind::Shortcut, path, ta::Outcome::Absent);
}

// The product's shortcuts in one person's Startup, Desktop and program group, and the group
// folder when that is left empty.
void RemoveShortcutsOf(const FolderOf& folderOf) {
    for (const wchar_t* location : {L"Startup", L"Desktop"}) {
        ta::Attempt([&] {
            const std::wstring folder = folderOf(location);
            if (!folder.empty()) DeleteShortcut(folder + kShortcut);
        });
    }
    ta::Attempt([&] {
        const std::wstring programs = folderOf(L"Programs");
        if (programs.empty()) return;
        const std::wstring group = programs + kGroup;
        for (const wchar_t* name : kGroupShortcuts) ta::Attempt([&] { DeleteShortcut(group + name); });
        ta::RecordDeletion(ta::ItemKind::Folder, group, ta::RemoveEmptyFolder(group));
    });
}

// Why a folder another person's hive names is not entered, in words; empty when it may be. That
// person wrote their hive: a network or device form would make this run sign in to, or connect
// to, whatever they chose, and a folder in somebody else's profile is not theirs to send this
// run's deletions to.
std::wstring WhyNotEntered(const std::wstring& folder, const UserProfiles::Profile& profile,
                           const std::vector<std::wstring>& profileFolders) {
    const bool drivePath = folder.size() >= 3 && std::iswalpha(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    if (!drivePath) return L"not a folder on a drive of this machine: it is never opened";
    if (::GetDriveTypeW(folder.substr(0, 3).c_str()) != DRIVE_FIXED) return L"not on a fixed drive of this machine: it is never opened";
    const std::wstring full = ta::NormalisedPath(folder), own = ta::NormalisedPath(profile.folder);
    for (const std::wstring& other : profileFolders) {
        const std::wstring otherFull = ta::NormalisedPath(other);
        if (ta::LiesInside(own, otherFull)) continue;  // the person's own profile, or one it lies in
        if (ta::LiesInside(full, otherFull)) return L"it lies in the profile folder of somebody else, " + other + L": it is not entered";
    }
    return {};
}

// Another person's folder as their hive names it, unless a link leads there: that person may have
// put one in place of a folder of theirs, and this run's rights are not theirs to point.
std::wstring OwnFolderOf(HKEY hive, const UserProfiles::Profile& profile, const wchar_t* name,
                         const std::vector<std::wstring>& profileFolders) {
    const std::wstring folder = UserProfiles::ShellFolder(hive, name, profile.folder);
    if (folder.empty()) return folder;
    if (const std::wstring why = WhyNotEntered(folder, profile, profileFolders); !why.empty()) {
        ta::Record(ta::ItemKind::Folder, folder, ta::Outcome::Kept, 0, ta::KeptBy::Guard, why);
        return {};
    }
    const ta::FileHandle handle = ta::OpenFolderItself(ta::LongPathForm(folder), FILE_READ_ATTRIBUTES,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    // A folder that is not there holds no shortcut to find.
    if (!handle || ta::CheckFolder(handle.get(), ta::NormalisedPath(folder)).is == ta::EntryIs::Itself) return folder;
    ta::RecordKept(ta::ItemKind::Folder, folder, ta::KeptBy::Link);
    return {};
}

// Another person's shortcuts, found through their own hive. The profile's line says how its hive
// was read, or why it could not be.
void RemoveShortcutsOfProfile(const UserProfiles::Profile& profile, const std::vector<std::wstring>& profileFolders) {
    const UserProfiles::BorrowedHive hive(profile);
    if (!hive.root()) {
        const bool noHive = hive.error() == ERROR_FILE_NOT_FOUND || hive.error() == ERROR_PATH_NOT_FOUND;
        // A profile without a hive has no shell folders of its own to hold shortcuts.
        ta::Record(ta::ItemKind::Profile, profile.folder, noHive ? ta::Outcome::Absent : ta::Outcome::Failed,
                   hive.error(), ta::KeptBy::None, noHive ? L"no NTUSER.DAT" : L"its hive NTUSER.DAT could not be loaded");
        return;
    }
    ta::Record(ta::ItemKind::Profile, profile.folder, ta::Outcome::Done, 0, ta::KeptBy::None,
               hive.signedIn() ? L"signed in: its loaded hive read" : L"its hive NTUSER.DAT borrowed");
    RemoveShortcutsOf([&](const wchar_t* name) { return OwnFolderOf(hive.root(), profile, name, profileFolders); });
}

}  // namespace

void RemoveShortcuts() {
    RemoveShortcutsOf(UserFolder);
    std::vector<UserProfiles::Profile> people;
    std::vector<std::wstring> profileFolders;
    ta::Attempt([&] {
        people = UserProfiles::OtherPeople();
        profileFolders = UserProfiles::EveryProfileFolder();
    });
    for (const UserProfiles::Profile& profile : people)
        ta::Attempt([&] { RemoveShortcutsOfProfile(profile, profileFolders); });
}

}  // namespace CreateShortCut
