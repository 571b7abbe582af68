#include <gtest/gtest.h>

#include "FixturePrograms.h"
#include "removal/RegSvr32.h"

namespace {

using ta::test::ScratchFolder;
using ta::test::fixtures::CopyFixture;
using ta::test::fixtures::CurrentTestFolderName;
using ta::test::fixtures::ReadText;

bool Loaded(const std::wstring& path) { return ::GetModuleHandleW(path.c_str()) != nullptr; }

// Whether the entry point ran and returned within the limit, whatever result it answered.
bool Returned(const RegSvr32::EntryPointCall& call) { return call.status == RegSvr32::EntryPointCall::Status::Returned; }

class RegSvr32Test : public ::testing::Test {
protected:
    ScratchFolder folder{CurrentTestFolderName()};
    // A copy of a fixture component under a name of the test's own; it records into name.log.
    std::wstring Component(const std::wstring& fixture, const std::wstring& name = L"component.dll") {
        return CopyFixture(folder, fixture, name);
    }
};

TEST_F(RegSvr32Test, RunsEachEntryPointAndReleasesTheLibrary) {
    const std::wstring dll = Component(L"ta_regdll.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(dll, false)));
    EXPECT_FALSE(Loaded(dll));
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(dll, true)));
    EXPECT_FALSE(Loaded(dll));
    EXPECT_EQ(ReadText(dll + L".log"),
              "attach\r\nDllRegisterServer\r\ndetach\r\nattach\r\nDllUnregisterServer\r\ndetach\r\n");
}

TEST_F(RegSvr32Test, AFailureCodeStillCountsAsRun) {
    const std::wstring dll = Component(L"ta_regdll_fail.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(dll, true)));
    EXPECT_FALSE(Loaded(dll));
    EXPECT_EQ(ReadText(dll + L".log"), "attach\r\nDllUnregisterServer\r\ndetach\r\n");
}

TEST_F(RegSvr32Test, WithoutTheEntryPointTheLibraryIsLoadedAndReleased) {
    const std::wstring dll = Component(L"ta_regdll_noexport.dll");
    EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(dll, true)));
    EXPECT_FALSE(Loaded(dll));
    EXPECT_EQ(ReadText(dll + L".log"), "attach\r\ndetach\r\n");
}

TEST_F(RegSvr32Test, NoOrdinaryFileIsNeverLoaded) {
    EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(folder / L"missing.dll", false)));
    EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(folder.path(), false)));
    for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        const std::wstring dll = Component(L"ta_regdll.dll", L"marked" + std::to_wstring(attribute) + L".dll");
        ASSERT_TRUE(::SetFileAttributesW(dll.c_str(), attribute));
        EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(dll, false)));
        EXPECT_EQ(ReadText(dll + L".log"), "");
    }
    // Read-only files count.
    const std::wstring readOnly = Component(L"ta_regdll.dll", L"readonly.dll");
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(readOnly, false)));
}

TEST_F(RegSvr32Test, ACrashingEntryPointEndsOnlyItsWorker) {
    const std::wstring crashing = Component(L"ta_regdll_crash.dll");
    EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(crashing, false)));
    EXPECT_EQ(ReadText(crashing + L".log"), "attach\r\nDllRegisterServer\r\n");
    EXPECT_TRUE(Loaded(crashing));  // left as it is

    const std::wstring next = Component(L"ta_regdll.dll", L"next.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(next, false)));
}

TEST_F(RegSvr32Test, AnEntryPointThatNeverReturnsIsLeftAfterTheLimit) {
    const std::wstring blocking = Component(L"ta_regdll_block.dll");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(Returned(RegSvr32::CallEntryPoint(blocking, true)));
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_GE(elapsed, 9500u);
    EXPECT_LT(elapsed, 50000u);  // the component itself would answer after 60 s
    EXPECT_EQ(ReadText(blocking + L".log"), "attach\r\nDllUnregisterServer\r\n");
    EXPECT_TRUE(Loaded(blocking));  // its worker is still inside it

    const std::wstring next = Component(L"ta_regdll.dll", L"next.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(next, false)));
}

}  // namespace
