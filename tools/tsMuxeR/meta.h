// The muxer's control file: one MUXOPT line of options, then one line per
// track: codec id, quoted file name, then comma-separated options.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace dp::tools {

struct MetaTrack {
  std::string codec;  // "V_MPEG4/ISO/AVC", "A_AC3", "S_HDMV/PGS", ...
  std::string file;
  std::map<std::string, std::string> options;  // "track" -> "4113", "forceSEI" -> ""
  bool Has(const std::string& key) const { return options.count(key) != 0; }
  std::string Get(const std::string& key) const;
};

struct Meta {
  std::map<std::string, std::string> muxopt;  // "--avchd" -> "", "--label" -> "Name"
  std::vector<MetaTrack> tracks;
  bool Has(const std::string& key) const { return muxopt.count(key) != 0; }
  std::string Get(const std::string& key) const;
};

// False, with a message, when there is no MUXOPT line or a track line has no
// quoted file name.
bool ParseMeta(std::string_view text, Meta& out, std::string& error);

// "23.976" -> "24000/1001" (likewise 29.970, 59.940, 47.952); other rates as given.
std::string FfmpegRate(const std::string& fps);

// Chapter times of "--custom-chapters" ("00:05:00.000;00:10:00.000"), in seconds.
std::vector<double> ParseChapterTimes(std::string_view list);

}  // namespace dp::tools
