#include "registry/DebugLog.h"

#include <windows.h>

#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/FileRewrite.h"
#include "platform/RemovalRecord.h"
#include "platform/Text.h"

namespace Regset {
namespace {

std::wstring TimeOfDay() {
    wchar_t buffer[64] = {};
    if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64) == 0) return {};
    return buffer;
}

[[noreturn]] void LogFailed(DWORD error) {
    throw ta::AppError(ta::ErrorNumber::FileAccess, L"WriteDebugLog",
                       L"taupdbg.dbg could not be written: " + ta::StatusText(ta::ErrorKind::Win32, error));
}

}  // namespace

std::wstring DebugLogPath() { return ta::ExeFolder() + L"\\taupdbg.dbg"; }

void WriteDebugLog(const std::wstring& message) {
    const std::string line = ta::ToAnsi(L"TaTra:" + TimeOfDay() + L":" + message + L"\r\n");
    // The folder beside the executable may be anybody's: a link in the log's place is not
    // written through, and the registry operation goes on without its trace.
    const std::wstring path = DebugLogPath();
    const ta::Rewrite rewrite = ta::RewriteFile(path, line);
    if (rewrite.result == ta::Rewrite::Failed) LogFailed(rewrite.error);
    if (rewrite.result == ta::Rewrite::Refused) ta::RecordRefusedRewrite(L"WriteDebugLog", path, rewrite);
}

}  // namespace Regset
