// The progress page's component steps: the browser helper object and the text-services library.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <string_view>

#include "fs/OrdinaryFile.h"
#include "platform/AppError.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"
#include "record/RemovalRecord.h"
#include "registry/Regset.h"
#include "removal/ClassRegistration.h"
#include "removal/RegSvr32.h"
#include "removal/RemovalSteps.h"
#include "run/RemovalRun.h"

namespace ta {
namespace {

constexpr wchar_t kBrowserHelperProgId[] = L"Tarnil.CBrowserHelper";
constexpr wchar_t kBrowserHelperKeys[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
// TextFromPointer's range: units read, terminator included, and the largest unit kept.
constexpr size_t kMaxUnits = 256;
constexpr wchar_t kMaxUnit = 255;

// Frees the text StringFromCLSID hands out.
struct CoTaskText {
    LPOLESTR text = nullptr;
    ~CoTaskText() { ::CoTaskMemFree(text); }
};

}  // namespace

std::wstring RemovalSteps::InSystemDir(const std::wstring& name) const { return run_.SystemDir + L"\\" + name; }

void RemovalSteps::TextFromPointer(const wchar_t* address, std::wstring& buffer) {
    if (!address) RaiseOutOfRange();
    std::string bytes;
    for (size_t i = 0;; ++i) {
        if (i == kMaxUnits) RaiseOutOfRange();
        const wchar_t unit = address[i];
        if (unit > kMaxUnit) RaiseOverflow();
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(unit)));
        if (unit == L'\0') break;
    }
    std::string ansi = ToAnsi(buffer);
    if (ansi.size() < bytes.size()) ansi.resize(bytes.size(), '\0');
    ansi.replace(0, bytes.size(), bytes);
    buffer = FromAnsi(ansi);
}

void RemovalSteps::RemoveBrowserHelper() {
    Attempt([this] {
        CLSID classId{};  // stays all zeros when the identifier is not registered
        ::CLSIDFromProgID(kBrowserHelperProgId, &classId);
        CoTaskText text;
        if (FAILED(::StringFromCLSID(classId, &text.text)) || !text.text) return;
        std::wstring buffer(255, L'\0');
        TextFromPointer(text.text, buffer);
        StripNulls(buffer);
        const std::wstring classIdText = buffer;
        progress_.ShowClassId(classIdText);
        // An empty id would name the parent of every browser helper object.
        if (classIdText.empty()) return;
        const std::wstring key = kBrowserHelperKeys + classIdText;
        RecordStatus(ItemKind::Key, key, Regset::DeleteKey(key));
    });
    Attempt([this] {
        const std::wstring component = InSystemDir(L"tageturl.dll");
        const RegSvr32::EntryPointCall call = RegSvr32::CallEntryPoint(component, true);
        if (call.Succeeded()) {
            Record(ItemKind::Component, component, Outcome::Removed);
            return;
        }
        // The component could not take its registration away: the uninstaller does, as far as
        // it is plainly the component's own.
        const std::wstring why = call.Describe();
        const ClassRemoval removal = RemoveClassRegistration(kBrowserHelperProgId, component);
        if (removal.found != ClassRemoval::Found::Ours) {
            const bool missing = call.status == RegSvr32::EntryPointCall::Status::NoFile;
            Record(ItemKind::Component, component, Outcome::Absent, 0, KeptBy::None,
                   missing ? std::wstring() : why + L"; no class registration of it is left");
        } else if (removal.complete) {
            Record(ItemKind::Component, component, Outcome::Removed, 0, KeptBy::None,
                   why + L"; its class registration was removed instead");
        } else {
            Record(ItemKind::Component, component, Outcome::Failed, 0, KeptBy::None,
                   why + L"; its class registration could not all be removed");
        }
    });
}

void RemovalSteps::RestoreTextServices() {
    Attempt([this] {
        const std::wstring library = InSystemDir(L"msctf.dll");
        if (!IsOrdinaryFile(library))
            Record(ItemKind::Component, library, Outcome::Absent);
        else if (const RegSvr32::EntryPointCall call = RegSvr32::CallEntryPoint(library, false);
                 call.status == RegSvr32::EntryPointCall::Status::Returned)
            Record(ItemKind::Component, library, Outcome::Done, static_cast<DWORD>(call.result),
                   KeptBy::None, {}, ErrorKind::HResult);
        else
            Record(ItemKind::Component, library, Outcome::Failed, 0, KeptBy::None, call.Describe());
    });
}

}  // namespace ta
