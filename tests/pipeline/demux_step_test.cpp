#include "pipeline/demux_step.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "step_fixture.h"
#include "util/file_io.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using DemuxStep = test::StepFixture;

// A BD5 job from a disc folder: AVC video, AC3 audio, PGS subtitles.
JobRecord DiscJob() {
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

// A remux of an MKV file with DTS audio, video track 1 and audio track 2.
void MkvFile(JobRecord& j) {
  CopyText(j.source_root, ""), CopyText(j.source_path, "/v/Film.mkv"), CopyText(j.audio_codec_id, "A_DTS");
  j.source_is_mkv = true, j.target_media = kMediaMkvCrf, j.video_untouched = kVideoUntouched;
  j.video_eac3to_track = 1, j.audio_eac3to_track = 2;
}

// 3D with LPCM audio on track 4 and subtitles.
void Mvc(JobRecord& j) {
  j.mode_3d = kModeMvcLeft, j.subtitle_mode = kSubtitleKept, j.audio_eac3to_track = 4;
  CopyText(j.audio_codec_id, "A_LPCM");
}

// One row per eac3to run: the job, the files already there, the exact
// command line (" -progressnumbers -log=..." follows it) and what a failed
// run removes. The labels are checked through the worker.
TEST_F(DemuxStep, CommandLines) {
  // clang-format off
  const struct {
    void (*edit)(JobRecord&);
    const char* present;  // temporary files an earlier run left
    const char* command;
    const char* created;  // what a failed run removes
  } cases[] = {
      // Recoded audio and forced captions; no video condition holds: x264
      // reads the video from the disc.
      {[](JobRecord& j) { j.playlist_index = 2, j.target_audio = 640, j.audio_to_16bit = true, j.subtitle_mode = kSubtitleForcedOnly; },
       "", "\"/media/BD\" 2) 3: \"{T}.ac3\" -640 -down16 5: \"{T}.sup\"", ".ac3 .sup"},
      // The joined title wins and extracts everything; the DTS core goes only to MKV.
      {[](JobRecord& j) {
         j.join_playlist = 5, j.playlist_index = 3, j.subtitle_mode = kSubtitleKept, j.audio_untouched_hd = true;
         j.audio_core_only = 1, CopyText(j.video_codec, "VC-1"), CopyText(j.audio_codec_id, "A_DTS");
       }, "", "\"/media/BD\" 5) 2: \"{T}.vc1\" 3: \"{T}.dtshd\" 5: \"{T}.sup\"", ".vc1 .dtshd .sup"},
      // A playlist source names the playlist file; a root given with its
      // trailing slash gets no second one.
      {[](JobRecord& j) {
         j.source_is_playlist = true, j.target_media = kMediaMkvCrf, j.subtitle_mode = kSubtitleKept;
         CopyText(j.playlist_name, "00800.mpls"), CopyText(j.source_root, "/media/BD/");
       }, "", "\"/media/BD/BDMV/PLAYLIST/00800.mpls\" 1) 3: \"{T}.ac3\" 5: \"{T}.sup\"", ".ac3 .sup"},
      // An MKV file has no title number; the DTS core alone.
      {[](JobRecord& j) {
         MkvFile(j), CopyText(j.subtitle_codec_id, "S_TEXT/UTF8"), j.subtitle_mode = kSubtitleKept, j.subtitle_eac3to_track = 3, j.audio_core_only = 1;
       },
       "", "\"/v/Film.mkv\" 1: \"{T}.h264\" 2: \"{T}.dts\" -core 3: \"{T}.srt\"", ".h264 .dts .srt"},
      // DTS-HD kept whole; a codec outside the table is written under the bare base name.
      {[](JobRecord& j) { MkvFile(j), CopyText(j.video_codec, "HEVC"), j.audio_untouched_hd = true; },
       "", "\"/v/Film.mkv\" 1: \"{T}\" 2: \"{T}.dtshd\"", " .dtshd"},
      // A stream file with interlaced video, subtitles left to the muxer.
      {[](JobRecord& j) { CopyText(j.source_root, ""), j.interlaced_avc = true, j.target_audio = kAudioFlac, j.subtitle_mode = kSubtitleKept; },
       "", "\"/media/BD/BDMV/STREAM/00001.m2ts\" 2: \"{T}.h264\" 3: \"{T}.flac\"", ".h264 .flac"},
      // The audio is left to the muxer.
      {[](JobRecord& j) { j.subtitle_mode = kSubtitleForcedOnly; }, "", "\"/media/BD\" 1) 5: \"{T}.sup\"", ".sup"},
      {Mvc, "", "\"/media/BD\" 1) 2: \"{T}.avc.h264\" 3: \"{T}.mvc.h264\" 4: \"{T}.wav\" 5: \"{T}.sup\"", ".avc.h264 .mvc.h264 .wav .sup"},
      // Only what is missing is extracted, and only what this run writes is
      // removed when it fails.
      {Mvc, ".avc.h264", "\"/media/BD\" 1) 3: \"{T}.mvc.h264\" 4: \"{T}.wav\" 5: \"{T}.sup\"", ".mvc.h264 .wav .sup"},
  };
  // clang-format on
  const std::string program = Tools() + "/eac3to/eac3to";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    for (const std::string_view s : Tokenize(c.present, " ")) Touch(T(std::string(s)));
    JobRecord job = DiscJob();
    c.edit(job);
    DemuxTracks tracks;
    const PreparedStep step = PrepareDemux(job, ctx_, &tracks);
    EXPECT_EQ(step.command_line, "\"" + program + "\" " + Expand(c.command) + " -progressnumbers -log=\"" +
                                     T(".eac3to_log.txt") + "\"");
    EXPECT_EQ(step.tool, kEac3toTool);
    Strings created;
    for (const std::string_view s : Tokenize(c.created, " ")) created.push_back(T(std::string(s)));
    if (std::string_view(c.created).starts_with(' ')) created.insert(created.begin(), T(""));
    EXPECT_EQ(step.outputs_on_failure, created);
    EXPECT_EQ(tracks.created, created);
    for (const std::string_view s : Tokenize(c.present, " ")) fs::remove(T(std::string(s)));
  }
}

TEST_F(DemuxStep, DelayedEac3IsRenamedToTheExpectedName) {
  JobRecord job = DiscJob();
  CopyText(job.output_name, "Film.EAC3 cut");
  job.target_media = kMediaMkvCrf;
  CopyText(job.audio_codec_id, "A_EAC3");
  job.audio_delay_ms = 120;
  DemuxTracks tracks;
  PrepareDemux(job, ctx_, &tracks);
  const std::string expected = (temp_.path() / "Film.EAC3 cut.job_3.eac3").string();
  ASSERT_EQ(tracks.audio_file, expected);

  const std::string delayed = (temp_.path() / "Film.EAC3 cut.job_3 DELAY 120ms.eac3").string();
  Touch(delayed, "audio");
  EXPECT_TRUE(DemuxAfterWork(job, tracks));
  EXPECT_FALSE(fs::exists(delayed));
  EXPECT_EQ(ReadWholeFile(expected), "audio");

  // Nothing to rename: no delay was kept, or the muxer shifts it.
  Touch(delayed, "other");
  fs::remove(expected);
  job.audio_delay_ms = 0;
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
  job.audio_delay_ms = 120;
  job.target_media = kMediaAvchdCrf;  // tsMuxeR shifts the delay itself
  EXPECT_FALSE(DemuxAfterWork(job, tracks));
  EXPECT_TRUE(fs::exists(delayed));
}

}  // namespace
}  // namespace dp
