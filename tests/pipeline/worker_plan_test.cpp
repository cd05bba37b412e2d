// Every row of the plan table through the worker: the steps and their
// labels, the statuses the record goes through, the tools run in order, and
// the reader the progress monitor uses for each running tool.

#include "pipeline/worker_fixture.h"
#include "queue/run_progress_source.h"

namespace dp {
namespace {

// The status the step of the label's tool writes, and the fake that runs.
std::pair<std::int32_t, std::string> StepOf(const std::string& label) {
  // clang-format off
  const std::tuple<const char*, std::int32_t, const char*> tools[] = {
      {"EAC3TO", kStatusEac3to, "eac3to"}, {"X264 PASS 1", kStatusX264Pass1, "x264"}, {"X264 PASS 2", kStatusX264Pass2, "x264"},
      {"X264 CRF", kStatusX264Crf, "x264"}, {"X265", kStatusX265Crf, "x265"}, {"MVC ENCODER", kStatusMvcEncoder, "MVCenc"},
      {"TSMUXER] Muxing audio/video/subs and creating BLU-RAY", kStatusTsMuxer, "tsMuxeR-2"},
      {"TSMUXER", kStatusTsMuxer, "tsMuxeR-1"}, {"MKVMERGE", kStatusMkvmerge, "mkvmerge"}};
  // clang-format on
  for (const auto& [name, status, tool] : tools)
    if (label.starts_with(name)) return {status, tool};
  return {-1, ""};
}

TEST_F(WorkerTest, EachRowOfThePlanTable) {
  const char* avchd_mux = "TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure...";
  const char* iso_mux = "TSMUXER] Muxing audio/video/subs and creating BLU-RAY .ISO file...";
  const char* mkv_mux = "MKVMERGE] Muxing audio/video/subs and creating MKV file...";
  const char* pass1 = "X264 PASS 1] Recode video using x264, 1st pass...";
  const char* pass2 = "X264 PASS 2] Recode video using x264, 2nd pass...";
  const char* crf = "X264 CRF] Recode video using x264, single pass CRF...";
  const char* x265 = "X265 CRF] Recode video using x265, single pass CRF...";
  const char* eyes_all = "EAC3TO] Extract left/right eye video, audio and subs...";
  const char* mvcenc = "MVC ENCODER] Recode MVC 3D video using MVCenc...";
  // Blanks, quotes and non-ASCII letters in every path: the temporary
  // folder and the source here, the output name in one row.
  SetTempPath(root_ / "temp dir l'été ü");
  fs::create_directories(root_ / "src dir");
  std::ofstream(root_ / "src dir" / "l'été.m2ts") << "ts";
  // A Java runtime that answers "-version".
  std::ofstream(root_ / "bin" / "java") << "#!/bin/sh\nexit 0\n";
  fs::permissions(root_ / "bin" / "java", fs::perms::owner_all);
  // clang-format off
  const struct {
    const char* output;  // below out/
    void (*edit)(JobRecord&);
    Strings labels;  // each after its "[STEP n/N - "
  } rows[] = {
      {"Direct", [](JobRecord&) {}, {pass1, pass2, avchd_mux}},
      {"TwoPass", [](JobRecord& j) { j.target_audio = 640; }, {"EAC3TO] Recode audio to AC3 640...", pass1, pass2, avchd_mux}},
      // Audio and subtitle come straight from the source, by track.
      {"Crf", [](JobRecord& j) { j.target_media = kMediaAvchdCrf, j.video_rate = 20; }, {crf, avchd_mux}},
      // The subtitles are rescaled (the stand-in rescaler, as no jar is there) before the encoder.
      {"X264.mkv", [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.video_rate = 18, j.resize_720p = 1; },
       {"EAC3TO] Extract audio and subtitles...", crf, mkv_mux}},
      // The demux log says 1234 frames: the feeder and the encoder both use it.
      {"Le film d'été № 2.mkv", [](JobRecord& j) { j.target_media = kMediaMkvCrf, j.video_rate = 22, j.use_x265 = true, CopyText(j.output_name, "Le film d'été № 2"); },
       {"EAC3TO] Extract video, audio and subtitles...", x265, mkv_mux}},
      {"RemuxDirect", [](JobRecord& j) { j.target_media = kMediaBdRemux, j.video_untouched = kVideoUntouched; }, {avchd_mux}},
      {"Remux", [](JobRecord& j) { j.video_untouched = kVideoUntouched, j.target_audio = kAudioFlac; }, {"EAC3TO] Recode audio to FLAC...", avchd_mux}},
      {"Remux.mkv", [](JobRecord& j) { j.video_untouched = kVideoUntouched, j.target_media = kMediaMkvCrf, j.subtitle_mode = kSubtitleNone; },
       {"EAC3TO] Extract video and audio...", mkv_mux}},
      {"Sbs", [](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft, j.target_media = kMediaBd9; },
       {"EAC3TO] Extract left/right eye video and subs...", pass1, pass2, avchd_mux}},
      {"Tab.mkv", [](JobRecord& j) { j.mode_3d = kModeHalfTabLeft, j.target_media = kMediaMkvCrf, j.video_rate = 20, j.use_x265 = true; },
       {eyes_all, x265, mkv_mux}},
      {"Mvc.iso", [](JobRecord& j) { j.mode_3d = kModeMvcLeft, j.target_media = kMediaBd25, j.video_rate = 20000; }, {eyes_all, mvcenc, iso_mux}},
      {"MvcCrf.iso", [](JobRecord& j) { j.mode_3d = kModeMvcRight, j.target_media = kMediaAvchdCrf; }, {eyes_all, mvcenc, iso_mux}},
      {"MvcRemux.iso", [](JobRecord& j) { j.mode_3d = kModeMvcRight, j.video_untouched = kVideoUntouched, j.subtitle_mode = kSubtitleNone; },
       {"EAC3TO] Extract left/right eye video and audio...", iso_mux}},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.output);
    fakes_.ClearRecord();
    frontend_.Forget();
    frontend_.done = 0;
    JobRecord job = Job();
    CopyText(job.source_path, (root_ / "src dir" / "l'été.m2ts").string());
    CopyText(job.output_path, (root_ / "out" / row.output).string());
    row.edit(job);
    Strings labels, tools;
    std::vector<std::int32_t> statuses;
    for (std::size_t i = 0; i < row.labels.size(); ++i) {
      labels.push_back(Format("[STEP %zu/%zu - ", i + 1, row.labels.size()) + row.labels[i]);
      const auto [status, tool] = StepOf(row.labels[i]);
      statuses.push_back(status), tools.push_back(tool);
    }
    statuses.push_back(kStatusFinished);
    if (job.resize_720p) tools.insert(tools.begin() + 1, "BDSup2Sub");  // unlabelled, after the demux
    Plant(0, job);
    RunQueue();
    EXPECT_EQ(frontend_.labels, labels);
    EXPECT_EQ(frontend_.statuses[0], statuses);
    EXPECT_EQ(fakes_.Sequence(), tools);
    EXPECT_EQ(ErrorLog(), "");
    EXPECT_EQ(frontend_.done, 1);
    // The encoder is given the frame count the demux logged, not the job's.
    for (const test::FakeCall& x265 : fakes_.Calls("x265"))
      EXPECT_TRUE(Contains(x265.argv, {"--frames", "1234"}));
    EXPECT_TRUE(fs::exists(job.output_path));
    // On success the intermediate files go; the encoder logs too, as they
    // are not kept. Done jobs are not stored.
    EXPECT_EQ(TempListing(), std::set<std::string>{});
    EXPECT_EQ(StoredStatus(0), kStatusEmpty);
  }
}

// While a tool runs, the monitor reads it with the reader its step named;
// between runs it reads nothing.
TEST_F(WorkerTest, TheMonitorReadsEachToolWithItsStepsReader) {
  JobRecord job = Job();
  job.target_audio = 640;
  Plant(0, job);
  RunProgressSource source(*control_, queue_, run_);
  const struct {
    const char* tool;
    const char* when;
    ProgressReader reader;
  } cases[] = {
      {"eac3to", "", ProgressReader::kEac3toPipe},
      {"x264", "--pass 1", ProgressReader::kEncoderTitle},
      {"x264", "--pass 2", ProgressReader::kEncoderTitle},
      {"tsMuxeR-1", "", ProgressReader::kTsMuxerPipe},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.when);
    fakes_.Block(c.tool, c.when);
    control_->CallGo();
    ASSERT_TRUE(fakes_.WaitBlocked(c.tool));
    EXPECT_EQ(source.StepReader(), c.reader);
    control_->StopJob();
    control_->WaitIdle();
    fakes_.Release();
    EXPECT_EQ(source.StepReader(), ProgressReader::kNone);
  }
}

}  // namespace
}  // namespace dp
