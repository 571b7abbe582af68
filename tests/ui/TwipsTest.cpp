#include <gtest/gtest.h>

#include "ui/Twips.h"

namespace ta {
namespace {

TEST(TwipsTest, ConvertAtTheRealResolution) {
    EXPECT_EQ(TwipsToPixels(7050, 96), 470);
    EXPECT_EQ(TwipsToPixels(4700, 96), 313);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(7050, 120), 588);
    EXPECT_EQ(TwipsToPixels(4700, 144), 470);
    EXPECT_EQ(HimetricToPixels(12144, 96), 459);
    EXPECT_EQ(HimetricToPixels(1402, 96), 53);
    EXPECT_EQ(PointsToFontHeight(9, 96), -12);
}

}  // namespace
}  // namespace ta
