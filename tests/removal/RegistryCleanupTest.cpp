#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Handles.h"
#include "removal/TarnilSet.h"
#include "removal/mRegistery.h"
#include "support/TestRegistry.h"

namespace {

using ta::test::CreateKey;
using ta::test::KeyExists;
using ta::test::ScratchKey;

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil";
const wchar_t kExtensionKey[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{7A3E51C2-94B0-4F6D-8E21-D5C0B9A4F316}";

TEST(KeyTree, CollectsBreadthFirstEachKeyAfterItsParent) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Tree");
    const std::wstring base = scratch.path();
    for (const wchar_t* sub : {L"\\b\\b1\\b11", L"\\a\\a1", L"\\a\\a2", L"\\c"}) CreateKey(HKEY_LOCAL_MACHINE, base + sub);

    const std::vector<std::wstring> keys = mRegistery::CollectKeyTree(HKEY_LOCAL_MACHINE, base);
    const std::vector<std::wstring> expected = {base,          base + L"\\a",     base + L"\\b",
                                                base + L"\\c", base + L"\\a\\a1", base + L"\\a\\a2",
                                                base + L"\\b\\b1", base + L"\\b\\b1\\b11"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(mRegistery::CollectKeyTree(HKEY_LOCAL_MACHINE, base + L"\\missing"),
              std::vector<std::wstring>{base + L"\\missing"});
}

TEST(KeyTree, DeletesWholeTreeAndLeavesSiblings) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Delete");
    const std::wstring base = scratch.path();
    CreateKey(HKEY_LOCAL_MACHINE, base + L"\\product\\x\\y\\z");
    CreateKey(HKEY_LOCAL_MACHINE, base + L"\\product\\w");
    CreateKey(HKEY_LOCAL_MACHINE, base + L"\\productForeign\\keep");
    mRegistery::DeleteKeyTree(HKEY_LOCAL_MACHINE, base + L"\\product");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\product"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\productForeign\\keep"));
}

TEST(KeyTree, DeletesARegistryLinkAsALinkAndNeverFollowsIt) {
    ScratchKey scratch(HKEY_LOCAL_MACHINE, L"Linked");
    const std::wstring base = scratch.path();
    CreateKey(HKEY_LOCAL_MACHINE, base + L"\\foreign\\settings");
    CreateKey(HKEY_LOCAL_MACHINE, base + L"\\product\\own");
    // Where the foreign key really is, for the link's target: the view this program sees.
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    const std::wstring target = std::wstring(L"\\REGISTRY\\MACHINE\\SOFTWARE\\") + (wow64 ? L"Wow6432Node\\" : L"") +
                                base.substr(std::wstring(L"SOFTWARE\\").size()) + L"\\foreign";
    ta::RegKey link;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (base + L"\\product\\link").c_str(), 0, nullptr,
                                REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                                link.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                               reinterpret_cast<const BYTE*>(target.data()),
                               static_cast<DWORD>(target.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    link.reset();
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\product\\link\\settings")) << "the link leads to the key";

    mRegistery::DeleteKeyTree(HKEY_LOCAL_MACHINE, base + L"\\product");

    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\foreign\\settings"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\product\\own"));
    // The link went with the tree, so the tree itself could go.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, base + L"\\product"));
}

// Runs the whole cleanup against a product installed in the prefix's registry.
class RemoveRegistryEntriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla");
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MorlaOther");
    }
    void TearDown() override {
        ta::test::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MorlaOther");
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Tarnil");
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Foreign");
    }
};

TEST_F(RemoveRegistryEntriesTest, RemovesEverythingOfOursAndNothingElse) {
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla\\PROGRAM\\deep\\deeper");
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla\\WWW\\a");
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla\\Unlisted\\b\\c");
    ta::test::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla", L"PID", L"pid");
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MorlaOther\\keep");
    CreateKey(HKEY_LOCAL_MACHINE, kUninstallKey);
    CreateKey(HKEY_LOCAL_MACHINE, kExtensionKey);
    ta::test::SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Tarnil", L"C:\\Program Files\\Tarnil\\tasuf.exe");
    ta::test::SetString(HKEY_LOCAL_MACHINE, kRunKey, L"Foreign", L"foreign.exe");

    TarnilSet::RemoveRegistryEntries();

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kExtensionKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\MorlaOther\\keep"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    const auto run = ta::test::ReadValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tarnil");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Tarnil"), L"");
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Foreign"), L"foreign.exe");
}

TEST_F(RemoveRegistryEntriesTest, MissingProductKeyStillEmptiesTheAutorunValue) {
    TarnilSet::RemoveRegistryEntries();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morla"));
    EXPECT_EQ(ta::test::ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Tarnil"), L"");
}

}  // namespace
