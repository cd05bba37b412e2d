// The mux step of a job: tsMuxeR driven by a ".meta" control file for the
// AVCHD folders and the Blu-ray ISO, mkvmerge driven by its command line for
// MKV. The builders read which input files exist, so they are called when
// the earlier steps have run.
#pragma once

#include <string>

#include "pipeline/step.h"
#include "queue/job_record.h"

namespace dp {

// The frame rate of `fps_fraction`; `fps_text` when the fraction is missing
// or not a usable number; 0 when neither gives a positive rate.
double JobFrameRate(const JobRecord& job);

// Input files.
// The video the muxer packs (for MVC modes the file named on the AVC line).
std::string MuxVideoFile(const JobRecord& job, const StepContext& ctx);
// The demux step extracted the audio (else the muxer reads the source).
bool AudioFromDemux(const JobRecord& job);
// The demuxed audio or `source_path`; empty when the job has no audio.
std::string MuxAudioFile(const JobRecord& job, const StepContext& ctx);
// The subtitle file each muxer takes; `source_path` when tsMuxeR reads the
// subtitle from the source by track number.
bool TsMuxerSubtitleFromSource(const JobRecord& job);
std::string TsMuxerSubtitleFile(const JobRecord& job, const StepContext& ctx);
std::string MkvmergeSubtitleFile(const JobRecord& job, const StepContext& ctx);

// The text of tsMuxeR's ".meta" file.
std::string TsMuxerMeta(const JobRecord& job, const StepContext& ctx);
// The text of mkvmerge's chapters file ("CHAPTER01=...").
std::string MkvmergeChapters(const JobRecord& job);

// The corrections the tsMuxeR step makes to the record (stored with the
// next status change): `chapters` "5" when the automatic chapters are used,
// `audio_codec_id` "A_AC3" after an audio recode.
void ApplyTsMuxerRecordCorrections(JobRecord& job);

// tsMuxeR: writes the ".meta" file afresh and produces `output_path` (the
// AVCHD folder, or the ISO for MVC modes); when the run does not finish only
// what it made there is removed.
PreparedStep BuildTsMuxerStep(const JobRecord& job, const StepContext& ctx, int step, int total);
// mkvmerge: writes the chapters file when due and produces `output_path`.
PreparedStep BuildMkvmergeStep(const JobRecord& job, const StepContext& ctx, int step, int total);

// With `limit_frames` mkvmerge splits the output at the title's end: the
// first part ("-001" before ".mkv") becomes `output_path` and the second is
// deleted. False when the first part could not be renamed.
bool KeepFirstSplitPart(const JobRecord& job);
// The names of the two parts.
std::string SplitPartName(const std::string& output_path, int part);

}  // namespace dp
