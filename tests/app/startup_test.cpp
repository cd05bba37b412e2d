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

TEST(MainWindowTitle, ModeAndShutdownSuffix) {
  EXPECT_EQ(MainWindowTitle(true, false), "DiscPress v3.3.0   (64-bit mode)");
  EXPECT_EQ(MainWindowTitle(false, true),
            "DiscPress v3.3.0   (32-bit mode)  *** SHUTDOWN COMPUTER WHEN FINISH ALL JOBS ***");
}

}  // namespace
}  // namespace dp
