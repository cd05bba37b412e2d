#include "pipeline/temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A 2D two-pass BD5 job with nothing to demux.
JobRecord TwoPassAvchd(std::string_view name) {
  JobRecord job = EmptyJob();
  job.status = kStatusX264Pass2;
  job.target_media = kMediaBd5;
  job.subtitle_mode = 1;
  CopyText(job.output_name, name);
  CopyText(job.video_codec, "AVC");
  CopyText(job.audio_codec_id, "A_AC3");
  CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
  return job;
}

Names WithTag(std::string_view base, int slot, std::initializer_list<std::string_view> suffixes) {
  Names names;
  for (std::string_view suffix : suffixes) names.push_back(TempFileBaseName(base, slot, suffix));
  return names;
}

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

TEST(TempFiles, BorraTemporalsDeletesExactlyTheJobsFiles) {
  test::TempDir dir;
  const std::string name = "Le film d'été  2";
  const JobRecord job = TwoPassAvchd(name);
  const Names doomed = TemporaryFileNames(job, 1, false);
  const Names kept_logs = WithTag(name, 1, {".x264_pass1_log.txt", ".x264_pass2_log.txt"});
  // Same output name in slot 11, a file of the job that no rule of this job
  // names, the failure log, and a folder carrying a temporary name.
  const Names others = {TempFileBaseName(name, 11, ".264"), TempFileBaseName(name, 1, ".h264"),
                        "tsmuxer.job_11.meta", "error_log.txt"};
  for (const Names* list : {&doomed, &others})
    for (const std::string& n : *list) Touch(dir / n);
  fs::remove(dir / TempFileBaseName(name, 1, ".stats.temp"));
  fs::create_directory(dir / TempFileBaseName(name, 1, ".stats.temp"));
  Touch(dir / TempFileBaseName(name, 1, ".stats.temp") / "inside");
  test::TempDir outside;
  Touch(outside / "target");
  fs::remove(dir / TempFileBaseName(name, 1, ".qpfile"));
  fs::create_symlink(outside / "target", dir / TempFileBaseName(name, 1, ".qpfile"));

  EXPECT_EQ(BorraTemporals(dir.path().string(), job, 1, false, {.debug_mode = true}), 0);
  for (const std::string& n : doomed) EXPECT_TRUE(fs::exists(fs::symlink_status(dir / n))) << n;

  EXPECT_EQ(BorraTemporals(dir.path().string(), job, 1, false, {.save_x264_log = true}),
            static_cast<int>(doomed.size() - kept_logs.size() - 1));
  for (const std::string& n : kept_logs) EXPECT_TRUE(fs::exists(dir / n)) << n;
  EXPECT_EQ(BorraTemporals(dir.path().string(), job, 1, true, {.debug_mode = true}), 2);

  for (const std::string& n : others) EXPECT_TRUE(fs::exists(dir / n)) << n;
  EXPECT_TRUE(fs::exists(dir / TempFileBaseName(name, 1, ".stats.temp") / "inside"));
  EXPECT_TRUE(fs::exists(outside / "target"));
  std::size_t left = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++left;
  EXPECT_EQ(left, others.size() + 1);
}

TEST(TempFiles, BorraTemporalsStaysInsideTheFolder) {
  test::TempDir dir;
  fs::create_directory(dir / "temp");
  const JobRecord escaping = TwoPassAvchd("../victim");
  Touch(dir / TempFileBaseName("victim", 0, ".264"));
  EXPECT_EQ(BorraTemporals((dir / "temp").string(), escaping, 0, true, {}), 0);
  EXPECT_TRUE(fs::exists(dir / TempFileBaseName("victim", 0, ".264")));

  // No folder setting: nothing is taken from the working folder.
  const JobRecord job = TwoPassAvchd("Movie");
  Touch(dir / TempFileBaseName("Movie", 0, ".264"));
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(BorraTemporals("", job, 0, true, {}), 0);
  fs::current_path(cwd);
  EXPECT_TRUE(fs::exists(dir / TempFileBaseName("Movie", 0, ".264")));
}

TEST(TempFiles, SwappedJobsTakeTheirFilesAlongAndNeverMeet) {
  test::TempDir dir;
  const std::string temp = dir.path().string();
  // Two jobs of one name; a stale file waits under the moved one's new tag.
  JobRecord moved = TwoPassAvchd("Movie");
  moved.target_audio = 640;
  moved.status = kStatusFailed;
  JobRecord other = TwoPassAvchd("Movie");
  other.status = kStatusStopped;
  const Names moved_files = WithTag("Movie", 5, {".ac3", ".eac3to.lock", ".264", ".x264_pass1_log.txt"});
  for (const std::string& n : moved_files) std::ofstream(dir / n) << "moved " << n;
  std::ofstream(dir / "tsmuxer.job_5.meta") << "moved meta";
  std::ofstream(dir / TempFileBaseName("Movie", 4, ".stats")) << "other stats";
  const std::string stale = TempFileBaseName("Movie", 4, ".eac3to_log.txt");
  std::ofstream(dir / stale) << "stale";

  int stores = 0;
  SwapTemporaries(temp, moved, 5, other, 4, [&] {
    ++stores;
    // Stored between the two halves: no file of either job under a slot's tag.
    Names tagged;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string n = e.path().filename().string();
      if (n.find(".job_4.") != std::string::npos || n.find(".job_5.") != std::string::npos)
        tagged.push_back(n);
    }
    EXPECT_EQ(tagged, Names{stale});
  });
  EXPECT_EQ(stores, 1);
  auto read = [&](const std::string& name) { return test::ReadText(dir / name); };
  for (const std::string& n : moved_files) {
    std::string now = n;
    now.replace(now.find(".job_5"), 6, ".job_4");
    EXPECT_EQ(read(now), "moved " + n);
  }
  EXPECT_EQ(read("tsmuxer.job_4.meta"), "moved meta");
  EXPECT_EQ(read(TempFileBaseName("Movie", 5, ".stats")), "other stats");
  EXPECT_FALSE(fs::exists(dir / stale));  // it would pass for the moved job's demux log
}

}  // namespace
}  // namespace dp
