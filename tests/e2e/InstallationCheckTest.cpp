// The checker decides whether a removal was clean: these tests hold it to its verdicts on real
// files, registry values and recorded requests, so a removal that destroys a decoy or leaves the
// product behind can never be reported clean.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Manifest.h"
#include "support/PendingRestartList.h"
#include "support/TestRegistry.h"

using namespace installation;

namespace {

std::wstring TempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

void WriteText(const std::wstring& path, const std::string& text) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool Holds(const Item& item) { return Fulfilled(item, Observe(item)); }

// A request body as the report service records it: escaped once inside its record.
std::string Recorded(const std::string& arguments) {
    std::string body = "<soap:Envelope><soap:Body><Ta_Logon xmlns=\"urn:x\">" + arguments +
                       "</Ta_Logon></soap:Body></soap:Envelope>";
    std::string escaped;
    for (char c : body) {
        if (c == '<') escaped += "&lt;";
        else if (c == '>') escaped += "&gt;";
        else if (c == '&') escaped += "&amp;";
        else if (c == '"') escaped += "&quot;";
        else escaped += c;
    }
    return "<requests><request method=\"GET\" path=\"/x?wsdl\"></request><request method=\"POST\">" + escaped +
           "</request></requests>";
}

}  // namespace

TEST(InstallationCheck, DecoyFileMustKeepItsContent) {
    const std::wstring path = TempPath(L"ta_check_decoy.txt");
    WriteText(path, "foreign");
    Item decoy{L"decoys", Expect::Intact, Kind::File, path, Fingerprint("foreign")};
    EXPECT_TRUE(Holds(decoy));
    WriteText(path, "foreigN");
    EXPECT_FALSE(Holds(decoy)) << "a changed decoy is a fault";
    ::DeleteFileW(path.c_str());
    EXPECT_FALSE(Holds(decoy)) << "a removed decoy is a fault";

    Item product{L"product", Expect::Gone, Kind::File, path, L""};
    EXPECT_TRUE(Holds(product));
    WriteText(path, "left");
    EXPECT_FALSE(Holds(product)) << "a product file left behind is a fault";
    ::DeleteFileW(path.c_str());
}

TEST(InstallationCheck, EmptiedValueMustRemainAsAnEmptyString) {
    ta::test::ScratchKey key(HKEY_LOCAL_MACHINE, L"InstallationCheck");
    const Item autorun{L"autorun", Expect::Emptied, Kind::Value, L"HKLM\\" + key.path() + L"|Tarnil", L""};
    EXPECT_FALSE(Holds(autorun)) << "a deleted value is not an emptied one";
    ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, key.path(), L"Tarnil", L"C:\\tasuf.exe"));
    EXPECT_FALSE(Holds(autorun));
    ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, key.path(), L"Tarnil", L""));
    EXPECT_TRUE(Holds(autorun));
    ASSERT_TRUE(ta::test::SetDword(HKEY_LOCAL_MACHINE, key.path(), L"Tarnil", 0));
    EXPECT_FALSE(Holds(autorun)) << "a number is not an empty string";
}

TEST(InstallationCheck, AFileForTheRestartMustBeMovedAsideAndScheduledThenGone) {
    ta::test::PendingRestartList pendingList;  // put back as it was
    const std::wstring path = TempPath(L"ta_check_pending.txt");
    WriteText(path, "in use");
    const Item item{L"held", Expect::Pending, Kind::File, path, L"", true, true};
    // Left in place, scheduled or not, it would go by a path others may change.
    EXPECT_FALSE(Fulfilled(item, Observe(item), Phase::AfterRemoval));
    ASSERT_TRUE(::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_FALSE(Fulfilled(item, Observe(item), Phase::AfterRemoval));
    // Moved into a private folder at the volume's root, scheduled there, and its folder after it.
    const std::wstring aside = L"C:\\TaUnInst-check";
    const std::wstring moved = aside + L"\\ta_check_pending.txt";
    ASSERT_TRUE(::CreateDirectoryW(aside.c_str(), nullptr));
    ASSERT_TRUE(::MoveFileExW(path.c_str(), moved.c_str(), 0));
    ASSERT_TRUE(::MoveFileExW(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_FALSE(Fulfilled(item, Observe(item), Phase::AfterRemoval)) << "its folder does not wait after it";
    ASSERT_TRUE(::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_FALSE(Fulfilled(item, Observe(item), Phase::AfterRemoval)) << "still scheduled where it was";
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                         L"PendingFileRenameOperations");
    ASSERT_TRUE(::MoveFileExW(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(Fulfilled(item, Observe(item), Phase::AfterRemoval));
    EXPECT_FALSE(Fulfilled(item, Observe(item), Phase::AfterRestart));
    ::DeleteFileW(moved.c_str());
    ::RemoveDirectoryW(aside.c_str());
    EXPECT_TRUE(Fulfilled(item, Observe(item), Phase::AfterRestart));
}

TEST(InstallationCheck, ReportIsReadByPosition) {
    const std::string ten = "<a>TN&amp;1 한글</a><b /><c></c><d/><e/><f/><g/><h/><i>30</i><j/>";
    EXPECT_TRUE(RecordShows(Recorded(ten), L"soap:Ta_Logon|1=TN&1 한글|9=30"));
    EXPECT_FALSE(RecordShows(Recorded(ten), L"soap:Ta_Logon|1=TN&1|9=30")) << "another PID";
    EXPECT_FALSE(RecordShows(Recorded(ten), L"soap:Ta_Logon|1=TN&1 한글|8=30")) << "30 in another place";
    EXPECT_FALSE(RecordShows(Recorded("<a>TN</a>"), L"soap:Ta_Logon|1=TN|9=30")) << "too few arguments";
    EXPECT_FALSE(RecordShows("<requests></requests>", L"soap:Ta_Logon|1=TN|9=30")) << "nothing received";
    EXPECT_TRUE(RecordShows("30000 2000 0\r\n", L"30000 2000 0"));
}

TEST(InstallationCheck, ManifestKeepsEveryFieldAndTheReportCountsFaults) {
    const std::wstring path = TempPath(L"ta_check_manifest.tsv");
    const std::wstring missing = TempPath(L"ta_check_missing_타르닐.txt");
    const std::vector<Item> items = {
        {L"shortcuts 타르닐", Expect::Gone, Kind::File, missing, L"", true, true},
        {L"decoys", Expect::Intact, Kind::File, missing, Fingerprint("x"), true, false},
        {L"processes", Expect::Running, Kind::Process, L"nowhere.exe", L"4", true, true},
    };
    ASSERT_TRUE(WriteManifest(path, items));
    const std::vector<Item> read = ReadManifest(path);
    ASSERT_EQ(read.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(read[i].group, items[i].group);
        EXPECT_EQ(read[i].expect, items[i].expect);
        EXPECT_EQ(read[i].kind, items[i].kind);
        EXPECT_EQ(read[i].target, items[i].target);
        EXPECT_EQ(read[i].detail, items[i].detail);
        EXPECT_EQ(read[i].before, items[i].before);
        EXPECT_EQ(read[i].ours, items[i].ours);
    }
    EXPECT_EQ(PrintReport(read, L"test"), 2) << "the decoy removed and the process ended";
    ::DeleteFileW(path.c_str());
}
