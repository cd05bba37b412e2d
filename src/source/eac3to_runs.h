// eac3to's analysis runs: a listing of a disc folder, playlist or stream
// file, and a chapter run that writes the chapter file. The command lines are
// built as text from the tool's templates (that text is what a person sees),
// split into argv without a shell and run hidden; the exit code means
// nothing, only the files the run leaves in the temporary folder do. Both
// files are removed once read, and before each run, so a run that wrote
// nothing is never read with an older run's output.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace dp {

inline constexpr char kEac3toTool[] = "eac3to\\eac3to.exe";
inline constexpr char kEac3toLogName[] = "eac3to_log.txt";
inline constexpr char kChapterFileName[] = "cap.txt";
inline constexpr std::size_t kListingReadMax = 30000;
inline constexpr std::size_t kChapterFileReadMax = 30000;
// A hung eac3to must not keep the opening waiting for ever.
inline constexpr std::chrono::minutes kAnalysisTimeLimit{10};

// The tool and the two files an analysis run writes.
struct Eac3toFiles {
  std::string exe, log, cap;
};
// The files in the temporary folder. Fails, saying which path and why, when
// the folder is not set or a path cannot stand in a command line.
Result<Eac3toFiles> AnalysisFiles(std::string_view temp_path);

// The templates as text.
std::string ListingCommand(const Eac3toFiles& f, std::string_view source);
std::string FileChaptersCommand(const Eac3toFiles& f, std::string_view file);
std::string TitleChaptersCommand(const Eac3toFiles& f, std::string_view folder, int title);
std::string PlaylistChaptersCommand(const Eac3toFiles& f, std::string_view folder, std::string_view playlist,
                                    int title);

// Lists `source`: the log's first 30000 bytes without "\r", empty when the
// run wrote none. Fails when a path is refused (nothing is run then), and
// when eac3to could not start or did not end and wrote no log.
Result<std::string> RunListing(std::string_view temp_path, const std::string& source);

// What a chapter run is asked for: one stream file, title N of a disc
// folder, or title N named by its playlist in the folder's BDMV/PLAYLIST.
struct ChapterRequest {
  enum Kind { kStreamFile, kDiscTitle, kPlaylist } kind = kStreamFile;
  std::string path;      // the stream file or the disc folder
  std::string playlist;  // kPlaylist: "00800.mpls"
  int title = 0;
};
struct ChapterOutput {
  std::string chapter_file;  // as written, "\r\n" line ends kept; at most 30000 bytes
  std::string log;           // "\r" dropped
};
Result<ChapterOutput> RunChapters(std::string_view temp_path, const ChapterRequest& request);

}  // namespace dp
