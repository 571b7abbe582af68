#include "platform/Account.h"

#include <sddl.h>

#include "platform/Handles.h"

namespace ta {

std::vector<BYTE> RunningAccountSid() {
    KernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenUser, &buffer, sizeof buffer, &size)) return {};
    const BYTE* sid = static_cast<const BYTE*>(buffer.user.User.Sid);
    return std::vector<BYTE>(sid, sid + ::GetLengthSid(buffer.user.User.Sid));
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text)) return {};
    std::wstring converted(text);
    ::LocalFree(text);
    return converted;
}

std::wstring AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return SidText(sid);
    return domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

}  // namespace ta
