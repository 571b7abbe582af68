// pcDibSection: the operations that work directly on the pixel memory.
#include <algorithm>
#include <cmath>
#include <ctime>
#include <random>

#include "controls/bitmap/PixelView.h"
#include "controls/bitmap/pcDibSection.h"

namespace ta {
namespace {

PixelView ViewOf(const pcDibSection& dib) {
    uint8_t* bits = dib.DIBSectionBitsPtr();
    // Without pixel memory the view is empty and every loop runs over zero bytes.
    if (!bits) return PixelView();
    return PixelView(bits, dib.BytesPerScanLine(), dib.Height());
}

// Uniform draws in 0 <= r < 1, seeded from the seconds since midnight.
class RandomDraws {
public:
    RandomDraws() : engine_(SecondsSinceMidnight()) {}
    double Next() { return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0); }

private:
    static uint32_t SecondsSinceMidnight() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_s(&local, &now);
        return static_cast<uint32_t>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
    }
    std::mt19937 engine_;
};

}  // namespace

void pcDibSection::Clear(int32_t /*lAlpha*/) {
    const PixelView px = ViewOf(*this);
    for (int32_t x = 0; x + 3 < px.RowBytes(); x += 4) {
        for (int32_t y = 0; y < px.Rows(); ++y) {
            px(x + 3, y) = 0;
            px(x, y) = 0;
            px(x + 1, y) = 0;
            px(x + 2, y) = 0;
        }
    }
}

void pcDibSection::RandomiseBits(bool bGray) {
    const PixelView px = ViewOf(*this);
    RandomDraws random;
    for (int32_t y = 0; y < px.Rows(); ++y) {
        for (int32_t x = 0; x + 3 < px.RowBytes(); x += 4) {
            if (bGray) {
                const int32_t grey = RoundToLong(random.Next() * 255);
                const int32_t alpha = RoundToByte(random.Next() * 255);
                px(x + 3, y) = static_cast<uint8_t>(alpha);
                const uint8_t value = RoundToByte(static_cast<double>(CheckedMul(alpha, grey)) / 255);
                px(x, y) = value;
                px(x + 1, y) = value;
                px(x + 2, y) = value;
            } else {
                const int32_t alpha = RoundToByte(random.Next() * 255);
                px(x + 3, y) = static_cast<uint8_t>(alpha);
                for (int32_t c = 0; c < 3; ++c) px(x + c, y) = RoundToByte(random.Next() * 255 * alpha / 255);
            }
        }
    }
}

// The per-pixel loop of ModifyHLS and Lighten: byte columns outside, rows inside; adjust()
// changes (h, s, l) in place. Blue, green and red are written in that order; alpha stays.
template <typename Adjust>
void pcDibSection::AdjustEachPixel(Adjust adjust) {
    const PixelView px = ViewOf(*this);
    for (int32_t x = 0; x + 3 < px.RowBytes(); x += 4) {
        for (int32_t y = 0; y < px.Rows(); ++y) {
            float h, s, l;
            HlsFromRgb(px(x + 2, y), px(x + 1, y), px(x, y), h, s, l);
            adjust(h, s, l);
            int32_t r, g, b;
            RgbFromHls(h, s, l, r, g, b);
            px(x, y) = ToByte(b);
            px(x + 1, y) = ToByte(g);
            px(x + 2, y) = ToByte(r);
        }
    }
}

void pcDibSection::ModifyHLS(double fHue, double fLuminance, double fSaturation) {
    AdjustEachPixel([=](float& h, float& s, float& l) {
        h = ToSingle(h * fHue);
        l = ToSingle(l * fLuminance);
        if (l > 1) l = 1;
        s = ToSingle(s * fSaturation);
        if (s > 1) s = 1;
    });
}

void pcDibSection::Lighten(int32_t lAmount) {
    const double factor = lAmount / 100.0 + 1;
    AdjustEachPixel([=](float&, float&, float& l) {
        l = ToSingle(l * factor);
        if (l > 1) l = 1;
    });
}

void pcDibSection::CodeAlphaBlend(pcDibSection& cDst, const pcDibSection& cSrc, int32_t lDestLeft,
                                  int32_t lDestTop, int32_t lDestWidth, int32_t lDestHeight,
                                  int32_t SourceConstantAlpha) {
    const PixelView src = ViewOf(cSrc);
    const PixelView dst = ViewOf(cDst);
    const int32_t widthBytes = lDestWidth == -1 ? std::min(src.RowBytes(), dst.RowBytes()) : CheckedMul(4, lDestWidth);
    const int32_t rows = lDestHeight == -1 ? std::min(src.Rows(), dst.Rows()) : lDestHeight;
    const int32_t left = CheckedMul(4, lDestLeft);
    const double a = SourceConstantAlpha;
    for (int32_t x = 0; x <= widthBytes - 4; x += 4) {
        const int32_t xd = CheckedAdd(left, x);
        for (int32_t y = 0; y < rows; ++y) {
            const int32_t yd = CheckedAdd(lDestTop, y);
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t d = dst(CheckedAdd(xd, c), yd);
                const int32_t s = src(x + c, y);
                dst(xd + c, yd) =
                    RoundToByte((1 - a / 255) * d + static_cast<double>(CheckedMul(s, SourceConstantAlpha)) / 255);
            }
        }
    }
}

std::unique_ptr<pcDibSection> pcDibSection::Resample(int32_t lNewHeight, int32_t lNewWidth) const {
    auto resampled = std::make_unique<pcDibSection>();
    if (!resampled->Create(lNewWidth, lNewHeight)) return nullptr;
    if (lNewWidth == Width() && lNewHeight == Height()) {
        resampled->LoadPictureBlt(hdc(), 0, 0, -1, -1, SRCCOPY);
    } else {
        ResampleInto(*resampled);
    }
    return resampled;
}

// Bilinear interpolation. The last source column and row are reached only as the right-hand
// and upper neighbours, so a source 1 pixel wide or high raises out-of-range.
void pcDibSection::ResampleInto(pcDibSection& dst) const {
    const PixelView from = ViewOf(*this);
    const PixelView to = ViewOf(dst);
    const float xScale = ToSingle(static_cast<double>(Width() - 1) / dst.Width());
    const float yScale = ToSingle(static_cast<double>(Height() - 1) / dst.Height());
    for (int32_t y = 0; y < to.Rows(); ++y) {
        const float yy = ToSingle(static_cast<double>(yScale) * y);
        const int32_t yi = RoundToLong(std::floor(yy));
        const float yf = ToSingle(static_cast<double>(yy) - yi);
        for (int32_t x = 0; x < to.RowBytes() / 4; ++x) {
            const float xx = ToSingle(static_cast<double>(xScale) * x);
            const int32_t xi = RoundToLong(std::floor(xx));
            const float xf = ToSingle(static_cast<double>(xx) - xi);
            const int32_t left = CheckedMul(4, xi);
            const int32_t right = CheckedMul(4, CheckedAdd(xi, 1));
            const int32_t above = CheckedAdd(yi, 1);
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t p00 = from(left + c, yi);
                const int32_t p10 = from(right + c, yi);
                const int32_t p01 = from(left + c, above);
                const int32_t p11 = from(right + c, above);
                const int32_t p = RoundToLong((1.0 - yf) * p00 + static_cast<double>(yf) * p01);
                const int32_t q = RoundToLong((1.0 - yf) * p10 + static_cast<double>(yf) * p11);
                int32_t v = RoundToLong((1.0 - xf) * p + static_cast<double>(xf) * q);
                v = v < 0 ? 0 : (v > 255 ? 255 : v);
                to(4 * x + c, y) = static_cast<uint8_t>(v);
            }
        }
    }
}

void pcDibSection::HlsFromRgb(int32_t r, int32_t g, int32_t b, float& h, float& s, float& l) {
    const float R = ToSingle(r / 255.0);
    const float G = ToSingle(g / 255.0);
    const float B = ToSingle(b / 255.0);
    const float max = MaxOf3(R, G, B);
    const float min = MinOf3(R, G, B);
    l = ToSingle((static_cast<double>(max) + min) / 2);
    if (max == min) {
        s = 0;
        h = 0;
        return;
    }
    h = 0;
    const double spread = static_cast<double>(max) - min;
    if (l <= 0.5f) {
        s = ToSingle(spread / (static_cast<double>(max) + min));
    } else {
        s = ToSingle(spread / (2.0 - max - min));
    }
    const float d = ToSingle(spread);
    if (R == max) {
        h = ToSingle((static_cast<double>(G) - B) / d);
    } else if (G == max) {
        h = ToSingle(2 + (static_cast<double>(B) - R) / d);
    } else if (B == max) {
        h = ToSingle(4 + (static_cast<double>(R) - G) / d);
    }
}

void pcDibSection::RgbFromHls(float h, float s, float l, int32_t& r, int32_t& g, int32_t& b) {
    float R, G, B;
    if (s == 0) {
        R = G = B = l;
    } else {
        const float min = l <= 0.5f ? ToSingle(l * (1.0 - s)) : ToSingle(l - static_cast<double>(s) * (1.0 - l));
        const float max = ToSingle(2.0 * l - min);
        const double d = static_cast<double>(max) - min;
        if (h < 1) {
            R = max;
            if (h < 0) {
                G = min;
                B = ToSingle(min - h * d);
            } else {
                B = min;
                G = ToSingle(h * d + min);
            }
        } else if (h < 3) {
            G = max;
            if (h < 2) {
                B = min;
                R = ToSingle(min - (h - 2.0) * d);
            } else {
                R = min;
                B = ToSingle((h - 2.0) * d + min);
            }
        } else {
            B = max;
            if (h < 4) {
                R = min;
                G = ToSingle(min - (h - 4.0) * d);
            } else {
                G = min;
                R = ToSingle((h - 4.0) * d + min);
            }
        }
    }
    r = RoundToLong(R * 255.0);
    g = RoundToLong(G * 255.0);
    b = RoundToLong(B * 255.0);
}

float pcDibSection::MaxOf3(float a, float b, float c) {
    if (a > b) return a > c ? a : c;
    return c > b ? c : b;
}

float pcDibSection::MinOf3(float a, float b, float c) {
    if (a < b) return a < c ? a : c;
    return c < b ? c : b;
}

}  // namespace ta
