#include "tsMuxeR/meta.h"

#include <cmath>

#include "util/text.h"

namespace dp::tools {
namespace {

// Splits at any of `separators` outside double quotes; quotes are kept.
std::vector<std::string> SplitOutsideQuotes(std::string_view line, std::string_view separators) {
  std::vector<std::string> parts;
  std::string current;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (!quoted && separators.find(c) != std::string_view::npos) {
      parts.push_back(current);
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  parts.push_back(current);
  return parts;
}

std::string Unquote(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '"') out.push_back(c);
  return out;
}

}  // namespace

std::string MetaTrack::Get(const std::string& key) const {
  auto it = options.find(key);
  return it == options.end() ? std::string() : it->second;
}

std::string Meta::Get(const std::string& key) const {
  auto it = muxopt.find(key);
  return it == muxopt.end() ? std::string() : it->second;
}

bool ParseMeta(std::string_view text, Meta& out, std::string& error) {
  out = Meta{};
  bool have_muxopt = false;
  for (std::string_view raw : Tokenize(text, "\r\n")) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line.starts_with("MUXOPT")) {
      have_muxopt = true;
      for (const std::string& opt : SplitOutsideQuotes(line.substr(6), " \t")) {
        if (opt.empty()) continue;
        const std::size_t eq = opt.find('=');
        if (eq == std::string::npos)
          out.muxopt[opt] = "";
        else
          out.muxopt[opt.substr(0, eq)] = Unquote(std::string_view(opt).substr(eq + 1));
      }
      continue;
    }
    const std::vector<std::string> fields = SplitOutsideQuotes(line, ",");
    MetaTrack track;
    track.codec = std::string(Trim(fields[0]));
    const std::string_view file = fields.size() > 1 ? Trim(fields[1]) : std::string_view();
    if (file.size() < 2 || file.front() != '"' || file.back() != '"') {
      error = "Track line without a quoted file name: " + std::string(line);
      return false;
    }
    track.file = std::string(file.substr(1, file.size() - 2));
    for (std::size_t i = 2; i < fields.size(); ++i) {
      const std::string_view f = Trim(fields[i]);
      if (f.empty()) continue;
      const std::size_t eq = f.find('=');
      if (eq == npos)
        track.options[std::string(f)] = "";
      else
        track.options[std::string(Trim(f.substr(0, eq)))] = Unquote(Trim(f.substr(eq + 1)));
    }
    out.tracks.push_back(std::move(track));
  }
  if (!have_muxopt) error = "The control file has no MUXOPT line.";
  return error.empty();
}

std::string FfmpegRate(const std::string& fps) {
  const double v = LeadingDouble(fps);
  for (int base : {24, 30, 48, 60}) {
    const double ntsc = base * 1000.0 / 1001.0;
    if (std::fabs(v - ntsc) < 0.005) return Format("%d/1001", base * 1000);
  }
  return fps;
}

std::vector<double> ParseChapterTimes(std::string_view list) {
  std::vector<double> times;
  for (std::string_view item : Tokenize(list, ";")) {
    double t = 0;
    for (std::string_view part : Tokenize(item, ":")) t = t * 60 + LeadingDouble(part);
    times.push_back(t);
  }
  return times;
}

}  // namespace dp::tools
