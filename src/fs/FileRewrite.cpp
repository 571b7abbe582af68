#include "fs/FileRewrite.h"

#include <optional>

#include "fs/FinalPath.h"
#include "record/RemovalRecord.h"

namespace ta {
namespace {

Rewrite RefusedAs(std::wstring why, DWORD error = 0) { return {Rewrite::Refused, error, std::move(why)}; }
Rewrite FailedWith(DWORD error) { return {Rewrite::Failed, error, {}}; }

FileHandle Open(const std::wstring& longPath, DWORD access, DWORD disposition) {
    return FileHandle(::CreateFileW(longPath.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Why the open file may not be written, if it may not.
std::optional<Rewrite> RefusalOf(HANDLE file, const std::wstring& longPath) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return RefusedAs(L"a file that cannot be examined", ::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return RefusedAs(L"a link (reparse point)");
    const size_t slash = longPath.find_last_of(L'\\');
    const EntryCheck entry =
        CheckEntry(file, FinalFolderPath(longPath.substr(0, slash + 1)), longPath.substr(slash + 1));
    if (entry.is == EntryIs::Unknown) return RefusedAs(L"a name whose final path cannot be read", entry.error);
    if (entry.is == EntryIs::Elsewhere) {
        DWORD error = 0;
        return RefusedAs(L"a link to " + FinalPathOf(file, error));
    }
    if (info.nNumberOfLinks > 1)
        return RefusedAs(L"a file with " + std::to_wstring(info.nNumberOfLinks) + L" names (hard links)");
    return std::nullopt;
}

}  // namespace

OpenedRewrite OpenForRewrite(const std::wstring& path) {
    const std::wstring longPath = LongPathForm(path);
    if (longPath.find_last_of(L'\\') == std::wstring::npos) return {FailedWith(ERROR_INVALID_NAME), {}};
    constexpr DWORD kAccess = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    FileHandle file = Open(longPath, kAccess, OPEN_EXISTING);
    if (!file) {
        const DWORD refused = ::GetLastError();
        if (refused == ERROR_FILE_NOT_FOUND) {
            // Created only where nothing has the name: a link that leads nowhere is not followed
            // to make its target.
            file = Open(longPath, kAccess, CREATE_NEW);
            if (!file) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                    return {RefusedAs(L"a link that leads nowhere"), {}};
                return {FailedWith(error), {}};
            }
        } else {
            // What keeps the file from being written may still be a link: that is then what to say.
            FileHandle look = Open(longPath, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
            if (look)
                if (auto refusal = RefusalOf(look.get(), longPath)) return {*refusal, {}};
            return {FailedWith(refused), {}};
        }
    } else if (auto refusal = RefusalOf(file.get(), longPath)) {
        return {*refusal, {}};
    }
    // Emptied only now, through the handle that was checked.
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get()))
        return {FailedWith(::GetLastError()), {}};
    return {{Rewrite::Written, 0, {}}, std::move(file)};
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return ::GetLastError();
    return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

Rewrite RewriteFile(const std::wstring& path, std::string_view bytes) {
    OpenedRewrite opened = OpenForRewrite(path);
    if (opened.rewrite.result != Rewrite::Written) return opened.rewrite;
    if (const DWORD error = WriteAll(opened.file.get(), bytes); error != ERROR_SUCCESS) return FailedWith(error);
    return opened.rewrite;
}

void RecordRefusedRewrite(const Step& step, const std::wstring& path, const Rewrite& rewrite) {
    const RemovalRecord* record = CurrentRecord();
    if (!record) return;
    if (const auto said = record->Find(path); said && said->outcome == Outcome::Kept) return;
    StepScope scope(step);
    Record(ItemKind::File, path, Outcome::Kept, rewrite.error, KeptBy::Link, L"not written: " + rewrite.why);
}

}  // namespace ta
