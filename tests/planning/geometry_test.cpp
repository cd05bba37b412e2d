#include "planning/geometry.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

TEST(Geometry, CropBandAndResizedHeight) {
  // The band halves the removed lines with integer division (817: the odd
  // line stays).
  for (const auto& [height, band] : {std::pair{800, 140}, {1080, 0}, {817, 131}, {0, 540}})
    EXPECT_EQ(CropBand(height), band) << height;
  // Known heights take their table value where 2/3 would be one off; others
  // scale by two thirds, rounded.
  const int resized[][2] = {{800, 532}, {808, 540}, {868, 580}, {1040, 692}, {802, 535}, {1001, 667}, {0, 0}};
  for (const auto& [height, to] : resized) EXPECT_EQ(CropAndResize(height), to) << height;
}

}  // namespace
}  // namespace dp
