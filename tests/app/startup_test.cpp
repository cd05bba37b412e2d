#include "app/startup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace dp {
namespace {

TEST(CheckIntegrity, NamesTheFirstMissingFileInOrder) {
  test::TempDir dir;
  std::string missing;
  EXPECT_FALSE(CheckIntegrity(dir.path(), &missing));
  EXPECT_EQ(missing, CompanionFiles().front());
  for (std::size_t i = 0; i + 1 < CompanionFiles().size(); ++i)
    std::ofstream(dir / CompanionFiles()[i]) << "x";
  EXPECT_FALSE(CheckIntegrity(dir.path(), &missing));
  EXPECT_EQ(missing, CompanionFiles().back());
  std::ofstream(dir / CompanionFiles().back()) << "x";
  // The last check is the MediaInfo library, which the machine provides.
  EXPECT_TRUE(CheckIntegrity(dir.path(), &missing)) << missing;
}

}  // namespace
}  // namespace dp
