#include <gtest/gtest.h>

#include "FileTestKit.h"
#include "FixturePrograms.h"
#include "platform/AppError.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "support/RecordChecks.h"
#include "support/TestRegistry.h"

namespace {

using ta::test::KeyExists;
using ta::test::RecordingPage;
using ta::test::ScratchFolder;
using ta::test::fixtures::CopyFixture;
using ta::test::fixtures::CurrentTestFolderName;
using ta::test::fixtures::ReadText;

const wchar_t kHelperKeys[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const wchar_t kProgIdKey[] = L"SOFTWARE\\Classes\\Tarnil.CBrowserHelper";
const wchar_t kClassId[] = L"{5C1E2B7A-8F3D-4E69-A0B4-7D2C9E61F835}";
const wchar_t kZeroClassId[] = L"{00000000-0000-0000-0000-000000000000}";
const wchar_t kForeignClassId[] = L"{11111111-2222-3333-4444-555555555555}";
const wchar_t kClassesKey[] = L"SOFTWARE\\Classes\\";
const wchar_t kLibraryId[] = L"{2D4C6E81-3B5A-4F70-9E12-A8C3D5F60B47}";
const wchar_t kLibraryKey[] = L"SOFTWARE\\Classes\\TypeLib\\{2D4C6E81-3B5A-4F70-9E12-A8C3D5F60B47}";
const wchar_t kForeignServer[] = L"C:\\Program Files\\Other Vendor\\helper.dll";

std::wstring Upper(std::wstring text) {
    ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A page whose system folder is a scratch folder, with the product's browser helper object
// registered or not.
class ComponentStepsTest : public ::testing::Test {
protected:
    ScratchFolder systemDir{CurrentTestFolderName()};
    RecordingPage page;

    void SetUp() override {
        page.run.SystemDir = systemDir.path();
        Cleanup();
        ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kForeignClassId)));
    }
    void TearDown() override { Cleanup(); }
    static void RegisterProgId() {
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kProgIdKey, L"", L"Tarnil Browser Helper"));
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kProgIdKey + std::wstring(L"\\CLSID"), L"", kClassId));
    }
    // The class as the component registers itself: its program identifier, and the class with its
    // in-process server (named in another spelling of the same path) and identifier.
    static void RegisterClass(const std::wstring& classId, const std::wstring& server) {
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kProgIdKey + std::wstring(L"\\CLSID"), L"", classId));
        const std::wstring classKey = kClassesKey + std::wstring(L"CLSID\\") + classId;
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"", server));
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, classKey + L"\\ProgID", L"", L"Tarnil.CBrowserHelper"));
        // Its type library, embedded in the same file.
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, classKey + L"\\TypeLib", L"", kLibraryId));
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kLibraryKey + std::wstring(L"\\1.0\\0\\win32"), L"", server));
    }
    static bool ClassKeyExists(const wchar_t* classId) {
        return KeyExists(HKEY_LOCAL_MACHINE, kClassesKey + std::wstring(L"CLSID\\") + classId);
    }
    static bool HelperKeyExists(const wchar_t* classId) {
        return KeyExists(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(classId));
    }

private:
    static void Cleanup() {
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kProgIdKey);
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kLibraryKey);
        for (const wchar_t* id : {kClassId, kZeroClassId, kForeignClassId}) {
            ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(id));
            ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kClassesKey + std::wstring(L"CLSID\\") + id);
        }
    }
};

TEST_F(ComponentStepsTest, RemovesTheHelperKeyAndUnregistersItsComponent) {
    RegisterProgId();
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kClassId)));
    const std::wstring component = CopyFixture(systemDir, L"ta_regdll.dll", L"tageturl.dll");

    page.steps.RemoveBrowserHelper();

    EXPECT_FALSE(HelperKeyExists(kClassId));
    EXPECT_TRUE(HelperKeyExists(kForeignClassId));
    EXPECT_EQ(ReadText(component + L".log"), "attach\r\nDllUnregisterServer\r\ndetach\r\n");
}

// A helper that cannot unregister itself still goes: its class registration is taken away for
// it, and the component counts as removed; a class that serves from another file stays.
TEST_F(ComponentStepsTest, AHelperThatCannotUnregisterItselfLosesItsClassRegistrationAllTheSame) {
    struct Case {
        const wchar_t* name;
        const wchar_t* fixture;  // copied as tageturl.dll; nullptr: a damaged file, L"": none
        const wchar_t* why;      // how the record says it began
    };
    const Case cases[] = {
        {L"damaged", nullptr, L"the file is not a loadable library: error "},
        {L"crash", L"ta_regdll_crash.dll", L"DllUnregisterServer crashed: exception 0xC0000005"},
        {L"hang", L"ta_regdll_hangload.dll", L"DllUnregisterServer did not return within 10 s"},
        {L"noexport", L"ta_regdll_noexport.dll", L"the library has no DllUnregisterServer"},
        {L"fail", L"ta_regdll_fail.dll", L"DllUnregisterServer answered HRESULT 0x80004005"},
        {L"missing", L"", L"the file is missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ta::ToUtf8(c.name));
        ScratchFolder folder{CurrentTestFolderName() + L"." + c.name};
        page.run.SystemDir = folder.path();
        const std::wstring component = folder / L"tageturl.dll";
        if (!c.fixture) {
            const std::string text = "MZ but nothing of a library after it";
            HANDLE file = ::CreateFileW(component.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            ::CloseHandle(file);
        } else if (*c.fixture) {
            CopyFixture(folder, c.fixture, L"tageturl.dll");
        }
        // Registered in another spelling of the same path: quoted, in capitals.
        RegisterClass(kClassId, L"\"" + Upper(component) + L"\"");
        const std::wstring foreignKey = kClassesKey + std::wstring(L"CLSID\\") + kForeignClassId;
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, foreignKey + L"\\InprocServer32", L"", kForeignServer));

        ta::RemovalRecord record;
        {
            ta::RecordingScope recording(record);
            page.steps.RemoveBrowserHelper();
        }
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProgIdKey));
        EXPECT_FALSE(ClassKeyExists(kClassId));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kLibraryKey));
        EXPECT_TRUE(ClassKeyExists(kForeignClassId));
        const auto entry = record.Find(component);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->outcome, ta::Outcome::Removed);
        EXPECT_EQ(entry->detail.rfind(c.why, 0), 0u) << ta::ToUtf8(entry->detail);
        const auto classEntry = record.Find(L"HKEY_LOCAL_MACHINE\\" + std::wstring(kClassesKey) + L"CLSID\\" + kClassId);
        ASSERT_TRUE(classEntry);
        EXPECT_EQ(classEntry->outcome, ta::Outcome::Removed);
        EXPECT_EQ(ta::test::FailuresBesideTheTrace(record), 0u);
        // Nothing of it stays loaded here: its file can go at once.
        if (c.fixture && *c.fixture) {
            EXPECT_TRUE(::DeleteFileW(component.c_str()));
        }
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, foreignKey);
    }
}

TEST_F(ComponentStepsTest, AClassOfTheHelpersNameThatServesFromAnotherFileStays) {
    const std::wstring component = CopyFixture(systemDir, L"ta_regdll_noexport.dll", L"tageturl.dll");
    RegisterClass(kForeignClassId, kForeignServer);
    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        page.steps.RemoveBrowserHelper();
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProgIdKey));
    EXPECT_TRUE(ClassKeyExists(kForeignClassId));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kLibraryKey));
    const auto kept = record.Find(L"HKEY_LOCAL_MACHINE\\" + std::wstring(kClassesKey) + L"CLSID\\" + kForeignClassId);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->keptBy, ta::KeptBy::Foreign);
    EXPECT_EQ(record.Find(component)->outcome, ta::Outcome::Absent);
}

TEST_F(ComponentStepsTest, UnregisteredHelperNamesTheAllZeroKeyAndNothingElse) {
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kZeroClassId)));
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kClassId)));

    page.steps.RemoveBrowserHelper();  // no "tageturl.dll" either

    EXPECT_FALSE(HelperKeyExists(kZeroClassId));
    EXPECT_TRUE(HelperKeyExists(kClassId));
    EXPECT_TRUE(HelperKeyExists(kForeignClassId));
}

TEST_F(ComponentStepsTest, RestoreTextServicesRegistersTheSystemLibrary) {
    const std::wstring library = CopyFixture(systemDir, L"ta_regdll.dll", L"msctf.dll");
    page.steps.RestoreTextServices();
    EXPECT_EQ(ReadText(library + L".log"), "attach\r\nDllRegisterServer\r\ndetach\r\n");
}

TEST_F(ComponentStepsTest, HiddenComponentIsLeftAlone) {
    const std::wstring component = CopyFixture(systemDir, L"ta_regdll.dll", L"tageturl.dll");
    ASSERT_TRUE(::SetFileAttributesW(component.c_str(), FILE_ATTRIBUTE_HIDDEN));
    page.steps.RemoveBrowserHelper();
    EXPECT_EQ(ReadText(component + L".log"), "");
}

TEST(TextFromPointer, CopiesUpTo256UnitsBelow256) {
    std::wstring buffer(255, L'\0');
    ta::RemovalSteps::TextFromPointer(kClassId, buffer);
    EXPECT_EQ(buffer.substr(0, 39), std::wstring(kClassId) + L'\0');
    EXPECT_EQ(buffer.size(), 255u);

    const std::wstring longest(255, L'a');  // 256 units with its terminator
    std::wstring filled(255, L'\0');
    ta::RemovalSteps::TextFromPointer(longest.c_str(), filled);
    EXPECT_EQ(filled.substr(0, 255), longest);

    std::wstring untouched = L"keep";
    const std::wstring tooLong(256, L'a');
    EXPECT_THROW(ta::RemovalSteps::TextFromPointer(tooLong.c_str(), untouched), ta::AppError);
    EXPECT_THROW(ta::RemovalSteps::TextFromPointer(L"{\x0100}", untouched), ta::AppError);
    EXPECT_THROW(ta::RemovalSteps::TextFromPointer(nullptr, untouched), ta::AppError);
    EXPECT_EQ(untouched, L"keep");
}

}  // namespace
