#include "fs/PrivateFolder.h"

#include <objbase.h>
#include <sddl.h>

#include <cwchar>

namespace ta {

std::wstring VolumeOf(const std::wstring& path) {
    wchar_t volume[MAX_PATH + 1];
    return ::GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1) ? std::wstring(volume) : std::wstring();
}

std::wstring FreshName() {
    GUID random{};
    if (FAILED(::CoCreateGuid(&random))) return {};
    wchar_t name[48];
    std::swprintf(name, 48, L"TaUnInst-%08lX%04X%04X%02X%02X", random.Data1, random.Data2, random.Data3,
                  random.Data4[0], random.Data4[1]);
    return name;
}

std::wstring CreatePrivateFolder(const std::wstring& parent, DWORD& error) {
    if (parent.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return {};
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        error = ::GetLastError();
        return {};
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    std::wstring folder;
    error = ERROR_ALREADY_EXISTS;
    // A name somebody made first is passed over, never taken as ours.
    for (int attempt = 0; attempt < 8 && error == ERROR_ALREADY_EXISTS; ++attempt) {
        const std::wstring name = FreshName();
        if (name.empty()) {
            error = ERROR_GEN_FAILURE;
            break;
        }
        folder = parent + name;
        error = ::CreateDirectoryW(folder.c_str(), &security) ? 0 : ::GetLastError();
    }
    ::LocalFree(descriptor);
    return error ? std::wstring() : folder;
}

}  // namespace ta
