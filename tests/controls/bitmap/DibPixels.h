#pragma once
// Reading and writing single pixels of a pcDibSection in tests.
#include <array>
#include <cstdint>

#include "controls/bitmap/pcDibSection.h"

namespace ta::test {

using Bgra = std::array<uint8_t, 4>;

// Pixel (x, y) counted in memory rows (row 0 is the bottom line).
inline uint8_t* PixelAddress(const pcDibSection& dib, int x, int y) {
    return dib.DIBSectionBitsPtr() + y * dib.BytesPerScanLine() + 4 * x;
}
inline Bgra Get(const pcDibSection& dib, int x, int y) {
    const uint8_t* p = PixelAddress(dib, x, y);
    return {p[0], p[1], p[2], p[3]};
}
inline void Put(pcDibSection& dib, int x, int y, Bgra value) {
    uint8_t* p = PixelAddress(dib, x, y);
    for (int i = 0; i < 4; ++i) p[i] = value[i];
}
inline void Fill(pcDibSection& dib, Bgra value) {
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) Put(dib, x, y, value);
}

}  // namespace ta::test
