#include "controls/progressbar/ProgressGeometry.h"

#include <cmath>

#include "platform/AppError.h"

namespace ta::progressbar {

Segmentation ClassicSegmentation() { return {kClassicChunk, kClassicSpace}; }

Segmentation ThemedSegmentation(int32_t themeChunk, int32_t themeSpace) {
    return {themeChunk + themeSpace, themeSpace};
}

bool IsHorizontal(int32_t width, int32_t height) { return width > height; }

int32_t RoundHalfEven(double value) {
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    return static_cast<int32_t>(std::nearbyint(value));
}

RECT InnerRect(const RECT& client, int32_t borderStyle, int32_t appearance, bool themed) {
    RECT r = client;
    if (borderStyle > 0) {
        const int32_t inset = themed ? 1 : (appearance == 2 ? 2 : 1);
        ::InflateRect(&r, -inset, -inset);
    }
    return r;
}

double BarFraction(int32_t min, int32_t max, int32_t value) {
    int32_t done = 0;
    int32_t range = 0;
    if (__builtin_sub_overflow(value, min, &done) || __builtin_sub_overflow(max, min, &range)) return 0.0;
    if (range == 0) return value > min ? 1.0 : 0.0;
    const double f = static_cast<double>(done) / range;
    if (f > 1.0) return 1.0;
    if (!(f >= 0.0)) return 0.0;
    return f;
}

int32_t BarPercent(int32_t min, int32_t max, int32_t value) {
    int32_t done = 0;
    int32_t range = 0;
    if (__builtin_sub_overflow(value, min, &done) || __builtin_sub_overflow(max, min, &range)) return 0;
    if (range == 0) return value > min ? 100 : 0;
    // In whole numbers, so 29 of 100 reads 29 and not the 28.999... of a floating-point product.
    const int64_t percent = static_cast<int64_t>(done) * 100 / range;
    return static_cast<int32_t>(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

RECT BarRect(const RECT& inner, double fraction, bool horizontal, int32_t period) {
    RECT b = inner;
    if (horizontal) {
        b.right = RoundHalfEven(inner.left + static_cast<double>(inner.right - inner.left) * fraction);
        if (period != 0) {
            b.right -= (b.right - b.left) % period;
            if (b.right < inner.left) b.right = inner.left;
        }
    } else {
        b.top = RoundHalfEven(inner.top + static_cast<double>(inner.bottom - inner.top) * (1.0 - fraction));
        if (period != 0) {
            // The difference is never positive, so the top only moves down.
            b.top -= (b.top - b.bottom) % period;
            if (b.top > inner.bottom) b.top = inner.bottom;
        }
    }
    return b;
}

std::vector<RECT> SegmentGaps(const RECT& inner, const RECT& bar, bool horizontal, Segmentation seg) {
    std::vector<RECT> gaps;
    const int32_t period = seg.Period();
    if (period <= 0) return gaps;
    RECT g = inner;
    if (horizontal) {
        for (int64_t x = int64_t{bar.left} + seg.chunk; x <= bar.right; x += period) {
            g.left = static_cast<LONG>(x);
            g.right = static_cast<LONG>(x + seg.space);
            gaps.push_back(g);
        }
    } else {
        for (int64_t y = bar.bottom; y >= int64_t{bar.top} + seg.chunk; y -= period) {
            g.top = static_cast<LONG>(y);
            g.bottom = static_cast<LONG>(y + seg.space);
            gaps.push_back(g);
        }
    }
    return gaps;
}

RECT ThemedChunkRect(const RECT& bar) {
    RECT k = bar;
    ::InflateRect(&k, -2, -2);
    k.right += 1;
    k.bottom += 1;
    return k;
}

UINT CaptionFormat(int32_t alignX, int32_t alignY) {
    return static_cast<UINT>(alignX) | DT_SINGLELINE | static_cast<UINT>(alignY) * 4u;
}

std::vector<BorderStroke> BorderStrokes(int32_t appearance, const RECT& e, bool raised) {
    using P = BorderPen;
    if (appearance == 0) {
        return {{P::Black,
                 {e.left, e.top},
                 {{e.right - 1, e.top}, {e.right - 1, e.bottom - 1}, {e.left, e.bottom - 1}, {e.left, e.top}}}};
    }
    if (appearance != 1) return {};
    if (raised) {
        return {{P::Highlight, {e.left, e.bottom - 2}, {{e.left, e.top}, {e.right - 1, e.top}}},
                {P::Shadow, {e.right - 1, e.top}, {{e.right - 1, e.bottom - 1}, {e.left - 1, e.bottom - 1}}}};
    }
    return {{P::Shadow, {e.left, e.bottom - 1}, {{e.left, e.top}, {e.right, e.top}}},
            {P::Highlight, {e.right - 1, e.top + 1}, {{e.right - 1, e.bottom - 1}, {e.left, e.bottom - 1}}}};
}

UINT EdgeKind(bool raised) { return raised ? EDGE_RAISED : EDGE_SUNKEN; }

std::vector<TileCopy> TileCopies(int32_t x, int32_t y, int32_t width, int32_t height, int32_t srcWidth,
                                 int32_t srcHeight, int32_t xOffset, int32_t yOffset) {
    if (srcWidth == 0 || srcHeight == 0) RaiseDivisionByZero();
    std::vector<TileCopy> copies;
    if (srcWidth < 0 || srcHeight < 0) return copies;
    const int64_t right = int64_t{x} + width;
    const int64_t bottom = int64_t{y} + height;
    const int32_t sx0 = static_cast<int32_t>((int64_t{x} + xOffset) % srcWidth);
    const int32_t sy0 = static_cast<int32_t>((int64_t{y} + yOffset) % srcHeight);
    int32_t sy = sy0;
    int64_t rowHeight = int64_t{srcHeight} - sy0;
    for (int64_t dy = y; dy < bottom; dy += rowHeight, sy = 0, rowHeight = srcHeight) {
        if (dy + rowHeight > bottom) rowHeight = bottom - dy;
        int32_t sx = sx0;
        int64_t colWidth = int64_t{srcWidth} - sx0;
        for (int64_t dx = x; dx < right; dx += colWidth, sx = 0, colWidth = srcWidth) {
            if (dx + colWidth > right) colWidth = right - dx;
            copies.push_back({static_cast<int32_t>(dx), static_cast<int32_t>(dy), static_cast<int32_t>(colWidth),
                              static_cast<int32_t>(rowHeight), sx, sy});
        }
    }
    return copies;
}

}  // namespace ta::progressbar
