#pragma once
// A 32-bit device-independent bitmap whose pixels the program reads and writes directly while
// the bitmap is selected into a memory device context, so block transfers copy pictures into it
// and out of it. Pixels are four bytes, blue, green, red, alpha; rows run bottom-up, each
// BytesPerScanLine = 4 x Width bytes long.
//
// Errors (AppError): overflow for sizes or results that do not fit, out-of-range for a pixel
// outside the bitmap, a floating-point error for an invalid or too large intermediate value, and
// error 17 from SavePicture when the file cannot be created. Pixels written before an error
// stay written.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ta {

class pcDibSection {
public:
    pcDibSection() = default;
    ~pcDibSection();
    pcDibSection(const pcDibSection&) = delete;
    pcDibSection& operator=(const pcDibSection&) = delete;

    // Painting through the DrawDib service instead of a block transfer. Create keeps the
    // setting; ClearUp (and a failed Create) turns it off.
    bool UseDrawDib() const { return m_drawDib != nullptr; }
    void UseDrawDib(bool bState);

    // Fills the bitmap information for lWidth x lHeight and makes a DIB section on lHDC
    // (this object's pixel address is set). Answers whether hDib was made.
    bool CreateDIB(HDC lHDC, int32_t lWidth, int32_t lHeight, HBITMAP& hDib);
    // Loads a copy of the picture's bitmap; a picture without one leaves the object empty.
    void CreateFromPicture(IPicture* picThis);
    // Loads a copy of the bitmap; a handle that is not a bitmap leaves the object empty.
    void CreateFromHBitmap(HBITMAP hBmp);
    // Empties the object and makes a new lWidth x lHeight bitmap (pixels 0). False on failure.
    bool Create(int32_t lWidth, int32_t lHeight);

    int32_t BytesPerScanLine() const;
    // The last size made; kept after ClearUp.
    int32_t Width() const { return m_info.header.biWidth; }
    int32_t Height() const { return m_info.header.biHeight; }

    // Copies from lHDC at (lSrcLeft, lSrcTop) into this bitmap at (0, 0). A width or height
    // below 0 stands for the bitmap's own.
    void LoadPictureBlt(HDC lHDC, int32_t lSrcLeft = 0, int32_t lSrcTop = 0, int32_t lSrcWidth = -1,
                        int32_t lSrcHeight = -1, DWORD eRop = SRCCOPY);
    // Writes the bitmap as a 32-bit BMP file. Raises error 17 when the file cannot be created;
    // answers false when a write fails or is short (the partial file stays).
    bool SavePicture(const std::wstring& sFileName);
    // Paints the bitmap, unstretched, at (lDestLeft, lDestTop) of lHDC. A width or height below
    // 0 stands for the bitmap's own.
    void PaintPicture(HDC lHDC, int32_t lDestLeft = 0, int32_t lDestTop = 0, int32_t lDestWidth = -1,
                      int32_t lDestHeight = -1, int32_t lSrcLeft = 0, int32_t lSrcTop = 0, DWORD eRop = SRCCOPY);
    // Blends the bitmap (premultiplied per-pixel alpha) onto lHDC with a constant alpha taken
    // modulo 256.
    void AlphaPaintPicture(HDC lHDC, int32_t lDestLeft = 0, int32_t lDestTop = 0, int32_t lDestWidth = -1,
                           int32_t lDestHeight = -1, int32_t lSrcLeft = 0, int32_t lSrcTop = 0,
                           int32_t lConstantAlpha = 255);
    // Software blend of cSrc into cDst at pixel (lDestLeft, lDestTop), counted from cDst's
    // bottom-left corner; -1 for a width or height stands for the smaller of the two bitmaps'.
    // This object takes no part.
    void CodeAlphaBlend(pcDibSection& cDst, const pcDibSection& cSrc, int32_t lDestLeft, int32_t lDestTop,
                        int32_t lDestWidth, int32_t lDestHeight, int32_t SourceConstantAlpha);

    HDC hdc() const { return m_hdc; }
    HBITMAP hDib() const { return m_dib; }
    uint8_t* DIBSectionBitsPtr() const { return m_bits; }

    // Every pixel black with alpha 0 (lAlpha is not used).
    void Clear(int32_t lAlpha = 0);
    // Random premultiplied pixels; grey ones when bGray.
    void RandomiseBits(bool bGray = false);
    // Frees the bitmap and turns DrawDib painting off; Width and Height keep the last size.
    void ClearUp();
    // A new bitmap of the given size, resampled bilinearly (a copy when the size is the same);
    // nullptr when it cannot be made.
    std::unique_ptr<pcDibSection> Resample(int32_t lNewHeight, int32_t lNewWidth) const;
    // Multiplies every pixel's hue, luminance and saturation (the latter two limited to 1).
    void ModifyHLS(double fHue, double fLuminance, double fSaturation);
    // Raises every pixel's luminance by lAmount percent (limited to 1).
    void Lighten(int32_t lAmount);

private:
    bool WriteBitmapFile(const uint8_t* bits, const std::wstring& name);
    static std::wstring ApiErrorText(DWORD number);
    static bool WriteFailed(BOOL result, DWORD requested, DWORD written);
    void ResampleInto(pcDibSection& dst) const;
    template <typename Adjust>
    void AdjustEachPixel(Adjust adjust);
    // Colour arithmetic of the pixel operations. Hue is in sixths of the colour circle (red 0,
    // green 2, blue 4); luminance and saturation are 0 to 1 for colours made from bytes.
    static void HlsFromRgb(int32_t r, int32_t g, int32_t b, float& h, float& s, float& l);
    static void RgbFromHls(float h, float s, float l, int32_t& r, int32_t& g, int32_t& b);
    static float MaxOf3(float a, float b, float c);
    static float MinOf3(float a, float b, float c);

    struct BitmapInfo {
        BITMAPINFOHEADER header;
        RGBQUAD colour;  // the one colour-table entry, never set
    };
    static_assert(sizeof(BitmapInfo) == 44);

    HBITMAP m_dib = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    HDC m_hdc = nullptr;
    HANDLE m_drawDib = nullptr;
    uint8_t* m_bits = nullptr;
    BitmapInfo m_info{};
};

}  // namespace ta
