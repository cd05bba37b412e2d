#include "toolkit/probe.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "toolkit/run.h"
#include "util/text.h"

namespace dp::tools {
namespace {

// Undoes the quoting of ffprobe's "flat" writer: a value in double quotes with
// backslash escapes, or a bare number.
std::string FlatValue(std::string_view raw) {
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return std::string(raw);
  std::string out;
  raw = raw.substr(1, raw.size() - 2);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
    out.push_back(raw[i]);
  }
  return out;
}

int ParseId(const std::string& id) {
  if (id.empty() || id == "N/A") return -1;
  return static_cast<int>(std::strtol(id.c_str(), nullptr, 0));
}

void SetStreamField(StreamInfo& s, std::string_view key, const std::string& v) {
  if (v == "N/A") return;
  if (key == "index")
    s.index = LeadingInt(v);
  else if (key == "id")
    s.pid = ParseId(v);
  else if (key == "codec_type")
    s.type = v;
  else if (key == "codec_name")
    s.codec = v;
  else if (key == "profile")
    s.profile = v;
  else if (key == "width")
    s.width = LeadingInt(v);
  else if (key == "height")
    s.height = LeadingInt(v);
  else if (key == "r_frame_rate") {
    s.rate_num = LeadingInt(v);
    const std::size_t slash = v.find('/');
    s.rate_den = slash == std::string::npos ? 1 : LeadingInt(std::string_view(v).substr(slash + 1));
  } else if (key == "field_order")
    s.field_order = v;
  else if (key == "display_aspect_ratio")
    s.aspect = v;
  else if (key == "channels")
    s.channels = LeadingInt(v);
  else if (key == "channel_layout")
    s.layout = v;
  else if (key == "sample_rate")
    s.sample_rate = LeadingInt(v);
  else if (key == "bit_rate")
    s.bit_rate = LeadingInt64(v);
  else if (key == "bits_per_raw_sample")
    s.bits = LeadingInt(v);
  else if (key == "start_time") {
    s.start_time = LeadingDouble(v);
    s.has_start = true;
  } else if (key == "tags.language")
    s.language = v;
}

}  // namespace

bool Probe(const std::string& input, ProbeResult& out) {
  out = ProbeResult{};
  std::string text;
  const int rc =
      RunCapture({FfprobeProgram(), "-v", "error", "-show_entries",
                  "format=format_name,duration:stream=index,id,codec_type,codec_name,profile,width,"
                  "height,r_frame_rate,field_order,display_aspect_ratio,channels,channel_layout,"
                  "sample_rate,bit_rate,bits_per_raw_sample,start_time:stream_tags=language:"
                  "chapter=start_time:chapter_tags=title",
                  "-of", "flat", input},
                 text);
  if (rc != 0) return false;
  std::map<int, StreamInfo> streams;
  std::map<int, ChapterInfo> chapters;
  for (std::string_view line : Tokenize(text, "\n")) {
    const std::size_t eq = line.find('=');
    if (eq == npos) continue;
    const std::string_view key = line.substr(0, eq);
    const std::string value = FlatValue(line.substr(eq + 1));
    if (key.starts_with("streams.stream.")) {
      const std::string_view rest = key.substr(15);
      const std::size_t dot = rest.find('.');
      if (dot == npos) continue;
      SetStreamField(streams[LeadingInt(rest)], rest.substr(dot + 1), value);
    } else if (key.starts_with("chapters.chapter.")) {
      const std::string_view rest = key.substr(17);
      const std::size_t dot = rest.find('.');
      if (dot == npos) continue;
      ChapterInfo& c = chapters[LeadingInt(rest)];
      const std::string_view field = rest.substr(dot + 1);
      if (field == "start_time")
        c.start = LeadingDouble(value);
      else if (field == "tags.title")
        c.title = value;
    } else if (key == "format.format_name") {
      out.format = value;
    } else if (key == "format.duration") {
      out.duration = LeadingDouble(value);
    }
  }
  for (auto& [i, s] : streams) out.streams.push_back(s);
  for (auto& [i, c] : chapters) out.chapters.push_back(c);
  return !out.streams.empty();
}

std::int64_t CountPackets(const std::string& input, int stream_index, const std::string& format) {
  std::vector<std::string> argv = {FfprobeProgram(), "-v", "error"};
  if (!format.empty()) {
    argv.push_back("-f");
    argv.push_back(format);
  }
  argv.insert(argv.end(), {"-select_streams", std::to_string(stream_index), "-count_packets", "-show_entries",
                           "stream=nb_read_packets", "-of", "default=nw=1:nk=1", input});
  std::string text;
  if (RunCapture(argv, text) != 0) return -1;
  const std::string_view t = Trim(text);
  if (t.empty() || t[0] < '0' || t[0] > '9') return -1;
  return LeadingInt64(t);
}

const StreamInfo* FirstOfType(const ProbeResult& probe, const std::string& type) {
  auto it = std::find_if(probe.streams.begin(), probe.streams.end(),
                         [&type](const StreamInfo& s) { return s.type == type; });
  return it == probe.streams.end() ? nullptr : &*it;
}

}  // namespace dp::tools
