// The worker driven through queue control, with fake outside tools: which
// steps run under which labels, the statuses the record goes through, the
// exact argv every tool gets, and what Stop, Cancel, failures and resumed
// runs leave behind.
#include "pipeline/worker.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "fake_tools.h"
#include "pipeline/demux_step.h"
#include "pipeline/mux_steps.h"
#include "pipeline/step_plan.h"
#include "pipeline/subtitle_tasks.h"
#include "pipeline/temp_files.h"
#include "pipeline/video_steps.h"
#include "planning/env_checks.h"
#include "platform/command_line.h"
#include "queue/queue_store.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct Frontend : QueueFrontend {
  JobQueue* queue = nullptr;
  std::mutex mutex;
  Strings labels;
  Strings texts;
  std::map<int, std::vector<std::int32_t>> statuses;  // each slot's status changes
  std::map<int, std::int32_t> last;
  int done = 0;

  void QueueChanged() override {
    std::lock_guard lock(mutex);
    for (int i = 0; i < kQueueSlots; ++i) {
      const std::int32_t s = queue->Status(i);
      if (s != kStatusEmpty && last[i] != s) statuses[i].push_back(s);
      last[i] = s;
    }
  }
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void StepStarted(std::string_view label) override {
    std::lock_guard lock(mutex);
    if (!label.empty()) labels.emplace_back(label);
  }
  void StatusText(std::string_view text) override {
    std::lock_guard lock(mutex);
    if (!text.empty()) texts.emplace_back(text);
  }
  void JobDone() override {
    std::lock_guard lock(mutex);
    ++done;
  }
  void Forget() {
    std::lock_guard lock(mutex);
    labels.clear();
    texts.clear();
    statuses.clear();
  }
};

struct Power : PowerControl {
  void KeepAwake(bool) override {}
  bool PowerOff() override {
    ADD_FAILURE() << "a test must never power the machine off";
    return false;
  }
};

struct Prompts : Prompter {
  Answer Ask(std::string_view, std::string_view, Buttons) override { return Answer::kYes; }
};

// A tool's argv as the worker is to pass it: the builder's command line
// split by the launch rules.
Strings Argv(const std::string& command_line) { return SplitCommandLine(command_line); }

bool Contains(const Strings& argv, const Strings& run) {
  return std::search(argv.begin(), argv.end(), run.begin(), run.end()) != argv.end();
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path ? path : "";
    // Nothing on PATH: only the fakes can be found, never the real x264,
    // x265 or mkvmerge.
    fs::create_directories(root_ / "bin");
    ::setenv("PATH", (root_ / "bin").c_str(), 1);
    ::setenv("DISCPRESS_TOOLS_DIR", (root_ / "tools").c_str(), 1);
    ::setenv("DP_FAKE_RECORD", (root_ / "record").c_str(), 1);
    fs::create_directories(root_ / "out");
    // The muxer names the source's audio and subtitle tracks only when the
    // source is there.
    fs::create_directories(root_ / "src");
    std::ofstream(root_ / "src" / "00001.m2ts") << "ts";
    SetTempPath(root_ / "temp");
    store_ = Store::Open(root_ / "store.db");
    run_.is_64bit = true;  // the "_x64" names fall back to the plain fakes
    frontend_.queue = &queue_;
    control_ = std::make_unique<QueueControl>(*store_, queue_, run_, settings_, frontend_, power_, prompts_);
    runner_ = std::make_unique<PipelineRunner>(*control_, queue_, run_, settings_, frontend_);
    control_->set_runner(runner_.get());
  }
  void TearDown() override {
    control_->Shutdown();
    ::setenv("PATH", saved_path_.c_str(), 1);
    ::unsetenv("DISCPRESS_TOOLS_DIR");
    ::unsetenv("DP_FAKE_RECORD");
  }

  void SetTempPath(const fs::path& p) {
    temp_ = p;
    CopyText(settings_.TempPath, p.string());
  }

  // A 2D BD5 job reading an M2TS clip: AC-3 audio, PGS subtitles, chapters.
  JobRecord Job(const std::string& name = "Movie") {
    JobRecord job = EmptyJob();
    job.status = kStatusPending;
    job.target_media = kMediaBd5;
    job.video_rate = 8000;
    job.frame_count = 1000;
    CopyText(job.output_name, name);
    CopyText(job.source_path, (root_ / "src" / "00001.m2ts").string());
    CopyText(job.output_path, (root_ / "out" / name).string());
    CopyText(job.video_codec, "AVC");
    CopyText(job.fps_text, "23.976");
    CopyText(job.fps_fraction, "24000/1001");
    CopyText(job.x264_preset, "slow");
    CopyText(job.audio_codec_id, "A_AC3");
    CopyText(job.audio_language, "eng");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    CopyText(job.subtitle_language, "eng");
    CopyText(job.chapters, "00:00:00.000;00:10:00.000");
    job.video_track_id = 4113;
    job.audio_track_id = 4352;
    job.subtitle_track_id = 4608;
    job.video_eac3to_track = 1;
    job.audio_eac3to_track = 2;
    job.subtitle_eac3to_track = 3;
    job.subtitle_mode = 1;
    return job;
  }

  void Plant(int slot, const JobRecord& job) {
    queue_.Put(slot, job);
    control_->Persist();
    std::lock_guard lock(frontend_.mutex);
    frontend_.last[slot] = job.status;
  }
  void RunQueue() {
    control_->CallGo();
    control_->WaitIdle();
  }

  StepContext Ctx(int slot) const {
    StepContext ctx;
    ctx.slot = slot;
    ctx.settings = &settings_;
    ctx.is_64bit = run_.is_64bit;
    ctx.avisynth_plus = DetectaAvisynth() == kAvisynthPlus;
    return ctx;
  }
  std::string T(int slot, const std::string& suffix, const std::string& name = "Movie") const {
    return TempFileName(temp_.string(), name, slot, suffix);
  }

  // The argv of every tool the plan runs, from the builders, in run order
  // (feeders after their x265). Computed before the run: the demux files
  // are made for a moment so the mux builders see what they will see.
  std::vector<test::FakeCall> ExpectedCalls(JobRecord job, int slot) {
    const StepContext ctx = Ctx(slot);
    const StepPlan plan = PlanSteps(job);
    std::vector<test::FakeCall> calls;
    fs::create_directories(temp_);
    DemuxTracks tracks;
    if (plan.demux) {
      const PreparedStep demux = PrepareDemux(job, ctx, &tracks);
      if (!demux.skip) calls.push_back({"eac3to", Argv(demux.command_line)});
    }
    Strings made;
    for (const auto& f : tracks.created)
      if (!fs::exists(f)) {
        std::ofstream(f) << "data";
        made.push_back(f);
      }
    if (plan.frame_count_refresh) job.frame_count = 1234;  // what the fake eac3to logs
    const int n = plan.total_steps;
    switch (plan.video) {
      case VideoKind::kNone:
        break;
      case VideoKind::kMvcenc:
        calls.push_back({"MVCenc", Argv(BuildMvcencStep(job, ctx, plan.video_step, n).command_line)});
        break;
      case VideoKind::kX264TwoPass:
        calls.push_back({"x264", Argv(BuildX264Pass1Step(job, ctx, plan.video_step, n).command_line)});
        calls.push_back({"x264", Argv(BuildX264SecondStep(job, ctx, plan.pass2_step, n).command_line)});
        break;
      case VideoKind::kX264Crf:
        calls.push_back({"x264", Argv(BuildX264SecondStep(job, ctx, plan.video_step, n).command_line)});
        break;
      case VideoKind::kX265: {
        const PreparedStep x265 = BuildX265Step(job, ctx, plan.video_step, n);
        calls.push_back({"x265", Argv(x265.command_line)});
        const Strings feeder = Argv(x265.feeder_command);
        calls.push_back({fs::path(feeder[0]).filename().string(), feeder});
        break;
      }
    }
    const std::string encoded =
        T(slot, job.use_x265 ? ".265" : ".264", std::string(FieldText(job.output_name)));
    const bool make_encoded = plan.video != VideoKind::kNone && !fs::exists(encoded);
    if (make_encoded) std::ofstream(encoded) << "data";
    if (plan.mux == MuxKind::kMkvmerge) {
      calls.push_back({"mkvmerge", Argv(BuildMkvmergeStep(job, ctx, plan.mux_step, n).command_line)});
    } else {
      ApplyTsMuxerRecordCorrections(job);
      calls.push_back({plan.mux == MuxKind::kTsMuxerIso ? "tsMuxeR-2" : "tsMuxeR-1",
                       Argv(BuildTsMuxerStep(job, ctx, plan.mux_step, n).command_line)});
    }
    if (make_encoded) fs::remove(encoded);
    for (const auto& f : made) fs::remove(f);
    fs::remove(TsMuxerMetaName(temp_.string(), slot));
    fs::remove(T(slot, ".chapters.txt", std::string(FieldText(job.output_name))));
    return calls;
  }

  // Every name in the temporary folder.
  std::set<std::string> TempListing() const {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(temp_, ec)) names.insert(e.path().filename().string());
    return names;
  }
  std::string ErrorLog() const {
    std::ifstream in(temp_ / "error_log.txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::int32_t StoredStatus(int slot) {
    JobQueue stored;
    LlegeixCuaRegistre(*store_, stored);
    return stored.Status(slot);
  }
  // The tool's process group is gone: nothing of it is left running.
  static bool GroupGone(int pgid) { return pgid > 0 && ::kill(-pgid, 0) == -1 && errno == ESRCH; }

  // Runs the job in slot 0 and checks labels, statuses and every argv.
  void RunRow(const JobRecord& job, const Strings& labels, const std::vector<std::int32_t>& statuses) {
    const auto expected = ExpectedCalls(job, 0);
    Plant(0, job);
    RunQueue();
    EXPECT_EQ(frontend_.labels, labels);
    EXPECT_EQ(frontend_.statuses[0], statuses);
    const auto calls = fakes_.Calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (const auto& want : expected) {
      const auto got = std::find_if(calls.begin(), calls.end(), [&](const test::FakeCall& c) {
        return c.name == want.name && c.argv == want.argv;
      });
      EXPECT_NE(got, calls.end()) << want.name << " did not get " << ::testing::PrintToString(want.argv);
    }
    Strings order;
    for (const auto& c : expected)
      if (c.name != "MVCdec" && c.name != "avs2yuv") order.push_back(c.name);
    EXPECT_EQ(fakes_.Sequence(), order);
    EXPECT_EQ(ErrorLog(), "");
    EXPECT_EQ(frontend_.done, 1);
  }

  test::TempDir root_;
  std::string saved_path_;
  fs::path temp_;
  test::FakeTools fakes_{root_ / "tools", root_ / "record"};
  std::unique_ptr<Store> store_;
  JobQueue queue_;
  RunState run_;
  Settings settings_{};
  Frontend frontend_;
  Power power_;
  Prompts prompts_;
  std::unique_ptr<QueueControl> control_;
  std::unique_ptr<PipelineRunner> runner_;
};

TEST_F(WorkerTest, TwoPassAvchdRecodingAudio) {
  JobRecord job = Job();
  job.target_audio = 640;
  RunRow(job,
         {"[STEP 1/4 - EAC3TO] Recode audio to AC3 640...",
          "[STEP 2/4 - X264 PASS 1] Recode video using x264, 1st pass...",
          "[STEP 3/4 - X264 PASS 2] Recode video using x264, 2nd pass...",
          "[STEP 4/4 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."},
         {kStatusEac3to, kStatusX264Pass1, kStatusX264Pass2, kStatusTsMuxer, kStatusFinished});
  const auto eac3to = fakes_.CallsOf("eac3to").at(0).argv;
  EXPECT_EQ(eac3to, (Strings{fakes_.Path("eac3to/eac3to"), job.source_path, "2:", T(0, ".ac3"), "-640",
                             "-progressnumbers", "-log=" + T(0, ".eac3to_log.txt")}));
  const auto x264 = fakes_.CallsOf("x264");
  EXPECT_EQ(x264.at(0).argv.at(0), fakes_.Path("x264/x264"));
  EXPECT_TRUE(Contains(x264[0].argv, {"--bitrate", "8000", "--stats", T(0, ".stats")}));
  EXPECT_TRUE(Contains(x264[0].argv, {"--qpfile", T(0, ".qpfile")}));
  EXPECT_TRUE(Contains(x264[0].argv, {"--pass", "1", "-o", "/dev/null", job.source_path}));
  EXPECT_TRUE(Contains(x264[1].argv, {"--pass", "2", "-o", T(0, ".264"), job.source_path}));
  EXPECT_EQ(
      fakes_.CallsOf("tsMuxeR-1").at(0).argv,
      (Strings{fakes_.Path("tsMuxeR/1.10.6/tsMuxeR"), TsMuxerMetaName(temp_.string(), 0), job.output_path}));
  const std::string meta = fakes_.Meta("tsMuxeR-1");
  EXPECT_NE(meta.find("--avchd"), std::string::npos) << meta;
  EXPECT_NE(meta.find("V_MPEG4/ISO/AVC, \"" + T(0, ".264") + "\""), std::string::npos) << meta;
  EXPECT_NE(meta.find("A_AC3, \"" + T(0, ".ac3") + "\""), std::string::npos) << meta;
  EXPECT_TRUE(fs::exists(root_ / "out" / "Movie" / "BDMV"));
  // On success the intermediate files go; the encoder logs too, as they
  // are not kept.
  EXPECT_EQ(TempListing(), std::set<std::string>{});
  EXPECT_EQ(StoredStatus(0), kStatusEmpty);  // done jobs are not stored
}

TEST_F(WorkerTest, AvchdCrfWithoutDemux) {
  JobRecord job = Job();
  job.target_media = kMediaAvchdCrf;
  job.video_rate = 20;
  RunRow(job,
         {"[STEP 1/2 - X264 CRF] Recode video using x264, single pass CRF...",
          "[STEP 2/2 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."},
         {kStatusX264Crf, kStatusTsMuxer, kStatusFinished});
  EXPECT_TRUE(Contains(fakes_.CallsOf("x264").at(0).argv, {"--crf", "20"}));
  // Audio and subtitle come straight from the source, by track.
  const std::string meta = fakes_.Meta("tsMuxeR-1");
  EXPECT_NE(meta.find("track=4352"), std::string::npos) << meta;
  EXPECT_NE(meta.find("track=4608"), std::string::npos) << meta;
}

TEST_F(WorkerTest, MkvCrfWithX264) {
  JobRecord job = Job();
  job.target_media = kMediaMkvCrf;
  job.video_rate = 18;
  CopyText(job.output_path, (root_ / "out" / "Movie.mkv").string());
  RunRow(job,
         {"[STEP 1/3 - EAC3TO] Extract audio and subtitles...",
          "[STEP 2/3 - X264 CRF] Recode video using x264, single pass CRF...",
          "[STEP 3/3 - MKVMERGE] Muxing audio/video/subs and creating MKV file..."},
         {kStatusEac3to, kStatusX264Crf, kStatusMkvmerge, kStatusFinished});
  const auto mkv = fakes_.CallsOf("mkvmerge").at(0).argv;
  EXPECT_TRUE(Contains(mkv, {"--output", job.output_path, "--forced-track", "0:no", T(0, ".264")}));
  EXPECT_TRUE(Contains(mkv, {"--compression", "0:none", T(0, ".ac3")}));
  EXPECT_TRUE(Contains(mkv, {"--compression", "0:none", T(0, ".sup")}));
  EXPECT_TRUE(Contains(mkv, {"--title", "Movie", "--chapters", T(0, ".chapters.txt")}));
  EXPECT_TRUE(fs::exists(job.output_path));
  EXPECT_EQ(TempListing(), std::set<std::string>{});
}

TEST_F(WorkerTest, MkvCrfWithX265ReadsTheRefreshedFrameCount) {
  JobRecord job = Job();
  job.target_media = kMediaMkvCrf;
  job.video_rate = 22;
  job.use_x265 = true;
  CopyText(job.output_path, (root_ / "out" / "Movie.mkv").string());
  RunRow(job,
         {"[STEP 1/3 - EAC3TO] Extract video, audio and subtitles...",
          "[STEP 2/3 - X265 CRF] Recode video using x265, single pass CRF...",
          "[STEP 3/3 - MKVMERGE] Muxing audio/video/subs and creating MKV file..."},
         {kStatusEac3to, kStatusX265Crf, kStatusMkvmerge, kStatusFinished});
  // The demux log said 1234 frames: the feeder and the encoder both use it.
  EXPECT_EQ(fakes_.CallsOf("MVCdec").at(0).argv,
            (Strings{fakes_.Path("MVCdec"), T(0, ".h264"), "", "1234", "0", "-"}));
  const auto x265 = fakes_.CallsOf("x265").at(0).argv;
  EXPECT_EQ(x265.at(0), fakes_.Path("x265/x265"));
  EXPECT_TRUE(Contains(x265, {"--y4m", "--frames", "1234", "--crf", "22"}));
  EXPECT_TRUE(Contains(x265, {"--input", "-", "--output", T(0, ".265")}));
  EXPECT_TRUE(Contains(fakes_.CallsOf("mkvmerge").at(0).argv, {"0:no", T(0, ".265")}));
}

TEST_F(WorkerTest, RemuxToAvchdAndToMkv) {
  JobRecord job = Job();
  job.video_untouched = 1;
  job.target_audio = 2;  // FLAC
  RunRow(job,
         {"[STEP 1/2 - EAC3TO] Recode audio to FLAC...",
          "[STEP 2/2 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."},
         {kStatusEac3to, kStatusTsMuxer, kStatusFinished});
  EXPECT_NE(
      fakes_.Meta("tsMuxeR-1").find("V_MPEG4/ISO/AVC, \"" + std::string(job.source_path) + "\", track=4113"),
      std::string::npos);

  fakes_.ClearRecord();
  frontend_.Forget();
  frontend_.done = 0;
  JobRecord mkv = Job("Other");
  mkv.video_untouched = 1;
  mkv.target_media = kMediaMkvCrf;
  mkv.subtitle_mode = 0;
  CopyText(mkv.output_path, (root_ / "out" / "Other.mkv").string());
  RunRow(mkv,
         {"[STEP 1/2 - EAC3TO] Extract video and audio...",
          "[STEP 2/2 - MKVMERGE] Muxing audio/video/subs and creating MKV file..."},
         {kStatusEac3to, kStatusMkvmerge, kStatusFinished});
  EXPECT_TRUE(Contains(fakes_.CallsOf("eac3to").at(0).argv,
                       {"1:", T(0, ".h264", "Other"), "2:", T(0, ".ac3", "Other")}));
}

TEST_F(WorkerTest, HalfSideBySideAndTopBottom) {
  JobRecord sbs = Job();
  sbs.mode_3d = 1;
  sbs.target_media = kMediaBd9;
  RunRow(sbs,
         {"[STEP 1/4 - EAC3TO] Extract left/right eye video and subs...",
          "[STEP 2/4 - X264 PASS 1] Recode video using x264, 1st pass...",
          "[STEP 3/4 - X264 PASS 2] Recode video using x264, 2nd pass...",
          "[STEP 4/4 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."},
         {kStatusEac3to, kStatusX264Pass1, kStatusX264Pass2, kStatusTsMuxer, kStatusFinished});
  EXPECT_TRUE(Contains(fakes_.CallsOf("eac3to").at(0).argv,
                       {"1:", T(0, ".avc.h264"), "2:", T(0, ".mvc.h264"), "3:", T(0, ".sup")}));
  const auto pass2 = fakes_.CallsOf("x264").at(1).argv;
  EXPECT_TRUE(Contains(pass2, {"--frame-packing", "3"}));
  EXPECT_EQ(pass2.back(), T(0, ".avs"));

  fakes_.ClearRecord();
  frontend_.Forget();
  frontend_.done = 0;
  JobRecord tab = Job("Tab");
  tab.mode_3d = 3;
  tab.target_media = kMediaMkvCrf;
  tab.video_rate = 20;
  tab.use_x265 = true;
  CopyText(tab.output_path, (root_ / "out" / "Tab.mkv").string());
  RunRow(tab,
         {"[STEP 1/3 - EAC3TO] Extract left/right eye video, audio and subs...",
          "[STEP 2/3 - X265 CRF] Recode video using x265, single pass CRF...",
          "[STEP 3/3 - MKVMERGE] Muxing audio/video/subs and creating MKV file..."},
         {kStatusEac3to, kStatusX265Crf, kStatusMkvmerge, kStatusFinished});
  EXPECT_EQ(fakes_.CallsOf("avs2yuv").at(0).argv,
            (Strings{fakes_.Path("x265/avs2yuv"), T(0, ".avs", "Tab"), "-"}));
  EXPECT_TRUE(Contains(fakes_.CallsOf("mkvmerge").at(0).argv, {"--stereo-mode", "0:top_bottom_left_first"}));
}

TEST_F(WorkerTest, MvcEncodedAndMvcRemuxMakeAnIso) {
  JobRecord mvc = Job();
  mvc.mode_3d = 10;
  mvc.target_media = kMediaBd25;
  mvc.video_rate = 20000;
  CopyText(mvc.output_path, (root_ / "out" / "Movie.iso").string());
  RunRow(mvc,
         {"[STEP 1/3 - EAC3TO] Extract left/right eye video, audio and subs...",
          "[STEP 2/3 - MVC ENCODER] Recode MVC 3D video using MVCenc...",
          "[STEP 3/3 - TSMUXER] Muxing audio/video/subs and creating BLU-RAY .ISO file..."},
         {kStatusEac3to, kStatusMvcEncoder, kStatusTsMuxer, kStatusFinished});
  EXPECT_EQ(fakes_.CallsOf("MVCenc").at(0).argv,
            (Strings{fakes_.Path("MVCenc"), T(0, ".avc.h264"), T(0, ".mvc.h264"), "1234", T(0, ".264"),
                     "20000", "3", "60000", "30000"}));
  EXPECT_NE(fakes_.Meta("tsMuxeR-2").find("--blu-ray"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(mvc.output_path));

  fakes_.ClearRecord();
  frontend_.Forget();
  frontend_.done = 0;
  JobRecord remux = Job("Remux");
  remux.mode_3d = 11;
  remux.video_untouched = 1;
  remux.subtitle_mode = 0;
  CopyText(remux.output_path, (root_ / "out" / "Remux.iso").string());
  RunRow(remux,
         {"[STEP 1/2 - EAC3TO] Extract left/right eye video and audio...",
          "[STEP 2/2 - TSMUXER] Muxing audio/video/subs and creating BLU-RAY .ISO file..."},
         {kStatusEac3to, kStatusTsMuxer, kStatusFinished});
  EXPECT_NE(fakes_.Meta("tsMuxeR-2").find("--right-eye"), std::string::npos);
}

TEST_F(WorkerTest, DemuxArgumentsForTitlePlaylistJoinAndMkv) {
  const auto demux_argv = [&](const JobRecord& job) {
    fakes_.ClearRecord();
    Plant(0, job);
    RunQueue();
    EXPECT_EQ(queue_.Status(0), kStatusFinished);
    return fakes_.CallsOf("eac3to").at(0).argv;
  };
  const std::string disc = (root_ / "disc").string();
  JobRecord title = Job();
  title.target_audio = 640;
  CopyText(title.source_root, disc);
  title.playlist_index = 3;
  EXPECT_EQ(demux_argv(title), (Strings{fakes_.Path("eac3to/eac3to"), disc, "3)", "2:", T(0, ".ac3"), "-640",
                                        "-progressnumbers", "-log=" + T(0, ".eac3to_log.txt")}));

  JobRecord playlist = title;
  playlist.source_is_playlist = true;
  CopyText(playlist.playlist_name, "00800.mpls");
  EXPECT_EQ(demux_argv(playlist).at(1), disc + "/BDMV/PLAYLIST/00800.mpls");

  JobRecord join = Job();
  CopyText(join.source_root, disc);
  join.join_playlist = 2;
  join.playlist_index = 5;
  const Strings joined = demux_argv(join);
  EXPECT_TRUE(Contains(joined, {disc, "2)", "1:", T(0, ".h264"), "2:", T(0, ".ac3"), "3:", T(0, ".sup")}));
  // The joined video is what x264 reads.
  EXPECT_EQ(fakes_.CallsOf("x264").at(0).argv.back(), T(0, ".h264"));

  JobRecord mkv = Job();
  mkv.source_is_mkv = true;
  CopyText(mkv.source_path, (root_ / "src" / "film.mkv").string());
  mkv.audio_eac3to_track = 3;
  mkv.subtitle_eac3to_track = 4;
  EXPECT_EQ(demux_argv(mkv), (Strings{fakes_.Path("eac3to/eac3to"), mkv.source_path, "3:", T(0, ".ac3"), "4:",
                                      T(0, ".sup"), "-progressnumbers", "-log=" + T(0, ".eac3to_log.txt")}));
}

TEST_F(WorkerTest, StopDuringPassTwoThenResume) {
  JobRecord job = Job();
  job.target_audio = 640;
  const std::string other = T(7, ".264");  // a file of another job, never touched
  fs::create_directories(temp_);
  std::ofstream(other) << "x";
  fakes_.Block("x264", "--pass 2");
  Plant(0, job);
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("x264"));
  EXPECT_EQ(queue_.Status(0), kStatusX264Pass2);
  EXPECT_TRUE(fs::exists(T(0, ".264.lock")));
  control_->StopJob();
  control_->WaitIdle();

  EXPECT_EQ(queue_.Status(0), kStatusStopped);
  EXPECT_EQ(StoredStatus(0), kStatusStopped);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("x264")));
  // The partial encode and its lock go; what earlier steps made stays.
  EXPECT_EQ(TempListing(),
            (std::set<std::string>{"Movie.job_0.ac3", "Movie.job_0.eac3to_log.txt", "Movie.job_0.qpfile",
                                   "Movie.job_0.stats", "Movie.job_0.x264_pass1_log.txt",
                                   "Movie.job_0.x264_pass2_log.txt", "Movie.job_7.264"}));
  EXPECT_EQ(ErrorLog(), "");

  // Started again: demux and pass 1 are recognised by their files.
  fakes_.Release();
  fakes_.ClearRecord();
  frontend_.Forget();
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(fakes_.Sequence(), (Strings{"x264", "tsMuxeR-1"}));
  EXPECT_TRUE(Contains(fakes_.CallsOf("x264").at(0).argv, {"--pass", "2"}));
  EXPECT_EQ(
      frontend_.labels,
      (Strings{"[STEP 3/4 - X264 PASS 2] Recode video using x264, 2nd pass...",
               "[STEP 4/4 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."}));
  EXPECT_EQ(frontend_.statuses[0],
            (std::vector<std::int32_t>{kStatusX264Pass2, kStatusTsMuxer, kStatusFinished}));
  EXPECT_EQ(TempListing(), std::set<std::string>{"Movie.job_7.264"});
}

TEST_F(WorkerTest, ResumeRulesForEncoderOutputAndDemuxFiles) {
  JobRecord job = Job();
  job.target_audio = 640;
  fs::create_directories(temp_);
  for (const char* s : {".ac3", ".stats", ".264", ".264.lock"}) std::ofstream(T(0, s)) << "x";
  // An output with its lock beside it is an interrupted run: pass 2 again.
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(fakes_.Sequence(), (Strings{"x264", "tsMuxeR-1"}));
  EXPECT_TRUE(Contains(fakes_.CallsOf("x264").at(0).argv, {"--pass", "2"}));

  // Without the lock the encode is finished work.
  fakes_.ClearRecord();
  for (const char* s : {".ac3", ".stats", ".264"}) std::ofstream(T(0, s)) << "x";
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(fakes_.Sequence(), Strings{"tsMuxeR-1"});

  // A demux lock is the trace of a run that died with the program: its
  // files may be cut short and are all extracted again.
  fakes_.ClearRecord();
  for (const char* s : {".ac3", ".eac3to.lock", ".stats", ".264"}) std::ofstream(T(0, s)) << "x";
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(fakes_.Sequence(), (Strings{"eac3to", "tsMuxeR-1"}));
  EXPECT_FALSE(fs::exists(T(0, ".eac3to.lock")));
  // Removing such a job from the queue takes its lock along.
  job.status = kStatusStopped;
  Plant(0, job);
  std::ofstream(T(0, ".eac3to.lock")) << "";
  control_->DeleteJob(0, false);
  EXPECT_EQ(queue_.Status(0), kStatusEmpty);
  EXPECT_FALSE(fs::exists(T(0, ".eac3to.lock")));

  // Only the streams whose files are missing are extracted again.
  fakes_.ClearRecord();
  frontend_.Forget();
  JobRecord mkv = Job();
  mkv.target_media = kMediaMkvCrf;
  mkv.video_rate = 22;
  mkv.use_x265 = true;
  CopyText(mkv.output_path, (root_ / "out" / "Movie.mkv").string());
  std::ofstream(T(0, ".h264")) << "x";
  Plant(0, mkv);
  RunQueue();
  EXPECT_EQ(fakes_.CallsOf("eac3to").at(0).argv,
            (Strings{fakes_.Path("eac3to/eac3to"), mkv.source_path, "2:", T(0, ".ac3"), "3:", T(0, ".sup"),
                     "-progressnumbers", "-log=" + T(0, ".eac3to_log.txt")}));
  EXPECT_EQ(frontend_.labels.at(0), "[STEP 1/3 - EAC3TO] Extract audio and subtitles...");
}

TEST_F(WorkerTest, StopDuringDemuxAndDuringMux) {
  // Demux: what this run was writing goes, nothing is recorded.
  JobRecord job = Job();
  job.target_audio = 640;
  fakes_.Block("eac3to");
  Plant(0, job);
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("eac3to"));
  ASSERT_TRUE(fs::exists(T(0, ".ac3")));
  control_->StopJob();
  control_->WaitIdle();
  EXPECT_EQ(queue_.Status(0), kStatusStopped);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("eac3to")));
  EXPECT_FALSE(fs::exists(T(0, ".ac3")));
  EXPECT_FALSE(fs::exists(T(0, ".eac3to.lock")));
  EXPECT_EQ(ErrorLog(), "");

  // Mux: the output tree goes, the temporaries stay for the next start.
  fakes_.Release();
  fakes_.Block("tsMuxeR-1");
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("tsMuxeR-1"));
  control_->StopJob();
  control_->WaitIdle();
  EXPECT_EQ(queue_.Status(0), kStatusStopped);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("tsMuxeR-1")));
  EXPECT_FALSE(fs::exists(root_ / "out" / "Movie"));
  for (const char* kept : {".ac3", ".stats", ".264", "tsmuxer"})
    EXPECT_TRUE(kept == std::string("tsmuxer") ? fs::exists(TsMuxerMetaName(temp_.string(), 0))
                                               : fs::exists(T(0, kept)))
        << kept;

  // Leaving the program while a tool runs stops the job the same way.
  fakes_.Release();
  fakes_.Block("tsMuxeR-1");
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("tsMuxeR-1"));
  control_->Shutdown();
  EXPECT_EQ(StoredStatus(0), kStatusStopped);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("tsMuxeR-1")));
}

TEST_F(WorkerTest, FailedDemuxRemovesWhatItWrote) {
  JobRecord job = Job();
  job.target_audio = 640;
  fakes_.Fail("eac3to");
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_FALSE(fs::exists(T(0, ".ac3")));
  EXPECT_NE(ErrorLog().find("EXIT CODE     => 7 (0x00000007)"), std::string::npos);
  EXPECT_EQ(fakes_.Sequence(), Strings{"eac3to"});
}

TEST_F(WorkerTest, SubtitleRescaleRunsAndItsFailureIsNotTheJobs) {
  // A Java runtime that answers "-version"; with no jar below the program
  // folder the native rescaler runs.
  const fs::path java = root_ / "bin" / "java";
  std::ofstream(java) << "#!/bin/sh\nexit 0\n";
  fs::permissions(java, fs::perms::owner_all);
  JobRecord job = Job();
  job.target_media = kMediaMkvCrf;
  job.video_rate = 20;
  job.resize_720p = 1;
  CopyText(job.output_path, (root_ / "out" / "Movie.mkv").string());
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(fakes_.Sequence(), (Strings{"eac3to", "BDSup2Sub", "x264", "mkvmerge"}));
  EXPECT_EQ(fakes_.CallsOf("BDSup2Sub").at(0).argv,
            (Strings{fakes_.Path("BDSup2Sub/BDSup2Sub"), "-T", "keep", "-r", "720p", "-f", "lanczos3", "-o",
                     T(0, ".resized.sup"), T(0, ".sup")}));
  EXPECT_TRUE(
      Contains(fakes_.CallsOf("mkvmerge").at(0).argv, {"--compression", "0:none", T(0, ".resized.sup")}));
  EXPECT_NE(std::find(frontend_.texts.begin(), frontend_.texts.end(), kRescaleStatus), frontend_.texts.end());

  fakes_.ClearRecord();
  fakes_.Fail("BDSup2Sub");
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(fakes_.Sequence(), (Strings{"eac3to", "BDSup2Sub", "x264", "mkvmerge"}));
  EXPECT_FALSE(Contains(fakes_.CallsOf("mkvmerge").at(0).argv, {T(0, ".resized.sup")}));
  EXPECT_EQ(ErrorLog(), "");
}

TEST_F(WorkerTest, CancelRemovesExactlyTheJobsTemporaries) {
  settings_.SaveX264Log = 1;  // the logs are what a cancelled job keeps
  JobRecord job = Job();
  job.target_audio = 640;
  fs::create_directories(temp_);
  std::ofstream(T(7, ".stats")) << "x";
  std::ofstream(temp_ / "notes.txt") << "x";
  fakes_.Block("x264", "--pass 2");
  Plant(0, job);
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("x264"));
  control_->CancelJob();
  control_->WaitIdle();

  EXPECT_EQ(queue_.Status(0), kStatusCanceled);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("x264")));
  EXPECT_EQ(TempListing(),
            (std::set<std::string>{"Movie.job_0.x264_pass1_log.txt", "Movie.job_0.x264_pass2_log.txt",
                                   "Movie.job_7.stats", "notes.txt"}));
  EXPECT_EQ(ErrorLog(), "");
  EXPECT_FALSE(fs::exists(root_ / "out" / "Movie"));
}

TEST_F(WorkerTest, CancelDuringMuxRemovesTheOutputTree) {
  JobRecord job = Job();
  fakes_.Block("tsMuxeR-1");
  Plant(0, job);
  control_->CallGo();
  ASSERT_TRUE(fakes_.WaitBlocked("tsMuxeR-1"));
  ASSERT_TRUE(fs::exists(root_ / "out" / "Movie" / "BDMV"));
  control_->CancelJob();
  control_->WaitIdle();
  EXPECT_EQ(queue_.Status(0), kStatusCanceled);
  EXPECT_TRUE(GroupGone(fakes_.GroupOf("tsMuxeR-1")));
  EXPECT_FALSE(fs::exists(root_ / "out" / "Movie"));
  EXPECT_EQ(TempListing(), std::set<std::string>{});
}

TEST_F(WorkerTest, FailingToolFailsTheJobAndTheQueueGoesOn) {
  JobRecord first = Job();
  JobRecord second = Job("Second");
  fakes_.Fail("x264", "Movie.job_0.264");  // pass 2 of the first job only
  const auto expected = ExpectedCalls(first, 0);
  Plant(0, first);
  Plant(1, second);
  RunQueue();

  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_EQ(StoredStatus(0), kStatusFailed);
  EXPECT_EQ(queue_.Status(1), kStatusFinished);
  // The failed encode's output and lock go, pass 1's statistics stay.
  EXPECT_FALSE(fs::exists(T(0, ".264")));
  EXPECT_FALSE(fs::exists(T(0, ".264.lock")));
  EXPECT_TRUE(fs::exists(T(0, ".stats")));
  const std::string log = ErrorLog();
  const Strings pass2 = expected.at(1).argv;
  const std::string line = BuildX264SecondStep(first, Ctx(0), 2, 3).command_line;
  EXPECT_EQ(SplitCommandLine(line), pass2);
  EXPECT_NE(log.find("  LAST CMD LINE => " + line + "\n  EXIT CODE     => 7 (0x00000007)\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("LAST CMD LINE", log.find("LAST CMD LINE") + 1), std::string::npos) << "one record only";
  EXPECT_EQ(frontend_.statuses[0],
            (std::vector<std::int32_t>{kStatusX264Pass1, kStatusX264Pass2, kStatusFailed}));
}

TEST_F(WorkerTest, ToolThatCannotStartFailsTheStep) {
  fs::remove(fakes_.Path("tsMuxeR/1.10.6/tsMuxeR"));
  JobRecord job = Job();
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("LAST CMD LINE => \"" + fakes_.Path("tsMuxeR/1.10.6/tsMuxeR") + "\" \""),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("EXIT CODE     => -1 (0xFFFFFFFF)"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(root_ / "out" / "Movie"));
}

TEST_F(WorkerTest, AwkwardPathsGoThroughEveryStep) {
  SetTempPath(root_ / "temp dir l'été ü");
  const std::string name = "Le film d'été № 2";
  JobRecord mkv = Job(name);
  mkv.target_media = kMediaMkvCrf;
  mkv.video_rate = 22;
  mkv.use_x265 = true;
  fs::create_directories(root_ / "src dir");
  std::ofstream(root_ / "src dir" / "l'été.m2ts") << "ts";
  CopyText(mkv.source_path, (root_ / "src dir" / "l'été.m2ts").string());
  CopyText(mkv.output_path, (root_ / "out" / (name + ".mkv")).string());
  RunRow(mkv,
         {"[STEP 1/3 - EAC3TO] Extract video, audio and subtitles...",
          "[STEP 2/3 - X265 CRF] Recode video using x265, single pass CRF...",
          "[STEP 3/3 - MKVMERGE] Muxing audio/video/subs and creating MKV file..."},
         {kStatusEac3to, kStatusX265Crf, kStatusMkvmerge, kStatusFinished});
  EXPECT_EQ(fakes_.CallsOf("x265").at(0).argv.back(), T(0, ".265", name));
  EXPECT_TRUE(fs::exists(mkv.output_path));

  fakes_.ClearRecord();
  frontend_.Forget();
  frontend_.done = 0;
  JobRecord avchd = Job(name);
  avchd.target_audio = 640;
  avchd.mode_3d = 1;
  CopyText(avchd.source_path, mkv.source_path);
  RunRow(avchd,
         {"[STEP 1/4 - EAC3TO] Extract left/right eye video, audio and subs...",
          "[STEP 2/4 - X264 PASS 1] Recode video using x264, 1st pass...",
          "[STEP 3/4 - X264 PASS 2] Recode video using x264, 2nd pass...",
          "[STEP 4/4 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure..."},
         {kStatusEac3to, kStatusX264Pass1, kStatusX264Pass2, kStatusTsMuxer, kStatusFinished});
  EXPECT_TRUE(fs::exists(root_ / "out" / name / "BDMV"));
  EXPECT_EQ(TempListing(), std::set<std::string>{});
}

TEST_F(WorkerTest, DoubleQuoteInAPathIsRefused) {
  JobRecord job = Job("Bad \"name\"");
  fs::create_directories(temp_);
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_TRUE(fakes_.Calls().empty());
  ASSERT_FALSE(frontend_.texts.empty());
  EXPECT_NE(frontend_.texts.back().find("Job refused: the output name 'Bad \"name\"' cannot be used"),
            std::string::npos)
      << frontend_.texts.back();
  EXPECT_NE(ErrorLog().find("LAST CMD LINE => <job refused"), std::string::npos);
}

}  // namespace
}  // namespace dp
