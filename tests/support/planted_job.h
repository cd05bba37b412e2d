// The job the crash tests plant in a store before they start a program on
// it: BD5 two-pass of a 120-frame 24 fps clip whose audio is recoded, so the
// demux step runs first.
#pragma once

#include <filesystem>

#include "app/settings.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "queue/queue_store.h"
#include "util/text.h"

namespace dp::test {

inline JobRecord TwoPassJob(const std::filesystem::path& clip, const std::filesystem::path& output_path) {
  JobRecord job = EmptyJob();
  job.status = kStatusPending;
  job.target_media = kMediaBd5;
  job.video_rate = 2000;
  job.frame_count = 120;
  job.target_audio = 640;
  job.audio_eac3to_track = 2;
  job.video_eac3to_track = 1;
  job.video_track_id = 4113;
  job.audio_track_id = 4352;
  CopyText(job.output_name, "Movie");
  CopyText(job.source_path, clip.string());
  CopyText(job.output_path, output_path.string());
  CopyText(job.video_codec, "AVC");
  CopyText(job.fps_text, "24.000");
  CopyText(job.fps_fraction, "24/1");
  CopyText(job.x264_preset, "veryslow");
  // The muxer stand-in cannot time a raw stream with B-frames.
  CopyText(job.extra_params, "--bframes 0");
  CopyText(job.audio_codec_id, "A_AC3");
  CopyText(job.audio_language, "eng");
  return job;
}

// Default settings with the given folders, and a queue of `job` in slot 0.
inline bool PlantStore(const std::filesystem::path& store_file, const std::filesystem::path& temp,
                       const std::filesystem::path& out, const JobRecord& job) {
  auto store = Store::Open(store_file);
  if (!store) return false;
  Settings settings{};
  LoadDefaults(settings);
  CopyText(settings.TempPath, temp.string());
  CopyText(settings.OutPath, out.string());
  EscriuRegistre(*store, settings);
  JobQueue queue;
  queue.Put(0, job);
  return EscriuCuaRegistre(*store, queue);
}

}  // namespace dp::test
