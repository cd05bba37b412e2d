#include "queue/job_fields.h"

#include <cstring>

#include "util/text.h"

namespace dp {

namespace {

template <typename T>
constexpr FieldKind KindOf() {
  if constexpr (std::is_same_v<T, bool>)
    return FieldKind::kBool;
  else if constexpr (std::is_same_v<T, std::int8_t>)
    return FieldKind::kInt8;
  else if constexpr (std::is_same_v<T, std::uint8_t>)
    return FieldKind::kUInt8;
  else if constexpr (std::is_same_v<T, std::int32_t>)
    return FieldKind::kInt32;
  else
    return FieldKind::kText;
}

#define DP_FIELD(name)                                                                               \
  JobField {                                                                                         \
#name, offsetof(JobRecord, name), sizeof(JobRecord::name), KindOf < decltype(JobRecord::name)>() \
  }

const JobField kFields[] = {
    DP_FIELD(status),
    DP_FIELD(video_rate),
    DP_FIELD(target_media),
    DP_FIELD(frame_count),
    DP_FIELD(audio_track_id),
    DP_FIELD(audio_delay_ms),
    DP_FIELD(audio_core_only),
    DP_FIELD(target_audio),
    DP_FIELD(audio_eac3to_track),
    DP_FIELD(audio_untouched_hd),
    DP_FIELD(interlaced_avc),
    DP_FIELD(subtitle_eac3to_track),
    DP_FIELD(output_width),
    DP_FIELD(output_height),
    DP_FIELD(subtitle_track_id),
    DP_FIELD(subtitle_mode),
    DP_FIELD(video_track_id),
    DP_FIELD(join_playlist),
    DP_FIELD(video_untouched),
    DP_FIELD(video_codec),
    DP_FIELD(output_name),
    DP_FIELD(source_path),
    DP_FIELD(source_root),
    DP_FIELD(output_path),
    DP_FIELD(fps_fraction),
    DP_FIELD(fps_text),
    DP_FIELD(x264_interlace),
    DP_FIELD(audio_codec_id),
    DP_FIELD(audio_language),
    DP_FIELD(subtitle_codec_id),
    DP_FIELD(subtitle_language),
    DP_FIELD(join_parts),
    DP_FIELD(chapters),
    DP_FIELD(x264_preset),
    DP_FIELD(x264_tune),
    DP_FIELD(target_label),
    DP_FIELD(audio_bitrate_text),
    DP_FIELD(video_filter),
    DP_FIELD(extra_params),
    DP_FIELD(resize_720p),
    DP_FIELD(crop_height),
    DP_FIELD(video_eac3to_track),
    DP_FIELD(source_is_mkv),
    DP_FIELD(audio_to_16bit),
    DP_FIELD(audio_downmix_51),
    DP_FIELD(mode_3d),
    DP_FIELD(playlist_index),
    DP_FIELD(reserved_7470),
    DP_FIELD(playlist_name),
    DP_FIELD(source_is_playlist),
    DP_FIELD(use_x265),
    DP_FIELD(subtitle_3d_plane),
    DP_FIELD(limit_frames),
    DP_FIELD(noise_reduction),
};
#undef DP_FIELD

const std::uint8_t* Bytes(const JobRecord& job) { return reinterpret_cast<const std::uint8_t*>(&job); }
std::uint8_t* Bytes(JobRecord& job) { return reinterpret_cast<std::uint8_t*>(&job); }

}  // namespace

std::span<const JobField> JobFields() { return kFields; }

const JobField* FindJobField(std::string_view name) {
  for (const auto& f : kFields)
    if (name == f.name) return &f;
  return nullptr;
}

std::int64_t GetIntField(const JobRecord& job, const JobField& field) {
  const std::uint8_t* p = Bytes(job) + field.offset;
  switch (field.kind) {
    case FieldKind::kInt32: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case FieldKind::kInt8:
      return static_cast<std::int8_t>(*p);
    case FieldKind::kUInt8:
      return *p;
    case FieldKind::kBool:
      return *p;  // the stored byte, whatever it holds
    case FieldKind::kText:
      return 0;
  }
  return 0;
}

std::string GetTextField(const JobRecord& job, const JobField& field) {
  if (field.kind != FieldKind::kText) return std::to_string(GetIntField(job, field));
  return std::string(FieldText(reinterpret_cast<const char*>(Bytes(job) + field.offset), field.size));
}

void SetIntField(JobRecord& job, const JobField& field, std::int64_t value) {
  std::uint8_t* p = Bytes(job) + field.offset;
  switch (field.kind) {
    case FieldKind::kInt32: {
      const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
      std::memcpy(p, &v, 4);
      break;
    }
    case FieldKind::kInt8:
    case FieldKind::kUInt8:
      *p = static_cast<std::uint8_t>(value);
      break;
    case FieldKind::kBool:
      *p = value != 0 ? 1 : 0;  // a bool holds nothing else
      break;
    case FieldKind::kText:
      SetTextField(job, field, std::to_string(value));
      break;
  }
}

void SetTextField(JobRecord& job, const JobField& field, std::string_view text) {
  if (field.kind != FieldKind::kText) {
    SetIntField(job, field, LeadingInt64(text));
    return;
  }
  CopyText(reinterpret_cast<char*>(Bytes(job) + field.offset), field.size, text);
}

}  // namespace dp
