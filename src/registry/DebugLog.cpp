#include "registry/DebugLog.h"

#include <windows.h>

#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace Regset {
namespace {

std::wstring TimeOfDay() {
    wchar_t buffer[64] = {};
    if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 64) == 0) return {};
    return buffer;
}

[[noreturn]] void LogFailed() {
    const DWORD error = ::GetLastError();
    throw ta::AppError(ta::ErrorNumber::FileAccess, L"WriteDebugLog",
                       L"taupdbg.dbg could not be written: error " + std::to_wstring(error) + L": " +
                           ta::SystemMessageText(error));
}

}  // namespace

std::wstring DebugLogPath() { return ta::ExeFolder() + L"\\taupdbg.dbg"; }

void WriteDebugLog(const std::wstring& message) {
    const std::string line = ta::ToAnsi(L"TaTra:" + TimeOfDay() + L":" + message + L"\r\n");
    ta::FileHandle file(::CreateFileW(DebugLogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) LogFailed();
    DWORD written = 0;
    if (!::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size())
        LogFailed();
}

}  // namespace Regset
