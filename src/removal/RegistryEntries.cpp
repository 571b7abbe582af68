// TarnilSet: the product's registry data.
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
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

const wchar_t kBrowserExtension[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{7A3E51C2-94B0-4F6D-8E21-D5C0B9A4F316}";
const wchar_t kRunKey[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

void DeleteAndRecord(const wchar_t* key) { ta::RecordStatus(ta::ItemKind::Key, key, Regset::DeleteKey(key)); }

}  // namespace

void RemoveRegistryEntries() {
    ta::Attempt([] { mRegistery::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"); });
    // The second pass matters only where the walk left a key; the ones it took are not
    // recorded twice as absent.
    for (const wchar_t* key : kProductKeys) {
        ta::Attempt([key] {
            const LONG status = Regset::DeleteKey(key);
            if (status != ERROR_FILE_NOT_FOUND) ta::RecordStatus(ta::ItemKind::Key, key, status);
        });
    }
    ta::Attempt([] { DeleteAndRecord(kUninstallEntry); });
    ta::Attempt([] { DeleteAndRecord(kBrowserExtension); });
    ta::Attempt([] {
        ta::RecordStatus(ta::ItemKind::Value, std::wstring(kRunKey) + L"\\Tarnil", Regset::SetStringValue(kRunKey, L"Tarnil", L""),
                         ta::Outcome::Done);
    });
}

}  // namespace TarnilSet
