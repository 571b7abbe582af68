#pragma once
// The pixel memory of a DIB section seen as a two-dimensional byte array, and the checked number
// conversions the pixel operations use. Pure arithmetic; no system calls.
#include <cmath>
#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/AppError.h"

namespace ta {

// Byte (x, y) is at bits + y * rowBytes + x; row 0 is the first row in memory (the bottom line
// of the picture). Every access is checked; an index outside the view raises out-of-range.
class PixelView {
public:
    PixelView() = default;
    PixelView(uint8_t* bits, int32_t rowBytes, int32_t rows) noexcept
        : bits_(bits), rowBytes_(bits && rowBytes > 0 && rows > 0 ? rowBytes : 0),
          rows_(bits && rowBytes > 0 && rows > 0 ? rows : 0) {}

    int32_t RowBytes() const noexcept { return rowBytes_; }
    int32_t Rows() const noexcept { return rows_; }

    uint8_t& operator()(int32_t x, int32_t y) const {
        // One unsigned compare each covers both ends.
        if (static_cast<uint32_t>(x) >= static_cast<uint32_t>(rowBytes_) ||
            static_cast<uint32_t>(y) >= static_cast<uint32_t>(rows_))
            RaiseOutOfRange();
        return bits_[static_cast<uint32_t>(y) * static_cast<uint32_t>(rowBytes_) + static_cast<uint32_t>(x)];
    }

private:
    uint8_t* bits_ = nullptr;
    int32_t rowBytes_ = 0;
    int32_t rows_ = 0;
};

// Integer arithmetic that raises overflow instead of wrapping.
inline int32_t CheckedMul(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) RaiseOverflow();
    return r;
}
inline int32_t CheckedAdd(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r)) RaiseOverflow();
    return r;
}

// A value stored in single precision; an invalid value (NaN) or one too large for single
// precision raises the floating-point error.
inline float ToSingle(double v) {
    const float f = static_cast<float>(v);
    if (!std::isfinite(f)) RaiseFloatingPoint();
    return f;
}

// Rounds to the nearest 32-bit integer, halves to the even neighbour (the default rounding
// mode); overflow outside the 32-bit range, floating-point error for NaN.
inline int32_t RoundToLong(double v) {
    if (v != v) RaiseFloatingPoint();
    if (!(v >= -2147483648.5 && v < 2147483647.5)) RaiseOverflow();
#ifdef __SSE2__
    return _mm_cvtsd_si32(_mm_set_sd(v));  // nearest, halves to even
#else
    return static_cast<int32_t>(std::nearbyint(v));
#endif
}

// A 32-bit integer stored in a byte; overflow outside 0 to 255.
inline uint8_t ToByte(int32_t v) {
    if (static_cast<uint32_t>(v) > 255u) RaiseOverflow();
    return static_cast<uint8_t>(v);
}
inline uint8_t RoundToByte(double v) { return ToByte(RoundToLong(v)); }

}  // namespace ta
