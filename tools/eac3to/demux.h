// Extraction of the requested tracks of a title or file into the named files,
// the output format following each file's suffix, with ffmpeg doing the work
// but for a 3D title's dependent view, copied from its transport packets.
#pragma once

#include <string>
#include <vector>

#include "eac3to/console.h"
#include "eac3to/source.h"

namespace dp::tools {

struct TrackRequest {
  int number = 0;
  std::string path;
  std::vector<std::string> options;  // "-core", "-640", "-down16", "-down6", ...
};

// What one requested track becomes: ffmpeg's output options and file, or the
// reason it cannot be made.
struct OutputPlan {
  std::vector<std::string> args;  // from "-map" up to and including the file name
  std::string path;               // the file written (may carry " DELAY <n>ms")
  std::string raw_format;         // ffmpeg demuxer of a written video stream, for its frame count
  // The PID whose PES payloads are copied to `path` instead (the dependent
  // view of a 3D title, which ffmpeg can't write alone); -1 for ffmpeg's work.
  int copy_pid = -1;
  bool interlaced = false;
  std::string error;
};

// The plan for a stream track. `delay_ms` is the track's start relative to the
// first video stream.
OutputPlan PlanOutput(const Track& track, const TrackRequest& request, int delay_ms);

// Text of the chapter file: CHAPTERnn=hh:mm:ss.mmm and CHAPTERnnNAME lines.
std::string ChapterFileText(const std::vector<double>& chapters);

// Extracts every request; returns the exit code.
int Demux(const Selection& selection, const std::vector<TrackRequest>& requests, bool progress,
          Console& console);

}  // namespace dp::tools
