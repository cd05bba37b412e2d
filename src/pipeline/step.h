// One step of a job as the worker runs it: what to show, what to launch,
// where its output goes, and what to remove when it does not finish.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/console_title.h"
#include "queue/job_record.h"
#include "queue/progress.h"

namespace dp {

// What every step builder needs besides the record.
struct StepContext {
  const Settings& settings;  // TempPath, DivXPlusHD, font ...
  int slot = 0;
  bool is_64bit = true;  // picks the "_x64" tool variants
  bool debug_mode = false;
  // The installed AviSynth is AviSynth+: only then can the 64-bit encoders
  // and plug-ins read a script.
  bool avisynth_plus = false;
};

// The tool a step runs, as the worker and the progress monitor know it: the
// status its step writes into the record and how its progress is read.
struct StepTool {
  std::int32_t status = 0;  // 3..10; 0 = the step writes none
  ProgressReader reader = ProgressReader::kNone;
  // For a title reader: whose output lines make the console title.
  TitleSource title_source = TitleSource::kNone;

  bool operator==(const StepTool&) const = default;
};

inline constexpr StepTool kEac3toTool{kStatusEac3to, ProgressReader::kEac3toPipe, TitleSource::kNone};
inline constexpr StepTool kMvcencTool{kStatusMvcEncoder, ProgressReader::kMvcencTitle, TitleSource::kMvcenc};
inline constexpr StepTool kX264Pass1Tool{kStatusX264Pass1, ProgressReader::kEncoderTitle, TitleSource::kX264};
inline constexpr StepTool kX264Pass2Tool{kStatusX264Pass2, ProgressReader::kEncoderTitle, TitleSource::kX264};
inline constexpr StepTool kX264CrfTool{kStatusX264Crf, ProgressReader::kEncoderTitle, TitleSource::kX264};
inline constexpr StepTool kX265Tool{kStatusX265Crf, ProgressReader::kEncoderTitle, TitleSource::kX265};
inline constexpr StepTool kTsMuxerTool{kStatusTsMuxer, ProgressReader::kTsMuxerPipe, TitleSource::kNone};
inline constexpr StepTool kMkvmergeTool{kStatusMkvmerge, ProgressReader::kMkvmergePipe, TitleSource::kNone};

// The reader of the tool whose step writes `status`; kNone for any other.
ProgressReader ReaderForStatus(std::int32_t status);

enum class Capture {
  kPipe,  // standard output to a pipe the progress monitor reads
  kLog,   // standard output and error to log_file
  kNone,  // left alone (BDSup2Sub; every tool in debug mode)
};

// A control file the step writes before its tool runs (.meta, .avs,
// .qpfile, chapters). only_if_absent: an existing file is a finished piece
// of an earlier run and is kept.
struct ControlFile {
  std::string path;
  std::string content;
  bool only_if_absent = false;
};

// tsMuxeR's output: `output_path` (the AVCHD folder or the ISO image) and
// what the muxer writes into that folder or beside that image. The folder
// may be one that already held the user's files, so a run that does not
// finish removes only what it made.
struct MuxerOutput {
  std::string path;
  std::vector<std::string> entries;
};

struct PreparedStep {
  bool skip = false;           // nothing to do (resume rules): no tool runs
  StepTool tool;               // its status is written into the record at start
  std::string label;           // the progress bar's label, "[STEP n/N - ...]..."
  std::string console_title;   // "[X264 PROCESS] Do not close this window!!!" ...
  std::string command_line;    // the template text, recorded by FailJob
  std::string feeder_command;  // x265 only: the program piping the picture into x265
  Capture capture = Capture::kPipe;
  std::string log_file;        // with Capture::kLog
  bool idle_priority = false;  // encoders
  std::vector<ControlFile> control_files;
  std::string lock_file;                        // made before the run, removed after
  std::vector<std::string> outputs_on_failure;  // removed when stopped or failed
  MuxerOutput muxer_output;                     // tsMuxeR only
};

}  // namespace dp
