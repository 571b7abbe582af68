// TarnilSet: the product's registry data.
#include "platform/ContinueOnError.h"
#include "registry/Regset.h"
#include "removal/TarnilSet.h"
#include "removal/mRegistery.h"

namespace TarnilSet {
namespace {

// Keys deleted one by one after the tree walk, for a system on which the walk left any behind.
const wchar_t* const kProductKeys[] = {
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\PROGRAM",     L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\PROGRAMETC",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\PROGRAMEGAME", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\WWW",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\MSNUSER",      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\HanUrl",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\ADURL",        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\MyHanUrl",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\outlook",      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\msnfriendname",
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\tempurl",      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Morla\\ismenu",
    kProductKey,
};

}  // namespace

void RemoveRegistryEntries() {
    ta::Attempt([] { mRegistery::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"); });
    for (const wchar_t* key : kProductKeys) ta::Attempt([key] { Regset::DeleteKey(key); });
    ta::AttemptEach(
        [] { Regset::DeleteKey(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil"); },
        [] {
            Regset::DeleteKey(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\"
                              L"{7A3E51C2-94B0-4F6D-8E21-D5C0B9A4F316}");
        },
        [] { Regset::SetStringValue(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                    L"Tarnil", L""); });
}

}  // namespace TarnilSet
