#include "pipeline/output_snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// A failed muxer run in a folder that may already hold the user's files:
// what is there before, what the "muxer" does, what must be left.
TEST(OutputSnapshot, RemovesOnlyWhatTheRunMade) {
  const struct Case {
    const char* what;
    const char* output;                // below the case's folder
    std::vector<const char*> before;   // files there before ("x/" a folder)
    std::vector<const char*> written;  // files the run writes
    std::vector<const char*> left;     // what must exist afterwards
    std::vector<const char*> gone;     // what must not
  } cases[] = {
      {"new disc folder",
       "Out/MOVIE",
       {"Out/keep.txt"},
       {"Out/MOVIE/BDMV/STREAM/0.m2ts"},
       {"Out/keep.txt"},
       {"Out/MOVIE"}},
      {"new folders on the way", "Out/New/MOVIE", {"Out/"}, {"Out/New/MOVIE/BDMV/x"}, {"Out"}, {"Out/New"}},
      {"the user's folder",
       "Videos",
       {"Videos/mine.mkv", "Videos/BDMV/old"},
       {"Videos/BDMV/STREAM/0.m2ts", "Videos/CERTIFICATE/id"},
       {"Videos/mine.mkv", "Videos/BDMV/old", "Videos/BDMV/STREAM/0.m2ts"},
       {"Videos/CERTIFICATE"}},
      {"new image and its tree",
       "Out/M.ISO",
       {"Out/"},
       {"Out/M.ISO", "Out/M.ISO.tree/BDMV/x"},
       {"Out"},
       {"Out/M.ISO", "Out/M.ISO.tree"}},
      {"an image left alone", "Out/M.iso", {"Out/M.iso"}, {}, {"Out/M.iso"}, {}},
      {"an image rewritten", "Out/M.iso", {"Out/M.iso"}, {"Out/M.iso"}, {"Out"}, {"Out/M.iso"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    auto at = [&](const char* rel) { return dir / rel; };
    auto write = [&](const char* rel) {
      const std::string r(rel);
      if (r.ends_with("/")) {
        fs::create_directories(at(rel));
        return;
      }
      fs::create_directories(at(rel).parent_path());
      std::ofstream(at(rel)) << "content of " << r;
    };
    for (const char* f : c.before) write(f);
    MuxerOutput output{at(c.output).string(), {}};
    if (output.path.ends_with(".ISO") || output.path.ends_with(".iso"))
      output.entries = {output.path + ".tree"};
    else
      output.entries = {output.path + "/BDMV", output.path + "/CERTIFICATE"};
    const OutputSnapshot before = SnapshotOutput(output);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a rewrite shows in the time stamp
    for (const char* f : c.written) write(f);
    EXPECT_EQ(RemoveRunOutput(output, before, {}), "");
    for (const char* f : c.left) EXPECT_TRUE(fs::exists(at(f))) << f;
    for (const char* f : c.gone) EXPECT_FALSE(fs::exists(at(f))) << f;
  }
}

}  // namespace
}  // namespace dp
