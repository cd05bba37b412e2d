#include "source/eac3to_runs.h"

#include <filesystem>
#include <system_error>

#include "platform/command_line.h"
#include "platform/run_program.h"
#include "platform/tool_paths.h"
#include "source/file_prefix.h"
#include "util/text.h"

namespace dp {

namespace {

// A chapter run's log is scanned, not kept; this bounds what a runaway log
// costs.
constexpr std::size_t kChapterLogReadMax = 1 << 20;

Status CheckPath(const char* what, std::string_view path) {
  const std::string why = CheckTemplatePath(path);
  if (why.empty()) return {};
  return Failure{Format("the %s '%.*s' cannot be used: %s", what, static_cast<int>(path.size()), path.data(),
                        why.c_str())};
}

std::string ReadPrefix(const std::string& path, std::size_t max_bytes) {
  FilePrefix prefix;
  if (!prefix.Read(path, max_bytes)) return {};
  return std::string(prefix.bytes.begin(), prefix.bytes.end());
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

void Remove(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

// The exit code says nothing the log does not. A run that could not start
// (or never ended) and left no log is reported as such rather than read as
// an empty listing.
Status Run(const Eac3toFiles& files, const std::string& command) {
  Remove(files.log);
  Remove(files.cap);
  const Result<int> run = RunQuietly(SplitCommandLine(command), kAnalysisTimeLimit);
  std::error_code ec;
  if (!run && !std::filesystem::exists(files.log, ec)) return run.status();
  return {};
}

}  // namespace

Result<Eac3toFiles> AnalysisFiles(std::string_view temp_path) {
  if (temp_path.empty()) return Failure{"the temporary folder is not set (Options > Settings...)"};
  const std::filesystem::path dir(temp_path);
  Eac3toFiles f{ToolPath(kEac3toTool), (dir / kEac3toLogName).string(), (dir / kChapterFileName).string()};
  for (const auto& [what, path] :
       {std::pair{"temporary folder", std::string(temp_path)}, std::pair{"eac3to program", f.exe}}) {
    if (Status s = CheckPath(what, path); !s) return Failure{s.error()};
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return f;
}

std::string ListingCommand(const Eac3toFiles& f, std::string_view source) {
  return Format("\"%s\" \"%.*s\" -log=\"%s\"", f.exe.c_str(), static_cast<int>(source.size()), source.data(),
                f.log.c_str());
}

std::string FileChaptersCommand(const Eac3toFiles& f, std::string_view file) {
  return Format("\"%s\" \"%.*s\" 1: \"%s\" -log=\"%s\"", f.exe.c_str(), static_cast<int>(file.size()),
                file.data(), f.cap.c_str(), f.log.c_str());
}

std::string TitleChaptersCommand(const Eac3toFiles& f, std::string_view folder, int title) {
  return Format("\"%s\" \"%.*s\" %d) 1: \"%s\" -log=\"%s\"", f.exe.c_str(), static_cast<int>(folder.size()),
                folder.data(), title, f.cap.c_str(), f.log.c_str());
}

std::string PlaylistChaptersCommand(const Eac3toFiles& f, std::string_view folder, std::string_view playlist,
                                    int title) {
  return Format("\"%s\" \"%.*s/BDMV/PLAYLIST/%.*s\" %d) 1: \"%s\" -log=\"%s\"", f.exe.c_str(),
                static_cast<int>(folder.size()), folder.data(), static_cast<int>(playlist.size()),
                playlist.data(), title, f.cap.c_str(), f.log.c_str());
}

Result<std::string> RunListing(std::string_view temp_path, const std::string& source) {
  Result<Eac3toFiles> files = AnalysisFiles(temp_path);
  if (!files) return Failure{files.error()};
  if (Status s = CheckPath("source", source); !s) return Failure{s.error()};
  if (Status ran = Run(*files, ListingCommand(*files, source)); !ran) return Failure{ran.error()};
  std::string listing = WithoutCarriageReturns(ReadPrefix(files->log, kListingReadMax));
  Remove(files->log);
  return listing;
}

Result<ChapterOutput> RunChapters(std::string_view temp_path, const ChapterRequest& request) {
  Result<Eac3toFiles> files = AnalysisFiles(temp_path);
  if (!files) return Failure{files.error()};
  std::string command;
  switch (request.kind) {
    case ChapterRequest::kStreamFile:
      command = FileChaptersCommand(*files, request.path);
      break;
    case ChapterRequest::kDiscTitle:
      command = TitleChaptersCommand(*files, request.path, request.title);
      break;
    case ChapterRequest::kPlaylist:
      command = PlaylistChaptersCommand(*files, request.path, request.playlist, request.title);
      break;
  }
  const std::string source = request.kind == ChapterRequest::kPlaylist
                                 ? request.path + "/BDMV/PLAYLIST/" + request.playlist
                                 : request.path;
  if (Status s = CheckPath("source", source); !s) return Failure{s.error()};
  if (Status ran = Run(*files, command); !ran) return Failure{ran.error()};
  ChapterOutput out;
  out.chapter_file = ReadPrefix(files->cap, kChapterFileReadMax);
  Remove(files->cap);
  out.log = WithoutCarriageReturns(ReadPrefix(files->log, kChapterLogReadMax));
  Remove(files->log);
  return out;
}

}  // namespace dp
