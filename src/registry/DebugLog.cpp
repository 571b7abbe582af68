#include "registry/DebugLog.h"

#include <windows.h>

#include "fs/FileRewrite.h"
#include "platform/AppShell.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"

namespace Regset {
namespace {

std::wstring TimeOfDay() {
    wchar_t buffer[64] = {};
    if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64) == 0) return {};
    return buffer;
}

// A trace that cannot be written (a read-only folder, a file another program holds, a full disk)
// costs the registry operation nothing: it goes on without it, and the run's record says once why.
void RecordUnwritten(const std::wstring& path, DWORD error) {
    const ta::RemovalRecord* record = ta::CurrentRecord();
    if (!record) return;
    if (const auto said = record->Find(path); said && said->outcome == ta::Outcome::Failed) return;
    ta::StepScope scope(kWriteDebugLogStep);
    ta::Record(ta::ItemKind::File, path, ta::Outcome::Failed, error, ta::KeptBy::None,
               L"the registry trace could not be written; the registry operations go on without it");
}

}  // namespace

std::wstring DebugLogPath() { return ta::ExeFolder() + L"\\taupdbg.dbg"; }

void WriteDebugLog(const std::wstring& message) {
    const std::string line = ta::ToAnsi(L"TaTra:" + TimeOfDay() + L":" + message + L"\r\n");
    // The folder beside the executable may be anybody's: a link in the log's place is not
    // written through, and the registry operation goes on without its trace.
    const std::wstring path = DebugLogPath();
    const ta::Rewrite rewrite = ta::RewriteFile(path, line);
    if (rewrite.result == ta::Rewrite::Failed) RecordUnwritten(path, rewrite.error);
    if (rewrite.result == ta::Rewrite::Refused) ta::RecordRefusedRewrite(kWriteDebugLogStep, path, rewrite);
}

}  // namespace Regset
