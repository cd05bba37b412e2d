#include "pipeline/mux_steps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "step_fixture.h"
#include "util/file_io.h"
#include "util/text.h"

namespace dp {
namespace {

using Strings = std::vector<std::string>;

class MuxSteps : public test::StepFixture {
 protected:
  void SetUp() override {
    StepFixture::SetUp();
    source_ = (temp_.path() / "00001.m2ts").string();
    Touch(source_);
  }

  // A 2D AVCHD job at 23.976 fps with English audio and subtitles, all read
  // from the source.
  JobRecord AvchdJob() const {
    JobRecord job = EmptyJob();
    job.target_media = kMediaBd5;
    job.video_rate = 8000;
    job.frame_count = 1000;
    job.video_track_id = 4113;
    job.audio_eac3to_track = 3;
    job.audio_track_id = 4352;
    job.subtitle_mode = 1;
    job.subtitle_track_id = 4608;
    job.subtitle_3d_plane = -1;
    CopyText(job.output_name, "Movie");
    CopyText(job.output_path, "/out/MOVIE");
    CopyText(job.source_path, source_);
    CopyText(job.video_codec, "AVC");
    CopyText(job.fps_text, "23.976");
    CopyText(job.fps_fraction, "24000/1001");
    CopyText(job.audio_codec_id, "A_AC3");
    CopyText(job.audio_language, "eng");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    CopyText(job.subtitle_language, "eng");
    return job;
  }

  // An MKV CRF job encoded with x264, E-AC3 audio delayed by 120 ms.
  JobRecord MkvJob() const {
    JobRecord job = AvchdJob();
    job.target_media = kMediaMkvCrf;
    job.video_rate = 20;
    job.audio_delay_ms = 120;
    CopyText(job.audio_codec_id, "A_EAC3");
    CopyText(job.output_path, "/out/Movie.mkv");
    return job;
  }

  std::string Meta() const { return (temp_.path() / "tsmuxer.job_3.meta").string(); }

  std::string source_;
};

TEST_F(MuxSteps, RemuxOfOneClipReadsEverythingFromTheSource) {
  JobRecord job = AvchdJob();
  job.target_media = kMediaBdRemux;
  job.video_untouched = 1;
  job.audio_delay_ms = 120;
  CopyText(job.audio_codec_id, "A_EAC3");
  const PreparedStep step = BuildTsMuxerStep(job, ctx_, 1, 1);
  EXPECT_EQ(step.command_line,
            Expand("\"{TOOLS}/tsMuxeR/1.10.6/tsMuxeR\" \"") + Meta() + "\" \"/out/MOVIE\"");
  EXPECT_EQ(step.label,
            "[STEP 1/1 - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure...");
  EXPECT_EQ(step.status, kStatusTsMuxer);
  EXPECT_EQ(step.console_title, "[TSMUXER PROCESS] Do not close this window!!!");
  EXPECT_EQ(step.capture, Capture::kPipe);
  EXPECT_FALSE(step.idle_priority);
  EXPECT_EQ(step.muxer_output.path, "/out/MOVIE");
  EXPECT_EQ(step.muxer_output.entries, (Strings{"/out/MOVIE/BDMV", "/out/MOVIE/CERTIFICATE"}));
  ASSERT_EQ(step.control_files.size(), 1u);
  EXPECT_EQ(step.control_files[0].path, Meta());
  EXPECT_FALSE(step.control_files[0].only_if_absent);
  EXPECT_EQ(step.control_files[0].content,
            "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500\n"
            "V_MPEG4/ISO/AVC, \"" +
                source_ +
                "\", track=4113, fps=23.976\n"
                "A_AC3, \"" +
                source_ +
                "\", timeshift=120ms, track=4352, lang=eng\n"
                "S_HDMV/PGS, \"" +
                source_ + "\", fps=23.976, track=4608, lang=eng\n");

  // The core of a DTS-HD track read from the source.
  job.audio_delay_ms = 0;
  job.audio_core_only = 1;
  CopyText(job.audio_codec_id, "A_DTS");
  EXPECT_NE(TsMuxerMeta(job, ctx_).find("A_DTS, \"" + source_ + "\", down-to-dts, track=4352, lang=eng\n"),
            std::string::npos);
  // VC-1 and MPEG-2 keep their own codec ids.
  CopyText(job.video_codec, "VC-1");
  EXPECT_NE(TsMuxerMeta(job, ctx_).find("\nV_MS/VFW/WVC1, \""), std::string::npos);
  CopyText(job.video_codec, "MPEG Video");
  EXPECT_NE(TsMuxerMeta(job, ctx_).find("\nV_MPEG-2, \""), std::string::npos);
}

TEST_F(MuxSteps, EncodedAvchdUsesTheDemuxedFilesAndCorrectsTheRecord) {
  JobRecord job = AvchdJob();
  job.target_audio = 640;
  job.audio_core_only = 1;  // no down-conversion of a recoded track
  job.subtitle_mode = 3;
  job.limit_frames = true;
  CopyText(job.audio_codec_id, "A_DTS");
  CopyText(job.chapters, "00:00:00.000;00:10:00.000");
  Touch(T(".ac3"));
  Touch(T(".forced.sup"));
  EXPECT_EQ(TsMuxerMeta(job, ctx_),
            Expand("MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr "
                   "--custom-chapters=00:00:00.000;00:10:00.000 --cut-end=41.71s --vbv-len=500\n"
                   "V_MPEG4/ISO/AVC, \"{T}.264\", fps=23.976\n"
                   "A_AC3, \"{T}.ac3\", lang=eng\n"
                   "S_HDMV/PGS, \"{T}.forced.sup\", fps=23.976, lang=eng\n"));

  // Without a usable fraction the displayed rate gives the cut; without any
  // rate the title is not cut at all rather than cut to nothing.
  CopyText(job.fps_fraction, "");
  EXPECT_NE(TsMuxerMeta(job, ctx_).find(" --cut-end=41.71s "), std::string::npos);
  CopyText(job.fps_text, "");
  EXPECT_EQ(TsMuxerMeta(job, ctx_).find("--cut-end"), std::string::npos);

  ApplyTsMuxerRecordCorrections(job);
  EXPECT_EQ(FieldText(job.audio_codec_id), "A_AC3");
  EXPECT_EQ(FieldText(job.chapters), "00:00:00.000;00:10:00.000");
  CopyText(job.chapters, "00:00:00.0");  // ten characters: automatic chapters
  EXPECT_NE(TsMuxerMeta(job, ctx_).find(" --auto-chapters=5"), std::string::npos);
  ApplyTsMuxerRecordCorrections(job);
  EXPECT_EQ(FieldText(job.chapters), "5");

  // Missing files leave their lines out.
  std::filesystem::remove(T(".ac3"));
  std::filesystem::remove(T(".forced.sup"));
  const std::string meta = TsMuxerMeta(job, ctx_);
  EXPECT_EQ(meta.find("A_AC3"), std::string::npos);
  EXPECT_EQ(meta.find("S_HDMV"), std::string::npos);
}

TEST_F(MuxSteps, SubtitleFileChoices) {
  JobRecord job = AvchdJob();
  job.resize_720p = 2;  // PGS rescaled by BDSup2Sub
  EXPECT_EQ(TsMuxerSubtitleFile(job, ctx_), T(".resized.sup"));
  // A rescale that failed leaves the subtitle out.
  EXPECT_EQ(TsMuxerMeta(job, ctx_).find("S_HDMV"), std::string::npos);
  job.resize_720p = 0;
  job.subtitle_mode = 2;
  EXPECT_EQ(TsMuxerSubtitleFile(job, ctx_), T(".forced.sup"));
  job.subtitle_mode = 1;
  job.join_playlist = 2;
  EXPECT_EQ(TsMuxerSubtitleFile(job, ctx_), T(".sup"));

  job = MkvJob();
  job.crop_height = 800;
  EXPECT_EQ(MkvmergeSubtitleFile(job, ctx_), T(".resized.sup"));
  job.crop_height = 0;
  job.subtitle_mode = 2;  // all captions flagged: the demuxed stream, marked forced
  EXPECT_EQ(MkvmergeSubtitleFile(job, ctx_), T(".sup"));
  job.subtitle_mode = 3;
  EXPECT_EQ(MkvmergeSubtitleFile(job, ctx_), T(".forced.sup"));
  CopyText(job.subtitle_codec_id, "S_TEXT/UTF8");
  job.subtitle_mode = 1;
  EXPECT_EQ(MkvmergeSubtitleFile(job, ctx_), T(".srt"));
}

TEST_F(MuxSteps, TextSubtitlesCarryTheFontSettings) {
  JobRecord job = AvchdJob();
  job.target_media = kMediaAvchdCrf;
  job.source_is_mkv = true;
  job.output_width = 1280;
  job.output_height = 720;
  CopyText(job.subtitle_codec_id, "S_TEXT/UTF8");
  Touch(T(".srt"));
  EXPECT_NE(TsMuxerMeta(job, ctx_).find(Expand(
                "S_TEXT/UTF8, \"{T}.srt\", font-name=\"Arial\", font-size=48, font-color=0x00ffffff, "
                "bottom-offset=24, font-border=2, text-align=center, video-width=1280, video-height=720, "
                "fps=23.976, lang=eng\n")),
            std::string::npos);
}

TEST_F(MuxSteps, MvcIsoEncodedAndRemuxed) {
  JobRecord job = AvchdJob();
  job.mode_3d = 11;  // right eye as base
  job.target_media = kMediaBd25;
  job.subtitle_3d_plane = 2;
  CopyText(job.output_path, "/out/MOVIE 2D+3D.ISO");
  Touch(T(".ac3"));
  Touch(T(".sup"));
  // The dependent view's offset metadata gives the start time.
  std::string dependent(2048, '\0');
  dependent.replace(100, 4, "OFMD");
  dependent[107] = 0x01;  // 1 << 15 in 90 kHz units: 16384 at 45 kHz
  Touch(T(".mvc.h264"), dependent);

  const PreparedStep step = BuildTsMuxerStep(job, ctx_, 3, 3);
  EXPECT_EQ(step.command_line,
            Expand("\"{TOOLS}/tsMuxeR/2.x/tsMuxeR\" \"") + Meta() + "\" \"/out/MOVIE 2D+3D.ISO\"");
  EXPECT_EQ(step.label, "[STEP 3/3 - TSMUXER] Muxing audio/video/subs and creating BLU-RAY .ISO file...");
  ASSERT_EQ(step.control_files.size(), 1u);
  EXPECT_EQ(
      step.control_files[0].content,
      Expand(
          "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --label=\"Movie\" --vbr --auto-chapters=5 "
          "--vbv-len=500 --right-eye --start-time=16384\n"
          "V_MPEG4/ISO/MVC, \"{T}.264\", forceSEI, contSPS, subTrack=1\n"
          "V_MPEG4/ISO/AVC, \"{T}.264\", forceSEI, contSPS, subTrack=2\n"
          "A_AC3, \"{T}.ac3\", lang=eng\n"
          "S_HDMV/PGS, \"{T}.sup\", fps=23.976, 3d-plane=2, lang=eng\n"));

  job.video_untouched = 1;
  job.mode_3d = 10;
  job.subtitle_3d_plane = -1;
  EXPECT_EQ(
      TsMuxerMeta(job, ctx_),
      Expand(
          "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --label=\"Movie\" --vbr --auto-chapters=5 "
          "--vbv-len=500 --start-time=16384\n"
          "V_MPEG4/ISO/MVC, \"{T}.mvc.h264\"\n"
          "V_MPEG4/ISO/AVC, \"{T}.avc.h264\"\n"
          "A_AC3, \"{T}.ac3\", lang=eng\n"
          "S_HDMV/PGS, \"{T}.sup\", fps=23.976, lang=eng\n"));
}

TEST_F(MuxSteps, HalfSideBySideToAvchdHasNoSubtitleTrack) {
  JobRecord job = AvchdJob();
  job.mode_3d = 1;
  job.subtitle_mode = 1;
  Touch(T(".sup"));
  // The audio is kept, so the muxer reads it from the source.
  EXPECT_EQ(
      TsMuxerMeta(job, ctx_),
      Expand("MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500\n"
             "V_MPEG4/ISO/AVC, \"{T}.264\", fps=23.976\n"
             "A_AC3, \"") +
          source_ + "\", track=4352, lang=eng\n");
}

TEST_F(MuxSteps, JobWithoutAudioGetsNoAudioTrack) {
  JobRecord job = AvchdJob();
  job.audio_eac3to_track = 0;
  job.subtitle_mode = 0;
  EXPECT_EQ(MuxAudioFile(job, ctx_), "");
  EXPECT_EQ(
      TsMuxerMeta(job, ctx_),
      Expand("MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500\n"
             "V_MPEG4/ISO/AVC, \"{T}.264\", fps=23.976\n"));
  job = MkvJob();
  job.audio_eac3to_track = 0;
  job.subtitle_mode = 0;
  Touch(T(""));  // the bare base name an unknown audio id would give
  EXPECT_EQ(BuildMkvmergeStep(job, ctx_, 3, 3).command_line.find("--language"), std::string::npos);
}

TEST_F(MuxSteps, MkvCrfWithDelayedEac3AndForcedSubtitles) {
  JobRecord job = MkvJob();
  job.subtitle_mode = 3;
  CopyText(job.chapters, "00:00:00.000;00:10:00.000");
  Touch(T(".eac3"));
  Touch(T(".forced.sup"));
  const PreparedStep step = BuildMkvmergeStep(job, ctx_, 3, 3);
  EXPECT_EQ(
      step.command_line,
      Expand(
          "\"{TOOLS}/mkvtoolnix/mkvmerge_x64\" --output \"/out/Movie.mkv\" --forced-track 0:no \"{T}.264\" "
          "--language 0:eng --forced-track 0:no --compression 0:none --sync 0:120 \"{T}.eac3\" --language "
          "0:eng --track-name \"0:English Forced\" --forced-track 0:yes --compression 0:none "
          "\"{T}.forced.sup\" --title \"Movie\" --chapters \"{T}.chapters.txt\""));
  EXPECT_EQ(step.label, "[STEP 3/3 - MKVMERGE] Muxing audio/video/subs and creating MKV file...");
  EXPECT_EQ(step.status, kStatusMkvmerge);
  EXPECT_EQ(step.console_title, "[MKVMERGE PROCESS] Do not close this window!!!");
  EXPECT_EQ(step.capture, Capture::kPipe);
  EXPECT_EQ(step.outputs_on_failure, Strings{"/out/Movie.mkv"});
  EXPECT_TRUE(step.muxer_output.path.empty());
  ASSERT_EQ(step.control_files.size(), 1u);
  EXPECT_EQ(step.control_files[0].path, T(".chapters.txt"));
  EXPECT_EQ(
      step.control_files[0].content,
      "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Chapter 1\nCHAPTER02=00:10:00.000\nCHAPTER02NAME=Chapter 2\n");

  // Exactly ten characters: no chapters file.
  CopyText(job.chapters, "00:00:00.0");
  const PreparedStep short_list = BuildMkvmergeStep(job, ctx_, 3, 3);
  EXPECT_EQ(short_list.command_line.find("--chapters"), std::string::npos);
  EXPECT_TRUE(short_list.control_files.empty());

  // x265 output; the delay is only synced for E-AC3.
  job.use_x265 = true;
  CopyText(job.audio_codec_id, "A_AC3");
  Touch(T(".ac3"));
  const std::string x265 = BuildMkvmergeStep(job, ctx_, 3, 3).command_line;
  EXPECT_NE(x265.find(Expand(" --forced-track 0:no \"{T}.265\" --language 0:eng --forced-track 0:no "
                             "--compression 0:none \"{T}.ac3\"")),
            std::string::npos);
}

TEST_F(MuxSteps, MkvRemuxTrueHdResizedSubtitlesAndSplit) {
  JobRecord job = MkvJob();
  job.video_untouched = 1;
  job.audio_untouched_hd = true;
  job.audio_delay_ms = 0;
  job.resize_720p = 1;
  job.limit_frames = true;
  CopyText(job.audio_codec_id, "A_AC3");
  CopyText(job.subtitle_language, "fre");
  Touch(T(".thd+ac3"));
  Touch(T(".resized.sup"));
  ctx_.is_64bit = false;
  const PreparedStep step = BuildMkvmergeStep(job, ctx_, 2, 2);
  EXPECT_EQ(
      step.command_line,
      Expand("\"{TOOLS}/mkvtoolnix/mkvmerge\" --output \"/out/Movie.mkv\" --forced-track 0:no \"{T}.h264\" "
             "--language 0:eng --language 1:eng --forced-track 0:no --forced-track 1:no --compression 0:none "
             "--compression 1:none \"{T}.thd+ac3\" --language 0:fre --track-name \"0:French\" --forced-track "
             "0:no --compression 0:none \"{T}.resized.sup\" --split 42s --title \"Movie\""));
  // A failed split run leaves its parts behind, not the output name.
  EXPECT_EQ(step.outputs_on_failure, (Strings{"/out/Movie.mkv", "/out/Movie-001.mkv", "/out/Movie-002.mkv"}));
}

TEST_F(MuxSteps, MkvHalfPicturesAreFlaggedStereo) {
  JobRecord job = MkvJob();
  job.mode_3d = 2;
  job.use_x265 = true;
  job.audio_delay_ms = 0;
  Touch(T(".eac3"));
  Touch(T(".sup"));
  EXPECT_EQ(BuildMkvmergeStep(job, ctx_, 3, 3).command_line,
            Expand("\"{TOOLS}/mkvtoolnix/mkvmerge_x64\" --output \"/out/Movie.mkv\" --forced-track 0:no "
                   "--stereo-mode 0:side_by_side_left_first \"{T}.265\" --language 0:eng --forced-track 0:no "
                   "--compression 0:none \"{T}.eac3\" --title \"Movie\""));
  job.mode_3d = 3;
  EXPECT_NE(BuildMkvmergeStep(job, ctx_, 3, 3).command_line.find(" --stereo-mode 0:top_bottom_left_first \""),
            std::string::npos);
}

TEST_F(MuxSteps, SplitPartsAndShortOutputPaths) {
  EXPECT_EQ(SplitPartName("/out/a.mkv.mkv", 1), "/out/a.mkv-001.mkv");
  EXPECT_EQ(SplitPartName("/out/A.MKV", 2), "/out/A.MKV-002");  // the match is case-sensitive

  const std::string output = (temp_.path() / "Movie.mkv").string();
  JobRecord job = MkvJob();
  CopyText(job.output_path, output);
  Touch(SplitPartName(output, 1), "first");
  Touch(SplitPartName(output, 2), "second");
  EXPECT_TRUE(KeepFirstSplitPart(job));
  EXPECT_EQ(ReadWholeFile(output), "first");
  EXPECT_FALSE(std::filesystem::exists(SplitPartName(output, 1)));
  EXPECT_FALSE(std::filesystem::exists(SplitPartName(output, 2)));
  EXPECT_FALSE(KeepFirstSplitPart(job));  // nothing left to rename

  // A path this short is never removed as the output tree.
  job = AvchdJob();
  CopyText(job.output_path, "/ab");
  EXPECT_TRUE(BuildTsMuxerStep(job, ctx_, 1, 1).muxer_output.path.empty());
  ctx_.debug_mode = true;
  EXPECT_EQ(BuildTsMuxerStep(job, ctx_, 1, 1).capture, Capture::kNone);
}

}  // namespace
}  // namespace dp
