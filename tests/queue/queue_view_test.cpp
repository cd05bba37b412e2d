#include "queue/queue_view.h"

#include <gtest/gtest.h>

#include "util/text.h"

namespace dp {
namespace {

JobRecord SampleJob() {
  JobRecord j = EmptyJob();
  j.status = kStatusPending;
  j.video_rate = 4500;
  j.target_media = kMediaBd5;
  j.frame_count = 123456;
  j.audio_track_id = 2;
  j.subtitle_track_id = 5;
  j.subtitle_mode = 1;
  CopyText(j.video_codec, "AVC");
  CopyText(j.source_path, "/discs/FILM/BDMV/PLAYLIST/00800.mpls");
  CopyText(j.source_root, "/discs/FILM");
  CopyText(j.output_path, "/out/Film (2010)");
  CopyText(j.fps_text, "23.976");
  CopyText(j.audio_codec_id, "A_AC3");
  CopyText(j.audio_language, "eng");
  CopyText(j.subtitle_codec_id, "S_HDMV/PGS");
  CopyText(j.subtitle_language, "spa");
  CopyText(j.x264_preset, "medium");
  CopyText(j.target_label, "AVCHD BD5");
  CopyText(j.audio_bitrate_text, "640");
  CopyText(j.playlist_name, "00800.mpls");
  return j;
}

TEST(QueueView, ATwoDimensionalJobReadsInFull) {
  JobRecord j = SampleJob();
  CopyText(j.x264_tune, "film");
  const QueueViewItem item = BuildQueueItem(3, j);
  EXPECT_EQ(item.label, "[PENDING]     /out/Film (2010) (AVCHD BD5 / 4500 Kbps / medium)");
  EXPECT_FALSE(item.color);
  const std::vector<std::string> expected = {
      "Source: /discs/FILM/BDMV/PLAYLIST/00800.mpls  [00800.mpls]",
      "Video: AVC / 23.976 fps / 123456 frames",
      "Target video: AVC / AVCHD BD5 / 4500 Kbps / tune film / preset medium",
      "Audio: A_AC3 / track 2 / eng",
      "Target audio: untouched 640 Kbps",
      "Subtitle: S_HDMV/PGS / track 5 / spa",
  };
  EXPECT_EQ(item.details, expected);
}

TEST(QueueView, CrfJoinAndMvcVariants) {
  JobRecord j = SampleJob();
  j.status = kStatusFinished;
  j.target_media = kMediaMkvCrf;
  j.video_rate = 20;
  j.use_x265 = true;
  j.join_playlist = 2;
  CopyText(j.join_parts, "00001.m2ts+00002.m2ts");
  CopyText(j.target_label, "MKV crf HEVC");
  CopyText(j.extra_params, "--aq-mode 3");
  j.resize_720p = 1;
  j.crop_height = 800;
  j.noise_reduction = 4;
  auto item = BuildQueueItem(0, j);
  EXPECT_EQ(item.label, "[FINISHED]    /out/Film (2010) (MKV crf HEVC / CRF 20 / medium)");
  EXPECT_EQ(item.color, kColorFinished);
  ASSERT_EQ(item.details.size(), 7u);  // the join line makes eight items with the top one
  EXPECT_EQ(item.details[0], "Source: /discs/FILM  [00800.mpls]");
  EXPECT_EQ(item.details[1], "Join parts: 00001.m2ts+00002.m2ts");
  EXPECT_EQ(item.details[3],
            "Target video: HEVC / MKV crf HEVC / CRF 20 / noise reduction 4 / preset medium / --aq-mode 3"
            " / crop 800 + resize 720p");

  j = SampleJob();
  j.status = kStatusFailed;
  j.mode_3d = kModeMvcRight;
  j.subtitle_mode = 3;
  j.subtitle_3d_plane = -1;
  j.resize_720p = 1;
  item = BuildQueueItem(0, j);
  EXPECT_EQ(item.color, kColorFailed);
  EXPECT_EQ(item.details[2],
            "Target video: AVC / AVCHD BD5 / 4500 Kbps / preset medium / resize 720p / 3D MVC");
  EXPECT_EQ(item.details[5],
            "Subtitle: S_HDMV/PGS / track 5 / spa / 3D-plane undefined / extract only forced captions");
  j.subtitle_3d_plane = 2;
  j.subtitle_mode = 2;
  j.mode_3d = kModeHalfTabLeft;  // half top-and-bottom: no plane text
  EXPECT_EQ(BuildQueueItem(0, j).details[5], "Subtitle: S_HDMV/PGS / track 5 / spa / flagged forced");
}

// One change to the sample (tuned "film") and the line it shows in, -1 for
// the top line: each 3D mode's eyes and picture, untouched video, each audio
// target.
TEST(QueueView, ThreeDModesAndVideoAndAudioTargets) {
  // clang-format off
  const struct { void (*set)(JobRecord&); int line; const char* text; } kCases[] = {
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft; }, 1, "Video: AVC / 23.976 fps / 123456 frames / 3D MVC  (left->AVC, right->MVC)"},
      {[](JobRecord& j) { j.mode_3d = kModeHalfSbsLeft; }, 2, "Target video: AVC / AVCHD BD5 / 4500 Kbps / tune film / preset medium / 3D-HSBS"},
      {[](JobRecord& j) { j.mode_3d = kModeHalfTabRight; }, 1, "Video: AVC / 23.976 fps / 123456 frames / 3D MVC  (left->MVC, right->AVC)"},
      {[](JobRecord& j) { j.mode_3d = kModeHalfTabRight; }, 2, "Target video: AVC / AVCHD BD5 / 4500 Kbps / tune film / preset medium / 3D-HTAB"},
      {[](JobRecord& j) { j.mode_3d = 5; }, 1, "Video: AVC / 23.976 fps / 123456 frames"},
      {[](JobRecord& j) { j.video_untouched = 1; CopyText(j.target_label, "BD Remux"); }, -1, "[PENDING]     /out/Film (2010) (BD Remux)"},
      {[](JobRecord& j) { j.video_untouched = 1; CopyText(j.target_label, "BD Remux"); }, 2, "Target video: untouched / BD Remux"},
      {[](JobRecord& j) { j.target_audio = 2; }, 4, "Target audio: recode to FLAC (lossless)"},
      {[](JobRecord& j) { j.target_audio = 448; }, 4, "Target audio: recode to AC3 448 Kbps"},
      {[](JobRecord& j) { j.audio_untouched_hd = 1; CopyText(j.audio_bitrate_text, "3500"); }, 4, "Target audio: untouched HD track ~3500 Kbps"},
      {[](JobRecord& j) { j.audio_untouched_hd = 1; CopyText(j.audio_bitrate_text, "0"); }, 4, "Target audio: untouched HD track"},
      {[](JobRecord& j) { j.audio_core_only = 1; CopyText(j.audio_bitrate_text, "1509"); }, 4, "Target audio: downconvert to Core 1509 Kbps"},
  };
  // clang-format on
  for (const auto& c : kCases) {
    JobRecord j = SampleJob();
    CopyText(j.x264_tune, "film");
    c.set(j);
    const QueueViewItem item = BuildQueueItem(0, j);
    EXPECT_EQ(c.line < 0 ? item.label : item.details[c.line], c.text);
  }
}

}  // namespace
}  // namespace dp
