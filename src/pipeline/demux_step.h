// The demux step: one eac3to run that extracts, in one pass, the video (one
// file, or both eye files for 3D), the chosen audio (kept or recoded to AC3
// or FLAC) and the chosen subtitle into the job's temporary files, joining
// the parts of a multi-part title on the way. A stream whose file is already
// there is trusted as complete and left out, so a restarted job extracts
// only what is missing.
#pragma once

#include <string>
#include <vector>

#include "pipeline/step.h"
#include "queue/job_record.h"

namespace dp {

inline constexpr const char* kEac3toConsoleTitle = "[EAC3TO PROCESS] Do not close this window!!!";

// What the demux step extracts, before looking at existing files.
bool DemuxExtractsVideo(const JobRecord& job);
bool DemuxExtractsAudio(const JobRecord& job);
bool DemuxExtractsSubtitle(const JobRecord& job);

// The eac3to title number: the joined title, else the chosen playlist, else 1.
int DemuxTitleNumber(const JobRecord& job);

struct DemuxTracks {
  // eac3to track arguments, each starting with a blank; empty when the
  // stream is not extracted by this run.
  std::string video_arg;
  std::string audio_arg;
  std::string subtitle_arg;

  // Where the streams go (empty when the job does not demux that stream).
  std::string video_file;           // 2D
  std::string base_view_file;       // 3D
  std::string dependent_view_file;  // 3D
  std::string audio_file;
  std::string subtitle_file;
  std::string log_file;

  // The files this run is to write, in argument order.
  std::vector<std::string> created;
};

DemuxTracks BuildDemuxTracks(const JobRecord& job, const StepContext& ctx);

// The eac3to run of the job in ctx.slot. Status 3 is the step's status even
// when skip is set (nothing left to extract): the worker writes it, skips the
// launch and goes on with DemuxAfterWork. The label is empty then, as no
// tool runs. `tracks`, when given, receives the arguments for the after-work.
PreparedStep PrepareDemux(const JobRecord& job, const StepContext& ctx, DemuxTracks* tracks = nullptr);

// After a successful run: eac3to may have kept a delayed E-AC-3 track's
// delay in its file name ("<name> DELAY 120ms.eac3"); that file is renamed
// to the name the mux step expects. True when a file was renamed.
bool DemuxAfterWork(const JobRecord& job, const DemuxTracks& tracks);

}  // namespace dp
