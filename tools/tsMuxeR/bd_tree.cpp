#include "tsMuxeR/bd_tree.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "toolkit/bd_clipinfo.h"
#include "toolkit/bd_index.h"
#include "toolkit/files.h"
#include "toolkit/m2ts_reader.h"
#include "toolkit/probe.h"
#include "toolkit/run.h"
#include "tsMuxeR/ssif.h"
#include "util/text.h"

namespace dp::tools {
namespace {

namespace fs = std::filesystem;

bool Refuse(const std::string& message) {
  std::printf("%s\r\n", message.c_str());
  std::fflush(stdout);
  return false;
}

// The clip's streams as its program map lists them, with the coding type
// and language the muxer's table gives and the attributes ffprobe reads.
// A dependent view's clip is not probed: ffprobe can't read the view alone.
bool DescribeClip(const std::string& stream, const M2tsInfo& ts, const std::vector<PlaylistStream>& table,
                  ClipInfo& clip, std::string& error, bool probed = true) {
  ProbeResult probe;
  if (probed && !Probe(stream, probe)) {
    error = "Can't read the stream attributes of \"" + stream + "\".";
    return false;
  }
  for (const PlaylistStream& t : table) {
    const bool found = std::any_of(ts.streams.begin(), ts.streams.end(),
                                   [&t](const MappedStream& s) { return s.pid == t.pid; });
    if (!found) {
      error = Format("The stream PID 0x%04X is missing from \"%s\".", t.pid, stream.c_str());
      return false;
    }
  }
  clip.packets = ts.packets;
  clip.pmt_pid = ts.pmt_pid;
  clip.pcr_pid = ts.pcr_pid;
  clip.start_pts = ts.start_pts;
  clip.end_pts = ts.end_pts;
  clip.video_pid = ts.video_pid;
  clip.entry_points = ts.entry_points;
  for (const MappedStream& s : ts.streams) {
    ClipStream c;
    c.pid = s.pid;
    c.coding_type = s.stream_type;
    if (!s.language.empty()) c.language = s.language;
    for (const PlaylistStream& t : table) {
      if (t.pid != s.pid) continue;
      if (t.coding_type != 0) c.coding_type = t.coding_type;
      c.language = t.language;
    }
    for (const StreamInfo& info : probe.streams) {
      if (info.pid != static_cast<int>(s.pid)) continue;
      if (info.type == "video") {
        const bool interlaced = !info.field_order.empty() && info.field_order != "progressive";
        c.format = VideoFormatCode(info.height, interlaced);
        // An interlaced stream is coded by its frame rate, not its field rate.
        const int num =
            interlaced && info.rate_num > 2 * 25 * info.rate_den - 1 ? info.rate_num / 2 : info.rate_num;
        c.rate = FrameRateCode(num, info.rate_den);
        c.aspect = info.aspect == "4:3" ? 2 : 3;
      } else if (info.type == "audio") {
        c.format = AudioFormatCode(info.channels);
        c.rate = SampleRateCode(info.sample_rate);
      }
    }
    clip.streams.push_back(c);
  }
  return true;
}

}  // namespace

std::string MakeTree(const std::string& root) {
  std::error_code ec;
  for (const char* sub :
       {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM", "BDMV/AUXDATA", "BDMV/BDJO", "BDMV/JAR", "BDMV/META",
        "BDMV/BACKUP/PLAYLIST", "BDMV/BACKUP/CLIPINF", "BDMV/BACKUP/BDJO", "CERTIFICATE/BACKUP"}) {
    fs::create_directories(root + "/" + sub, ec);
    if (ec) return "";
  }
  return root + "/BDMV/STREAM/00000.m2ts";
}

bool WriteDiscFiles(const std::string& root, double duration, const std::vector<PlaylistStream>& streams,
                    const std::vector<double>& chapters, bool right_eye_base, const M2tsInfo& info,
                    const PlaylistStream* dependent, const M2tsInfo* dependent_info) {
  ClipInfo clip, dependent_clip;
  std::string error;
  const std::string stream_dir = root + "/BDMV/STREAM";
  if (!DescribeClip(stream_dir + "/00000.m2ts", info, streams, clip, error)) return Refuse(error);
  PlaylistStream view;
  if (dependent) {
    view = *dependent;
    if (!DescribeClip(stream_dir + "/00001.m2ts", *dependent_info, {view}, dependent_clip, error, false))
      return Refuse(error);
    // The dependent view has the base view's picture.
    for (const ClipStream& c : clip.streams)
      if (c.pid == clip.video_pid)
        for (ClipStream& d : dependent_clip.streams) {
          d.format = view.format = c.format;
          d.rate = view.rate = c.rate;
          d.aspect = c.aspect;
        }
    dependent_clip.application_type = 8;
    std::error_code ec;
    fs::create_directories(stream_dir + "/SSIF", ec);
    if (ec || !WriteInterleavedFile(stream_dir + "/00000.m2ts", stream_dir + "/00001.m2ts",
                                    stream_dir + "/SSIF/00000.ssif", clip.extent_starts,
                                    dependent_clip.extent_starts))
      return Refuse("Can't write the interleaved 3D file of \"" + root + "\".");
  }
  // The play item covers the clip as muxed, from its first picture to the
  // end of its last video or audio frame; a cut or a shorter stream than the
  // source shortens it.
  const double muxed = static_cast<double>(clip.end_pts - clip.start_pts) / 90000;
  if (duration <= 0 || muxed < duration) duration = muxed;
  // The stream table carries the attributes the clip information read from
  // the stream itself.
  std::vector<PlaylistStream> table = streams;
  for (PlaylistStream& t : table)
    for (const ClipStream& c : clip.streams)
      if (c.pid == t.pid) {
        t.format = c.format;
        t.rate = c.rate;
      }
  const std::vector<std::uint8_t> mpls =
      BuildPlaylist("00000", duration, table, chapters, right_eye_base,
                    static_cast<std::uint32_t>(clip.start_pts / 2), dependent ? &view : nullptr, "00001");
  const std::vector<std::uint8_t> clpi = BuildClipInfo(clip, dependent ? &dependent_clip : nullptr);
  const std::vector<std::uint8_t> index = BuildIndex(dependent != nullptr, view.format, view.rate);
  const std::vector<std::uint8_t> object = BuildMovieObject(0);
  bool ok = true;
  for (const std::string& base : {root + "/BDMV", root + "/BDMV/BACKUP"}) {
    ok = WriteBytes(base + "/PLAYLIST/00000.mpls", mpls) && ok;
    ok = WriteBytes(base + "/CLIPINF/00000.clpi", clpi) && ok;
    if (dependent) ok = WriteBytes(base + "/CLIPINF/00001.clpi", BuildClipInfo(dependent_clip)) && ok;
    ok = WriteBytes(base + "/index.bdmv", index) && ok;
    ok = WriteBytes(base + "/MovieObject.bdmv", object) && ok;
  }
  return ok;
}

bool MakeIso(const std::string& tree, const std::string& iso, const std::string& label) {
  std::string volume = label.substr(0, 32);
  if (volume.empty()) volume = "BLURAY";
  return Run({"genisoimage", "-quiet", "-udf", "-iso-level", "3", "-allow-limited-size", "-V", volume, "-o",
              iso, tree}) == 0;
}

}  // namespace dp::tools
