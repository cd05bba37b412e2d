#include "planning/geometry.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(CropBand, HalvesTheRemovedLinesWithIntegerDivision) {
  EXPECT_EQ(CropBand(800), 140);
  EXPECT_EQ(CropBand(1080), 0);
  EXPECT_EQ(CropBand(817), 131);  // 263 / 2: the odd line stays
  EXPECT_EQ(CropBand(0), 540);
}

TEST(CropAndResize, KnownHeightsUseTheirTableValue) {
  EXPECT_EQ(CropAndResize(800), 532);  // 2/3 would give 533
  EXPECT_EQ(CropAndResize(804), 536);
  EXPECT_EQ(CropAndResize(808), 540);  // 2/3 would give 539
  EXPECT_EQ(CropAndResize(816), 544);
  EXPECT_EQ(CropAndResize(868), 580);   // 2/3 would give 579
  EXPECT_EQ(CropAndResize(1040), 692);  // 2/3 would give 693
  EXPECT_EQ(CropAndResize(1080), 720);
}

TEST(CropAndResize, OtherHeightsScaleByTwoThirdsRounded) {
  EXPECT_EQ(CropAndResize(802), 535);  // 534.67 rounds up
  EXPECT_EQ(CropAndResize(805), 537);  // 536.67 rounds up
  EXPECT_EQ(CropAndResize(1000), 667);
  EXPECT_EQ(CropAndResize(1001), 667);  // 667.33 rounds down
  EXPECT_EQ(CropAndResize(900), 600);
  EXPECT_EQ(CropAndResize(0), 0);
}

}  // namespace
}  // namespace dp
