#include "fs/RestartDeletions.h"

#include <algorithm>
#include <cstring>

#include "fs/FinalPath.h"
#include "fs/PrivateFolder.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta {
namespace {

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingOperations[] = L"PendingFileRenameOperations";

// Renames the open file to path ("C:\..."), replacing nothing.
DWORD RenameOpenFile(HANDLE file, const std::wstring& path) {
    // The system's own form of the name: "\??\C:\..." or "\??\UNC\server\...".
    std::wstring target = LongPathForm(path);
    if (target.rfind(L"\\\\?\\", 0) == 0) target[1] = L'?';
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.data(), rename->FileNameLength);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))
               ? ERROR_SUCCESS
               : ::GetLastError();
}

// A path without its "\\?\" or "\??\" prefix, as both forms name the same file.
std::wstring WithoutPrefix(const std::wstring& path) {
    if (path.size() >= 4 && (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\??\\", 0) == 0)) return path.substr(4);
    return path;
}

// The strings of a REG_MULTI_SZ value, empty ones kept: the pending operations come in pairs
// of a name and its new name, and an empty new name means deletion.
std::vector<std::wstring> SplitMultiString(const std::wstring& block) {
    std::vector<std::wstring> strings;
    for (size_t start = 0; start < block.size();) {
        const size_t end = std::min(block.find(L'\0', start), block.size());
        strings.push_back(block.substr(start, end - start));
        start = end + 1;
    }
    // The value ends in one more NUL, which is no pair's member.
    if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
    return strings;
}

}  // namespace

DWORD ScheduleDeletionAtRestart(const std::wstring& longPath) {
    ::SetLastError(ERROR_SUCCESS);
    if (::MoveFileExW(longPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return ERROR_SUCCESS;
    // A refusal that names no reason is a refusal all the same.
    const DWORD refused = ::GetLastError();
    return refused != ERROR_SUCCESS ? refused : ERROR_CAN_NOT_COMPLETE;
}

std::vector<std::wstring> DeletionsPendingRestart() {
    RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return {};
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), kPendingOperations, nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return {};
    std::wstring block(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    bytes = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), kPendingOperations, nullptr, &type, reinterpret_cast<BYTE*>(block.data()),
                           &bytes) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return {};
    block.resize(bytes / sizeof(wchar_t));
    const std::vector<std::wstring> operations = SplitMultiString(block);
    std::vector<std::wstring> deletions;
    for (size_t i = 0; i + 1 < operations.size(); i += 2)
        if (operations[i + 1].empty() && !operations[i].empty()) deletions.push_back(WithoutPrefix(operations[i]));
    return deletions;
}

RestartMove MoveAsideForRestart(HANDLE file) {
    RestartMove move;
    const std::wstring where = WithoutLongPathPrefix(FinalPathOf(file, move.error));
    if (where.empty()) return move;
    const std::wstring volume = VolumeOf(where);
    if (volume.empty()) {
        move.error = ::GetLastError();
        return move;
    }
    const std::wstring folder = CreatePrivateFolder(volume, move.error);
    if (folder.empty()) return move;
    const std::wstring moved = folder + where.substr(where.find_last_of(L'\\'));
    move.error = RenameOpenFile(file, moved);
    if (move.error) {
        ::RemoveDirectoryW(folder.c_str());
        return move;
    }
    move.moved = true;
    move.movedTo = moved;
    // The file first, then its folder, which is empty by then.
    move.error = ScheduleDeletionAtRestart(LongPathForm(moved));
    if (!move.error) move.error = ScheduleDeletionAtRestart(LongPathForm(folder));
    if (move.error && RenameOpenFile(file, where) == ERROR_SUCCESS) {
        ::RemoveDirectoryW(folder.c_str());
        move.movedTo.clear();
    }
    return move;
}

}  // namespace ta
