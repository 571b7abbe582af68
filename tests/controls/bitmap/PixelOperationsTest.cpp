#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "controls/bitmap/DibPixels.h"
#include "controls/bitmap/pcDibSection.h"
#include "platform/AppError.h"

namespace {

using ta::ErrorNumber;
using ta::pcDibSection;

using ta::test::Bgra;
using ta::test::Fill;
using ta::test::Get;
using ta::test::Put;

// A bitmap of one row holding the given pixels.
void MakeRow(pcDibSection& dib, const std::vector<Bgra>& pixels) {
    ASSERT_TRUE(dib.Create(static_cast<int32_t>(pixels.size()), 1));
    for (size_t i = 0; i < pixels.size(); ++i) Put(dib, static_cast<int>(i), 0, pixels[i]);
}

ErrorNumber ErrorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const ta::AppError& e) {
        return e.number();
    }
    ADD_FAILURE() << "no error raised";
    return ErrorNumber{};
}

TEST(ModifyHLS, WorkedValues) {
    struct Case {
        const char* what;
        Bgra before;
        double hue, luminance, saturation;
        Bgra after;
    } cases[] = {
        {"half the luminance of red: 127.5 rounds to the even 128", {0, 0, 255, 77}, 1, 0.5, 1, {0, 0, 128, 77}},
        {"no saturation turns blue grey", {255, 0, 0, 1}, 1, 1, 0, {128, 128, 128, 1}},
        {"grey stays grey", {90, 90, 90, 2}, 1, 1, 5, {90, 90, 90, 2}},
        {"luminance is limited to 1", {255, 255, 255, 200}, 1, 2, 1, {255, 255, 255, 200}},
        {"black stays black", {0, 0, 0, 255}, 1, 2, 1, {0, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        pcDibSection dib;
        MakeRow(dib, {c.before});
        dib.ModifyHLS(c.hue, c.luminance, c.saturation);
        EXPECT_EQ(Get(dib, 0, 0), c.after) << c.what;
    }
}

TEST(ModifyHLS, AnOverflowingPixelStopsTheLoopAndEarlierPixelsStayWritten) {
    // Columns are the outer loop: (0,0), (0,1), then (1,0).
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(2, 2));
    const Bgra yellow{0, 255, 255, 9}, green{0, 255, 0, 9};
    Put(dib, 0, 0, yellow);
    Put(dib, 0, 1, green);
    Put(dib, 1, 0, yellow);
    Put(dib, 1, 1, yellow);
    // Hue x 3: yellow (1) becomes cyan (3); green (2) becomes 6, whose red is 510.
    EXPECT_EQ(ErrorOf([&] { dib.ModifyHLS(3, 1, 1); }), ErrorNumber::Overflow);
    EXPECT_EQ(Get(dib, 0, 0), (Bgra{255, 255, 0, 9}));
    EXPECT_EQ(Get(dib, 0, 1), (Bgra{255, 0, 0, 9})) << "blue and green written before red overflowed";
    EXPECT_EQ(Get(dib, 1, 0), yellow);
    EXPECT_EQ(Get(dib, 1, 1), yellow);
}

TEST(ModifyHLS, ANonFiniteFactorRaisesTheFloatingPointError) {
    pcDibSection dib;
    MakeRow(dib, {{10, 20, 30, 0}});
    EXPECT_EQ(ErrorOf([&] { dib.ModifyHLS(1, 1e300, 1); }), ErrorNumber::FloatingPoint);
    EXPECT_EQ(Get(dib, 0, 0), (Bgra{10, 20, 30, 0}));
}

TEST(Lighten, ZeroKeepsEveryColourAndMinusHundredMakesBlack) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(256, 17));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 256; ++x)
            Put(dib, x, y, {uint8_t(x), uint8_t((x * 7 + y * 15) & 255), uint8_t(y * 15), uint8_t(x ^ y)});
    std::vector<uint8_t> before(dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + 256 * 17 * 4);
    dib.Lighten(0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), dib.DIBSectionBitsPtr()));

    dib.Lighten(-100);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 256; ++x) ASSERT_EQ(Get(dib, x, y), (Bgra{0, 0, 0, uint8_t(x ^ y)})) << x << "," << y;
}

TEST(CodeAlphaBlend, BlendsColourBytesByTheConstantAlpha) {
    for (auto [alpha, expected] : {std::pair{128, 150}, std::pair{0, 100}, std::pair{255, 200}}) {
        pcDibSection dst, src, bystander;
        MakeRow(dst, {{100, 100, 100, 7}});
        MakeRow(src, {{200, 200, 200, 1}});
        bystander.CodeAlphaBlend(dst, src, 0, 0, 1, 1, alpha);
        const uint8_t e = static_cast<uint8_t>(expected);
        EXPECT_EQ(Get(dst, 0, 0), (Bgra{e, e, e, 7})) << "alpha " << alpha;
    }
}

TEST(CodeAlphaBlend, MinusOneExtentsTakeTheSmallerBitmapFromTheDestinationsCorner) {
    pcDibSection dst, src;
    ASSERT_TRUE(dst.Create(10, 10));
    ASSERT_TRUE(src.Create(4, 6));
    Fill(dst, {0, 0, 0, 33});
    Fill(src, {255, 255, 255, 0});
    dst.CodeAlphaBlend(dst, src, 2, 3, -1, -1, 255);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 9;
            const uint8_t v = inside ? 255 : 0;
            ASSERT_EQ(Get(dst, x, y), (Bgra{v, v, v, 33})) << x << "," << y;
        }
    }
}

TEST(CodeAlphaBlend, ARectangleOutsideTheDestinationRaisesOutOfRangeAtTheFirstByteOutside) {
    pcDibSection dst, src, any;
    MakeRow(dst, {{0, 0, 0, 0}, {0, 0, 0, 0}});
    MakeRow(src, {{90, 90, 90, 0}, {90, 90, 90, 0}});
    EXPECT_EQ(ErrorOf([&] { any.CodeAlphaBlend(dst, src, 1, 0, -1, -1, 255); }), ErrorNumber::OutOfRange);
    EXPECT_EQ(Get(dst, 1, 0), (Bgra{90, 90, 90, 0}));
    EXPECT_EQ(Get(dst, 0, 0), (Bgra{0, 0, 0, 0}));

    MakeRow(dst, {{0, 0, 0, 0}});
    MakeRow(src, {{255, 255, 255, 0}});
    EXPECT_EQ(ErrorOf([&] { any.CodeAlphaBlend(dst, src, 0, 0, 1, 1, 300); }), ErrorNumber::Overflow);
}

TEST(Resample, InterpolatesBilinearlyAndCopiesAtTheSameSize) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(2, 2));
    for (int y = 0; y < 2; ++y) {
        Put(dib, 0, y, {0, 0, 0, 5});
        Put(dib, 1, y, {100, 0, 0, 5});
    }
    auto wider = dib.Resample(2, 4);
    ASSERT_NE(wider, nullptr);
    EXPECT_EQ(wider->Width(), 4);
    EXPECT_EQ(wider->Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(Get(*wider, x, y), (Bgra{uint8_t(25 * x), 0, 0, 0})) << x << "," << y;
        }
    }

    auto same = dib.Resample(2, 2);
    ASSERT_NE(same, nullptr);
    ::GdiFlush();
    EXPECT_EQ(Get(*same, 1, 1)[0], 100);

    EXPECT_EQ(dib.Resample(0, 0), nullptr);
}

TEST(Resample, ASourceOnePixelWideHasNoRightHandNeighbour) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(1, 3));
    EXPECT_EQ(ErrorOf([&] { dib.Resample(6, 2); }), ErrorNumber::OutOfRange);
    ASSERT_TRUE(dib.Create(3, 1));
    EXPECT_EQ(ErrorOf([&] { dib.Resample(2, 6); }), ErrorNumber::OutOfRange);
}

TEST(RandomiseBits, GivesPremultipliedPixels) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(32, 16));
    dib.RandomiseBits(true);
    int distinct = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const Bgra p = Get(dib, x, y);
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            ASSERT_LE(p[0], p[3]);
            distinct += p != Get(dib, 0, 0);
        }
    }
    EXPECT_GT(distinct, 0) << "random, not constant";

    dib.RandomiseBits(false);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const Bgra p = Get(dib, x, y);
            ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]);
        }
    }
}

TEST(Clear, MakesEveryByteZero) {
    pcDibSection dib;
    ASSERT_TRUE(dib.Create(3, 4));
    Fill(dib, {1, 2, 3, 4});
    dib.Clear(255);
    for (int i = 0; i < 3 * 4 * 4; ++i) ASSERT_EQ(dib.DIBSectionBitsPtr()[i], 0);
}

TEST(PixelOperations, AnObjectWithoutPixelMemoryIsLeftAlone) {
    pcDibSection dib, other;
    ASSERT_TRUE(dib.Create(4, 4));
    dib.ClearUp();
    ASSERT_TRUE(other.Create(4, 4));
    dib.Clear(0);
    dib.RandomiseBits(true);
    dib.ModifyHLS(1, 2, 1);
    dib.Lighten(50);
    dib.CodeAlphaBlend(dib, other, 0, 0, -1, -1, 128);
    dib.CodeAlphaBlend(other, dib, 0, 0, -1, -1, 128);
    EXPECT_EQ(ErrorOf([&] { dib.Resample(8, 8); }), ErrorNumber::OutOfRange);
}

}  // namespace
