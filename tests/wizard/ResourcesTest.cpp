// The program's own resources, read from the built TaUnInst.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "ui/Picture.h"
#include "ui/ResourceIds.h"
#include "ui/Twips.h"

namespace ta {
namespace {

std::wstring ProgramPath() { return ExeFolder() + L"\\TaUnInst.exe"; }

std::wstring VersionString(const std::vector<BYTE>& info, const std::wstring& name) {
    void* value = nullptr;
    UINT size = 0;
    const std::wstring query = L"\\StringFileInfo\\041204b0\\" + name;
    if (!::VerQueryValueW(info.data(), query.c_str(), &value, &size) || size == 0) return {};
    return static_cast<const wchar_t*>(value);
}

TEST(ResourcesTest, VersionNamesTheProgramInKorean) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(ProgramPath().c_str(), 0, size, info.data()));
    EXPECT_EQ(VersionString(info, L"ProductName"), L"TaSetup");
    EXPECT_EQ(VersionString(info, L"InternalName"), L"TaUnInst");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"TaUnInst.exe");
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.00.0039");

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0412);  // Korean
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module_);
    }
    std::string Bytes(LPCWSTR type, int id) const {
        HRSRC info = ::FindResourceW(module_.get(), MAKEINTRESOURCEW(id), type);
        if (!info) return {};
        const void* data = ::LockResource(::LoadResource(module_.get(), info));
        return std::string(static_cast<const char*>(data), ::SizeofResource(module_.get(), info));
    }
    ModuleHandle module_;
};

TEST_F(ProgramResources, ManifestAsksForCommonControls6AdministratorAndPerMonitorDpi) {
    const std::string manifest = Bytes(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
}

TEST_F(ProgramResources, IconHas16And32PixelImages) {
    const std::string group = Bytes(RT_GROUP_ICON, TA_IDI_APP);
    ASSERT_GE(group.size(), 6u);
    // GRPICONDIR: reserved, type, count; then 14-byte entries starting with width and height.
    const int count = static_cast<unsigned char>(group[4]) | (static_cast<unsigned char>(group[5]) << 8);
    std::set<int> sizes;
    for (int i = 0; i < count && 6 + 14 * (i + 1) <= static_cast<int>(group.size()); ++i) {
        const int width = static_cast<unsigned char>(group[6 + 14 * i]);
        const int height = static_cast<unsigned char>(group[6 + 14 * i + 1]);
        if (width == height) sizes.insert(width);
    }
    EXPECT_TRUE(sizes.count(16));
    EXPECT_TRUE(sizes.count(32));
}

TEST_F(ProgramResources, BannerIsA459By53Gif) {
    const std::string gif = Bytes(TEXT(TA_RT_GIF), TA_IDR_BANNER);
    ASSERT_GE(gif.size(), 10u);
    EXPECT_EQ(gif.substr(0, 3), "GIF");
    EXPECT_EQ(static_cast<unsigned char>(gif[6]) | (static_cast<unsigned char>(gif[7]) << 8), 459);
    EXPECT_EQ(static_cast<unsigned char>(gif[8]) | (static_cast<unsigned char>(gif[9]) << 8), 53);
    auto picture = Picture::FromResource(module_.get(), TA_IDR_BANNER, TEXT(TA_RT_GIF));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->HimetricSize().cx, 12144);
    EXPECT_EQ(picture->HimetricSize().cy, 1402);
    EXPECT_EQ(picture->TwipsSize().cx, 459 * 15);
    EXPECT_EQ(picture->TwipsSize().cy, 53 * 15);
}

}  // namespace
}  // namespace ta
