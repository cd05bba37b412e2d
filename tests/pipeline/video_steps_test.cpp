#include "pipeline/video_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "step_fixture.h"
#include "util/text.h"

namespace dp {
namespace {

using VideoSteps = test::StepFixture;

constexpr const char* kChapters = "00:00:00.000;00:10:00.000";

// A 2D BD5 job at 23.976 fps: two-pass x264 reading the source.
JobRecord TwoPassJob() {
  JobRecord job = EmptyJob();
  job.target_media = kMediaBd5;
  job.video_rate = 8000;
  job.frame_count = 1000;
  CopyText(job.output_name, "Movie");
  CopyText(job.source_path, "/discs/MOVIE/BDMV/STREAM/00001.m2ts");
  CopyText(job.video_codec, "AVC");
  CopyText(job.fps_text, "23.976");
  CopyText(job.fps_fraction, "24000/1001");
  CopyText(job.x264_preset, "slow");
  CopyText(job.x264_tune, "film");
  CopyText(job.chapters, kChapters);
  return job;
}

TEST(VideoNumbers, KeyintVbvAndMvcencLimits) {
  EXPECT_EQ(KeyintBase("29.970"), 30);  // rounded, not cut
  // A custom size: x264 moves to the larger VBV at 10000 kbps, MVCenc only
  // at 12000.
  JobRecord job = EmptyJob();
  job.target_media = kMediaCustom;
  const std::tuple<int, int, int> bufsizes[] = {
      {9999, 24000, 25000}, {11999, 30000, 25000}, {12000, 30000, 60000}};
  for (const auto& [rate, x264, mvcenc] : bufsizes) {
    job.video_rate = rate;
    EXPECT_EQ(BlurayVbv(job).bufsize, x264) << rate;
    EXPECT_EQ(MvcencLimits(job).bufsize, mvcenc) << rate;
  }
}

TEST_F(VideoSteps, ToolVariantsFollowTheSystemAndAviSynth) {
  JobRecord job = TwoPassJob();
  // The 64-bit x264 reads scripts only through AviSynth+ (the rows below run without it).
  job.mode_3d = kModeHalfSbsLeft;
  ctx_.avisynth_plus = true;
  EXPECT_EQ(X264Program(job, ctx_), Tools() + "/x264/x264_x64");
  EXPECT_EQ(Avs2yuvProgram(ctx_), Tools() + "/x265/avs2yuv_x64");
  EXPECT_EQ(SupTitlePlugin(ctx_), Tools() + "/SupTitle/x64/SupTitle.dll");
}

TEST_F(VideoSteps, ChapterKeyframes) {
  JobRecord job = TwoPassJob();
  // Ten minutes at 23.976 is frame 14385.6: the nearest frame is 14386.
  EXPECT_EQ(ChapterKeyframes(job), "0 K -1\n14386 K -1\n");
  job.use_x265 = true;
  EXPECT_EQ(ChapterKeyframes(job), "0 K\n14386 K\n");
  job.use_x265 = false;
  // A short or cut chapter entry reads its missing parts as zero.
  CopyText(job.chapters, "01:00:00.000;00:01");
  EXPECT_EQ(ChapterKeyframes(job), "86314 K -1\n1439 K -1\n");
  EXPECT_TRUE(ChapterKeyframesFile(job, ctx_)->only_if_absent);
  // Ten characters or fewer: no file and no option.
  CopyText(job.chapters, "00:00:00.0");
  EXPECT_FALSE(ChapterKeyframesFile(job, ctx_).has_value());
  EXPECT_EQ(BuildX264Pass1Step(job, ctx_, 1, 3).command_line.find("--qpfile"), std::string::npos);
}

TEST_F(VideoSteps, FrameCountFromTheDemuxLog) {
  EXPECT_EQ(ReadEac3toFrameCount(std::string(DP_TESTDATA_DIR) + "/eac3to/UsEac3to132_log.txt"), 152372);
  EXPECT_EQ(ReadEac3toFrameCount(T(".missing")), std::nullopt);

  JobRecord job = TwoPassJob();
  job.join_playlist = 5;
  Touch(T(".eac3to_log.txt"),
        "Subtitle track 6 contains 1202 captions.\r\n  Video track 2 contains 1 frames.\r\n"
        "Video track 2 contains 86400 fields.\r\nVideo track 3 contains 99 frames.\r\n");
  EXPECT_TRUE(RefreshFrameCount(job, ctx_));
  EXPECT_EQ(job.frame_count, 43200);
  // A log without the video line leaves the count as it is.
  job.frame_count = 1000;
  Touch(T(".eac3to_log.txt"), "Video track 2 has no count\nDone.\n");
  EXPECT_FALSE(RefreshFrameCount(job, ctx_));
  EXPECT_EQ(job.frame_count, 1000);
}

TEST_F(VideoSteps, AvisynthScripts) {
  const std::string sub = ".SupTitle(\"{T}.sup\", forcedOnly=true, swapCbCr=false, relocate=false)";
  const std::string mvc = "LoadPlugin(\"{TOOLS}/MVCsource.dll\")\n";
  const std::string x265 = mvc + "\nMVCsource(\"{T}.h264\", \"\", 1000, 0)\n";
  const std::string eyes = "Interleaved = MVCsource(\"{T}.avc.h264\", \"{T}.mvc.h264\", 1000, ";
  // clang-format off
  const struct {
    void (*edit)(JobRecord&);
    std::string script;
  } cases[] = {
      // Half top-bottom, right eye base, forced captions burned in.
      {[](JobRecord& j) { j.mode_3d = kModeHalfTabRight, j.subtitle_mode = kSubtitleForcedOnly; },
       mvc + "LoadPlugin(\"{TOOLS}/SupTitle/SupTitle.dll\")\n\n" + eyes + "-2)\n\nRight = SelectOdd(Interleaved)" + sub +
       "\nLeft = SelectEven(Interleaved)" + sub + "\n\nreturn StackVertical(VerticalReduceBy2(Left), VerticalReduceBy2(Right))\n"},
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft; },
       mvc + "\n" + eyes + "2)\n\nRight = SelectOdd(Interleaved)\nLeft = SelectEven(Interleaved)\n\n"
       "return StackHorizontal(HorizontalReduceBy2(Left), HorizontalReduceBy2(Right))\n"},
      {[](JobRecord& j) { j.target_media = kMediaMkvCrf, j.use_x265 = true, j.crop_height = 800, j.resize_720p = kResize720; },
       x265 + "Crop(0,140,0,-140)\nBicubicResize(1280,532)\n"},
      {[](JobRecord& j) { j.target_media = kMediaMkvCrf, j.use_x265 = true, j.resize_720p = kResize720; },
       x265 + "BicubicResize(1280,720)\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    JobRecord job = TwoPassJob();
    c.edit(job);
    const auto file = AvisynthScriptFile(job, ctx_);
    ASSERT_TRUE(file.has_value()) << c.script;
    EXPECT_EQ(file->path, T(".avs"));
    EXPECT_EQ(file->content, Expand(c.script));
  }
}

// What a step of each encoder names besides its command line; the labels
// are checked through the worker.
struct Encoder {
  PreparedStep (*build)(const JobRecord&, const StepContext&, int, int);
  StepTool tool;
  const char* title;
  const char* log;
  const char* lock;  // the output is its name without ".lock"; none: pass 1 keeps everything
};
constexpr const char* kX264Title = "[X264 PROCESS] Do not close this window!!!";
constexpr Encoder kPass1{BuildX264Pass1Step, kX264Pass1Tool,
                         "[X264 PASS 1 PROCESS] Do not close this window!!!", ".x264_pass1_log.txt", ""};
constexpr Encoder kPass2{BuildX264SecondStep, kX264Pass2Tool, kX264Title, ".x264_pass2_log.txt", ".264.lock"};
constexpr Encoder kCrf{BuildX264SecondStep, kX264CrfTool, kX264Title, ".x264_log.txt", ".264.lock"};
constexpr Encoder kX265{BuildX265Step, kX265Tool, "[X265 PROCESS] Do not close this window!!!",
                        ".x265_log.txt", ".265.lock"};
constexpr Encoder kMvcenc{BuildMvcencStep, kMvcencTool, "[MVC ENCODER PROCESS] Do not close this window!!!",
                          ".MVCenc_log.txt", ".264.lock"};

// One row per encoder run: the job, and every part of the prepared step.
TEST_F(VideoSteps, EncoderCommandLines) {
  const std::string bt709 = "--colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 ";
  // clang-format off
  const struct {
    void (*edit)(JobRecord&, Settings&);
    const Encoder& encoder;
    std::string command;
    const char* feeder;
    const char* inputs;  // the control files written before the run
  } cases[] = {
      // BD5 pass 1.
      {[](JobRecord&, Settings&) {}, kPass1,
       "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --tune \"film\" --bluray-compat --level \"4.1\" --vbv-bufsize 24000 "
       "--vbv-maxrate 24000 --bitrate 8000 --stats \"{T}.stats\" --index \"{T}.index\" --qpfile \"{T}.qpfile\" --fps "
       "\"24000/1001\" --force-cfr --keyint 24 --open-gop --slices 4  " + bt709 + "--pass 1 -o /dev/null "
       "\"/discs/MOVIE/BDMV/STREAM/00001.m2ts\"", "", ".qpfile"},
      // AVCHD CRF, interlaced: reads the demuxed video.
      {[](JobRecord& j, Settings&) {
         j.target_media = kMediaAvchdCrf, j.video_rate = 20, j.frame_count = 5000, j.interlaced_avc = true;
         CopyText(j.fps_text, "25.000"), CopyText(j.fps_fraction, "25/1"), CopyText(j.x264_tune, "none");
         CopyText(j.x264_preset, "medium"), CopyText(j.x264_interlace, " --tff"), CopyText(j.extra_params, "--ref 4");
         CopyText(j.video_filter, " --vf \"resize:1280,720\""), CopyText(j.chapters, "");
       }, kCrf,
       "\"{TOOLS}/x264/x264_x64\" --preset \"medium\" --bluray-compat --level \"4.1\" --vbv-bufsize 30000 --vbv-maxrate "
       "40000 --crf 20 --index \"{T}.index\" --fps \"25/1\" --force-cfr --tff --keyint 25 --open-gop --slices 4 --ref 4 " +
       bt709 + "--vf \"resize:1280,720\" --demuxer \"lavf\" --frames 5000 -o \"{T}.264\" \"{T}.h264\"", "", ""},
      // MKV CRF x264, no tune chosen, frames limited.
      {[](JobRecord& j, Settings&) {
         j.target_media = kMediaMkvCrf, j.video_rate = 18, j.limit_frames = true;
         CopyText(j.x264_tune, ""), CopyText(j.chapters, ""), CopyText(j.source_path, "/films/movie.mkv");
       }, kCrf,
       "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --level \"4.1\" --crf 18 --index \"{T}.index\" --fps \"24000/1001\" "
       "--force-cfr --keyint 240 --open-gop  --frames 1000 " + bt709 + "-o \"{T}.264\" \"/films/movie.mkv\"", "", ""},
      // MKV CRF x264 for DivX Plus HD.
      {[](JobRecord& j, Settings& s) {
         j.target_media = kMediaMkvCrf, j.video_rate = 18, j.limit_frames = true, s.DivXPlusHD = 1;
         CopyText(j.x264_tune, ""), CopyText(j.chapters, ""), CopyText(j.source_path, "/films/movie.mkv");
       }, kCrf,
       "\"{TOOLS}/x264/x264_x64\" --preset \"slow\" --level \"4.0\" --vbv-bufsize 25000 --vbv-maxrate 20000 --crf 18 "
       "--index \"{T}.index\" --fps \"24000/1001\" --force-cfr --bframes 3 --keyint 96  --frames 1000 " + bt709 +
       "-o \"{T}.264\" \"/films/movie.mkv\"", "", ""},
      // MKV CRF x265 fed by MVCdec; the "film" tune is for x264 only.
      {[](JobRecord& j, Settings&) { j.target_media = kMediaMkvCrf, j.use_x265 = true, j.video_rate = 20, j.noise_reduction = 5; },
       kX265,
       "\"{TOOLS}/x265/x265_x64\" --y4m --frames 1000 --crf 20 --preset \"slow\" --aq-mode 3 --keyint 240  --qpfile "
       "\"{T}.qpfile\" --nr-intra 5 --nr-inter 5  " + bt709 + "--input \"-\" --output \"{T}.265\"",
       "\"{TOOLS}/MVCdec_x64\" \"{T}.h264\" \"\" 1000 0 -", ".qpfile"},
      // Half side-by-side MKV x265 with a tune, fed by avs2yuv.
      {[](JobRecord& j, Settings&) {
         j.mode_3d = kModeHalfSbsLeft, j.target_media = kMediaMkvCrf, j.use_x265 = true, j.video_rate = 20;
         CopyText(j.chapters, ""), CopyText(j.x264_tune, "grain");
       }, kX265,
       "\"{TOOLS}/x265/x265_x64\" --y4m --frames 1000 --crf 20 --preset \"slow\" --aq-mode 3 --tune \"grain\" "
       "--keyint 240   " + bt709 + "--input \"-\" --output \"{T}.265\"", "\"{TOOLS}/x265/avs2yuv\" \"{T}.avs\" -", ".avs"},
      // Half side-by-side MKV x264 reads the script.
      {[](JobRecord& j, Settings&) {
         j.mode_3d = kModeHalfSbsLeft, j.target_media = kMediaMkvCrf, j.video_rate = 20;
         CopyText(j.x264_tune, "none"), CopyText(j.chapters, "");
       }, kCrf,
       "\"{TOOLS}/x264/x264\" --preset \"slow\" --level \"4.1\" --crf 20 --keyint 240 --open-gop --frame-packing 3  " + bt709 +
       "-o \"{T}.264\" \"{T}.avs\"", "", ".avs"},
      // Half top-bottom BD9 pass 2 reads the script.
      {[](JobRecord& j, Settings&) {
         j.mode_3d = kModeHalfTabLeft, j.target_media = kMediaBd9, j.video_rate = 12000;
         CopyText(j.x264_tune, "none"), CopyText(j.chapters, "");
       }, kPass2,
       "\"{TOOLS}/x264/x264\" --preset \"slow\" --bluray-compat --level \"4.1\" --vbv-bufsize 24000 --vbv-maxrate 24000 "
       "--bitrate 12000 --stats \"{T}.stats\" --keyint 24 --open-gop --slices 4 --frame-packing 4  " + bt709 +
       "--pass 2 -o \"{T}.264\" \"{T}.avs\"", "", ".avs"},
      {[](JobRecord& j, Settings&) {
         j.mode_3d = kModeMvcLeft, j.target_media = kMediaBd25, j.video_rate = 30000, j.frame_count = 2000;
         CopyText(j.x264_preset, "veryslow");
       }, kMvcenc,
       "\"{TOOLS}/MVCenc_x64\" \"{T}.avc.h264\" \"{T}.mvc.h264\" 2000 \"{T}.264\" 30000 2 60000 30000", "", ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoder.log);
    JobRecord job = TwoPassJob();
    Settings settings = settings_;
    c.edit(job, settings);
    const StepContext ctx{settings, ctx_.slot, ctx_.is_64bit};
    const PreparedStep step = c.encoder.build(job, ctx, 2, 3);
    EXPECT_EQ(step.command_line, Expand(c.command));
    EXPECT_EQ(step.feeder_command, Expand(c.feeder));
    EXPECT_EQ(step.tool, c.encoder.tool);
    EXPECT_EQ(step.console_title, c.encoder.title);
    EXPECT_EQ(step.log_file, T(c.encoder.log));
    EXPECT_TRUE(step.idle_priority);
    const std::string lock = *c.encoder.lock ? T(c.encoder.lock) : "";
    EXPECT_EQ(step.lock_file, lock);
    EXPECT_EQ(step.outputs_on_failure, lock.empty()
                                           ? std::vector<std::string>{}
                                           : std::vector<std::string>{lock.substr(0, lock.size() - 5)});
    std::string inputs;
    for (const ControlFile& f : step.control_files) inputs += f.path.substr(T("").size());
    EXPECT_EQ(inputs, c.inputs);
  }
  ctx_.debug_mode = true;
  EXPECT_EQ(BuildMvcencStep(TwoPassJob(), ctx_, 2, 3).capture, Capture::kNone);
}

TEST_F(VideoSteps, ResumeSkipsFinishedEncodes) {
  JobRecord job = TwoPassJob();
  Touch(T(".264"));
  EXPECT_TRUE(BuildX264SecondStep(job, ctx_, 2, 3).skip);
  // An output with its lock beside it is an interrupted run: encode again.
  Touch(T(".264.lock"), "");
  EXPECT_FALSE(BuildX264SecondStep(job, ctx_, 2, 3).skip);
  // A keyframes file left by an earlier run is named even when no longer
  // written by this step.
  job.target_media = kMediaMkvCrf;
  job.use_x265 = true;
  CopyText(job.chapters, "");
  Touch(T(".qpfile"), "0 K\n");
  EXPECT_NE(BuildX265Step(job, ctx_, 2, 3).command_line.find("--qpfile"), std::string::npos);
}

}  // namespace
}  // namespace dp
