#pragma once
// The accounts the program meets: the one it runs as, and accounts named by a security
// identifier, in the forms the record and the registry use.
#include <windows.h>

#include <string>
#include <vector>

namespace ta {

// The security identifier of the account this process runs as; empty when the system does not say.
std::vector<BYTE> RunningAccountSid();

// The identifier in its text form ("S-1-5-21-..."); empty when it cannot be converted.
std::wstring SidText(PSID sid);
// The running account's, in that form; empty when the system does not say.
std::wstring RunningAccountSidText();

// The account's name as a person reads it ("BUILTIN\Users", "Everyone"), or its text form when
// the system cannot name it.
std::wstring AccountName(PSID sid);

// The accounts that may do everything on the machine anyway (the administrators, the system,
// TrustedInstaller) and the one this program runs as: what they own or may change, nobody else
// can have laid there for the run.
class TrustedAccounts {
public:
    TrustedAccounts();
    bool Trusts(PSID sid) const;

private:
    std::vector<std::vector<BYTE>> trusted_;
};

}  // namespace ta
