#include <gtest/gtest.h>
#include <olectl.h>

#include <array>
#include <fstream>
#include <iterator>
#include <vector>

#include "controls/bitmap/DibPixels.h"
#include "controls/bitmap/pcDibSection.h"
#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/ComPtr.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace {

using ta::pcDibSection;

using ta::test::Bgra;
using ta::test::Fill;
using ta::test::Get;
using ta::test::Put;

// A display-compatible bitmap of the given size filled with one colour.
ta::GdiObject SolidBitmap(int width, int height, COLORREF colour) {
    ta::WindowDC screen(nullptr);
    ta::GdiObject bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    ta::MemoryDC dc(::CreateCompatibleDC(screen.get()));
    ta::SelectedObject selected(dc.get(), bitmap.get());
    RECT all{0, 0, width, height};
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc.get(), &all, brush);
    ::DeleteObject(brush);
    return bitmap;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

std::vector<uint8_t> ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(pcDibSectionLifecycle, CreateMakesAZeroedBitmapAndClearUpKeepsTheSize) {
    pcDibSection dib;
    EXPECT_EQ(dib.hdc(), nullptr);
    ASSERT_TRUE(dib.Create(3, 2));
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.BytesPerScanLine(), 12);
    EXPECT_NE(dib.hdc(), nullptr);
    EXPECT_NE(dib.hDib(), nullptr);
    ASSERT_NE(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(::GetCurrentObject(dib.hdc(), OBJ_BITMAP), dib.hDib());
    for (int i = 0; i < 24; ++i) EXPECT_EQ(dib.DIBSectionBitsPtr()[i], 0);

    dib.ClearUp();
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.Height(), 2);
    EXPECT_EQ(dib.hdc(), nullptr);
    EXPECT_EQ(dib.hDib(), nullptr);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
}

TEST(pcDibSectionLifecycle, ASizeThatOverflowsRaisesOverflowAndLeavesTheObjectEmpty) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(2, 2));
    for (auto [w, h] : {std::pair{0x20000000, 1}, std::pair{0x10000, 0x10000}}) {
        try {
            dib.Create(w, h);
            ADD_FAILURE() << w << " x " << h << " raised nothing";
        } catch (const ta::AppError& e) {
            EXPECT_EQ(e.number(), ta::ErrorNumber::Overflow);
        }
        EXPECT_EQ(dib.hdc(), nullptr);
        EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    }
}

TEST(pcDibSectionLifecycle, UseDrawDibSurvivesCreateButNotAFailedCreate) {
    pcDibSection dib;
    EXPECT_FALSE(dib.UseDrawDib());
    dib.UseDrawDib(true);
    EXPECT_TRUE(dib.UseDrawDib());
    ASSERT_TRUE(dib.Create(4, 4));
    EXPECT_TRUE(dib.UseDrawDib());
    dib.UseDrawDib(false);
    EXPECT_FALSE(dib.UseDrawDib());

    dib.UseDrawDib(true);
    EXPECT_FALSE(dib.Create(-4, 4));
    EXPECT_FALSE(dib.UseDrawDib());
    EXPECT_EQ(dib.hdc(), nullptr);

    dib.UseDrawDib(true);
    dib.ClearUp();
    EXPECT_FALSE(dib.UseDrawDib());
}

TEST(pcDibSectionLifecycle, CreateFromHBitmapCopiesThePictureAndZeroEmptiesTheObject) {
    ta::GdiObject source = SolidBitmap(5, 3, RGB(10, 20, 30));
    pcDibSection dib;
    dib.CreateFromHBitmap(static_cast<HBITMAP>(source.get()));
    ASSERT_NE(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 3);
    ::GdiFlush();
    EXPECT_EQ(Get(dib, 0, 0), (Bgra{30, 20, 10, 0}));
    EXPECT_EQ(Get(dib, 4, 2), (Bgra{30, 20, 10, 0}));

    dib.CreateFromHBitmap(nullptr);
    EXPECT_EQ(dib.hdc(), nullptr);
    EXPECT_EQ(dib.hDib(), nullptr);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
}

TEST(pcDibSectionLifecycle, CreateFromPictureTakesThePicturesBitmap) {
    ta::GdiObject source = SolidBitmap(6, 2, RGB(200, 100, 50));
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = static_cast<HBITMAP>(source.get());
    ta::ComPtr<IPicture> picture;
    ASSERT_EQ(::OleCreatePictureIndirect(&desc, IID_IPicture, FALSE, picture.put_void()), S_OK);

    pcDibSection dib;
    dib.CreateFromPicture(picture.get());
    ASSERT_NE(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.Width(), 6);
    EXPECT_EQ(dib.Height(), 2);
    ::GdiFlush();
    EXPECT_EQ(Get(dib, 5, 1), (Bgra{50, 100, 200, 0}));
}

TEST(pcDibSectionPainting, PaintPictureCopiesUnstretchedOnBothPaths) {
    for (bool drawDib : {false, true}) {
        SCOPED_TRACE(drawDib ? "DrawDib" : "BitBlt");
        pcDibSection source;
        ASSERT_TRUE(source.Create(3, 2));
        Fill(source, {1, 2, 3, 0});
        source.UseDrawDib(drawDib);
        pcDibSection target;
        ASSERT_TRUE(target.Create(8, 8));

        source.PaintPicture(target.hdc(), 4, 4, 0, 0, 0, 0, SRCCOPY);
        ::GdiFlush();
        EXPECT_EQ(::GetPixel(target.hdc(), 4, 4), RGB(0, 0, 0)) << "0 x 0 paints nothing";

        source.PaintPicture(target.hdc(), 2, 1, -1, -1, 0, 0, SRCCOPY);
        ::GdiFlush();
        EXPECT_EQ(::GetPixel(target.hdc(), 2, 1), RGB(3, 2, 1));
        EXPECT_EQ(::GetPixel(target.hdc(), 4, 2), RGB(3, 2, 1));
        EXPECT_EQ(::GetPixel(target.hdc(), 5, 2), RGB(0, 0, 0));
        EXPECT_EQ(::GetPixel(target.hdc(), 4, 3), RGB(0, 0, 0));
    }
}

TEST(pcDibSectionPainting, AlphaPaintPictureTakesTheConstantAlphaModulo256) {
    pcDibSection source;
    ASSERT_TRUE(source.Create(2, 2));
    Fill(source, {255, 255, 255, 255});
    pcDibSection target;
    ASSERT_TRUE(target.Create(4, 4));

    source.AlphaPaintPicture(target.hdc(), 1, 1, -1, -1, 0, 0, 300);
    ::GdiFlush();
    const Bgra blended = Get(target, 1, 2);
    EXPECT_EQ(blended[0], 44);
    EXPECT_EQ(blended[1], 44);
    EXPECT_EQ(blended[2], 44);
    EXPECT_EQ(Get(target, 0, 0), (Bgra{0, 0, 0, 0}));
}

TEST(pcDibSectionSave, WritesA58ByteHeaderThatTheSystemReadsBack) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(2, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            Put(dib, x, y, {uint8_t(10 * x + y), uint8_t(50 + y), uint8_t(100 + x), 255});
    const std::wstring path = TempPath(L"ta_bitmap_save.bmp");
    ASSERT_TRUE(dib.SavePicture(path));

    const std::vector<uint8_t> file = ReadAll(path);
    ASSERT_EQ(file.size(), 82u);
    // File header, information header, one zero colour entry; the rest of the 58 bytes is 0.
    uint8_t header[58] = {'B', 'M', 82, 0, 0, 0, 0, 0, 0, 0, 58, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                          3, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 24};
    EXPECT_TRUE(std::equal(header, header + 58, file.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 58, file.end(), dib.DIBSectionBitsPtr()));

    // An independent reader: the system's own image loading.
    ta::GdiObject loaded(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_TRUE(loaded);
    DIBSECTION section{};
    ASSERT_EQ(::GetObjectW(loaded.get(), sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmWidth, 2);
    EXPECT_EQ(section.dsBm.bmHeight, 3);
    ta::WindowDC screen(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> pixels(24);
    ASSERT_EQ(::GetDIBits(screen.get(), static_cast<HBITMAP>(loaded.get()), 0, 3, pixels.data(), &info,
                          DIB_RGB_COLORS),
              3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 4 == 3) continue;  // the reader's alpha is its own
        EXPECT_EQ(pixels[i], dib.DIBSectionBitsPtr()[i]) << "byte " << i;
    }
    ::DeleteFileW(path.c_str());
}

TEST(pcDibSectionSave, AFileThatCannotBeCreatedRaisesError17WithTheSystemsText) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(2, 2));
    const std::wstring path = TempPath(L"ta_bitmap_no_such_folder\\picture.bmp");
    try {
        dib.SavePicture(path);
        FAIL() << "no error";
    } catch (const ta::AppError& e) {
        EXPECT_EQ(e.code(), 17);
        EXPECT_EQ(e.source(), ta::ExeName() + L".cDIBSection");
        char expected[256] = {};
        const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                         ERROR_PATH_NOT_FOUND, 0, expected, sizeof(expected), nullptr);
        ASSERT_GT(n, 0u);
        EXPECT_EQ(e.description(), ta::FromAnsi(std::string(expected, n)));
    }
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
