// The step plan of a job: which steps the worker runs, in which order, and
// how the progress bar numbers them ("[STEP n/N - ...]"). It is computed from
// the job record alone, so a resumed job gets the same plan and numbering as
// its first run; what an earlier run already finished is found later, by the
// files each step looks for.
#pragma once

#include <string>
#include <string_view>

#include "queue/job_record.h"

namespace dp {

enum class ForcedCaptionTask {
  kNone,
  kExportForced,   // keep only the forced captions
  kFlagAllForced,  // mark every caption as forced
};

enum class VideoKind {
  kNone,  // the video is kept as it is (remux)
  kMvcenc,
  kX264TwoPass,
  kX264Crf,
  kX265,
};

enum class MuxKind {
  kMkvmerge,
  kTsMuxerAvchd,  // AVCHD folder tree
  kTsMuxerIso,    // 2D+3D Blu-ray ISO image
};

struct StepPlan {
  bool demux = false;  // eac3to runs (status 3)
  ForcedCaptionTask forced_captions = ForcedCaptionTask::kNone;
  bool subtitle_rescale = false;     // BDSup2Sub
  bool chapter_keyframes = false;    // the ".qpfile"
  bool frame_count_refresh = false;  // frame count read back from the demux log
  bool avisynth_script = false;      // the ".avs"
  VideoKind video = VideoKind::kNone;
  MuxKind mux = MuxKind::kTsMuxerAvchd;

  // Step numbers for the "[STEP n/N" labels; 0 for a step the plan lacks.
  int total_steps = 0;  // N
  int demux_step = 0;
  int video_step = 0;  // MVCenc, x264 pass 1, x264 CRF or x265
  int pass2_step = 0;  // x264 pass 2
  int mux_step = 0;    // always the last: equal to total_steps
};

// A CRF target: AVCHD CRF or MKV CRF.
// Interlaced AVC that has to be re-encoded through a demuxed file. The
// spare byte at 7470 counts the same when it is nonzero.
bool InterlacedAvc(const JobRecord& job);

// Whether eac3to runs: the other tools cannot read everything they need
// straight from the source (parts to join, audio to recode, forced captions
// to work on, MKV in or out, PGS to rescale, 3D, interlaced AVC to encode).
bool DemuxRuns(const JobRecord& job);

StepPlan PlanSteps(const JobRecord& job);

// The demux step's progress-bar label, from the track arguments the step
// built (an empty argument: that stream is not extracted). Empty for a 2D
// job when no argument is given, since eac3to then does not run.
std::string CalculaStepEac3to(const JobRecord& job, std::string_view video_arg, std::string_view audio_arg,
                              std::string_view subtitle_arg);

}  // namespace dp
