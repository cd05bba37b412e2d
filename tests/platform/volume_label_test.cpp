#include "platform/volume_label.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace dp {
namespace {

TEST(VolumeLabel, LabelOfTheFilesystemMountedAtTheFolder) {
  test::TempDir t;
  namespace fs = std::filesystem;
  fs::create_directories(t / "dev/disk/by-label");
  for (const char* dev : {"sr0", "sdb1", "sdc1"}) std::ofstream(t / "dev" / dev);
  fs::create_symlink("../../sr0", t / "dev/disk/by-label/MY\\x20DISC");
  fs::create_symlink("../../sdb1", t / "dev/disk/by-label/STICK");
  std::ofstream(t / "mountinfo") << "36 22 11:0 / /media/u/MY\\040DISC ro - udf /dev/sr0 ro\n"
                                    "37 22 8:17 / /media/u/stick rw - vfat /dev/sdb1 rw\n"
                                    "38 22 8:33 / /media/u/plain rw - ext4 /dev/sdc1 rw\n"
                                    "39 22 0:40 / /media/u/fuse rw - fuse.x whatever rw\n";
  const MountRoots roots{(t / "mountinfo").string(), (t / "dev").string()};
  // clang-format off
  const struct { const char* folder; const char* label; } rows[] = {
      {"/media/u/MY DISC", "MY DISC"}, {"/media/u/stick/", "STICK"}, {"/media/u/plain", ""},
      {"/media/u/fuse", ""}, {"/media/u", ""},
  };
  // clang-format on
  for (const auto& r : rows) EXPECT_EQ(VolumeLabel(r.folder, roots), r.label) << r.folder;
}

}  // namespace
}  // namespace dp
