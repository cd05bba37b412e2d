// Stand-in for the tsMuxeR muxer: reads the ".meta" control file and writes a
// Blu-ray/AVCHD folder tree (BDMV/STREAM/00000.m2ts, its playlist with the
// chapter marks, ...) or, for an output ending in ".iso", an image of that
// tree. An MVC track adds the dependent view of a 3D disc (its own clip and
// the interleaved file of both). Progress goes to standard output as
// "N.N% complete" lines after a first line.
//
//   tsMuxeR <file.meta> <output folder or file.iso>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "toolkit/bd_playlist.h"
#include "toolkit/files.h"
#include "toolkit/h264_views.h"
#include "toolkit/mapped_file.h"
#include "toolkit/probe.h"
#include "toolkit/run.h"
#include "tsMuxeR/bd_tree.h"
#include "tsMuxeR/m2ts_repack.h"
#include "tsMuxeR/meta.h"
#include "tsMuxeR/text_track.h"
#include "util/text.h"

namespace {

using namespace dp;
using namespace dp::tools;

int Fail(const std::string& message) {
  std::printf("%s\r\n", message.c_str());
  std::fflush(stdout);
  return 1;
}

bool IsContainer(const std::string& path) {
  for (const char* ext : {".m2ts", ".mts", ".ts", ".mkv", ".mka", ".mp4", ".m4v", ".mpls", ".ssif"})
    if (IEndsWith(path, ext)) return true;
  return false;
}

std::uint8_t CodingType(const StreamInfo& s, const std::string& out_codec) {
  const std::string& c = out_codec.empty() ? s.codec : out_codec;
  if (c == "h264") return 0x1B;
  if (c == "hevc") return 0x24;
  if (c == "vc1") return 0xEA;
  if (c == "mpeg2video") return 0x02;
  if (c == "ac3") return 0x81;
  if (c == "eac3") return 0x84;
  if (c == "truehd") return 0x83;
  if (c == "dts") return IFind(s.profile, "MA") != npos ? 0x86 : 0x82;
  if (c.starts_with("pcm")) return 0x80;
  if (c == "hdmv_pgs_subtitle") return 0x90;
  return 0;
}

struct Input {
  std::vector<std::string> options;  // input options before "-i"
  std::string file;
  int stream = 0;
  StreamInfo info;
  PlaylistStream::Kind kind = PlaylistStream::kVideo;
  std::string language;
  std::string encode;  // output codec when the stream is converted, else copied
  std::string bsf;
  double duration = 0;
  double start = 0;      // the file's first timestamp, seconds
  double timeshift = 0;  // the .meta's delay of the track, seconds
};

}  // namespace

int main(int argc, char** argv) {
  std::printf("tsMuxeR stand-in (DiscPress). Reading the control file...\r\n");
  std::fflush(stdout);
  if (argc != 3) return Fail("Usage: tsMuxeR <file.meta> <output folder or file.iso>");
  const std::string meta_path = LocalPath(argv[1]);
  const std::string output = LocalPath(argv[2]);
  std::string text, error;
  if (!ReadText(meta_path, text)) return Fail("Can't read the control file \"" + meta_path + "\".");
  Meta meta;
  if (!ParseMeta(text, meta, error)) return Fail(error);

  std::vector<Input> inputs;
  // Files made on the way (raw video wrapped for its timestamps), removed
  // however the run ends.
  struct Scratch {
    std::vector<std::string> files;
    ~Scratch() {
      for (const auto& f : files) std::remove(f.c_str());
    }
  } scratch;
  auto& wrappers = scratch.files;
  int video_pid = 0x1011, audio_pid = 0x1100, pgs_pid = 0x1200;
  // The dependent view of a 3D video: the file it is read from (the
  // dependent view alone, or a stream of both views that the base view's
  // track names too) and where its access units lie in it.
  std::string mvc_file;
  MappedFile mvc_stream;
  ViewSplit mvc;
  for (MetaTrack t : meta.tracks) {
    if (t.codec == "V_MPEG4/ISO/MVC") {
      mvc_file = LocalPath(t.file);
      if (!IsFile(mvc_file) || !mvc_stream.Open(mvc_file))
        return Fail("Can't open file \"" + mvc_file + "\".");
      mvc = SplitViews(mvc_stream.data(), mvc_stream.size());
      if (mvc.dependent.empty())
        return Fail("The MVC track of \"" + mvc_file +
                    "\" holds no dependent view: a 3D disc can't be made.");
      continue;
    }
    if (t.codec.starts_with("S_TEXT")) {
      // Rendered to a PGS stream; a disc without the user's subtitles is
      // worse than no disc.
      const std::string sup = LocalPath(t.file) + Format(".standin-%d.sup", static_cast<int>(::getpid()));
      std::string why;
      if (!RenderTextTrack(t, sup, scratch.files, why))
        return Fail("Can't render the text subtitles of \"" + t.file + "\": no disc is made without them. " +
                    why);
      t.codec = "S_HDMV/PGS";
      t.file = sup;
      t.options.erase("track");
    }
    Input in;
    in.file = LocalPath(t.file);
    if (!IsFile(in.file)) return Fail("Can't open file \"" + in.file + "\".");
    if (!mvc_file.empty() && in.file == mvc_file && t.codec.starts_with("V_")) {
      // A stream of both views: the base view goes on alone.
      const std::string base = in.file + Format(".standin-%d.base.264", static_cast<int>(::getpid()));
      scratch.files.push_back(base);
      if (mvc.base_pictures == 0 || !WriteBytes(base, AnnexB(mvc_stream.data(), mvc.base)))
        return Fail("Can't read the base view of \"" + in.file + "\".");
      in.file = base;
    }
    const std::string kind = t.codec.starts_with("V_")   ? "video"
                             : t.codec.starts_with("A_") ? "audio"
                                                         : "subtitle";
    in.kind = kind == "video"   ? PlaylistStream::kVideo
              : kind == "audio" ? PlaylistStream::kAudio
                                : PlaylistStream::kSubtitle;
    if (kind == "video" && !IsContainer(in.file)) {
      // A raw stream carries no timestamps, and with B-frames the muxer
      // cannot make them up; mkvmerge reads the stream's own frame order and
      // gives every frame its stamp, so the stream goes through it first.
      const std::string wrapped = in.file + Format(".standin-%d.mkv", static_cast<int>(::getpid()));
      const std::string rate = FfmpegRate(t.Has("fps") ? t.Get("fps") : "23.976");
      if (Run({"mkvmerge", "-q", "-o", wrapped, "--default-duration", "0:" + rate + "p", in.file}) > 1) {
        std::remove(wrapped.c_str());
        return Fail("Can't read the video stream of \"" + in.file + "\".");
      }
      wrappers.push_back(wrapped);
      in.file = wrapped;
    }
    if (t.Has("timeshift")) in.timeshift = LeadingInt(t.Get("timeshift")) / 1000.0;
    ProbeResult probe;
    if (!Probe(in.file, probe)) return Fail("Can't recognise the stream of \"" + in.file + "\".");
    const StreamInfo* chosen = nullptr;
    if (t.Has("track")) {
      const int id = LeadingInt(t.Get("track"));
      for (const StreamInfo& s : probe.streams)
        if (s.pid == id || (s.pid < 0 && s.index == id - 1)) chosen = &s;
    } else {
      chosen = FirstOfType(probe, kind);
    }
    if (!chosen || chosen->type != kind)
      return Fail(Format("No %s track %s in \"%s\".", kind.c_str(), t.Get("track").c_str(), in.file.c_str()));
    in.stream = chosen->index;
    in.info = *chosen;
    in.language = t.Has("lang") ? t.Get("lang") : "und";
    in.duration = probe.duration;
    in.start = INFINITY;
    for (const StreamInfo& s : probe.streams)
      if (s.has_start) in.start = std::fmin(in.start, s.start_time);
    // A subtitle stream's times count from the film's start, not from its
    // first picture.
    if (!std::isfinite(in.start) || (kind == "subtitle" && !IsContainer(in.file))) in.start = 0;
    if (kind == "audio") {
      const std::string& c = chosen->codec;
      if (t.Has("down-to-ac3") && (c == "eac3" || c == "truehd"))
        in.encode = "ac3";
      else if (t.Has("down-to-dts") && c == "dts")
        in.bsf = "dca_core";
      else if (c.starts_with("pcm_") && c != "pcm_bluray")
        in.encode = "pcm_bluray";
      else if (c != "ac3" && c != "eac3" && c != "dts" && c != "truehd" && c != "pcm_bluray")
        in.encode = "ac3";  // a disc carries no AAC or MPEG audio
    }
    inputs.push_back(std::move(in));
  }
  double duration = 0;
  bool have_video = false;
  for (const Input& in : inputs) {
    duration = std::fmax(duration, in.duration);
    have_video = have_video || in.kind == PlaylistStream::kVideo;
  }
  if (!have_video) return Fail("The control file names no video track.");
  if (meta.Has("--cut-end")) duration = std::fmin(duration, LeadingDouble(meta.Get("--cut-end")));

  // ffmpeg would move each input to its own first packet, and two inputs of
  // one file (a remux names the source once per track) then move apart by the
  // distance between their tracks' starts. So the stand-in keeps the clock
  // itself (-copyts) and moves every track of a file alike: not at all when
  // all tracks come from one container whose clock starts late enough for the
  // decoder's lead, else each file's start to a common origin.
  constexpr double kOrigin = 1.4;
  bool one_file = IsContainer(inputs.front().file);
  for (const Input& in : inputs) one_file = one_file && in.file == inputs.front().file;
  const bool keep_clock = one_file && inputs.front().start >= 0.5;
  const double title_start = keep_clock ? inputs.front().start : kOrigin;
  for (Input& in : inputs) {
    const double shift = (keep_clock ? 0 : kOrigin - in.start) + in.timeshift;
    if (shift != 0) in.options.insert(in.options.end(), {"-itsoffset", Format("%.6f", shift)});
  }

  std::error_code ec;
  const bool iso = IEndsWith(output, ".iso");
  const std::string root = iso ? output + ".tree" : output;
  const std::string stream_file = MakeTree(root);
  if (stream_file.empty()) return Fail("Can't create the folders of \"" + root + "\".");
  auto discard_tree = [&] {
    if (iso) std::filesystem::remove_all(root, ec);
  };

  std::vector<std::string> cmd = FfmpegCommand();
  const std::vector<std::string> progress_options = ProgressOptions();
  cmd.insert(cmd.end(), progress_options.begin(), progress_options.end());
  cmd.push_back("-copyts");
  for (const Input& in : inputs) {
    cmd.insert(cmd.end(), in.options.begin(), in.options.end());
    cmd.insert(cmd.end(), {"-i", in.file});
  }
  std::vector<PlaylistStream> table;
  std::vector<M2tsStream> streams;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const Input& in = inputs[k];
    cmd.insert(cmd.end(), {"-map", Format("%zu:%d", k, in.stream)});
    cmd.insert(cmd.end(), {Format("-c:%zu", k), in.encode.empty() ? "copy" : in.encode});
    if (in.encode == "ac3") cmd.insert(cmd.end(), {Format("-b:%zu", k), "640k"});
    if (in.encode == "pcm_bluray") cmd.insert(cmd.end(), {Format("-ar:%zu", k), "48000"});
    if (!in.bsf.empty()) cmd.insert(cmd.end(), {Format("-bsf:%zu", k), in.bsf});
    PlaylistStream ps;
    ps.kind = in.kind;
    ps.pid = in.kind == PlaylistStream::kVideo   ? static_cast<unsigned>(video_pid++)
             : in.kind == PlaylistStream::kAudio ? static_cast<unsigned>(audio_pid++)
                                                 : static_cast<unsigned>(pgs_pid++);
    ps.coding_type = CodingType(in.info, in.encode);
    ps.language = in.language;
    if (ps.coding_type == 0) {
      discard_tree();
      return Fail(
          Format("Can't put the %s track of \"%s\" on a disc.", in.info.codec.c_str(), in.file.c_str()));
    }
    streams.push_back({ps.pid, ps.coding_type, in.language, in.kind == PlaylistStream::kVideo});
    cmd.insert(cmd.end(), {"-streamid", Format("%zu:%u", k, ps.pid)});
    cmd.insert(cmd.end(), {Format("-metadata:s:%zu", k), "language=" + in.language});
    table.push_back(ps);
  }
  // With the clock kept, -t ends at that time on the clock.
  if (meta.Has("--cut-end")) cmd.insert(cmd.end(), {"-t", Format("%.6f", title_start + duration)});
  // ffmpeg reads the inputs and frames their PES packets; the stand-in then
  // packs those into the stream file on its own variable-rate schedule.
  const std::string framed = stream_file + Format(".standin-%d.ts", static_cast<int>(::getpid()));
  scratch.files.push_back(framed);
  cmd.insert(cmd.end(),
             {"-muxdelay", "0", "-muxpreload", "0", "-f", "mpegts", "-mpegts_m2ts_mode", "1", framed});

  std::printf("Muxing %zu track%s into \"%s\"\r\n", inputs.size(), inputs.size() == 1 ? "" : "s",
              output.c_str());
  std::fflush(stdout);
  // Reading the inputs is the first 90 % of the work, packing the rest.
  int last = -1;
  auto report = [&](double share) {
    const int tenths = static_cast<int>(std::fmin(1000.0, std::fmax(0.0, share * 1000)));
    if (tenths <= last) return;
    last = tenths;
    std::printf("%.1f%% complete\r\n", tenths / 10.0);
    std::fflush(stdout);
  };
  const int rc = RunLines(cmd, [&](std::string_view line) {
    double done = 0;
    if (duration > 0 && ProgressSeconds(line, done)) report(0.9 * done / duration);
  });
  if (rc != 0) {
    discard_tree();
    return Fail(Format("Muxing failed (ffmpeg exit code %d).", rc));
  }
  M2tsSettings settings;
  if (!meta.Has("--no-pcr-on-video-pid"))
    for (auto it = streams.rbegin(); it != streams.rend(); ++it)
      if (it->video) settings.pcr_pid = it->pid;
  if (meta.Has("--vbv-len") && LeadingInt(meta.Get("--vbv-len")) > 0)
    settings.lead_seconds = LeadingInt(meta.Get("--vbv-len")) / 1000.0;
  DependentView dependent;
  PlaylistStream dependent_entry;
  if (!mvc_file.empty()) {
    dependent.base_pid = static_cast<unsigned>(video_pid - 1);
    dependent.stream = {static_cast<unsigned>(video_pid), 0x20, "", true};
    dependent.output = DirName(stream_file) + "/00001.m2ts";
    dependent.data = mvc_stream.data();
    dependent.units = &mvc.dependent;
    dependent_entry.pid = dependent.stream.pid;
    dependent_entry.coding_type = 0x20;
  }
  std::string repack_error;
  M2tsInfo info, dependent_info;
  const bool repacked = RepackM2ts(
      framed, stream_file, streams, settings, [&](double share) { report(0.9 + 0.1 * share); }, repack_error,
      info, mvc_file.empty() ? nullptr : &dependent, &dependent_info);
  std::remove(framed.c_str());
  if (!repacked) {
    discard_tree();
    return Fail(repack_error);
  }
  if (last < 1000) std::printf("100.0%% complete\r\n");

  std::vector<double> chapters;
  if (meta.Has("--custom-chapters")) {
    chapters = ParseChapterTimes(meta.Get("--custom-chapters"));
  } else {
    const int minutes = meta.Has("--auto-chapters") ? LeadingInt(meta.Get("--auto-chapters")) : 5;
    for (double t = 0; t < duration || t == 0; t += std::max(1, minutes) * 60.0) chapters.push_back(t);
  }
  if (!WriteDiscFiles(root, duration, table, chapters, meta.Has("--right-eye"), info,
                      mvc_file.empty() ? nullptr : &dependent_entry, &dependent_info)) {
    discard_tree();
    return Fail("Can't write the disc files of \"" + root + "\".");
  }
  if (iso) {
    std::string label = meta.Get("--label");
    if (label.empty()) label = BaseName(output).substr(0, BaseName(output).size() - 4);
    const bool made = MakeIso(root, output, label);
    discard_tree();
    if (!made) {
      std::remove(output.c_str());
      return Fail("Can't create the image \"" + output + "\".");
    }
  }
  std::printf("Mux successful complete.\r\n");
  return 0;
}
