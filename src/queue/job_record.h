// The job record: one queued conversion, stored byte for byte as the value
// "Job_%d" of the per-user store. Its layout is a stored format, so the size
// and every offset are fixed and checked at compile time.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "queue/job_codes.h"

namespace dp {

inline constexpr int kQueueSlots = 100;
inline constexpr std::size_t kJobRecordSize = 7496;

enum JobStatus : std::int32_t {
  kStatusEmpty = 0,
  kStatusPending = 1,
  kStatusStopped = 2,
  kStatusEac3to = 3,
  kStatusMvcEncoder = 4,
  kStatusX264Pass1 = 5,
  kStatusX264Pass2 = 6,
  kStatusX264Crf = 7,
  kStatusX265Crf = 8,
  kStatusTsMuxer = 9,
  kStatusMkvmerge = 10,
  kStatusFinished = 11,
  kStatusCanceled = 12,
  kStatusFailed = 13,
};

enum TargetMedia : std::int32_t {
  kMediaBd5 = 0,
  kMediaBd9 = 1,
  kMediaUsb4 = 2,
  kMediaBd25 = 3,
  kMediaCustom = 4,
  kMediaAvchdCrf = 5,
  kMediaBdRemux = 6,
  kMediaMkvCrf = 7,
  kMediaMkvRemux = 8,  // never stored: stored as 7 with video_rate 1
};

struct JobRecord {
  std::int32_t status;
  std::int32_t video_rate;
  std::int32_t target_media;
  std::int32_t frame_count;
  std::int32_t audio_track_id;
  std::int32_t audio_delay_ms;
  std::int32_t audio_core_only;
  std::int32_t target_audio;
  std::int8_t audio_eac3to_track;
  bool audio_untouched_hd;
  bool interlaced_avc;
  std::int8_t subtitle_eac3to_track;
  std::int32_t output_width;
  std::int32_t output_height;
  std::int32_t subtitle_track_id;
  std::int32_t subtitle_mode;
  std::int32_t video_track_id;
  std::int32_t join_playlist;
  std::int32_t video_untouched;
  char video_codec[16];
  char output_name[260];
  char source_path[260];
  char source_root[260];
  char output_path[260];
  char fps_fraction[16];
  char fps_text[8];
  char x264_interlace[16];
  char audio_codec_id[16];
  char audio_language[8];
  char subtitle_codec_id[16];
  char subtitle_language[8];
  char join_parts[3000];
  char chapters[3000];
  char x264_preset[16];
  char x264_tune[16];
  char target_label[16];
  char audio_bitrate_text[8];
  char video_filter[64];
  char extra_params[128];
  std::int32_t resize_720p;
  std::int32_t crop_height;
  std::int8_t video_eac3to_track;
  bool source_is_mkv;
  bool audio_to_16bit;
  bool audio_downmix_51;
  std::uint8_t mode_3d;
  std::int8_t playlist_index;
  std::uint8_t reserved_7470;
  char playlist_name[16];
  bool source_is_playlist;
  bool use_x265;
  std::int8_t subtitle_3d_plane;
  bool limit_frames;
  std::uint8_t padding_7491;
  std::int32_t noise_reduction;
};

static_assert(std::is_trivially_copyable_v<JobRecord>);
static_assert(std::is_standard_layout_v<JobRecord>);
static_assert(sizeof(bool) == 1);
static_assert(sizeof(JobRecord) == kJobRecordSize);
static_assert(offsetof(JobRecord, status) == 0);
static_assert(offsetof(JobRecord, video_rate) == 4);
static_assert(offsetof(JobRecord, target_media) == 8);
static_assert(offsetof(JobRecord, frame_count) == 12);
static_assert(offsetof(JobRecord, audio_track_id) == 16);
static_assert(offsetof(JobRecord, audio_delay_ms) == 20);
static_assert(offsetof(JobRecord, audio_core_only) == 24);
static_assert(offsetof(JobRecord, target_audio) == 28);
static_assert(offsetof(JobRecord, audio_eac3to_track) == 32);
static_assert(offsetof(JobRecord, audio_untouched_hd) == 33);
static_assert(offsetof(JobRecord, interlaced_avc) == 34);
static_assert(offsetof(JobRecord, subtitle_eac3to_track) == 35);
static_assert(offsetof(JobRecord, output_width) == 36);
static_assert(offsetof(JobRecord, output_height) == 40);
static_assert(offsetof(JobRecord, subtitle_track_id) == 44);
static_assert(offsetof(JobRecord, subtitle_mode) == 48);
static_assert(offsetof(JobRecord, video_track_id) == 52);
static_assert(offsetof(JobRecord, join_playlist) == 56);
static_assert(offsetof(JobRecord, video_untouched) == 60);
static_assert(offsetof(JobRecord, video_codec) == 64);
static_assert(offsetof(JobRecord, output_name) == 80);
static_assert(offsetof(JobRecord, source_path) == 340);
static_assert(offsetof(JobRecord, source_root) == 600);
static_assert(offsetof(JobRecord, output_path) == 860);
static_assert(offsetof(JobRecord, fps_fraction) == 1120);
static_assert(offsetof(JobRecord, fps_text) == 1136);
static_assert(offsetof(JobRecord, x264_interlace) == 1144);
static_assert(offsetof(JobRecord, audio_codec_id) == 1160);
static_assert(offsetof(JobRecord, audio_language) == 1176);
static_assert(offsetof(JobRecord, subtitle_codec_id) == 1184);
static_assert(offsetof(JobRecord, subtitle_language) == 1200);
static_assert(offsetof(JobRecord, join_parts) == 1208);
static_assert(offsetof(JobRecord, chapters) == 4208);
static_assert(offsetof(JobRecord, x264_preset) == 7208);
static_assert(offsetof(JobRecord, x264_tune) == 7224);
static_assert(offsetof(JobRecord, target_label) == 7240);
static_assert(offsetof(JobRecord, audio_bitrate_text) == 7256);
static_assert(offsetof(JobRecord, video_filter) == 7264);
static_assert(offsetof(JobRecord, extra_params) == 7328);
static_assert(offsetof(JobRecord, resize_720p) == 7456);
static_assert(offsetof(JobRecord, crop_height) == 7460);
static_assert(offsetof(JobRecord, video_eac3to_track) == 7464);
static_assert(offsetof(JobRecord, source_is_mkv) == 7465);
static_assert(offsetof(JobRecord, audio_to_16bit) == 7466);
static_assert(offsetof(JobRecord, audio_downmix_51) == 7467);
static_assert(offsetof(JobRecord, mode_3d) == 7468);
static_assert(offsetof(JobRecord, playlist_index) == 7469);
static_assert(offsetof(JobRecord, reserved_7470) == 7470);
static_assert(offsetof(JobRecord, playlist_name) == 7471);
static_assert(offsetof(JobRecord, source_is_playlist) == 7487);
static_assert(offsetof(JobRecord, use_x265) == 7488);
static_assert(offsetof(JobRecord, subtitle_3d_plane) == 7489);
static_assert(offsetof(JobRecord, limit_frames) == 7490);
static_assert(offsetof(JobRecord, padding_7491) == 7491);
static_assert(offsetof(JobRecord, noise_reduction) == 7492);

// The byte image is the record's memory: the format is little-endian and so
// is every machine this builds for.
static_assert(std::endian::native == std::endian::little);

using JobSlots = std::array<JobRecord, kQueueSlots>;

// A record of all zeros: an empty slot.
JobRecord EmptyJob();
// A record from its 7496-byte image with every one-byte flag made 0 or 1:
// a stored image may hold any byte there, and reading 2 as a bool is
// undefined behaviour. Every record read from outside comes through here.
JobRecord JobFromImage(const void* image);

// The questions asked of a record, answered in one place.
bool IsRunningStatus(std::int32_t status);  // 3 .. 10
// Whether a run also starts the failed jobs: a start by the user does, the
// run handing on to the next job does not.
enum class StartAll : bool { kNo = false, kYes = true };
// Pending or stopped: the next run picks it up (and failed, when the run
// starts them all).
bool IsRunnableStatus(std::int32_t status, StartAll start_all);
// Pending, stopped or failed: it waits for a run, may move in the queue, and
// removing it deletes its temporary files.
bool IsWaitingStatus(std::int32_t status);
// Finished or cancelled: Clear empties the slot and the store keeps no value
// for it.
bool IsDoneStatus(std::int32_t status);
// Waiting or done: the user may remove the job.
bool IsDeletableStatus(std::int32_t status);
// The first runnable slot, or -1.
int NextRunnableSlot(const JobSlots& jobs, StartAll start_all);
bool IsCrfTarget(const JobRecord& job);  // AVCHD CRF or MKV CRF (and MKV remux)
bool IsMvc(const JobRecord& job);        // 2D+3D MVC
bool IsHalf3d(const JobRecord& job);     // half side-by-side or top-and-bottom
bool IsHalfSbs(const JobRecord& job);
bool IsLeftEyeBase(const JobRecord& job);          // 1, 3, 10
bool IsRightEyeBase(const JobRecord& job);         // 2, 4, 11
bool HasForcedSubtitleWork(const JobRecord& job);  // kept-and-flagged or forced-only

}  // namespace dp
