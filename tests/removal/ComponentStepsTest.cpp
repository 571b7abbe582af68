#include <gtest/gtest.h>

#include "platform/AppError.h"
#include "platform/ProgramValues.h"
#include "support/TestRegistry.h"
#include "FileTestKit.h"
#include "FixturePrograms.h"

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

// A page whose system folder is a scratch folder, with the product's browser helper object
// registered or not.
class ComponentStepsTest : public ::testing::Test {
protected:
    ScratchFolder systemDir{CurrentTestFolderName()};
    RecordingPage page;

    void SetUp() override {
        savedSystemDir_ = ta::SystemDir;
        ta::SystemDir = systemDir.path();
        Cleanup();
        ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kForeignClassId)));
    }
    void TearDown() override {
        Cleanup();
        ta::SystemDir = savedSystemDir_;
    }
    static void RegisterProgId() {
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kProgIdKey, L"", L"Tarnil Browser Helper"));
        ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, kProgIdKey + std::wstring(L"\\CLSID"), L"", kClassId));
    }
    static bool HelperKeyExists(const wchar_t* classId) {
        return KeyExists(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(classId));
    }

private:
    static void Cleanup() {
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kProgIdKey);
        for (const wchar_t* id : {kClassId, kZeroClassId, kForeignClassId})
            ta::test::DeleteTree(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(id));
    }
    std::wstring savedSystemDir_;
};

TEST_F(ComponentStepsTest, RemovesTheHelperKeyAndUnregistersItsComponent) {
    RegisterProgId();
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kClassId)));
    const std::wstring component = CopyFixture(systemDir, L"ta_regdll.dll", L"tageturl.dll");

    page.RemoveBrowserHelper();

    EXPECT_FALSE(HelperKeyExists(kClassId));
    EXPECT_TRUE(HelperKeyExists(kForeignClassId));
    EXPECT_EQ(ReadText(component + L".log"), "attach\r\nDllUnregisterServer\r\ndetach\r\n");
}

TEST_F(ComponentStepsTest, UnregisteredHelperNamesTheAllZeroKeyAndNothingElse) {
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kZeroClassId)));
    ASSERT_TRUE(ta::test::CreateKey(HKEY_LOCAL_MACHINE, kHelperKeys + std::wstring(kClassId)));

    page.RemoveBrowserHelper();  // no "tageturl.dll" either

    EXPECT_FALSE(HelperKeyExists(kZeroClassId));
    EXPECT_TRUE(HelperKeyExists(kClassId));
    EXPECT_TRUE(HelperKeyExists(kForeignClassId));
}

TEST_F(ComponentStepsTest, RestoreTextServicesRegistersTheSystemLibrary) {
    const std::wstring library = CopyFixture(systemDir, L"ta_regdll.dll", L"msctf.dll");
    page.RestoreTextServices();
    EXPECT_EQ(ReadText(library + L".log"), "attach\r\nDllRegisterServer\r\ndetach\r\n");
}

TEST_F(ComponentStepsTest, HiddenComponentIsLeftAlone) {
    const std::wstring component = CopyFixture(systemDir, L"ta_regdll.dll", L"tageturl.dll");
    ASSERT_TRUE(::SetFileAttributesW(component.c_str(), FILE_ATTRIBUTE_HIDDEN));
    page.RemoveBrowserHelper();
    EXPECT_EQ(ReadText(component + L".log"), "");
}

TEST(TextFromPointer, CopiesUpTo256UnitsBelow256) {
    RecordingPage page;
    std::wstring buffer(255, L'\0');
    page.TextFromPointer(kClassId, buffer);
    EXPECT_EQ(buffer.substr(0, 39), std::wstring(kClassId) + L'\0');
    EXPECT_EQ(buffer.size(), 255u);

    const std::wstring longest(255, L'a');  // 256 units with its terminator
    std::wstring filled(255, L'\0');
    page.TextFromPointer(longest.c_str(), filled);
    EXPECT_EQ(filled.substr(0, 255), longest);

    std::wstring untouched = L"keep";
    const std::wstring tooLong(256, L'a');
    EXPECT_THROW(page.TextFromPointer(tooLong.c_str(), untouched), ta::AppError);
    EXPECT_THROW(page.TextFromPointer(L"{\x0100}", untouched), ta::AppError);
    EXPECT_THROW(page.TextFromPointer(nullptr, untouched), ta::AppError);
    EXPECT_EQ(untouched, L"keep");
}

}  // namespace
