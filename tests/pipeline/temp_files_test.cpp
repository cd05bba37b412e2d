#include "pipeline/temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A 2D AVCHD BD5 job: video encoded in two passes, audio kept, normal
// subtitles, nothing joined or resized: no demux step.
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

TEST(TempFiles, NamesAndSuffixes) {
  EXPECT_EQ(TempFileName("/tmp/dp", "Movie", 3, ".h264"), "/tmp/dp/Movie.job_3.h264");
  EXPECT_EQ(TempFileName("/tmp/dp/", "Movie", 3, ".h264"), "/tmp/dp/Movie.job_3.h264");
  EXPECT_EQ(TsMuxerMetaName("/tmp/dp", 3), "/tmp/dp/tsmuxer.job_3.meta");
  JobRecord job = TwoPassAvchd("Le film d'été");
  EXPECT_EQ(TempFileName("/t", job, 99, kSuffixStats), "/t/Le film d'été.job_99.stats");

  // Codecs and audio ids outside the tables name the bare base.
  EXPECT_EQ(VideoSuffix("HEVC"), "");
  CopyText(job.audio_codec_id, "A_OPUS");
  EXPECT_EQ(AudioSuffix(job), "");
  job.target_audio = 2;
  EXPECT_EQ(AudioSuffix(job), ".flac");
}

TEST(TempFiles, NamesTheFilesOfEachKindOfJob) {
  const JobRecord avchd = TwoPassAvchd("Movie");
  EXPECT_FALSE(DemuxInPlan(avchd));
  Names expected = WithTag("Movie", 3,
                           {".264", ".index", ".qpfile", ".264.lock", ".stats", ".stats.mbtree",
                            ".stats.mbtree.temp", ".stats.temp"});
  expected.push_back("tsmuxer.job_3.meta");
  EXPECT_EQ(TemporaryFileNames(avchd, 3, true), expected);
  for (std::string_view log : {".x264_pass1_log.txt", ".x264_pass2_log.txt"})
    expected.push_back(TempFileBaseName("Movie", 3, log));
  EXPECT_EQ(TemporaryFileNames(avchd, 3, false), expected);

  // MKV with x265, PGS subtitles to be rescaled, DTS-HD kept.
  JobRecord mkv = TwoPassAvchd("Movie");
  mkv.target_media = kMediaMkvCrf;
  mkv.use_x265 = true;
  mkv.resize_720p = 2;
  CopyText(mkv.audio_codec_id, "A_DTS");
  mkv.audio_untouched_hd = true;
  EXPECT_EQ(TemporaryFileNames(mkv, 0, false),
            WithTag("Movie", 0,
                    {".h264", ".dtshd", ".sup", ".resized.sup", ".chapters.txt", ".avs", ".eac3to_log.txt",
                     ".265", ".qpfile", ".265.lock", ".x265_log.txt"}));

  // 2D+3D remux with forced captions: both eyes, audio, subtitles, no encoder.
  JobRecord mvc = TwoPassAvchd("Movie");
  mvc.mode_3d = 10;
  mvc.video_untouched = 1;
  mvc.subtitle_mode = 3;
  Names mvc_names =
      WithTag("Movie", 7, {".avc.h264", ".mvc.h264", ".ac3", ".sup", ".forced.sup", ".eac3to_log.txt"});
  mvc_names.push_back("tsmuxer.job_7.meta");
  EXPECT_EQ(TemporaryFileNames(mvc, 7, false), mvc_names);

  // Half side-by-side through x264 CRF to AVCHD: eyes and the script; an
  // interlaced source to be re-encoded also names the 2D video.
  JobRecord sbs = TwoPassAvchd("Movie");
  sbs.mode_3d = 1;
  sbs.target_media = kMediaAvchdCrf;
  sbs.reserved_7470 = 1;
  Names sbs_names = WithTag("Movie", 2,
                            {".avc.h264", ".mvc.h264", ".avs", ".h264", ".sup", ".eac3to_log.txt", ".264",
                             ".index", ".qpfile", ".264.lock"});
  sbs_names.push_back("tsmuxer.job_2.meta");
  sbs_names.push_back(TempFileBaseName("Movie", 2, ".x264_log.txt"));
  EXPECT_EQ(TemporaryFileNames(sbs, 2, false), sbs_names);
}

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
  for (const Names* list : {&doomed, &others}) {
    for (const std::string& n : *list) Touch(dir / n);
  }
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

}  // namespace
}  // namespace dp
