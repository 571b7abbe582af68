#pragma once
// An off-screen drawing surface: a memory device context holding a display-compatible bitmap.
// It grows on demand and is reused between paints, so a control can draw itself completely in
// memory and copy the finished picture to the screen in one block transfer.
#include <windows.h>

#include <cstdint>

namespace ta {

class pcMemDC {
public:
    pcMemDC() = default;
    ~pcMemDC();
    pcMemDC(const pcMemDC&) = delete;
    pcMemDC& operator=(const pcMemDC&) = delete;

    // The surface, at least Width x Height pixels: kept (with what was drawn on it) while the
    // request fits, otherwise re-created at exactly the requested size. 0 when it cannot be made.
    HDC hdc(int32_t Width, int32_t Height);

    // Copies WidthSrc x HeightSrc pixels from (xSrc, ySrc) of the surface to (xDst, yDst) of hdc.
    // A width or height of 0 or less stands for the surface's own.
    void Draw(HDC hdc, int32_t xSrc = 0, int32_t ySrc = 0, int32_t WidthSrc = 0, int32_t HeightSrc = 0,
              int32_t xDst = 0, int32_t yDst = 0);

private:
    void CreateBuffer(int32_t width, int32_t height);
    void FreeBuffer();

    // Either all three handles are set and the size is the one the bitmap was made with,
    // or every field is 0.
    HDC m_hdc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
};

}  // namespace ta
