#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>

#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "removal/CreateShortCut.h"
#include "removal/FileTestKit.h"
#include "platform/Privileges.h"
#include "support/Profiles.h"
#include "support/RecordChecks.h"
#include "support/TestRegistry.h"
#include "support/UnixLinks.h"

namespace {

using ta::test::Exists;
using ta::test::IsFolder;
using ta::test::MakeFile;
using ta::test::ScratchFolder;

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t* const kLocations[] = {L"Startup", L"Desktop", L"Programs"};

// Points the current user's three shell folders at scratch folders; puts the real values back.
class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            saved_[i] = ta::test::ReadValue(HKEY_CURRENT_USER, kShellFolders, kLocations[i]);
            ta::test::MakeFolders(root_ / kLocations[i]);
            ta::test::SetString(HKEY_CURRENT_USER, kShellFolders, kLocations[i], root_ / kLocations[i]);
        }
    }
    void TearDown() override {
        for (int i = 0; i < 3; ++i) {
            if (saved_[i]) {
                ::RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, kLocations[i], saved_[i]->type,
                                  saved_[i]->data.data(), static_cast<DWORD>(saved_[i]->data.size()));
            } else {
                ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, kLocations[i]);
            }
        }
    }
    std::wstring startup() const { return root_ / L"Startup"; }
    std::wstring desktop() const { return root_ / L"Desktop"; }
    std::wstring group() const { return root_ / L"Programs\\타르닐"; }

    ScratchFolder root_{L"Shell"};

private:
    std::optional<ta::test::RawValue> saved_[3];
};

TEST_F(ShortcutsTest, RemovesProductShortcutsAndTheEmptiedGroup) {
    for (const std::wstring& path : {startup() + L"\\타르닐.lnk", desktop() + L"\\타르닐.lnk", group() + L"\\타르닐.lnk",
                                     group() + L"\\타르닐 도움말.lnk", group() + L"\\타르닐 업데이트.lnk"})
        MakeFile(path, 80);
    MakeFile(startup() + L"\\other.lnk", 80);
    MakeFile(desktop() + L"\\타르닐 (2).lnk", 80);
    ta::test::MakeFolders(root_ / L"Programs\\타르닐2");

    CreateShortCut::RemoveShortcuts();

    EXPECT_FALSE(Exists(startup() + L"\\타르닐.lnk"));
    EXPECT_FALSE(Exists(desktop() + L"\\타르닐.lnk"));
    EXPECT_FALSE(Exists(group()));
    EXPECT_TRUE(Exists(startup() + L"\\other.lnk"));
    EXPECT_TRUE(Exists(desktop() + L"\\타르닐 (2).lnk"));
    EXPECT_TRUE(IsFolder(root_ / L"Programs\\타르닐2"));
}

TEST_F(ShortcutsTest, ForeignAndHiddenShortcutsStayAndKeepTheGroup) {
    MakeFile(group() + L"\\타르닐.lnk", 80);
    MakeFile(group() + L"\\타르닐 도움말.lnk", 80, FILE_ATTRIBUTE_READONLY);
    MakeFile(group() + L"\\타르닐 업데이트.lnk", 80);
    MakeFile(group() + L"\\내 게임.lnk", 80);
    MakeFile(desktop() + L"\\타르닐.lnk", 80, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(startup() + L"\\타르닐.lnk", 80, FILE_ATTRIBUTE_SYSTEM);

    CreateShortCut::RemoveShortcuts();

    EXPECT_FALSE(Exists(group() + L"\\타르닐.lnk"));
    EXPECT_FALSE(Exists(group() + L"\\타르닐 업데이트.lnk"));
    EXPECT_TRUE(Exists(group() + L"\\타르닐 도움말.lnk"));  // read-only: deletion fails, nothing cleared
    EXPECT_TRUE(Exists(group() + L"\\내 게임.lnk"));
    EXPECT_TRUE(Exists(desktop() + L"\\타르닐.lnk"));
    EXPECT_TRUE(Exists(startup() + L"\\타르닐.lnk"));
    EXPECT_TRUE(IsFolder(group()));
}

TEST_F(ShortcutsTest, UnreadableOrEmptyLocationSkipsOnlyThatLocation) {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Startup");
    ta::test::SetString(HKEY_CURRENT_USER, kShellFolders, L"Programs", L"");
    MakeFile(desktop() + L"\\타르닐.lnk", 80);
    // An empty "Programs" must not turn into the current drive's root.
    const std::wstring atRoot = L"C:\\타르닐\\타르닐.lnk";
    MakeFile(atRoot, 80);
    {
        ta::test::CurrentFolder onC(root_.path());
        CreateShortCut::RemoveShortcuts();
    }

    EXPECT_FALSE(Exists(desktop() + L"\\타르닐.lnk"));
    EXPECT_TRUE(Exists(atRoot));
    ::DeleteFileW(atRoot.c_str());
    ::RemoveDirectoryW(L"C:\\타르닐");
}

TEST_F(ShortcutsTest, AllUsersFoldersAreNotTouched) {
    std::vector<std::wstring> shared;
    for (int csidl : {CSIDL_COMMON_STARTUP, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS}) {
        wchar_t folder[MAX_PATH];
        ASSERT_EQ(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, folder), S_OK);
        shared.push_back(std::wstring(folder) + (csidl == CSIDL_COMMON_PROGRAMS ? L"\\타르닐\\타르닐.lnk" : L"\\타르닐.lnk"));
    }
    for (const std::wstring& path : shared) ASSERT_TRUE(MakeFile(path, 80));
    MakeFile(desktop() + L"\\타르닐.lnk", 80);

    CreateShortCut::RemoveShortcuts();

    EXPECT_FALSE(Exists(desktop() + L"\\타르닐.lnk"));
    for (const std::wstring& path : shared) {
        EXPECT_TRUE(Exists(path));
        ::DeleteFileW(path.c_str());
    }
    ::RemoveDirectoryW(shared[2].substr(0, shared[2].find_last_of(L'\\')).c_str());
}

// Another person's shortcuts, where that person's own hive says their folders are: the Desktop
// moved out of the profile, the others below its %USERPROFILE%; a folder of theirs that is a link
// to somewhere else is not followed. A third person's hive that names a share, or a folder in the
// second person's profile, is not followed either. A profile without a hive is named with why,
// and no hive stays loaded.
TEST_F(ShortcutsTest, EveryOtherPersonsShortcutsGoWhereTheirOwnHiveSaysAndNoHiveStaysLoaded) {
    const std::wstring other = root_ / L"users\\다른 사람", moved = root_ / L"D\\옮긴 바탕 화면";
    const std::wstring noHive = root_ / L"users\\떠난 사람";
    const std::wstring otherSid = L"S-1-5-21-7-7-7-1001", noHiveSid = L"S-1-5-21-7-7-7-1002";
    const std::wstring third = root_ / L"users\\세 번째", thirdSid = L"S-1-5-21-7-7-7-1003";
    const std::wstring share = L"\\\\127.0.0.1\\share", intoOther = other + L"\\Desktop";
    ta::test::MakeFolders(third);
    ta::test::MakeFolders(other);
    ta::test::MakeFolders(noHive);
    const std::wstring startMenu = L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    const std::wstring linked = other + startMenu + L"\\Startup", victim = root_ / L"victim";
    ta::test::MakeFolders(other + startMenu);
    MakeFile(victim + L"\\타르닐.lnk", 80);
    ASSERT_TRUE(ta::test::MakeUnixLink(victim, linked));
    ASSERT_EQ(ta::test::LayProfile(otherSid, other,
                                   {{L"Startup", L"%USERPROFILE%" + startMenu + L"\\Startup"},
                                    {L"Desktop", moved},
                                    {L"Programs", L"%UserProfile%" + startMenu}}),
              L"");
    ASSERT_EQ(ta::test::LayProfile(noHiveSid, noHive, {}, false), L"");
    ASSERT_EQ(ta::test::LayProfile(thirdSid, third, {{L"Desktop", share}, {L"Startup", intoOther}}), L"");
    const std::wstring otherGroup = other + startMenu + L"\\타르닐";
    const std::wstring product[] = {moved + L"\\타르닐.lnk", otherGroup + L"\\타르닐.lnk", otherGroup + L"\\타르닐 도움말.lnk",
                                    otherGroup + L"\\타르닐 업데이트.lnk"};
    for (const std::wstring& path : product) MakeFile(path, 80);
    MakeFile(otherGroup + L"\\친구 모임.lnk", 80);
    MakeFile(other + L"\\Desktop\\타르닐.lnk", 80);  // where the Desktop was before it moved
    MakeFile(desktop() + L"\\타르닐.lnk", 80);

    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        CreateShortCut::RemoveShortcuts();
    }
    ta::test::RemoveProfile(otherSid);
    ta::test::RemoveProfile(noHiveSid);
    ta::test::RemoveProfile(thirdSid);

    EXPECT_FALSE(Exists(desktop() + L"\\타르닐.lnk")) << "the running account's go as before";
    for (const std::wstring& path : product) EXPECT_FALSE(Exists(path)) << ta::ToUtf8(path);
    EXPECT_TRUE(Exists(otherGroup + L"\\친구 모임.lnk"));
    EXPECT_TRUE(IsFolder(otherGroup)) << "a foreign shortcut keeps the group";
    EXPECT_TRUE(Exists(other + L"\\Desktop\\타르닐.lnk")) << "only the folder the hive names is looked at";
    EXPECT_TRUE(Exists(victim + L"\\타르닐.lnk")) << "their Startup is a link to somebody else's folder";
    const auto link = record.Find(linked);
    EXPECT_TRUE(link && link->outcome == ta::Outcome::Kept && link->keptBy == ta::KeptBy::Link);
    EXPECT_TRUE(ta::test::HivesLoadedAs(L"TaUnInst-").empty());
    // The privileges a borrowed hive needs were on only around its load.
    EXPECT_FALSE(ta::PrivilegeEnabled(SE_BACKUP_NAME));
    EXPECT_FALSE(ta::PrivilegeEnabled(SE_RESTORE_NAME));
    for (const auto& [refused, why] : {std::pair{share, L"not a folder on a drive of this machine"},
                                       std::pair{intoOther, L"it lies in the profile folder of somebody else"}}) {
        const auto entry = record.Find(refused);
        ASSERT_TRUE(entry) << ta::ToUtf8(refused);
        EXPECT_EQ(entry->outcome, ta::Outcome::Kept);
        EXPECT_EQ(entry->detail.rfind(why, 0), 0u) << ta::ToUtf8(entry->detail);
    }
    const auto seen = record.Find(other), missing = record.Find(noHive);
    ASSERT_TRUE(seen && missing) << [&] {
        std::string all;
        for (const auto& e : record.Entries()) all += ta::ToUtf8(e.item + L" " + e.detail) + "\n";
        return all;
    }();
    EXPECT_EQ(seen->outcome, ta::Outcome::Done);
    EXPECT_EQ(missing->outcome, ta::Outcome::Absent);
    EXPECT_EQ(missing->detail, L"no NTUSER.DAT");
    EXPECT_EQ(ta::test::FailuresBesideTheTrace(record), 0u);
}

}  // namespace
