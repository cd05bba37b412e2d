#include "pipeline/output_snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// A failed muxer run in a folder that may hold the user's files: what is
// there before, what the muxer writes, what is left and gone ("x/": a folder).
TEST(OutputSnapshot, RemovesOnlyWhatTheRunMade) {
  const struct {
    const char *what, *output, *before, *written, *left, *gone;
  } cases[] = {
      {"new disc folder", "Out/MOVIE", "Out/keep.txt", "Out/MOVIE/BDMV/STREAM/0.m2ts", "Out/keep.txt",
       "Out/MOVIE"},
      {"new folders on the way", "Out/New/MOVIE", "Out/", "Out/New/MOVIE/BDMV/x", "Out", "Out/New"},
      {"the user's folder", "Videos", "Videos/mine.mkv Videos/BDMV/old",
       "Videos/BDMV/STREAM/0.m2ts Videos/CERTIFICATE/id",
       "Videos/mine.mkv Videos/BDMV/old Videos/BDMV/STREAM/0.m2ts", "Videos/CERTIFICATE"},
      {"new image and its tree", "Out/M.ISO", "Out/", "Out/M.ISO Out/M.ISO.tree/BDMV/x", "Out",
       "Out/M.ISO Out/M.ISO.tree"},
      {"an image left alone", "Out/M.iso", "Out/M.iso", "", "Out/M.iso", ""},
      {"an image rewritten", "Out/M.iso", "Out/M.iso", "Out/M.iso", "Out", "Out/M.iso"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    auto write = [&](const char* list) {
      for (std::string_view rel : Tokenize(list, " ")) {
        const fs::path at = dir / std::string(rel);
        fs::create_directories(rel.ends_with("/") ? at : at.parent_path());
        if (!rel.ends_with("/")) std::ofstream(at) << "content of " << rel;
      }
    };
    write(c.before);
    MuxerOutput output{(dir / c.output).string(), {}};
    if (output.path.ends_with(".ISO") || output.path.ends_with(".iso"))
      output.entries = {output.path + ".tree"};
    else
      output.entries = {output.path + "/BDMV", output.path + "/CERTIFICATE"};
    const OutputSnapshot before = SnapshotOutput(output);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a rewrite shows in the time stamp
    write(c.written);
    EXPECT_EQ(RemoveRunOutput(output, before, {}), "");
    for (std::string_view f : Tokenize(c.left, " ")) EXPECT_TRUE(fs::exists(dir / std::string(f))) << f;
    for (std::string_view f : Tokenize(c.gone, " ")) EXPECT_FALSE(fs::exists(dir / std::string(f))) << f;
  }
}

}  // namespace
}  // namespace dp
