// What Stop, Cancel, failures and resumed runs leave behind.

#include "pipeline/worker_fixture.h"

namespace dp {
namespace {

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
