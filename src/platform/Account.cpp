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

std::wstring RunningAccountSidText() {
    std::vector<BYTE> sid = RunningAccountSid();
    return sid.empty() ? std::wstring() : SidText(sid.data());
}

namespace {

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

}  // namespace

TrustedAccounts::TrustedAccounts() {
    const auto add = [this](std::vector<BYTE> sid) {
        if (!sid.empty()) trusted_.push_back(std::move(sid));
    };
    add(WellKnownSid(WinBuiltinAdministratorsSid));
    add(WellKnownSid(WinLocalSystemSid));
    add(RunningAccountSid());
    // NT SERVICE\TrustedInstaller, which owns the system's own folders.
    PSID installer = nullptr;
    if (::ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &installer)) {
        const BYTE* bytes = static_cast<const BYTE*>(installer);
        trusted_.emplace_back(bytes, bytes + ::GetLengthSid(installer));
        ::LocalFree(installer);
    }
}

bool TrustedAccounts::Trusts(PSID sid) const {
    if (!sid || !::IsValidSid(sid)) return false;
    for (const std::vector<BYTE>& account : trusted_)
        if (::EqualSid(sid, const_cast<BYTE*>(account.data()))) return true;
    return false;
}

std::wstring AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return SidText(sid);
    return domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

}  // namespace ta
