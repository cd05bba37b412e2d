#include "pipeline/video_steps.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "step_fixture.h"
#include "util/text.h"

namespace dp {
namespace {

using test::StepFixture;

constexpr const char* kSource = "/discs/MOVIE/BDMV/STREAM/00001.m2ts";
constexpr const char* kChapters = "00:00:00.000;00:10:00.000";

// A 2D BD5 job at 23.976 fps: two-pass x264 reading the source.
JobRecord TwoPassJob() {
  JobRecord job = EmptyJob();
  job.target_media = kMediaBd5;
  job.video_rate = 8000;
  job.frame_count = 1000;
  CopyText(job.output_name, "Movie");
  CopyText(job.source_path, kSource);
  CopyText(job.video_codec, "AVC");
  CopyText(job.fps_text, "23.976");
  CopyText(job.fps_fraction, "24000/1001");
  CopyText(job.x264_preset, "slow");
  CopyText(job.x264_tune, "film");
  CopyText(job.chapters, kChapters);
  return job;
}

using VideoSteps = StepFixture;

TEST(VideoNumbers, KeyintVbvAndMvcencLimits) {
  EXPECT_EQ(KeyintBase("23.976"), 24);
  EXPECT_EQ(KeyintBase("25.000"), 25);
  EXPECT_EQ(KeyintBase("29.970"), 30);
  EXPECT_EQ(KeyintBase("50.000"), 50);
  EXPECT_EQ(KeyintBase("59.940"), 60);

  // A custom size: x264 moves to the larger VBV at 10000 kbps, MVCenc only
  // at 12000.
  JobRecord job = EmptyJob();
  job.target_media = kMediaCustom;
  job.video_rate = 9999;
  EXPECT_EQ(BlurayVbv(job).bufsize, 24000);
  EXPECT_EQ(MvcencLimits(job).bufsize, 25000);
  job.video_rate = 11999;
  EXPECT_EQ(BlurayVbv(job).bufsize, 30000);
  EXPECT_EQ(BlurayVbv(job).maxrate, 40000);
  EXPECT_EQ(MvcencLimits(job).maxrate, 25000);
  job.video_rate = 12000;
  EXPECT_EQ(MvcencLimits(job).bufsize, 60000);
  EXPECT_EQ(MvcencLimits(job).maxrate, 30000);

  EXPECT_EQ(MvcencQuality("slower"), 2);
  EXPECT_EQ(MvcencQuality("medium"), 4);
  EXPECT_EQ(MvcencQuality("veryfast"), 6);
}

TEST_F(VideoSteps, ToolVariantsFollowTheSystemAndAviSynth) {
  JobRecord job = TwoPassJob();
  EXPECT_EQ(X264Program(job, ctx_), Tools() + "/x264/x264_x64");
  job.mode_3d = 1;  // the 64-bit x264 reads scripts only through AviSynth+
  EXPECT_EQ(X264Program(job, ctx_), Tools() + "/x264/x264");
  EXPECT_EQ(Avs2yuvProgram(ctx_), Tools() + "/x265/avs2yuv");
  EXPECT_EQ(MvcsourcePlugin(ctx_), Tools() + "/MVCsource.dll");
  ctx_.avisynth_plus = true;
  EXPECT_EQ(X264Program(job, ctx_), Tools() + "/x264/x264_x64");
  EXPECT_EQ(Avs2yuvProgram(ctx_), Tools() + "/x265/avs2yuv_x64");
  EXPECT_EQ(SupTitlePlugin(ctx_), Tools() + "/SupTitle/x64/SupTitle.dll");
  ctx_.is_64bit = false;
  EXPECT_EQ(X264Program(job, ctx_), Tools() + "/x264/x264");
  EXPECT_EQ(X265Program(ctx_), Tools() + "/x265/x265");
  EXPECT_EQ(MvcencProgram(ctx_), Tools() + "/MVCenc");
  EXPECT_EQ(MvcdecProgram(ctx_), Tools() + "/MVCdec");
  EXPECT_EQ(SupTitlePlugin(ctx_), Tools() + "/SupTitle/SupTitle.dll");
}

TEST_F(VideoSteps, ChapterKeyframesFileAndItsOption) {
  JobRecord job = TwoPassJob();
  // Ten minutes at 23.976 is frame 14385.6: the nearest frame is 14386.
  EXPECT_EQ(ChapterKeyframes(job), "0 K -1\n14386 K -1\n");
  job.use_x265 = true;
  EXPECT_EQ(ChapterKeyframes(job), "0 K\n14386 K\n");
  job.use_x265 = false;

  const auto file = ChapterKeyframesFile(job, ctx_);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->path, T(".qpfile"));
  EXPECT_TRUE(file->only_if_absent);

  // A short or cut chapter entry reads its missing parts as zero.
  CopyText(job.chapters, "01:00:00.000;00:01");
  EXPECT_EQ(ChapterKeyframes(job), "86314 K -1\n1439 K -1\n");

  // Ten characters or fewer: no file and no option.
  CopyText(job.chapters, "00:00:00.0");
  EXPECT_FALSE(ChapterKeyframesFile(job, ctx_).has_value());
  const PreparedStep step = BuildX264Pass1Step(job, ctx_, 1, 3);
  EXPECT_EQ(step.command_line.find("--qpfile"), std::string::npos);
  EXPECT_TRUE(step.control_files.empty());
  // A remux encodes nothing.
  CopyText(job.chapters, kChapters);
  job.video_untouched = 1;
  EXPECT_FALSE(ChapterKeyframesFile(job, ctx_).has_value());
}

TEST_F(VideoSteps, FrameCountFromTheDemuxLog) {
  EXPECT_EQ(ReadEac3toFrameCount(std::string(DP_TESTDATA_DIR) + "/eac3to/UsEac3to132_log.txt"), 152372);
  EXPECT_EQ(ReadEac3toFrameCount(T(".missing")), std::nullopt);

  JobRecord job = TwoPassJob();
  job.join_playlist = 5;
  Touch(T(".eac3to_log.txt"),
        "Subtitle track 6 contains 1202 captions.\r\n  Video track 2 contains 1 frames.\r\n"
        "Video track 2 contains 86400 fields.\r\nVideo track 3 contains 99 frames.\r\n");
  ASSERT_TRUE(FrameCountRefreshDue(job));
  EXPECT_TRUE(RefreshFrameCount(job, ctx_));
  EXPECT_EQ(job.frame_count, 43200);

  // Frames limited to the title: the count of the job stays.
  job.frame_count = 1000;
  job.limit_frames = true;
  EXPECT_FALSE(RefreshFrameCount(job, ctx_));
  EXPECT_EQ(job.frame_count, 1000);

  // A log without the video line leaves the count as it is.
  job.limit_frames = false;
  Touch(T(".eac3to_log.txt"), "Video track 2 has no count\nDone.\n");
  EXPECT_FALSE(RefreshFrameCount(job, ctx_));
  EXPECT_EQ(job.frame_count, 1000);

  // The source was read directly: no log to read.
  JobRecord direct = TwoPassJob();
  EXPECT_FALSE(FrameCountRefreshDue(direct));
  direct.interlaced_avc = true;
  EXPECT_TRUE(FrameCountRefreshDue(direct));
}

TEST_F(VideoSteps, HalfTopBottomScriptBurnsForcedCaptions) {
  JobRecord job = TwoPassJob();
  job.mode_3d = 4;  // top and bottom, right eye as base
  job.subtitle_mode = 3;
  const auto file = AvisynthScriptFile(job, ctx_);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->path, T(".avs"));
  EXPECT_TRUE(file->only_if_absent);
  const std::string sub = ".SupTitle(\"{T}.sup\", forcedOnly=true, swapCbCr=false, relocate=false)";
  EXPECT_EQ(file->content,
            Expand("LoadPlugin(\"{TOOLS}/MVCsource.dll\")\n"
                   "LoadPlugin(\"{TOOLS}/SupTitle/SupTitle.dll\")\n\n"
                   "Interleaved = MVCsource(\"{T}.avc.h264\", \"{T}.mvc.h264\", 1000, -2)\n\n"
                   "Right = SelectOdd(Interleaved)" +
                   sub + "\nLeft = SelectEven(Interleaved)" + sub +
                   "\n\n"
                   "return StackVertical(VerticalReduceBy2(Left), VerticalReduceBy2(Right))\n"));

  job.mode_3d = 1;
  job.subtitle_mode = 0;
  EXPECT_EQ(AvisynthScript(job, ctx_),
            Expand("LoadPlugin(\"{TOOLS}/MVCsource.dll\")\n\n"
                   "Interleaved = MVCsource(\"{T}.avc.h264\", \"{T}.mvc.h264\", 1000, 2)\n\n"
                   "Right = SelectOdd(Interleaved)\nLeft = SelectEven(Interleaved)\n\n"
                   "return StackHorizontal(HorizontalReduceBy2(Left), HorizontalReduceBy2(Right))\n"));
}

TEST_F(VideoSteps, X265ScriptCropsAndResizes) {
  JobRecord job = TwoPassJob();
  job.target_media = kMediaMkvCrf;
  job.use_x265 = true;
  EXPECT_FALSE(AvisynthScriptDue(job));

  job.crop_height = 800;
  job.resize_720p = 1;
  const std::string head =
      "LoadPlugin(\"{TOOLS}/MVCsource.dll\")\n\nMVCsource(\"{T}.h264\", \"\", 1000, 0)\n";
  EXPECT_EQ(AvisynthScript(job, ctx_), Expand(head + "Crop(0,140,0,-140)\nBicubicResize(1280,532)\n"));
  job.resize_720p = 0;
  EXPECT_EQ(AvisynthScript(job, ctx_), Expand(head + "Crop(0,140,0,-140)\n"));
  job.crop_height = 0;
  job.resize_720p = 1;
  EXPECT_EQ(AvisynthScript(job, ctx_), Expand(head + "BicubicResize(1280,720)\n"));
  // x264 jobs crop with x264's own filter.
  job.use_x265 = false;
  EXPECT_FALSE(AvisynthScriptFile(job, ctx_).has_value());
}

TEST_F(VideoSteps, TwoPassAvchdCommandLines) {
  const JobRecord job = TwoPassJob();
  const PreparedStep pass1 = BuildX264Pass1Step(job, ctx_, 1, 3);
  EXPECT_EQ(
      pass1.command_line,
      Expand(
          "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --tune \"film\" --bluray-compat --level \"4.1\" "
          "--vbv-bufsize 24000 --vbv-maxrate 24000 --bitrate 8000 --stats \"{T}.stats\" --index "
          "\"{T}.index\" --qpfile \"{T}.qpfile\" --fps \"24000/1001\" --force-cfr --keyint 24 --open-gop "
          "--slices 4  --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 --pass 1 "
          "-o /dev/null \"/discs/MOVIE/BDMV/STREAM/00001.m2ts\""));
  EXPECT_EQ(pass1.label, "[STEP 1/3 - X264 PASS 1] Recode video using x264, 1st pass...");
  EXPECT_EQ(pass1.status, kStatusX264Pass1);
  EXPECT_EQ(pass1.console_title, "[X264 PASS 1 PROCESS] Do not close this window!!!");
  EXPECT_EQ(pass1.capture, Capture::kLog);
  EXPECT_EQ(pass1.log_file, T(".x264_pass1_log.txt"));
  EXPECT_TRUE(pass1.idle_priority);
  EXPECT_TRUE(pass1.lock_file.empty());
  EXPECT_TRUE(pass1.outputs_on_failure.empty());  // a failed first pass keeps everything
  ASSERT_EQ(pass1.control_files.size(), 1u);
  EXPECT_EQ(pass1.control_files[0].path, T(".qpfile"));
  EXPECT_FALSE(pass1.skip);

  const PreparedStep pass2 = BuildX264SecondStep(job, ctx_, 2, 3);
  EXPECT_EQ(
      pass2.command_line,
      Expand(
          "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --tune \"film\" --bluray-compat --level \"4.1\" "
          "--vbv-bufsize 24000 --vbv-maxrate 24000 --bitrate 8000 --stats \"{T}.stats\" --index "
          "\"{T}.index\" --qpfile \"{T}.qpfile\" --fps \"24000/1001\" --force-cfr --keyint 24 --open-gop "
          "--slices 4  --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 --pass 2 "
          "-o \"{T}.264\" \"/discs/MOVIE/BDMV/STREAM/00001.m2ts\""));
  EXPECT_EQ(pass2.label, "[STEP 2/3 - X264 PASS 2] Recode video using x264, 2nd pass...");
  EXPECT_EQ(pass2.status, kStatusX264Pass2);
  EXPECT_EQ(pass2.console_title, "[X264 PROCESS] Do not close this window!!!");
  EXPECT_EQ(pass2.log_file, T(".x264_pass2_log.txt"));
  EXPECT_EQ(pass2.lock_file, T(".264.lock"));
  EXPECT_EQ(pass2.outputs_on_failure, std::vector<std::string>{T(".264")});
}

TEST_F(VideoSteps, AvchdCrfInterlacedReadsTheDemuxedVideo) {
  JobRecord job = TwoPassJob();
  job.target_media = kMediaAvchdCrf;
  job.video_rate = 20;
  job.frame_count = 5000;
  job.interlaced_avc = true;
  CopyText(job.fps_text, "25.000");
  CopyText(job.fps_fraction, "25/1");
  CopyText(job.x264_tune, "none");
  CopyText(job.x264_preset, "medium");
  CopyText(job.x264_interlace, " --tff");
  CopyText(job.extra_params, "--ref 4");
  CopyText(job.video_filter, " --vf \"resize:1280,720\"");
  CopyText(job.chapters, "");
  const PreparedStep step = BuildX264SecondStep(job, ctx_, 2, 3);
  EXPECT_EQ(
      step.command_line,
      Expand("\"{TOOLS}/x264/x264_x64\" --preset \"medium\" --bluray-compat --level \"4.1\" --vbv-bufsize "
             "30000 --vbv-maxrate 40000 --crf 20 --index \"{T}.index\" --fps \"25/1\" --force-cfr --tff "
             "--keyint 25 --open-gop --slices 4 --ref 4 --colorprim \"bt709\" --transfer \"bt709\" "
             "--colormatrix \"bt709\" --sar 1:1 --vf \"resize:1280,720\" --demuxer \"lavf\" --frames 5000 -o "
             "\"{T}.264\" \"{T}.h264\""));
  EXPECT_EQ(step.label, "[STEP 2/3 - X264 CRF] Recode video using x264, single pass CRF...");
  EXPECT_EQ(step.status, kStatusX264Crf);
  EXPECT_EQ(step.log_file, T(".x264_log.txt"));
}

TEST_F(VideoSteps, MkvCrfX264WithAndWithoutDivXPlusHd) {
  JobRecord job = TwoPassJob();
  job.target_media = kMediaMkvCrf;
  job.video_rate = 18;
  job.limit_frames = true;
  CopyText(job.x264_tune, "");  // no tune chosen: no tune option
  CopyText(job.chapters, "");
  CopyText(job.source_path, "/films/movie.mkv");
  EXPECT_EQ(
      BuildX264SecondStep(job, ctx_, 2, 3).command_line,
      Expand(
          "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --level \"4.1\" --crf 18 --index \"{T}.index\" --fps "
          "\"24000/1001\" --force-cfr --keyint 240 --open-gop  --frames 1000 --colorprim \"bt709\" "
          "--transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 -o \"{T}.264\" \"/films/movie.mkv\""));
  settings_.DivXPlusHD = 1;
  EXPECT_EQ(
      BuildX264SecondStep(job, ctx_, 2, 3).command_line,
      Expand("\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --level \"4.0\" --vbv-bufsize 25000 --vbv-maxrate "
             "20000 --crf 18 --index \"{T}.index\" --fps \"24000/1001\" --force-cfr --bframes 3 --keyint 96  "
             "--frames 1000 --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 -o "
             "\"{T}.264\" \"/films/movie.mkv\""));
}

TEST_F(VideoSteps, MkvCrfX265FedByMvcdec) {
  JobRecord job = TwoPassJob();
  job.target_media = kMediaMkvCrf;
  job.use_x265 = true;
  job.video_rate = 20;
  job.noise_reduction = 5;
  const PreparedStep step = BuildX265Step(job, ctx_, 2, 3);
  // The "film" tune is for x264 only.
  EXPECT_EQ(
      step.command_line,
      Expand(
          "\"{TOOLS}/x265/x265_x64\" --y4m --frames 1000 --crf 20 --preset \"slow\" --aq-mode 3 --keyint 240 "
          " --qpfile \"{T}.qpfile\" --nr-intra 5 --nr-inter 5  --colorprim \"bt709\" --transfer \"bt709\" "
          "--colormatrix \"bt709\" --sar 1:1 --input \"-\" --output \"{T}.265\""));
  EXPECT_EQ(step.feeder_command, Expand("\"{TOOLS}/MVCdec_x64\" \"{T}.h264\" \"\" 1000 0 -"));
  EXPECT_EQ(step.label, "[STEP 2/3 - X265 CRF] Recode video using x265, single pass CRF...");
  EXPECT_EQ(step.status, kStatusX265Crf);
  EXPECT_EQ(step.console_title, "[X265 PROCESS] Do not close this window!!!");
  EXPECT_EQ(step.log_file, T(".x265_log.txt"));
  EXPECT_EQ(step.lock_file, T(".265.lock"));
  EXPECT_EQ(step.outputs_on_failure, std::vector<std::string>{T(".265")});
  ASSERT_EQ(step.control_files.size(), 1u);
  EXPECT_EQ(step.control_files[0].content, "0 K\n14386 K\n");

  CopyText(job.x264_tune, "grain");
  EXPECT_NE(BuildX265Step(job, ctx_, 2, 3).command_line.find("--aq-mode 3 --tune \"grain\" --keyint"),
            std::string::npos);
}

TEST_F(VideoSteps, HalfSideBySideEncodesReadTheScript) {
  JobRecord job = TwoPassJob();
  job.mode_3d = 1;
  job.target_media = kMediaMkvCrf;
  job.video_rate = 20;
  CopyText(job.x264_tune, "none");
  CopyText(job.chapters, "");
  const PreparedStep x264 = BuildX264SecondStep(job, ctx_, 2, 3);
  EXPECT_EQ(
      x264.command_line,
      Expand(
          "\"{TOOLS}/x264/x264\" --preset \"slow\" --level \"4.1\" --crf 20 --keyint 240 --open-gop "
          "--frame-packing 3  --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 "
          "-o \"{T}.264\" \"{T}.avs\""));
  ASSERT_EQ(x264.control_files.size(), 1u);
  EXPECT_EQ(x264.control_files[0].path, T(".avs"));

  job.use_x265 = true;
  const PreparedStep x265 = BuildX265Step(job, ctx_, 2, 3);
  EXPECT_EQ(x265.feeder_command, Expand("\"{TOOLS}/x265/avs2yuv\" \"{T}.avs\" -"));

  // Half top-and-bottom in two passes for BD9.
  job.use_x265 = false;
  job.mode_3d = 3;
  job.target_media = kMediaBd9;
  job.video_rate = 12000;
  EXPECT_EQ(
      BuildX264Pass1Step(job, ctx_, 2, 4).command_line,
      Expand(
          "\"{TOOLS}/x264/x264\" --preset \"slow\" --bluray-compat --level \"4.1\" --vbv-bufsize 24000 "
          "--vbv-maxrate 24000 --bitrate 12000 --stats \"{T}.stats\" --keyint 24 --open-gop --slices 4 "
          "--frame-packing 4  --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 "
          "--pass 1 -o /dev/null \"{T}.avs\""));
  EXPECT_EQ(
      BuildX264SecondStep(job, ctx_, 3, 4).command_line,
      Expand(
          "\"{TOOLS}/x264/x264\" --preset \"slow\" --bluray-compat --level \"4.1\" --vbv-bufsize 24000 "
          "--vbv-maxrate 24000 --bitrate 12000 --stats \"{T}.stats\" --keyint 24 --open-gop --slices 4 "
          "--frame-packing 4  --colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 "
          "--pass 2 -o \"{T}.264\" \"{T}.avs\""));
}

TEST_F(VideoSteps, MvcencCommandLine) {
  JobRecord job = TwoPassJob();
  job.mode_3d = 10;
  job.target_media = kMediaBd25;
  job.video_rate = 30000;
  job.frame_count = 2000;
  CopyText(job.x264_preset, "veryslow");
  const PreparedStep step = BuildMvcencStep(job, ctx_, 2, 3);
  EXPECT_EQ(
      step.command_line,
      Expand(
          "\"{TOOLS}/MVCenc_x64\" \"{T}.avc.h264\" \"{T}.mvc.h264\" 2000 \"{T}.264\" 30000 2 60000 30000"));
  EXPECT_EQ(step.label, "[STEP 2/3 - MVC ENCODER] Recode MVC 3D video using MVCenc...");
  EXPECT_EQ(step.status, kStatusMvcEncoder);
  EXPECT_EQ(step.console_title, "[MVC ENCODER PROCESS] Do not close this window!!!");
  EXPECT_EQ(step.log_file, T(".MVCenc_log.txt"));
  EXPECT_EQ(step.lock_file, T(".264.lock"));
  EXPECT_TRUE(step.idle_priority);

  ctx_.debug_mode = true;
  EXPECT_EQ(BuildMvcencStep(job, ctx_, 2, 3).capture, Capture::kNone);
}

TEST_F(VideoSteps, ResumeSkipsFinishedEncodes) {
  JobRecord job = TwoPassJob();
  EXPECT_FALSE(BuildX264Pass1Step(job, ctx_, 1, 3).skip);
  Touch(T(".stats"));
  EXPECT_TRUE(BuildX264Pass1Step(job, ctx_, 1, 3).skip);

  EXPECT_FALSE(BuildX264SecondStep(job, ctx_, 2, 3).skip);
  Touch(T(".264"));
  EXPECT_TRUE(BuildX264SecondStep(job, ctx_, 2, 3).skip);
  // An output with its lock beside it is an interrupted run: encode again.
  Touch(T(".264.lock"), "");
  EXPECT_FALSE(BuildX264SecondStep(job, ctx_, 2, 3).skip);
  job.mode_3d = 10;
  EXPECT_FALSE(BuildMvcencStep(job, ctx_, 2, 3).skip);

  job.mode_3d = 0;
  job.target_media = kMediaMkvCrf;
  job.use_x265 = true;
  Touch(T(".265"));
  EXPECT_TRUE(BuildX265Step(job, ctx_, 2, 3).skip);
  Touch(T(".265.lock"), "");
  EXPECT_FALSE(BuildX265Step(job, ctx_, 2, 3).skip);

  // A keyframes file left by an earlier run is named even when no longer
  // written by this step.
  CopyText(job.chapters, "");
  Touch(T(".qpfile"), "0 K\n");
  EXPECT_NE(BuildX265Step(job, ctx_, 2, 3).command_line.find("--qpfile"), std::string::npos);
}

}  // namespace
}  // namespace dp
