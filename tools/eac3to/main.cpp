// Stand-in for the eac3to demuxer: lists a disc folder's titles or a file's
// tracks, writes chapter files, and extracts tracks into files whose suffix
// names the format, printing "process: N%" and "Video track N contains M
// frames." as the program expects.
//
//   eac3to <source> [N)] [<track>: <file> [options]]... [-progressnumbers] [-log=<file>]

#include <cstdio>
#include <string>
#include <vector>

#include "eac3to/console.h"
#include "eac3to/demux.h"
#include "eac3to/source.h"
#include "toolkit/files.h"
#include "util/text.h"

namespace {

using namespace dp;
using namespace dp::tools;

struct Request {
  std::string source;
  int title = 0;
  std::vector<TrackRequest> tracks;
  std::string log;
  bool progress = false;
};

bool AllDigits(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789") == npos; }

bool ParseArgs(int argc, char** argv, Request& req, std::string& error) {
  bool want_path = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (want_path) {
      req.tracks.back().path = LocalPath(arg);
      want_path = false;
    } else if (IStartsWith(arg, "-log=")) {
      req.log = LocalPath(arg.substr(5));
    } else if (IEquals(arg, "-progressnumbers")) {
      req.progress = true;
    } else if (arg.size() > 1 && arg.back() == ')' && AllDigits(arg.substr(0, arg.size() - 1))) {
      req.title = LeadingInt(arg);
    } else if (const std::size_t colon = arg.find(':');
               colon != npos && colon > 0 && AllDigits(arg.substr(0, colon))) {
      req.tracks.push_back({LeadingInt(arg), "", {}});
      if (colon + 1 < arg.size())
        req.tracks.back().path = LocalPath(arg.substr(colon + 1));
      else
        want_path = true;
    } else if (arg.starts_with("-")) {
      if (!req.tracks.empty()) req.tracks.back().options.emplace_back(arg);
    } else if (req.source.empty()) {
      req.source = LocalPath(arg);
    } else {
      error = Format("Unexpected argument \"%s\".", argv[i]);
      return false;
    }
  }
  if (want_path)
    error = "A track number is not followed by a file name.";
  else if (req.source.empty())
    error = "No source given.";
  return error.empty();
}

std::string CommandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    if (i) text += ' ';
    const std::string_view a = argv[i];
    if (a.find(' ') != npos || i < 2)
      text += "\"" + std::string(a) + "\"";
    else
      text += a;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Request req;
  std::string error;
  const bool parsed = ParseArgs(argc, argv, req, error);
  Console console(req.log);
  console.LogOnly("eac3to stand-in (DiscPress)");
  console.LogOnly("command line: " + CommandLineText(argc, argv));
  console.LogOnly(std::string(78, '-'));
  if (!parsed) {
    console.Error(error);
    return 1;
  }
  Source source;
  if (!OpenSource(req.source, source, error)) {
    console.Error(error);
    return 1;
  }
  // A disc folder without a title number, or a playlist without tracks, is
  // answered with the title list.
  const bool title_list = (source.kind == Source::kFolder && req.title == 0) ||
                          (source.kind == Source::kPlaylist && req.tracks.empty() && req.title == 0);
  if (title_list) {
    for (const std::string& line : TitleListing(source)) console.Line(line);
    if (!req.tracks.empty()) {
      console.Error("Please specify a title number.");
      return 1;
    }
    return 0;
  }
  Selection selection;
  if (!Select(source, req.title, selection, error)) {
    console.Error(error);
    return 1;
  }
  for (const std::string& line : TrackListing(selection)) console.Line(line);
  if (req.tracks.empty()) return 0;
  return Demux(selection, req.tracks, req.progress, console);
}
