#include "pipeline/mux_steps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "step_fixture.h"
#include "util/file_io.h"
#include "util/text.h"

namespace dp {
namespace {

using Strings = std::vector<std::string>;
using Edit = void (*)(JobRecord&);

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
    job.subtitle_mode = kSubtitleKept;
    job.subtitle_track_id = 4608;
    job.subtitle_3d_plane = kSubtitlePlaneUndefined;
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

  // Expand, and {SRC} for the source clip.
  std::string Text(const std::string& text) const {
    std::string out = Expand(text);
    for (std::size_t at = out.find("{SRC}"); at != std::string::npos; at = out.find("{SRC}", at))
      out.replace(at, 5, source_);
    return out;
  }
  // Creates the temporary files named by suffix, blank-separated.
  void TouchAll(std::string_view suffixes) {
    for (const std::string_view s : Tokenize(suffixes, " ")) Touch(T(std::string(s)));
  }
  std::string Meta() const { return (temp_.path() / "tsmuxer.job_3.meta").string(); }

  std::string source_;
};

// The AVCHD options, and the lines of an encoded video and of the audio read
// from the source.
const std::string kMuxopt =
    "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500\n";
const std::string k264 = "V_MPEG4/ISO/AVC, \"{T}.264\", fps=23.976\n";
const std::string kSourceAc3 = "A_AC3, \"{SRC}\", track=4352, lang=eng\n";

TEST_F(MuxSteps, TsMuxerMeta) {
  const std::string pgs = "S_HDMV/PGS, \"{SRC}\", fps=23.976, track=4608, lang=eng\n";
  const std::string bluray =
      "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --label=\"Movie\" --vbr --auto-chapters=5 ";
  // clang-format off
  const struct {
    Edit edit;
    const char* files;  // temporary files present
    std::string meta;
  } cases[] = {
      // A remux of one clip reads everything from the source.
      {[](JobRecord& j) { j.target_media = kMediaBdRemux, j.video_untouched = kVideoUntouched, j.audio_delay_ms = 120, CopyText(j.audio_codec_id, "A_EAC3"); },
       "", kMuxopt + "V_MPEG4/ISO/AVC, \"{SRC}\", track=4113, fps=23.976\nA_AC3, \"{SRC}\", timeshift=120ms, track=4352, lang=eng\n" + pgs},
      // The core of a DTS-HD track, VC-1 kept.
      {[](JobRecord& j) { j.video_untouched = kVideoUntouched, j.audio_core_only = 1, CopyText(j.audio_codec_id, "A_DTS"), CopyText(j.video_codec, "VC-1"); },
       "", kMuxopt + "V_MS/VFW/WVC1, \"{SRC}\", track=4113, fps=23.976\nA_DTS, \"{SRC}\", down-to-dts, track=4352, lang=eng\n" + pgs},
      // Encoded, recoded audio (no down-conversion), forced captions, cut.
      {[](JobRecord& j) {
         j.target_audio = 640, j.audio_core_only = 1, j.subtitle_mode = kSubtitleForcedOnly, j.limit_frames = true;
         CopyText(j.audio_codec_id, "A_DTS"), CopyText(j.chapters, "00:00:00.000;00:10:00.000");
       }, ".ac3 .forced.sup",
       "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --custom-chapters=00:00:00.000;00:10:00.000 "
       "--cut-end=41.71s --vbv-len=500\n" + k264 + "A_AC3, \"{T}.ac3\", lang=eng\nS_HDMV/PGS, \"{T}.forced.sup\", fps=23.976, lang=eng\n"},
      // Without a usable fraction the displayed rate gives the cut; without
      // any rate the title is not cut at all rather than cut to nothing.
      {[](JobRecord& j) { j.limit_frames = true, j.subtitle_mode = kSubtitleNone, CopyText(j.fps_fraction, ""); },
       "", "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --cut-end=41.71s --vbv-len=500\n" + k264 + kSourceAc3},
      {[](JobRecord& j) { j.limit_frames = true, j.subtitle_mode = kSubtitleNone, CopyText(j.fps_fraction, ""), CopyText(j.fps_text, ""); },
       "", kMuxopt + "V_MPEG4/ISO/AVC, \"{T}.264\", fps=\n" + kSourceAc3},
      // Ten characters are too few for a chapter list; missing files leave
      // their lines out.
      {[](JobRecord& j) { j.target_audio = 640, j.subtitle_mode = kSubtitleForcedOnly, CopyText(j.chapters, "00:00:00.0"); },
       "", kMuxopt + k264},
      // Text subtitles carry the font settings.
      {[](JobRecord& j) {
         j.target_media = kMediaAvchdCrf, j.source_is_mkv = true, j.output_width = 1280, j.output_height = 720;
         CopyText(j.subtitle_codec_id, "S_TEXT/UTF8");
       }, ".srt",
       kMuxopt + k264 + "S_TEXT/UTF8, \"{T}.srt\", font-name=\"Arial\", font-size=48, font-color=0x00ffffff, bottom-offset=24, "
       "font-border=2, text-align=center, video-width=1280, video-height=720, fps=23.976, lang=eng\n"},
      // Half pictures carry their subtitles burned in, and the kept audio
      // comes from the source.
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft; }, ".sup", kMuxopt + k264 + kSourceAc3},
      // The dependent view's offset metadata gives the start time; MVC
      // encoded, right eye as base.
      {[](JobRecord& j) { j.mode_3d = kModeMvcRight, j.target_media = kMediaBd25, j.subtitle_3d_plane = 2; }, ".ac3 .sup",
       bluray + "--vbv-len=500 --right-eye --start-time=16384\nV_MPEG4/ISO/MVC, \"{T}.264\", forceSEI, contSPS, subTrack=1\n"
       "V_MPEG4/ISO/AVC, \"{T}.264\", forceSEI, contSPS, subTrack=2\nA_AC3, \"{T}.ac3\", lang=eng\n"
       "S_HDMV/PGS, \"{T}.sup\", fps=23.976, 3d-plane=2, lang=eng\n"},
      // MVC remux.
      {[](JobRecord& j) { j.mode_3d = kModeMvcLeft, j.target_media = kMediaBd25, j.video_untouched = kVideoUntouched; }, ".ac3 .sup",
       bluray + "--vbv-len=500 --start-time=16384\nV_MPEG4/ISO/MVC, \"{T}.mvc.h264\"\nV_MPEG4/ISO/AVC, \"{T}.avc.h264\"\n"
       "A_AC3, \"{T}.ac3\", lang=eng\nS_HDMV/PGS, \"{T}.sup\", fps=23.976, lang=eng\n"},
  };
  // clang-format on
  std::string dependent(2048, '\0');
  dependent.replace(100, 4, "OFMD");
  dependent[107] = 0x01;  // 1 << 15 in 90 kHz units: 16384 at 45 kHz
  for (const auto& c : cases) {
    SCOPED_TRACE(c.meta);
    for (const auto& e : std::filesystem::directory_iterator(temp_.path()))
      if (e.path() != source_) std::filesystem::remove(e.path());
    Touch(T(".mvc.h264"), dependent);
    TouchAll(c.files);
    JobRecord job = AvchdJob();
    c.edit(job);
    EXPECT_EQ(TsMuxerMeta(job, ctx_), Text(c.meta));
  }
}

TEST_F(MuxSteps, TsMuxerStepAndRecordCorrections) {
  JobRecord job = AvchdJob();
  const PreparedStep step = BuildTsMuxerStep(job, ctx_, 1, 1);
  EXPECT_EQ(step.command_line,
            Expand("\"{TOOLS}/tsMuxeR/1.10.6/tsMuxeR\" \"") + Meta() + "\" \"/out/MOVIE\"");
  EXPECT_EQ(step.muxer_output.entries, (Strings{"/out/MOVIE/BDMV", "/out/MOVIE/CERTIFICATE"}));

  job.mode_3d = kModeMvcRight;
  CopyText(job.output_path, "/out/MOVIE 2D+3D.ISO");
  const PreparedStep iso = BuildTsMuxerStep(job, ctx_, 3, 3);
  EXPECT_EQ(iso.command_line,
            Expand("\"{TOOLS}/tsMuxeR/2.x/tsMuxeR\" \"") + Meta() + "\" \"/out/MOVIE 2D+3D.ISO\"");
  EXPECT_EQ(iso.muxer_output.entries, Strings{"/out/MOVIE 2D+3D.ISO.tree"});
  // A path this short is never removed as the output tree.
  CopyText(job.output_path, "/ab");
  EXPECT_TRUE(BuildTsMuxerStep(job, ctx_, 1, 1).muxer_output.path.empty());

  job.target_audio = 640;
  CopyText(job.audio_codec_id, "A_DTS");
  CopyText(job.chapters, "00:00:00.000;00:10:00.000");
  ApplyTsMuxerRecordCorrections(job);
  EXPECT_EQ(FieldText(job.audio_codec_id), "A_AC3");
  EXPECT_EQ(FieldText(job.chapters), "00:00:00.000;00:10:00.000");
  CopyText(job.chapters, "00:00:00.0");
  ApplyTsMuxerRecordCorrections(job);
  EXPECT_EQ(FieldText(job.chapters), "5");
}

TEST_F(MuxSteps, SubtitleFileChoices) {
  // clang-format off
  const struct {
    bool mkv;
    Edit edit;
    const char* file;
  } cases[] = {
      {false, [](JobRecord& j) { j.resize_720p = kResize720WithPgs; }, ".resized.sup"},  // rescaled by BDSup2Sub
      {false, [](JobRecord& j) { j.subtitle_mode = kSubtitleKeptForced; }, ".forced.sup"},
      {false, [](JobRecord& j) { j.join_playlist = 2; }, ".sup"},
      // All captions flagged: the demuxed stream, marked forced.
      {true, [](JobRecord& j) { j.subtitle_mode = kSubtitleKeptForced; }, ".sup"},
  };
  // clang-format on
  for (const auto& c : cases) {
    JobRecord job = c.mkv ? MkvJob() : AvchdJob();
    c.edit(job);
    EXPECT_EQ(c.mkv ? MkvmergeSubtitleFile(job, ctx_) : TsMuxerSubtitleFile(job, ctx_), T(c.file)) << c.file;
  }
}

TEST_F(MuxSteps, MkvmergeCommandLines) {
  const std::string head =
      "\"{TOOLS}/mkvtoolnix/mkvmerge_x64\" --output \"/out/Movie.mkv\" --forced-track 0:no ";
  // clang-format off
  const struct {
    Edit edit;
    const char* files;
    std::string command;
  } cases[] = {
      // Delayed E-AC3, forced subtitles, chapter list.
      {[](JobRecord& j) { j.subtitle_mode = kSubtitleForcedOnly, CopyText(j.chapters, "00:00:00.000;00:10:00.000"); }, ".eac3 .forced.sup",
       head + "\"{T}.264\" --language 0:eng --forced-track 0:no --compression 0:none --sync 0:120 \"{T}.eac3\" --language 0:eng "
       "--track-name \"0:English Forced\" --forced-track 0:yes --compression 0:none \"{T}.forced.sup\" --title \"Movie\" "
       "--chapters \"{T}.chapters.txt\""},
      // x265 output, AC3, short chapter text; the delay is only synced for E-AC3.
      {[](JobRecord& j) { j.use_x265 = true, j.subtitle_mode = kSubtitleNone, CopyText(j.audio_codec_id, "A_AC3"), CopyText(j.chapters, "00:00:00.0"); },
       ".ac3", head + "\"{T}.265\" --language 0:eng --forced-track 0:no --compression 0:none \"{T}.ac3\" --title \"Movie\""},
      // Remux, TrueHD with its core, resized subtitles, split.
      {[](JobRecord& j) {
         j.video_untouched = kVideoUntouched, j.audio_untouched_hd = true, j.audio_delay_ms = 0, j.resize_720p = kResize720;
         j.limit_frames = true, CopyText(j.audio_codec_id, "A_AC3"), CopyText(j.subtitle_language, "fre");
       }, ".thd+ac3 .resized.sup",
       head + "\"{T}.h264\" --language 0:eng --language 1:eng --forced-track 0:no --forced-track 1:no --compression 0:none "
       "--compression 1:none \"{T}.thd+ac3\" --language 0:fre --track-name \"0:French\" --forced-track 0:no --compression 0:none "
       "\"{T}.resized.sup\" --split 42s --title \"Movie\""},
      // Half side-by-side.
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsRight, j.use_x265 = true, j.audio_delay_ms = 0; }, ".eac3 .sup",
       head + "--stereo-mode 0:side_by_side_left_first \"{T}.265\" --language 0:eng --forced-track 0:no --compression 0:none "
       "\"{T}.eac3\" --title \"Movie\""},
      // No audio; "{T}" alone is the bare base name an unknown audio id would give.
      {[](JobRecord& j) { j.audio_eac3to_track = 0, j.subtitle_mode = kSubtitleNone; }, "", head + "\"{T}.264\" --title \"Movie\""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Touch(T(""));
    TouchAll(c.files);
    JobRecord job = MkvJob();
    c.edit(job);
    EXPECT_EQ(BuildMkvmergeStep(job, ctx_, 3, 3).command_line, Expand(c.command));
  }

  JobRecord job = MkvJob();
  CopyText(job.chapters, "00:00:00.000;00:10:00.000");
  const PreparedStep step = BuildMkvmergeStep(job, ctx_, 3, 3);
  EXPECT_EQ(step.outputs_on_failure, Strings{"/out/Movie.mkv"});
  EXPECT_TRUE(step.muxer_output.path.empty());
  ASSERT_EQ(step.control_files.size(), 1u);
  EXPECT_EQ(step.control_files[0].path, T(".chapters.txt"));
  EXPECT_EQ(
      step.control_files[0].content,
      "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Chapter 1\nCHAPTER02=00:10:00.000\nCHAPTER02NAME=Chapter 2\n");
  // A failed split run leaves its parts behind, not the output name.
  job.limit_frames = true;
  EXPECT_EQ(BuildMkvmergeStep(job, ctx_, 3, 3).outputs_on_failure,
            (Strings{"/out/Movie.mkv", "/out/Movie-001.mkv", "/out/Movie-002.mkv"}));
}

TEST_F(MuxSteps, SplitParts) {
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
}

}  // namespace
}  // namespace dp
