#include <gtest/gtest.h>

#include "FixturePrograms.h"
#include "platform/Text.h"
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

// A crash ends only the component's own process: nothing of it is loaded here, and its file can
// be deleted at once.
TEST_F(RegSvr32Test, ACrashingEntryPointEndsOnlyItsProcess) {
    const std::wstring crashing = Component(L"ta_regdll_crash.dll");
    const RegSvr32::EntryPointCall call = RegSvr32::CallEntryPoint(crashing, false);
    EXPECT_EQ(call.Describe(), L"DllRegisterServer crashed: exception 0xC0000005");
    EXPECT_EQ(ReadText(crashing + L".log"), "attach\r\nDllRegisterServer\r\n");
    EXPECT_FALSE(Loaded(crashing));
    EXPECT_TRUE(::DeleteFileW(crashing.c_str()));

    const std::wstring next = Component(L"ta_regdll.dll", L"next.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(next, false)));
}

// An entry point that never returns, and a DllMain that never returns (it holds the loader's lock
// of the process it is loaded into), both end with their process after the one limit for load and
// call; this process loads and starts what it likes right after.
TEST_F(RegSvr32Test, WhatNeverReturnsIsEndedAfterTheLimit) {
    const struct {
        const wchar_t* fixture;
        const char* logged;
    } cases[] = {{L"ta_regdll_block.dll", "attach\r\nDllUnregisterServer\r\n"}, {L"ta_regdll_hangload.dll", "attach\r\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(ta::ToUtf8(c.fixture));
        const std::wstring blocking = Component(c.fixture, std::wstring(L"never-") + c.fixture);
        const ULONGLONG start = ::GetTickCount64();
        const RegSvr32::EntryPointCall call = RegSvr32::CallEntryPoint(blocking, true);
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        EXPECT_EQ(call.Describe(), L"DllUnregisterServer did not return within 10 s");
        EXPECT_GE(elapsed, 9500u);
        EXPECT_LT(elapsed, 15000u);  // the component itself would answer after 60 s
        EXPECT_EQ(ReadText(blocking + L".log"), c.logged);
        EXPECT_FALSE(Loaded(blocking));
        EXPECT_TRUE(::DeleteFileW(blocking.c_str()));
    }
    const std::wstring next = Component(L"ta_regdll.dll", L"next.dll");
    EXPECT_TRUE(Returned(RegSvr32::CallEntryPoint(next, false)));
}

// The program started by hand with the host's switch does that one thing for the full path of an
// ordinary file, and for nothing else: 87, and nothing is loaded.
TEST_F(RegSvr32Test, TheHostSwitchTakesOnlyTheFullPathOfAnOrdinaryFile) {
    const std::wstring dll = Component(L"ta_regdll.dll");
    ::SetCurrentDirectoryW(folder.path().c_str());
    const std::wstring entry = L"/component-entry=DllRegisterServer ";
    for (const std::wstring& arguments :
         {entry + L"component.dll", entry + L"\"" + folder.path() + L"\"", entry + L"\"" + dll + L"\" extra",
          std::wstring(L"/component-entry=DllMain \"") + dll + L"\"", entry + L"\"\\\\?\\" + dll + L"\""}) {
        SCOPED_TRACE(ta::ToUtf8(arguments));
        EXPECT_EQ(ta::test::fixtures::RunProgram(L"TaUnInst.exe", arguments), 87u);
    }
    EXPECT_EQ(ReadText(dll + L".log"), "");
    EXPECT_EQ(ta::test::fixtures::RunProgram(L"TaUnInst.exe", entry + L"\"" + dll + L"\""), 0u);
    EXPECT_EQ(ReadText(dll + L".log"), "attach\r\nDllRegisterServer\r\ndetach\r\n");
}

}  // namespace
