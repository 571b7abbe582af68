// The bar's geometry on its own: rectangles, fraction, length, gaps, border lines and tiling.
#include <gtest/gtest.h>

#include <climits>

#include "controls/progressbar/ProgressGeometry.h"
#include "platform/AppError.h"

namespace ta::progressbar {
namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The progress page's bar: 425 × 25, inset thin-3D border, classic segments.
constexpr RECT kPageClient{0, 0, 425, 25};

RECT PageBar(double fraction) {
    const RECT inner = InnerRect(kPageClient, 1, 1, false);
    return BarRect(inner, fraction, true, ClassicSegmentation().Period());
}

TEST(ProgressGeometry, PageBarAtHalfEndsInAGapAfterWholeSegments) {
    const RECT inner = InnerRect(kPageClient, 1, 1, false);
    EXPECT_TRUE((inner == RECT{1, 1, 424, 24}));
    // 1 + 423 × 0.5 = 212.5 rounds to 212, then 212 - (211 mod 10) = 211.
    const RECT bar = PageBar(0.5);
    EXPECT_TRUE((bar == RECT{1, 1, 211, 24}));

    const std::vector<RECT> gaps = SegmentGaps(inner, bar, true, ClassicSegmentation());
    ASSERT_EQ(gaps.size(), 21u);
    for (size_t i = 0; i < gaps.size(); ++i) {
        EXPECT_EQ(gaps[i].left, 9 + 10 * static_cast<LONG>(i));
        EXPECT_EQ(gaps[i].right, gaps[i].left + 2);
        EXPECT_EQ(gaps[i].top, 1);
        EXPECT_EQ(gaps[i].bottom, 24);
    }
    EXPECT_EQ(gaps.back().left, 209);
}

TEST(ProgressGeometry, PageBarWhenFullLeavesTheRemainderToTheBackground) {
    const RECT bar = PageBar(1.0);
    EXPECT_EQ(bar.right, 421);
    const std::vector<RECT> gaps = SegmentGaps(InnerRect(kPageClient, 1, 1, false), bar, true, ClassicSegmentation());
    EXPECT_EQ(gaps.back().left, 419);
    EXPECT_EQ(gaps.back().right, 421);
}

TEST(ProgressGeometry, LengthRoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(212.5), 212);
    EXPECT_EQ(RoundHalfEven(213.5), 214);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    // Unsegmented, the rounded length is kept: 10 × 0.25 = 2.5 → 2, 10 × 0.75 = 7.5 → 8.
    EXPECT_EQ(BarRect(RECT{0, 0, 10, 5}, 0.25, true, 0).right, 2);
    EXPECT_EQ(BarRect(RECT{0, 0, 10, 5}, 0.75, true, 0).right, 8);
}

TEST(ProgressGeometry, TallControlGrowsFromTheBottom) {
    // 25 × 200, no border, no segments, a quarter done: rows [150, 200).
    const RECT inner = InnerRect(RECT{0, 0, 25, 200}, 0, 1, false);
    ASSERT_FALSE(IsHorizontal(25, 200));
    const RECT bar = BarRect(inner, 0.25, false, 0);
    EXPECT_TRUE((bar == RECT{0, 150, 25, 200}));
}

TEST(ProgressGeometry, SquareControlIsVerticalAndSegmentsFromTheBottom) {
    EXPECT_FALSE(IsHorizontal(50, 50));
    EXPECT_TRUE(IsHorizontal(51, 50));
    // 50 × 50 with a border: inner [1, 49); half is 24 rows, cut to 20 (two periods) above the bottom.
    const RECT inner = InnerRect(RECT{0, 0, 50, 50}, 1, 0, false);
    const RECT bar = BarRect(inner, 0.5, false, 10);
    EXPECT_EQ(bar.top, 29);
    EXPECT_EQ(bar.bottom, 49);
    const std::vector<RECT> gaps = SegmentGaps(inner, bar, false, ClassicSegmentation());
    // Gaps at the bottom edge (hidden by the clip) and one period above it: chunks of 8 from the bottom.
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[0].top, 49);
    EXPECT_EQ(gaps[1].top, 39);
    EXPECT_EQ(gaps[1].bottom, 41);
    EXPECT_EQ(gaps[1].left, 1);
    EXPECT_EQ(gaps[1].right, 49);
}

TEST(ProgressGeometry, FractionFollowsTheRangeRules) {
    EXPECT_DOUBLE_EQ(BarFraction(0, 100, 50), 0.5);
    EXPECT_DOUBLE_EQ(BarFraction(0, 100, -5), 0.0);   // below Min: empty
    EXPECT_DOUBLE_EQ(BarFraction(0, 100, 150), 1.0);  // above Max: full
    EXPECT_DOUBLE_EQ(BarFraction(100, 0, 25), 0.75);  // a reversed range counts down
    EXPECT_DOUBLE_EQ(BarFraction(7, 7, 8), 1.0);      // Max = Min: full once past Min
    EXPECT_DOUBLE_EQ(BarFraction(7, 7, 7), 0.0);
    EXPECT_DOUBLE_EQ(BarFraction(7, 7, 6), 0.0);
    EXPECT_DOUBLE_EQ(BarFraction(INT_MIN, 0, INT_MAX), 0.0);  // the difference overflows
    EXPECT_DOUBLE_EQ(BarFraction(-2, INT_MAX, 0), 0.0);
}

TEST(ProgressGeometry, PercentReadByToolsAgreesWithTheDrawnShare) {
    EXPECT_EQ(BarPercent(0, 100, 29), 29);  // not the 28 of 0.29 * 100 in floating point
    EXPECT_EQ(BarPercent(0, 12218465, 12218464), 99);  // full only when the bar is
    EXPECT_EQ(BarPercent(0, 100, 150), 100);
    EXPECT_EQ(BarPercent(0, 100, -5), 0);
    EXPECT_EQ(BarPercent(100, 0, 25), 75);
    EXPECT_EQ(BarPercent(0, 0, 1), 100);  // "ToTFile" missing: full once a byte is counted
    EXPECT_EQ(BarPercent(0, 0, 0), 0);
    EXPECT_EQ(BarPercent(0, INT_MAX, INT_MAX - 1), 99);  // no overflow in the product
    EXPECT_EQ(BarPercent(INT_MIN, 0, INT_MAX), 0);
}

TEST(ProgressGeometry, EmptyAndFullBarsStayInsideTheInnerArea) {
    const RECT inner{1, 1, 424, 24};
    EXPECT_EQ(BarRect(inner, 0.0, true, 10).right, 1);
    EXPECT_EQ(BarRect(inner, 0.0, false, 10).top, 24);
    EXPECT_EQ(BarRect(inner, 1.0, false, 10).top, 4);  // 23 rows cut to 20
}

TEST(ProgressGeometry, ThemedPeriodIsChunkPlusTwoSpaces) {
    const Segmentation themed = ThemedSegmentation(8, 2);
    EXPECT_EQ(themed.chunk, 10);
    EXPECT_EQ(themed.Period(), 12);
    const RECT inner = InnerRect(kPageClient, 1, 1, true);
    for (double f : {0.1, 0.33, 0.5, 0.77, 1.0}) {
        const RECT h = BarRect(inner, f, true, themed.Period());
        EXPECT_EQ((h.right - h.left) % 12, 0) << f;
        const RECT v = BarRect(RECT{1, 1, 24, 199}, f, false, themed.Period());
        EXPECT_EQ((v.bottom - v.top) % 12, 0) << f;
    }
    EXPECT_EQ(BarRect(inner, 0.5, true, 12).right, 205);  // 212 - (211 mod 12)
    // Wine's style: chunk 1, space 0 leaves every length whole.
    EXPECT_EQ(BarRect(inner, 0.5, true, ThemedSegmentation(1, 0).Period()).right, 212);
    // A theme reporting nothing leaves the length unadjusted.
    EXPECT_EQ(BarRect(inner, 0.5, true, ThemedSegmentation(0, 0).Period()).right, 212);
}

TEST(ProgressGeometry, BorderInsetDependsOnStyleAndAppearance) {
    const RECT c{0, 0, 100, 20};
    EXPECT_TRUE((InnerRect(c, 0, 2, false) == c));               // no border, no inset
    EXPECT_TRUE((InnerRect(c, 3, 2, false) == RECT{2, 2, 98, 18}));  // unknown style: inset, no border
    EXPECT_TRUE((InnerRect(c, 3, 1, false) == RECT{1, 1, 99, 19}));
    EXPECT_TRUE((InnerRect(c, 1, 2, true) == RECT{1, 1, 99, 19}));   // themed: always 1
    EXPECT_EQ(EdgeKind(true), 5u);
    EXPECT_EQ(EdgeKind(false), 10u);
}

TEST(ProgressGeometry, TilingIsAnchoredToTheOrigin) {
    // A 4 × 3 source over (6, 2, 7, 5): columns start at source x 2, rows at source y 2.
    const std::vector<TileCopy> copies = TileCopies(6, 2, 7, 5, 4, 3);
    const std::vector<TileCopy> expected{
        {6, 2, 2, 1, 2, 2}, {8, 2, 4, 1, 0, 2}, {12, 2, 1, 1, 0, 2},
        {6, 3, 2, 3, 2, 0}, {8, 3, 4, 3, 0, 0}, {12, 3, 1, 3, 0, 0},
        {6, 6, 2, 1, 2, 0}, {8, 6, 4, 1, 0, 0}, {12, 6, 1, 1, 0, 0},
    };
    EXPECT_EQ(copies, expected);
    EXPECT_TRUE(TileCopies(0, 0, 0, 5, 4, 3).empty());
    EXPECT_THROW(TileCopies(0, 0, 10, 10, 0, 3), AppError);
}

TEST(ProgressGeometry, CaptionFlagsCombineAlignments) {
    EXPECT_EQ(CaptionFormat(1, 1), static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    EXPECT_EQ(CaptionFormat(2, 2), static_cast<UINT>(DT_RIGHT | DT_BOTTOM | DT_SINGLELINE));
    EXPECT_EQ(CaptionFormat(0, 0), static_cast<UINT>(DT_SINGLELINE));
}

}  // namespace
}  // namespace ta::progressbar
