#include "eac3to/source.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <system_error>

#include "eac3to/describe.h"
#include "toolkit/files.h"
#include "util/text.h"
#include "util/time.h"

namespace dp::tools {
namespace {

namespace fs = std::filesystem;

// A 3D clip's stereo interleaved file carries both views; the plain stream
// file only the base view.
std::string ClipPath(const std::string& root, const std::string& clip) {
  for (const char* ext : {".ssif", ".SSIF"}) {
    std::string p = root + "/BDMV/STREAM/SSIF/" + clip + ext;
    if (IsFile(p)) return p;
  }
  for (const char* ext : {".m2ts", ".M2TS", ".mts"}) {
    std::string p = root + "/BDMV/STREAM/" + clip + ext;
    if (IsFile(p)) return p;
  }
  return root + "/BDMV/STREAM/" + clip + ".m2ts";
}

bool LoadTitle(const std::string& root, const std::string& mpls_path, Title& out) {
  std::vector<std::uint8_t> bytes;
  if (!ReadBytes(mpls_path, bytes) || !ParsePlaylist(bytes, out.playlist)) return false;
  out.playlist_file = BaseName(mpls_path);
  out.clip_paths.clear();
  for (const PlayItem& item : out.playlist.items) out.clip_paths.push_back(ClipPath(root, item.clip));
  return true;
}

bool SameClips(const Title& a, const Title& b) {
  if (a.playlist.items.size() != b.playlist.items.size()) return false;
  for (std::size_t i = 0; i < a.playlist.items.size(); ++i) {
    const PlayItem& x = a.playlist.items[i];
    const PlayItem& y = b.playlist.items[i];
    if (x.clip != y.clip || x.in_time != y.in_time || x.out_time != y.out_time) return false;
  }
  return true;
}

std::string ContainerName(const std::string& path, const std::string& format) {
  if (IEndsWith(path, ".m2ts") || IEndsWith(path, ".mts") || IEndsWith(path, ".ssif") ||
      path.starts_with("concat:"))
    return "M2TS";
  if (IFind(format, "matroska") != npos) return "MKV";
  if (format == "mpegts") return "TS";
  const std::size_t dot = path.find_last_of('.');
  std::string ext = dot == std::string::npos ? format : path.substr(dot + 1);
  for (char& c : ext) c = AsciiUpper(c);
  return ext;
}

std::string ConcatInput(const std::vector<std::string>& clips) {
  if (clips.size() == 1) return clips[0];
  std::string input = "concat:";
  for (std::size_t i = 0; i < clips.size(); ++i) input += (i ? "|" : "") + clips[i];
  return input;
}

// The dependent view of a 3D clip is told by its PID, not by where it is
// listed: the interleaved file may show it before the base view.
bool IsDependentView(const StreamInfo& s, const ProbeResult& probe) {
  if (s.type != "video" || s.pid != 0x1012) return false;
  return std::any_of(probe.streams.begin(), probe.streams.end(),
                     [](const StreamInfo& other) { return other.type == "video" && other.pid != 0x1012; });
}

// Video, then audio, then subtitles, each in the probe's order, except that
// a dependent view follows the other videos: the base view's track comes
// first and the dependent view's is the next one.
std::vector<const StreamInfo*> ListedStreams(const ProbeResult& probe) {
  std::vector<const StreamInfo*> out;
  for (const char* type : {"video", "audio", "subtitle"}) {
    const auto first = static_cast<std::ptrdiff_t>(out.size());
    for (const StreamInfo& s : probe.streams)
      if (s.type == type) out.push_back(&s);
    std::stable_partition(out.begin() + first, out.end(),
                          [&probe](const StreamInfo* s) { return !IsDependentView(*s, probe); });
  }
  return out;
}

}  // namespace

bool OpenSource(const std::string& path, Source& out, std::string& error) {
  out = Source{};
  if (IsDirectory(path)) {
    std::string root = path;
    if (!IsDirectory(root + "/BDMV") && IEquals(BaseName(root), "BDMV")) root = DirName(root);
    if (!IsDirectory(root + "/BDMV/PLAYLIST")) {
      error = "The source folder doesn't contain a Blu-ray structure.";
      return false;
    }
    out.kind = Source::kFolder;
    out.path = root;
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root + "/BDMV/PLAYLIST", ec))
      if (IEndsWith(entry.path().filename().string(), ".mpls")) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) {
      Title t;
      if (!LoadTitle(root, f, t)) continue;
      const bool duplicate = std::any_of(out.titles.begin(), out.titles.end(),
                                         [&t](const Title& other) { return SameClips(t, other); });
      if (!duplicate) out.titles.push_back(std::move(t));
    }
    std::stable_sort(out.titles.begin(), out.titles.end(), [](const Title& a, const Title& b) {
      return a.playlist.Duration() > b.playlist.Duration();
    });
    if (out.titles.empty()) {
      error = "The source folder doesn't contain any playlist.";
      return false;
    }
    return true;
  }
  if (!IsFile(path)) {
    error = "The source file(s) can't be found.";
    return false;
  }
  if (IEndsWith(path, ".mpls")) {
    // <root>/BDMV/PLAYLIST/<name>.mpls
    out.kind = Source::kPlaylist;
    out.path = DirName(DirName(DirName(path)));
    Title t;
    if (!LoadTitle(out.path, path, t)) {
      error = "The playlist file can't be parsed.";
      return false;
    }
    out.titles.push_back(std::move(t));
    return true;
  }
  out.kind = Source::kFile;
  out.path = path;
  return true;
}

bool Select(const Source& source, int title, Selection& out, std::string& error) {
  out = Selection{};
  const Title* chosen = nullptr;
  if (source.kind == Source::kFolder) {
    if (title < 1 || title > static_cast<int>(source.titles.size())) {
      error = title < 1 ? "Please specify a title number." : Format("Title %d doesn't exist.", title);
      return false;
    }
    chosen = &source.titles[static_cast<std::size_t>(title - 1)];
  } else if (source.kind == Source::kPlaylist) {
    chosen = &source.titles[0];  // a playlist holds one title whatever number follows it
  }
  ProbeResult probe;
  if (chosen) {
    for (const std::string& clip : chosen->clip_paths) {
      if (!IsFile(clip)) {
        error = "The clip file \"" + clip + "\" can't be found.";
        return false;
      }
    }
    out.input = ConcatInput(chosen->clip_paths);
    out.files = chosen->clip_paths;
    out.chapters = chosen->playlist.chapters;
  } else {
    out.input = source.path;
    out.files = {source.path};
  }
  if (!Probe(out.input, probe)) {
    error = "The source file format is unknown.";
    return false;
  }
  out.container = ContainerName(chosen ? chosen->clip_paths[0] : out.input, probe.format);
  out.duration = chosen ? chosen->playlist.Duration() : probe.duration;

  int number = 1;
  if (!out.chapters.empty()) {
    Track t;
    t.number = number++;
    t.chapters = true;
    out.tracks.push_back(t);
  }
  for (const StreamInfo* s : ListedStreams(probe)) {
    Track t;
    t.number = number++;
    t.stream = *s;
    t.right_eye = IsDependentView(*s, probe);
    out.tracks.push_back(t);
    out.streams.push_back(*s);
  }
  return true;
}

std::vector<std::string> TitleListing(const Source& source) {
  std::vector<std::string> lines;
  // Playlists of one disc often share clips; each file is probed once.
  std::map<std::string, ProbeResult> probed;
  int n = 0;
  for (const Title& t : source.titles) {
    ++n;
    const std::string duration = Seconds_To_HHMMSS(t.playlist.Duration());
    if (t.playlist.items.size() == 1) {
      lines.push_back(Format("%d) %s, %s.m2ts, %s", n, t.playlist_file.c_str(),
                             t.playlist.items[0].clip.c_str(), duration.c_str()));
    } else {
      lines.push_back(Format("%d) %s, %s", n, t.playlist_file.c_str(), duration.c_str()));
      // Joined clips are named by their numbers: "[461+462+465].m2ts".
      std::string clips;
      for (const PlayItem& item : t.playlist.items)
        clips += (clips.empty() ? "" : "+") + std::to_string(LeadingInt(item.clip));
      lines.push_back("   [" + clips + "].m2ts");
    }
    if (!t.playlist.chapters.empty())
      lines.push_back(Format("   - Chapters, %zu chapters", t.playlist.chapters.size()));
    if (t.clip_paths.empty() || !IsFile(t.clip_paths[0])) continue;
    std::error_code ec;
    const std::string key = fs::canonical(t.clip_paths[0], ec).string();
    auto it = probed.find(key);
    if (it == probed.end()) {
      ProbeResult probe;
      if (!Probe(t.clip_paths[0], probe)) probe.streams.clear();
      it = probed.emplace(key, std::move(probe)).first;
    }
    const ProbeResult& probe = it->second;
    for (const StreamInfo* s : ListedStreams(probe))
      lines.push_back("   - " + DescribeStream(*s, false, true, IsDependentView(*s, probe))[0]);
  }
  return lines;
}

std::vector<std::string> TrackListing(const Selection& sel) {
  std::vector<std::string> lines = {DescribeContainer(sel.container, sel.streams, sel.duration)};
  const bool m2ts = sel.container == "M2TS" || sel.container == "TS";
  for (const Track& t : sel.tracks) {
    if (t.chapters) {
      lines.push_back(Format("%d: Chapters, %zu chapters", t.number, sel.chapters.size()));
      continue;
    }
    std::vector<std::string> text = DescribeStream(t.stream, true, m2ts, t.right_eye);
    lines.push_back(Format("%d: %s", t.number, text[0].c_str()));
    lines.insert(lines.end(), text.begin() + 1, text.end());
  }
  return lines;
}

}  // namespace dp::tools
