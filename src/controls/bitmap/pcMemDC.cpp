#include "controls/bitmap/pcMemDC.h"

namespace ta {

pcMemDC::~pcMemDC() { FreeBuffer(); }

HDC pcMemDC::hdc(int32_t Width, int32_t Height) {
    if (m_hdc && Width <= m_width && Height <= m_height) return m_hdc;
    CreateBuffer(Width, Height);
    return m_hdc;
}

void pcMemDC::Draw(HDC hdc, int32_t xSrc, int32_t ySrc, int32_t WidthSrc, int32_t HeightSrc, int32_t xDst,
                   int32_t yDst) {
    if (WidthSrc <= 0) WidthSrc = m_width;
    if (HeightSrc <= 0) HeightSrc = m_height;
    ::BitBlt(hdc, xDst, yDst, WidthSrc, HeightSrc, m_hdc, xSrc, ySrc, SRCCOPY);
}

void pcMemDC::CreateBuffer(int32_t width, int32_t height) {
    FreeBuffer();
    HDC display = ::CreateDCA("DISPLAY", "", "", nullptr);
    if (!display) return;
    bool made = false;
    m_hdc = ::CreateCompatibleDC(display);
    if (m_hdc) {
        // Compatible with the display, not with the memory context (that one is monochrome).
        m_bitmap = ::CreateCompatibleBitmap(display, width, height);
        if (m_bitmap) {
            m_oldBitmap = ::SelectObject(m_hdc, m_bitmap);
            made = m_oldBitmap != nullptr;
        }
    }
    ::DeleteDC(display);
    if (made) {
        m_width = width;
        m_height = height;
    } else {
        FreeBuffer();
    }
}

void pcMemDC::FreeBuffer() {
    if (m_oldBitmap) {
        ::SelectObject(m_hdc, m_oldBitmap);
        m_oldBitmap = nullptr;
    }
    if (m_bitmap) {
        ::DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    if (m_hdc) {
        ::DeleteDC(m_hdc);
        m_hdc = nullptr;
    }
    m_width = 0;
    m_height = 0;
}

}  // namespace ta
