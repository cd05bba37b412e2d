#include "pipeline/demux_step.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path, const std::string& text = "x") { std::ofstream(path) << text; }

class DemuxStep : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tools_.path() / "eac3to");
    program_ = (tools_.path() / "eac3to" / "eac3to").string();
    Touch(program_, "#!/bin/sh\n");
    ::chmod(program_.c_str(), 0755);
    ::setenv("DISCPRESS_TOOLS_DIR", tools_.path().c_str(), 1);
    CopyText(settings_.TempPath, temp_.path().string());
    ctx_.slot = 4;
    ctx_.settings = &settings_;
  }
  void TearDown() override { ::unsetenv("DISCPRESS_TOOLS_DIR"); }

  // A BD5 job from a disc folder: AVC video, AC3 audio, PGS subtitles.
  static JobRecord DiscJob() {
    JobRecord job = EmptyJob();
    job.status = kStatusPending;
    job.target_media = kMediaBd5;
    CopyText(job.output_name, "Movie");
    CopyText(job.source_root, "/media/BD");
    CopyText(job.source_path, "/media/BD/BDMV/STREAM/00001.m2ts");
    CopyText(job.video_codec, "AVC");
    CopyText(job.audio_codec_id, "A_AC3");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    job.video_eac3to_track = 2;
    job.audio_eac3to_track = 3;
    job.subtitle_eac3to_track = 5;
    return job;
  }

  std::string File(const std::string& suffix) const {
    return (temp_.path() / ("Movie.job_4" + suffix)).string();
  }
  static std::string Q(const std::string& s) { return "\"" + s + "\""; }
  std::string Log() const { return " -log=" + Q(File(".eac3to_log.txt")); }

  test::TempDir tools_, temp_;
  std::string program_;
  Settings settings_;
  StepContext ctx_;
};

TEST_F(DemuxStep, DiscFolderWithRecodedAudioAndForcedCaptions) {
  JobRecord job = DiscJob();
  job.playlist_index = 2;
  job.target_audio = 640;
  job.audio_to_16bit = true;
  job.subtitle_mode = 3;
  DemuxTracks tracks;
  const PreparedStep step = PrepareDemux(job, ctx_, &tracks);
  EXPECT_FALSE(step.skip);
  EXPECT_EQ(step.status, kStatusEac3to);
  EXPECT_EQ(step.console_title, "[EAC3TO PROCESS] Do not close this window!!!");
  EXPECT_EQ(step.capture, Capture::kPipe);
  EXPECT_EQ(step.label, "[STEP 1/4 - EAC3TO] Recode audio to AC3 640 and extract forced captions...");
  // No video condition holds: x264 reads the video from the disc.
  EXPECT_EQ(step.command_line, Q(program_) + " \"/media/BD\" 2) 3: " + Q(File(".ac3")) +
                                   " -640 -down16 5: " + Q(File(".sup")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.outputs_on_failure, (std::vector<std::string>{File(".ac3"), File(".sup")}));
  EXPECT_EQ(tracks.video_arg, "");
  EXPECT_EQ(tracks.audio_file, File(".ac3"));
  EXPECT_EQ(tracks.subtitle_file, File(".sup"));

  // Both recode options, in their order; the downmix alone with FLAC.
  job.audio_downmix_51 = true;
  EXPECT_NE(PrepareDemux(job, ctx_).command_line.find(" -640 -down16 -down6 5: "), std::string::npos);
  job.target_audio = 2;
  job.audio_to_16bit = false;
  EXPECT_NE(PrepareDemux(job, ctx_).command_line.find(" 3: " + Q(File(".flac")) + " -down6 5: "),
            std::string::npos);
}

TEST_F(DemuxStep, JoinedTitleWinsAndExtractsEverything) {
  JobRecord job = DiscJob();
  job.join_playlist = 5;
  job.playlist_index = 3;
  job.subtitle_mode = 1;
  CopyText(job.video_codec, "VC-1");
  CopyText(job.audio_codec_id, "A_DTS");
  job.audio_untouched_hd = true;
  job.audio_core_only = 1;  // the core goes only to MKV
  const PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line, Q(program_) + " \"/media/BD\" 5) 2: " + Q(File(".vc1")) +
                                   " 3: " + Q(File(".dtshd")) + " 5: " + Q(File(".sup")) +
                                   " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/4 - EAC3TO] Join m2ts parts, extract audio and subtitles...");
  EXPECT_EQ(step.outputs_on_failure.size(), 3u);
}

TEST_F(DemuxStep, PlaylistSourceNamesThePlaylistFile) {
  JobRecord job = DiscJob();
  job.source_is_playlist = true;
  CopyText(job.playlist_name, "00800.mpls");
  job.target_media = kMediaMkvCrf;
  job.subtitle_mode = 1;
  const PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line, Q(program_) + " \"/media/BD/BDMV/PLAYLIST/00800.mpls\" 1) 3: " +
                                   Q(File(".ac3")) + " 5: " + Q(File(".sup")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/3 - EAC3TO] Extract audio and subtitles...");
  // A root given with its trailing slash gets no second one.
  CopyText(job.source_root, "/media/BD/");
  EXPECT_NE(PrepareDemux(job, ctx_).command_line.find(" \"/media/BD/BDMV/PLAYLIST/00800.mpls\" 1) "),
            std::string::npos);
}

TEST_F(DemuxStep, MkvFileSourceHasNoTitleNumber) {
  JobRecord job = DiscJob();
  CopyText(job.source_root, "");
  CopyText(job.source_path, "/v/Film.mkv");
  job.source_is_mkv = true;
  job.target_media = kMediaMkvCrf;
  job.video_untouched = 1;
  job.subtitle_mode = 1;
  job.video_eac3to_track = 1;
  job.audio_eac3to_track = 2;
  job.subtitle_eac3to_track = 3;
  CopyText(job.audio_codec_id, "A_DTS");
  job.audio_core_only = 1;
  CopyText(job.subtitle_codec_id, "S_TEXT/UTF8");
  PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line, Q(program_) + " \"/v/Film.mkv\" 1: " + Q(File(".h264")) +
                                   " 2: " + Q(File(".dts")) + " -core 3: " + Q(File(".srt")) +
                                   " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/2 - EAC3TO] Extract video, audio and subtitles...");

  // DTS-HD kept whole: ".dtshd", and the core option only with core-only.
  job.audio_untouched_hd = true;
  job.audio_core_only = 0;
  step = PrepareDemux(job, ctx_);
  EXPECT_NE(step.command_line.find(" 2: " + Q(File(".dtshd")) + " 3: "), std::string::npos);
  // A codec outside the table is written under the bare base name.
  CopyText(job.video_codec, "HEVC");
  EXPECT_NE(PrepareDemux(job, ctx_).command_line.find(" 1: " + Q(File("")) + " 2: "), std::string::npos);
}

TEST_F(DemuxStep, StreamFileWithInterlacedVideoAndDebugMode) {
  JobRecord job = DiscJob();
  CopyText(job.source_root, "");
  job.interlaced_avc = true;
  job.target_audio = 2;
  job.subtitle_mode = 1;  // read by tsMuxeR from the source
  const PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line, Q(program_) + " \"/media/BD/BDMV/STREAM/00001.m2ts\" 2: " + Q(File(".h264")) +
                                   " 3: " + Q(File(".flac")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/4 - EAC3TO] Extract video and recode audio to FLAC...");

  ctx_.debug_mode = true;
  const PreparedStep debug = PrepareDemux(job, ctx_);
  EXPECT_EQ(debug.command_line.find("-progressnumbers"), std::string::npos);
  EXPECT_NE(debug.command_line.find(Q(File(".flac")) + " -log="), std::string::npos);
  EXPECT_EQ(debug.capture, Capture::kNone);
}

TEST_F(DemuxStep, AudioIsLeftToTheMuxerUnlessItMustBeDemuxed) {
  JobRecord job = DiscJob();
  job.subtitle_mode = 3;
  EXPECT_FALSE(DemuxExtractsAudio(job));
  PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line,
            Q(program_) + " \"/media/BD\" 1) 5: " + Q(File(".sup")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/4 - EAC3TO] Extract forced captions...");

  job.mode_3d = 11;  // 2D+3D: the audio goes into the ISO from a file
  EXPECT_TRUE(DemuxExtractsAudio(job));
  job.audio_eac3to_track = 0;  // no audio chosen
  EXPECT_FALSE(DemuxExtractsAudio(job));
  job.mode_3d = 0;
  job.target_media = kMediaMkvCrf;
  EXPECT_FALSE(DemuxExtractsAudio(job));
}

TEST_F(DemuxStep, ThreeDExtractsBothEyesAndResumesPerEye) {
  JobRecord job = DiscJob();
  job.mode_3d = 10;
  job.subtitle_mode = 1;
  CopyText(job.audio_codec_id, "A_LPCM");
  job.audio_eac3to_track = 4;  // the dependent view is track 3
  PreparedStep step = PrepareDemux(job, ctx_);
  EXPECT_EQ(step.command_line, Q(program_) + " \"/media/BD\" 1) 2: " + Q(File(".avc.h264")) +
                                   " 3: " + Q(File(".mvc.h264")) + " 4: " + Q(File(".wav")) +
                                   " 5: " + Q(File(".sup")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/3 - EAC3TO] Extract left/right eye video, audio and subs...");

  // The base view is there from an interrupted run: only the other eye is
  // extracted, and only what this run writes is removed when it fails.
  Touch(File(".avc.h264"));
  step = PrepareDemux(job, ctx_);
  EXPECT_NE(step.command_line.find(") 3: " + Q(File(".mvc.h264")) + " 4: "), std::string::npos);
  EXPECT_EQ(step.command_line.find(".avc.h264"), std::string::npos);
  EXPECT_EQ(step.outputs_on_failure,
            (std::vector<std::string>{File(".mvc.h264"), File(".wav"), File(".sup")}));
}

TEST_F(DemuxStep, ResumeExtractsOnlyWhatIsMissing) {
  JobRecord job = DiscJob();
  job.join_playlist = 2;
  job.subtitle_mode = 3;
  Touch(File(".h264"));
  Touch(File(".ac3"));
  DemuxTracks tracks;
  PreparedStep step = PrepareDemux(job, ctx_, &tracks);
  EXPECT_EQ(step.command_line,
            Q(program_) + " \"/media/BD\" 2) 5: " + Q(File(".sup")) + " -progressnumbers" + Log());
  EXPECT_EQ(step.label, "[STEP 1/4 - EAC3TO] Extract forced captions...");
  EXPECT_EQ(step.outputs_on_failure, std::vector<std::string>{File(".sup")});
  // The later steps still learn every file name.
  EXPECT_EQ(tracks.video_file, File(".h264"));
  EXPECT_EQ(tracks.audio_file, File(".ac3"));

  job.subtitle_mode = 1;
  EXPECT_EQ(PrepareDemux(job, ctx_).label, "[STEP 1/4 - EAC3TO] Extract subtitles...");

  Touch(File(".sup"));
  step = PrepareDemux(job, ctx_);
  EXPECT_TRUE(step.skip);
  EXPECT_EQ(step.status, kStatusEac3to);
  EXPECT_EQ(step.label, "");
  EXPECT_TRUE(step.outputs_on_failure.empty());
}

TEST_F(DemuxStep, DelayedEac3IsRenamedToTheExpectedName) {
  JobRecord job = DiscJob();
  CopyText(job.output_name, "Film.EAC3 cut");
  job.target_media = kMediaMkvCrf;
  CopyText(job.audio_codec_id, "A_EAC3");
  job.audio_delay_ms = 120;
  DemuxTracks tracks;
  PrepareDemux(job, ctx_, &tracks);
  const std::string expected = (temp_.path() / "Film.EAC3 cut.job_4.eac3").string();
  ASSERT_EQ(tracks.audio_file, expected);
  ASSERT_FALSE(tracks.audio_arg.empty());

  const std::string delayed = (temp_.path() / "Film.EAC3 cut.job_4 DELAY 120ms.eac3").string();
  Touch(delayed, "audio");
  EXPECT_TRUE(DemuxAfterWork(job, tracks));
  EXPECT_FALSE(fs::exists(delayed));
  std::ifstream in(expected);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "audio");

  // Nothing to rename: the file is where it belongs, or no delay was kept.
  Touch(delayed, "other");
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
  EXPECT_TRUE(fs::exists(delayed));
  fs::remove(expected);
  job.audio_delay_ms = 0;
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
  job.audio_delay_ms = 120;
  job.target_media = kMediaAvchdCrf;  // tsMuxeR shifts the delay itself
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
  EXPECT_TRUE(fs::exists(delayed));

  // A recode writes ".ac3": a ".eac3" inside the output name is no cue.
  job.target_media = kMediaMkvCrf;
  job.target_audio = 640;
  PrepareDemux(job, ctx_, &tracks);
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
}

}  // namespace
}  // namespace dp
