#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// The home folder is a test folder here, so that the guard is tried on
// known ground; only RefuseToDelete sees the system's own folders.
class DeleteGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    saved_home_ = home ? home : "";
    fs::create_directories(home_);
    ::setenv("HOME", home_.c_str(), 1);
  }
  void TearDown() override { ::setenv("HOME", saved_home_.c_str(), 1); }

  test::TempDir dir_;
  fs::path home_ = dir_ / "home" / "user";
  fs::path temp_ = dir_ / "work" / "temp";
  fs::path out_ = dir_ / "work" / "out";
  std::vector<fs::path> kept_ = {temp_.string() + "/", out_, ""};
  std::string saved_home_;
};

TEST_F(DeleteGuard, RefusesRootsHomeAndKeptFoldersHoweverNamed) {
  fs::create_directories(temp_);
  fs::create_directories(home_ / "Videos");
  fs::create_symlink(home_, dir_ / "link-to-home");
  const struct {
    fs::path path;
    bool refused;
  } cases[] = {
      {"/", true},
      {"/ab", true},  // too short
      {"/home/", true},
      {"/media/../media", true},
      {home_, true},
      {home_ / "..", true},  // above the home folder
      {dir_ / "link-to-home", true},
      {temp_, true},
      {dir_ / "work", true},  // holds both kept folders
      {out_, true},           // kept even before it exists
      {home_ / "Videos", false},
      {temp_ / "Movie.job_0.264", false},
  };
  for (const auto& c : cases) {
    const std::string why = RefuseToDelete(c.path, kept_);
    EXPECT_EQ(!why.empty(), c.refused) << c.path << ": " << why;
  }
}

TEST_F(DeleteGuard, DeleteTreeRemovesTreesAndLinksButNeverWhatItRefuses) {
  fs::create_directories(temp_);
  std::ofstream(temp_ / "file") << "x";
  fs::create_directories(dir_ / "tree" / "sub");
  std::ofstream(dir_ / "tree" / "sub" / "file") << "x";
  fs::create_directories(dir_ / "links");
  fs::create_symlink(dir_ / "tree", dir_ / "links" / "to-tree");

  EXPECT_NE(DeleteTree(dir_ / "links" / ".." / "work" / "temp", kept_), "");
  EXPECT_TRUE(fs::exists(temp_ / "file"));
  EXPECT_EQ(DeleteTree(dir_ / "links" / "to-tree", kept_), "");  // the link, not the tree
  EXPECT_TRUE(fs::exists(dir_ / "tree" / "sub" / "file"));
  EXPECT_EQ(DeleteTree(dir_ / "tree", kept_), "");
  EXPECT_FALSE(fs::exists(dir_ / "tree"));
  EXPECT_EQ(DeleteTree(dir_ / "tree", kept_), "");  // nothing there: nothing left
}

}  // namespace
}  // namespace dp
