// RegSvr32: a component's registration entry point, run in a process of the program's own with a
// time limit.
#include "removal/RegSvr32.h"

#include <cwchar>

#include "fs/FinalPath.h"
#include "fs/OrdinaryFile.h"
#include "platform/AppShell.h"
#include "platform/ChildEnvironment.h"
#include "platform/ComponentHost.h"
#include "platform/Handles.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"

namespace RegSvr32 {
namespace {

using Report = ta::ComponentReport;

// The program's own file, held for the start so that it cannot be replaced or renamed meanwhile:
// the process that is started is this program, whatever somebody does to its folder.
ta::FileHandle HoldOwnProgram(const std::wstring& path) {
    return ta::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ | SYNCHRONIZE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Starts the host (the program itself) for the entry point of library, its standard output the
// write end of a pipe; answers the process, or empty with error set.
ta::KernelHandle StartHost(const std::wstring& library, const char* entryName, HANDLE output, DWORD& error) {
    const std::wstring program = ta::ExePath();
    const ta::FileHandle held = HoldOwnProgram(program);
    if (!held) {
        error = ::GetLastError();
        return {};
    }
    std::wstring commandLine = L"\"" + program + L"\" " + ta::kComponentEntrySwitch + ta::FromAnsi(entryName) + L" \"" +
                               library + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = output;
    startup.hStdInput = nullptr;
    startup.hStdError = nullptr;
    PROCESS_INFORMATION started{};
    const std::wstring system = ta::SystemFolder();
    std::wstring environment = ta::ChildEnvironment();
    // Only the pipe's end is inherited: it is the one inheritable handle while the process starts.
    ::SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    const BOOL ok = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                     CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                                     system.empty() ? nullptr : system.c_str(), &startup, &started);
    error = ok ? ERROR_SUCCESS : ::GetLastError();
    ::SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    if (!ok) return {};
    ::CloseHandle(started.hThread);
    return ta::KernelHandle(started.hProcess);
}

}  // namespace

EntryPointCall CallEntryPoint(const std::wstring& FileName, bool Unregister) {
    using Status = EntryPointCall::Status;
    EntryPointCall call;
    call.entryName = Unregister ? "DllUnregisterServer" : "DllRegisterServer";
    if (!ta::IsOrdinaryFile(FileName)) return call;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        call.status = Status::NoWorker;
        call.error = ::GetLastError();
        return call;
    }
    ta::KernelHandle reader(readEnd), writer(writeEnd);
    // Load and call share the one limit, the host's start included.
    const ta::KernelHandle host = StartHost(ta::WithoutLongPathPrefix(ta::NormalisedPath(FileName)), call.entryName,
                                            writer.get(), call.error);
    writer.reset();  // the host holds the only write end: its end ends the pipe
    if (!host) {
        call.status = Status::NoWorker;
        return call;
    }
    if (::WaitForSingleObject(host.get(), kEntryPointLimitMs) != WAIT_OBJECT_0) {
        // Whatever the component started ends with its process.
        ::TerminateProcess(host.get(), ERROR_TIMEOUT);
        ::WaitForSingleObject(host.get(), kEntryPointLimitMs);
        call.status = Status::TimedOut;
        return call;
    }
    Report report{};
    DWORD read = 0;
    DWORD exitCode = 0;
    ::GetExitCodeProcess(host.get(), &exitCode);
    if (!::ReadFile(reader.get(), &report, sizeof report, &read, nullptr) || read != sizeof report) {
        // Ended without a word: killed, or a fault that left it no time to say so.
        call.status = Status::Crashed;
        call.exception = exitCode;
        return call;
    }
    switch (report.outcome) {
    case Report::Outcome::Returned:
        call.status = Status::Returned;
        call.result = static_cast<HRESULT>(report.value);
        break;
    case Report::Outcome::CannotLoad:
        call.status = Status::CannotLoad;
        call.error = report.value;
        break;
    case Report::Outcome::NoEntryPoint:
        call.status = Status::NoEntryPoint;
        break;
    default:
        call.status = Status::Crashed;
        call.exception = report.value;
        break;
    }
    return call;
}

std::wstring EntryPointCall::Describe() const {
    using ta::ErrorKind;
    const std::wstring entry = ta::FromAnsi(entryName);
    switch (status) {
    case Status::Returned:
        if (SUCCEEDED(result)) return {};
        return entry + L" answered " + ta::StatusText(ErrorKind::HResult, static_cast<DWORD>(result));
    case Status::NoFile: return L"the file is missing";
    case Status::CannotLoad: return L"the file is not a loadable library: " + ta::StatusText(ErrorKind::Win32, error);
    case Status::NoEntryPoint: return L"the library has no " + entry;
    case Status::NoWorker: return L"no process could run " + entry + L": " + ta::StatusText(ErrorKind::Win32, error);
    case Status::Crashed: {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(exception));
        return entry + L" crashed: exception " + code;
    }
    case Status::TimedOut:
        return entry + L" did not return within " + std::to_wstring(kEntryPointLimitMs / 1000) + L" s";
    }
    return {};
}

}  // namespace RegSvr32
