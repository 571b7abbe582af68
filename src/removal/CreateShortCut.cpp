#include "removal/CreateShortCut.h"

#include <string>

#include "platform/ContinueOnError.h"
#include "platform/OrdinaryFile.h"
#include "registry/Regset.h"
#include "removal/FileRemoval.h"

namespace CreateShortCut {
namespace {

const wchar_t kShellFolders[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kShortcut[] = L"\\타르닐.lnk";
const wchar_t kGroup[] = L"\\타르닐";
const wchar_t* const kGroupShortcuts[] = {L"\\타르닐.lnk", L"\\타르닐 도움말.lnk", L"\\타르닐 업데이트.lnk"};

// The current user's folder of that name; empty when it cannot be read. An empty location
// would put the names below on the current drive's root, so it counts as unreadable too.
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

}  // namespace

void RemoveShortcuts() {
    for (const wchar_t* location : {L"Startup", L"Desktop"}) {
        ta::Attempt(L"RemoveShortcuts", [&] {
            const std::wstring folder = UserFolder(location);
            if (!folder.empty()) DeleteShortcut(folder + kShortcut);
        });
    }
    ta::Attempt(L"RemoveShortcuts", [] {
        const std::wstring programs = UserFolder(L"Programs");
        if (programs.empty()) return;
        const std::wstring group = programs + kGroup;
        for (const wchar_t* name : kGroupShortcuts) ta::Attempt(L"RemoveShortcuts", [&] { DeleteShortcut(group + name); });
        ta::RecordDeletion(ta::ItemKind::Folder, group, ta::RemoveEmptyFolder(group));
    });
}

}  // namespace CreateShortCut
