#include "pipeline/subtitle_tasks.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "step_fixture.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Args = std::vector<std::string>;

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Segment(std::uint8_t type, Bytes payload) {
  Bytes s(13, 0);
  s[0] = 'P', s[1] = 'G', s[10] = type;
  s[11] = static_cast<std::uint8_t>(payload.size() >> 8),
  s[12] = static_cast<std::uint8_t>(payload.size() & 0xFF);
  s.insert(s.end(), payload.begin(), payload.end());
  return s;
}

// An epoch: its starting composition (first object flagged `flags`), a
// window segment of `window_size` bytes and the end segment.
Bytes Epoch(std::uint8_t flags, std::size_t window_size = 10) {
  Bytes pcs(19, 0);
  pcs[7] = 0x80;
  pcs[10] = 1;
  pcs[14] = flags;
  Bytes out = Segment(0x16, pcs);
  const Bytes window = Segment(0x17, Bytes(window_size, 0x11));
  const Bytes end = Segment(0x80, {});
  out.insert(out.end(), window.begin(), window.end());
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

class SubtitleTasks : public test::StepFixture {
 protected:
  // MKV CRF with forced PGS captions, cropped to 800 lines and resized.
  static JobRecord RescaleJob() {
    JobRecord job = EmptyJob();
    job.target_media = kMediaMkvCrf;
    job.subtitle_mode = kSubtitleForcedOnly;
    job.crop_height = 800;
    job.resize_720p = kResize720;
    CopyText(job.output_name, "Movie");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    return job;
  }
  std::string Program() const { return Tools() + "/BDSup2Sub/BDSup2Sub"; }

  JavaRuntime java_{true, "/usr/bin/java"};
};

TEST_F(SubtitleTasks, ForcedCaptionTaskWritesOnlyWhenAbsent) {
  const Bytes forced = Epoch(0x40), plain = Epoch(0x00);
  Bytes input = forced;
  input.insert(input.end(), plain.begin(), plain.end());
  Write(temp_.path() / "in.sup", input);
  const std::string in = (temp_.path() / "in.sup").string(), out = (temp_.path() / "out.sup").string();
  const std::string lock = out + ".lock";
  std::vector<std::string> shown;
  const StatusDisplay show = [&](std::string_view text) { shown.emplace_back(text); };

  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kExportForced, in, out, lock, show), 1);
  EXPECT_EQ(shown, (std::vector<std::string>{"Extracting forced captions...", ""}));
  EXPECT_EQ(Read(out), forced);
  EXPECT_FALSE(fs::exists(lock));

  // An existing output is a finished piece of an earlier run.
  Write(out, {1, 2, 3});
  shown.clear();
  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kFlagAllForced, in, out, lock, show), 0);
  EXPECT_EQ(shown, (std::vector<std::string>{"Flagging all subs as forced...", ""}));
  EXPECT_EQ(Read(out), (Bytes{1, 2, 3}));

  // Unless its lock stands beside it: a killed run cut it short.
  Write(lock, {});
  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kExportForced, in, out, lock, show), 1);
  EXPECT_EQ(Read(out), forced);
  EXPECT_FALSE(fs::exists(lock));

  shown.clear();
  EXPECT_EQ(RunForcedCaptionTask(ForcedCaptionTask::kNone, in, out, lock, show), 0);
  EXPECT_TRUE(shown.empty());
}

TEST_F(SubtitleTasks, ForcedCaptionTaskRemovesAnOutputItCouldNotFinish) {
  const std::string in = (temp_.path() / "in.sup").string(), out = (temp_.path() / "out.sup").string();
  Write(in, Epoch(0x40, 60000));
  // Files may not grow past 4 KiB: the copy fails part way.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = RunForcedCaptionTask(ForcedCaptionTask::kExportForced, in, out, out + ".lock", nullptr);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(out + ".lock"));
}

TEST_F(SubtitleTasks, ForcedCaptionsOfAJobFollowItsPlan) {
  JobRecord job = RescaleJob();
  Write(T(".sup"), Epoch(0x00));
  EXPECT_EQ(RunForcedCaptions(job, ctx_, nullptr), 1);  // export: an empty stream
  EXPECT_TRUE(fs::exists(T(".forced.sup")));
  EXPECT_EQ(fs::file_size(T(".forced.sup")), 0u);
  fs::remove(T(".forced.sup"));
  job.mode_3d = kModeHalfSbsLeft;  // burned into the picture instead
  EXPECT_EQ(RunForcedCaptions(job, ctx_, nullptr), 0);
  EXPECT_FALSE(fs::exists(T(".forced.sup")));
}

TEST_F(SubtitleTasks, RescaleRunsTheNativeProgramWithTheTemplateOptions) {
  JobRecord job = RescaleJob();
  PreparedStep step = PrepareSubtitleRescale(job, ctx_, java_);
  ASSERT_FALSE(step.skip);
  EXPECT_EQ(step.tool, StepTool{});
  EXPECT_EQ(step.console_title, "[RESIZING/CROPING SUBTITLES] Do not close this window!!!");
  EXPECT_EQ(step.capture, Capture::kNone);
  EXPECT_EQ(step.command_line, "\"" + Program() + "\" -T keep -c 140 -r 720p -f lanczos3 -o \"" +
                                   T(".resized.sup") + "\" \"" + T(".forced.sup") + "\"");
  EXPECT_EQ(step.outputs_on_failure, std::vector<std::string>{T(".resized.sup")});
  EXPECT_EQ(step.lock_file, T(".resized.sup.lock"));

  // Crop alone, resize alone; the demuxed stream without forced captions,
  // the flagged stream when every caption was forced.
  job.resize_720p = kResizeNone;
  job.subtitle_mode = kSubtitleKept;
  EXPECT_EQ(SplitCommandLine(PrepareSubtitleRescale(job, ctx_, java_).command_line),
            (Args{Program(), "-T", "keep", "-c", "140", "-o", T(".resized.sup"), T(".sup")}));
  job.resize_720p = kResize720;
  job.crop_height = 0;
  job.subtitle_mode = kSubtitleKeptForced;
  EXPECT_EQ(SplitCommandLine(PrepareSubtitleRescale(job, ctx_, java_).command_line),
            (Args{Program(), "-T", "keep", "-r", "720p", "-f", "lanczos3", "-o", T(".resized.sup"),
                  T(".forced.sup")}));
}

TEST_F(SubtitleTasks, RescaleRunsAJarWithJavaWhenThereIsOne) {
  const std::string jar = Tools() + "/BDSup2Sub/BDSup2Sub.jar";
  Touch(jar, "jar");
  JobRecord job = RescaleJob();
  EXPECT_EQ(PrepareSubtitleRescale(job, ctx_, java_).command_line,
            "/usr/bin/java -jar \"" + jar + "\" -T keep -c 140 -r 720p -f lanczos3 -o \"" +
                T(".resized.sup") + "\" \"" + T(".forced.sup") + "\"");
  // A runtime in a folder with a blank still reaches the tool whole.
  const JavaRuntime spaced{true, "/opt/java 17/bin/java"};
  const Args argv = SplitCommandLine(PrepareSubtitleRescale(job, ctx_, spaced).command_line);
  ASSERT_GE(argv.size(), 3u);
  EXPECT_EQ(argv[0], "/opt/java 17/bin/java");
  EXPECT_EQ(argv[1], "-jar");
  EXPECT_EQ(argv[2], jar);
}

TEST_F(SubtitleTasks, RescaleIsSkippedWhenNotDueDoneOrWithoutJava) {
  JobRecord job = RescaleJob();
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, JavaRuntime{}).skip);
  std::ofstream(T(".resized.sup")) << "done";
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, java_).skip);
  // Cut short by a run that died: never muxed, made again when it can be.
  std::ofstream(T(".resized.sup.lock")) << "";
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, JavaRuntime{}).skip);
  EXPECT_FALSE(fs::exists(T(".resized.sup")));
  EXPECT_FALSE(fs::exists(T(".resized.sup.lock")));
  std::ofstream(T(".resized.sup")) << "half";
  std::ofstream(T(".resized.sup.lock")) << "";
  EXPECT_FALSE(PrepareSubtitleRescale(job, ctx_, java_).skip);
  fs::remove(T(".resized.sup"));
  job.target_media = kMediaAvchdCrf;  // AVCHD rescales only with the PGS rescale option
  EXPECT_TRUE(PrepareSubtitleRescale(job, ctx_, java_).skip);
  job.resize_720p = kResize720WithPgs;
  EXPECT_FALSE(PrepareSubtitleRescale(job, ctx_, java_).skip);
}

}  // namespace
}  // namespace dp
