// pcDibSection: making, loading, painting, saving and freeing the bitmap.
#include "controls/bitmap/pcDibSection.h"

#include <vfw.h>

#include <array>
#include <cstring>

#include "controls/bitmap/PixelView.h"
#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"

namespace ta {
namespace {

// The video drawing service, from the system folder; a section draws through it only with all
// three at hand.
struct DrawDibService {
    decltype(&::DrawDibOpen) open = TA_SYSTEM_FUNCTION(MsVfw32, DrawDibOpen);
    decltype(&::DrawDibDraw) draw = TA_SYSTEM_FUNCTION(MsVfw32, DrawDibDraw);
    decltype(&::DrawDibClose) close = TA_SYSTEM_FUNCTION(MsVfw32, DrawDibClose);
    bool complete() const { return open && draw && close; }
};

const DrawDibService& DrawDib() {
    static const DrawDibService service;
    return service;
}

constexpr int32_t kFileHeaderBytes = 14;
constexpr int32_t kPixelOffset = kFileHeaderBytes + 44;  // file header, information header, one colour entry

void PutLittleEndian(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

pcDibSection::~pcDibSection() { ClearUp(); }

void pcDibSection::UseDrawDib(bool bState) {
    if (bState && !m_drawDib) {
        if (DrawDib().complete()) m_drawDib = DrawDib().open();
    } else if (!bState && m_drawDib) {
        DrawDib().close(static_cast<HDRAWDIB>(m_drawDib));
        m_drawDib = nullptr;
    }
}

bool pcDibSection::CreateDIB(HDC lHDC, int32_t lWidth, int32_t lHeight, HBITMAP& hDib) {
    BITMAPINFOHEADER& h = m_info.header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = lWidth;
    h.biHeight = lHeight;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(CheckedMul(BytesPerScanLine(), lHeight));
    void* bits = nullptr;
    hDib = ::CreateDIBSection(lHDC, reinterpret_cast<BITMAPINFO*>(&m_info), DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<uint8_t*>(bits);
    return hDib != nullptr;
}

void pcDibSection::CreateFromPicture(IPicture* picThis) {
    OLE_HANDLE handle = 0;
    if (picThis) picThis->get_Handle(&handle);
    CreateFromHBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
}

void pcDibSection::CreateFromHBitmap(HBITMAP hBmp) {
    BITMAP description{};
    ::GetObjectW(hBmp, sizeof(description), &description);
    if (!Create(description.bmWidth, description.bmHeight)) return;
    MemoryDC temporary;
    {
        WindowDC screen(::GetDesktopWindow());
        if (!screen) return;
        temporary.reset(::CreateCompatibleDC(screen.get()));
    }
    if (!temporary) return;
    SelectedObject picture(temporary.get(), hBmp);
    LoadPictureBlt(temporary.get(), 0, 0, -1, -1, SRCCOPY);
}

bool pcDibSection::Create(int32_t lWidth, int32_t lHeight) {
    const bool drawDib = UseDrawDib();
    ClearUp();
    m_hdc = ::CreateCompatibleDC(nullptr);
    if (!m_hdc) return false;
    bool made = false;
    try {
        made = CreateDIB(m_hdc, lWidth, lHeight, m_dib);
    } catch (...) {
        // A size that overflows: the object stays empty rather than holding a bare context.
        ::DeleteDC(m_hdc);
        m_hdc = nullptr;
        throw;
    }
    if (!made) {
        ::DeleteDC(m_hdc);
        m_hdc = nullptr;
        return false;
    }
    m_oldBitmap = ::SelectObject(m_hdc, m_dib);
    UseDrawDib(drawDib);
    return true;
}

int32_t pcDibSection::BytesPerScanLine() const { return CheckedMul(4, Width()); }

void pcDibSection::LoadPictureBlt(HDC lHDC, int32_t lSrcLeft, int32_t lSrcTop, int32_t lSrcWidth,
                                  int32_t lSrcHeight, DWORD eRop) {
    if (lSrcWidth < 0) lSrcWidth = Width();
    if (lSrcHeight < 0) lSrcHeight = Height();
    ::BitBlt(m_hdc, 0, 0, lSrcWidth, lSrcHeight, lHDC, lSrcLeft, lSrcTop, eRop);
}

bool pcDibSection::SavePicture(const std::wstring& sFileName) { return WriteBitmapFile(m_bits, sFileName); }

bool pcDibSection::WriteBitmapFile(const uint8_t* bits, const std::wstring& name) {
    const DWORD imageSize = m_info.header.biSizeImage;
    const int32_t fileSize = CheckedAdd(static_cast<int32_t>(imageSize), kPixelOffset);
    FileHandle file(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD lastError = ::GetLastError();
    if (!file) {
        throw AppError(ErrorNumber::CannotPerform, ExeName() + L".cDIBSection", ApiErrorText(lastError));
    }

    std::array<uint8_t, kFileHeaderBytes> fileHeader{};
    fileHeader[0] = 'B';
    fileHeader[1] = 'M';
    PutLittleEndian(&fileHeader[2], static_cast<uint32_t>(fileSize));
    PutLittleEndian(&fileHeader[10], kPixelOffset);

    DWORD written = 0;
    BOOL result = ::WriteFile(file.get(), fileHeader.data(), kFileHeaderBytes, &written, nullptr);
    if (WriteFailed(result, kFileHeaderBytes, written)) return false;
    result = ::WriteFile(file.get(), &m_info, sizeof(m_info), &written, nullptr);
    if (WriteFailed(result, sizeof(m_info), written)) return false;
    written = 0;
    result = ::WriteFile(file.get(), bits, imageSize, &written, nullptr);
    return !WriteFailed(result, imageSize, written);
}

std::wstring pcDibSection::ApiErrorText(DWORD number) {
    // The system's text as the ANSI call gives it: at most 256 bytes, line break included.
    char buffer[256] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number, 0,
                                     buffer, sizeof(buffer), nullptr);
    std::wstring text;
    if (n > 0) {
        const int wide = ::MultiByteToWideChar(CP_ACP, 0, buffer, static_cast<int>(n), nullptr, 0);
        text.resize(wide);
        ::MultiByteToWideChar(CP_ACP, 0, buffer, static_cast<int>(n), text.data(), wide);
    }
    return text;
}

bool pcDibSection::WriteFailed(BOOL result, DWORD requested, DWORD written) {
    return !(result && requested == written);
}

void pcDibSection::PaintPicture(HDC lHDC, int32_t lDestLeft, int32_t lDestTop, int32_t lDestWidth,
                                int32_t lDestHeight, int32_t lSrcLeft, int32_t lSrcTop, DWORD eRop) {
    const int32_t w = lDestWidth < 0 ? Width() : lDestWidth;
    const int32_t h = lDestHeight < 0 ? Height() : lDestHeight;
    if (m_drawDib) {
        DrawDib().draw(static_cast<HDRAWDIB>(m_drawDib), lHDC, lDestLeft, lDestTop, w, h, &m_info.header, m_bits,
                       lSrcLeft, lSrcTop, w, h, 0);
    } else {
        ::BitBlt(lHDC, lDestLeft, lDestTop, w, h, m_hdc, lSrcLeft, lSrcTop, eRop);
    }
}

void pcDibSection::AlphaPaintPicture(HDC lHDC, int32_t lDestLeft, int32_t lDestTop, int32_t lDestWidth,
                                     int32_t lDestHeight, int32_t lSrcLeft, int32_t lSrcTop,
                                     int32_t lConstantAlpha) {
    const int32_t w = lDestWidth < 0 ? Width() : lDestWidth;
    const int32_t h = lDestHeight < 0 ? Height() : lDestHeight;
    BLENDFUNCTION blend{};
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = static_cast<BYTE>(lConstantAlpha & 0xFF);
    blend.AlphaFormat = AC_SRC_ALPHA;
    static const auto alphaBlend = TA_SYSTEM_FUNCTION(MsImg32, AlphaBlend);
    if (alphaBlend) alphaBlend(lHDC, lDestLeft, lDestTop, w, h, m_hdc, lSrcLeft, lSrcTop, w, h, blend);
}

void pcDibSection::ClearUp() {
    if (m_hdc) {
        if (m_dib) {
            ::SelectObject(m_hdc, m_oldBitmap);
            ::DeleteObject(m_dib);
        }
        ::DeleteDC(m_hdc);
    }
    m_hdc = nullptr;
    m_dib = nullptr;
    m_oldBitmap = nullptr;
    m_bits = nullptr;
    UseDrawDib(false);
}

}  // namespace ta
