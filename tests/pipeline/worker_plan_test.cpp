// Every row of the plan table through the worker: the steps and their
// labels, the statuses the record goes through, the exact argv of each tool.

#include "pipeline/worker_fixture.h"

namespace dp {
namespace {

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

}  // namespace
}  // namespace dp
