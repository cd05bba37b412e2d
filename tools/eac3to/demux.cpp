#include "eac3to/demux.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "toolkit/files.h"
#include "toolkit/m2ts_reader.h"
#include "toolkit/run.h"
#include "util/text.h"

namespace dp::tools {
namespace {

bool HasOption(const TrackRequest& r, std::string_view option) {
  for (const std::string& o : r.options)
    if (IEquals(o, option)) return true;
  return false;
}

// The "-640" option: a bitrate in kbps for a recode; 0 when absent.
int BitrateOption(const TrackRequest& r) {
  for (const std::string& o : r.options)
    if (o.size() > 1 && o[0] == '-' && o.find_first_not_of("0123456789", 1) == std::string::npos)
      return LeadingInt(std::string_view(o).substr(1));
  return 0;
}

struct Suffix {
  const char* ending;
  const char* kind;    // "video", "audio", "subtitle"
  const char* codec;   // the codec the file holds
  const char* format;  // ffmpeg muxer
};

// Longer endings first, so ".thd+ac3" is not read as ".ac3".
constexpr Suffix kSuffixes[] = {
    {".thd+ac3", "audio", "truehd", "truehd"}, {".truehd", "audio", "truehd", "truehd"},
    {".dtshd", "audio", "dts", "dts"},         {".dtsma", "audio", "dts", "dts"},
    {".h264", "video", "h264", "h264"},        {".264", "video", "h264", "h264"},
    {".h265", "video", "hevc", "hevc"},        {".hevc", "video", "hevc", "hevc"},
    {".vc1", "video", "vc1", "vc1"},           {".m2v", "video", "mpeg2video", "mpeg2video"},
    {".eac3", "audio", "eac3", "eac3"},        {".ec3", "audio", "eac3", "eac3"},
    {".thd", "audio", "truehd", "truehd"},     {".ac3", "audio", "ac3", "ac3"},
    {".dts", "audio", "dts", "dts"},           {".wav", "audio", "pcm", "wav"},
    {".flac", "audio", "flac", "flac"},        {".mp2", "audio", "mp2", "mp2"},
    {".aac", "audio", "aac", "adts"},          {".sup", "subtitle", "hdmv_pgs_subtitle", "sup"},
    {".srt", "subtitle", "subrip", "srt"},
};

const Suffix* FindSuffix(const std::string& path) {
  for (const Suffix& s : kSuffixes)
    if (IEndsWith(path, s.ending)) return &s;
  return nullptr;
}

char KindLetter(const std::string& type) { return type == "video" ? 'v' : type == "audio" ? 'a' : 's'; }

// Writes the payloads of the PES packets on `pid` of every file of the
// selection, in order, to `path`.
bool CopyTrack(const Selection& sel, int pid, const std::string& path, std::string& error) {
  FilePtr out(std::fopen(path.c_str(), "wb"));
  std::uint64_t written = 0;
  bool wrote = out != nullptr;
  const auto put = [&](const std::uint8_t* p, std::size_t n) {
    wrote = wrote && std::fwrite(p, 1, n, out.get()) == n;
    written += n;
  };
  for (const std::string& file : sel.files)
    if (wrote && !CopyPesPayloads(file, static_cast<unsigned>(pid), put, error)) return false;
  if (!wrote || std::fflush(out.get()) != 0) {
    error = Format("Writing \"%s\" failed.", path.c_str());
    return false;
  }
  if (written == 0) error = Format("PID 0x%04x carries no data.", static_cast<unsigned>(pid));
  return written > 0;
}

std::string ChapterTime(double seconds) {
  const long long ms = std::llround(seconds * 1000);
  return Format("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

}  // namespace

OutputPlan PlanOutput(const Track& track, const TrackRequest& request, int delay_ms) {
  OutputPlan plan;
  const StreamInfo& s = track.stream;
  const Suffix* suffix = FindSuffix(request.path);
  if (!suffix) {
    plan.error = Format("The output format of \"%s\" is not supported.", request.path.c_str());
    return plan;
  }
  if (s.type != suffix->kind) {
    plan.error = Format("Track %d is not a %s track.", track.number, suffix->kind);
    return plan;
  }
  plan.path = request.path;
  if (track.right_eye) {
    // The dependent view of a 3D title is copied as it comes; ffmpeg won't
    // write a stream of MVC units without their base view.
    plan.copy_pid = s.pid;
    return plan;
  }
  std::vector<std::string>& a = plan.args;
  a = {"-map", Format("0:%d", s.index)};
  const std::string codec = suffix->codec;

  if (s.type == "video") {
    if (s.codec != codec) {
      plan.error = Format("Track %d holds %s video, which can't be written as \"%s\".", track.number,
                          s.codec.c_str(), suffix->ending);
      return plan;
    }
    a.insert(a.end(), {"-c", "copy"});
    if (codec == "h264" || codec == "hevc")
      a.insert(a.end(), {"-bsf:v", codec == "h264" ? "h264_mp4toannexb" : "hevc_mp4toannexb"});
    plan.raw_format = codec == "mpeg2video" ? "mpegvideo" : codec;
    plan.interlaced = !s.field_order.empty() && s.field_order != "progressive" && s.field_order != "unknown";
  } else if (s.type == "subtitle") {
    if (codec == "hdmv_pgs_subtitle" && s.codec != codec) {
      plan.error = Format("Track %d is not a PGS subtitle track.", track.number);
      return plan;
    }
    a.insert(a.end(), {"-c", codec == "subrip" && s.codec != "subrip" ? "subrip" : "copy"});
  } else {
    const int bitrate = BitrateOption(request);
    const bool down16 = HasOption(request, "-down16");
    const bool down6 = HasOption(request, "-down6") && s.channels > 6;
    // PCM is always rewritten: a disc's LPCM can't be copied into a WAV file.
    const bool same = s.codec == codec;
    const bool recode = !same || bitrate > 0 || down6 || (down16 && (codec == "flac" || codec == "pcm"));
    if (!recode) {
      a.insert(a.end(), {"-c", "copy"});
      if (codec == "dts" && std::string(suffix->ending) == ".dts") a.insert(a.end(), {"-bsf:a", "dca_core"});
      if (codec == "eac3" && delay_ms != 0) {
        // The delay can't be applied to a copied E-AC-3 stream; it stays in the name.
        const std::size_t cut = request.path.size() - std::strlen(suffix->ending);
        plan.path = request.path.substr(0, cut) + Format(" DELAY %dms", delay_ms) + request.path.substr(cut);
      }
    } else {
      if (codec == "truehd" || (codec == "dts" && std::string(suffix->ending) != ".dts")) {
        plan.error = Format("Track %d can't be converted to \"%s\".", track.number, suffix->ending);
        return plan;
      }
      if (codec == "ac3")
        a.insert(a.end(), {"-c:a", "ac3", "-b:a", Format("%dk", bitrate > 0 ? bitrate : 640)});
      else if (codec == "eac3")
        a.insert(a.end(), {"-c:a", "eac3", "-b:a", Format("%dk", bitrate > 0 ? bitrate : 1024)});
      else if (codec == "dts")
        a.insert(a.end(), {"-c:a", "dca", "-strict", "-2"});
      else if (codec == "flac")
        a.insert(a.end(), {"-c:a", "flac", "-sample_fmt", down16 || s.bits <= 16 ? "s16" : "s32"});
      else if (codec == "pcm")
        a.insert(a.end(), {"-c:a", down16 || s.bits <= 16 ? "pcm_s16le" : "pcm_s24le"});
      else if (codec == "mp2")
        a.insert(a.end(), {"-c:a", "mp2"});
      else
        a.insert(a.end(), {"-c:a", "aac"});
      if (down6) a.insert(a.end(), {"-ac", "6"});
      // A recode can honour the track's delay: pad or trim its start.
      if (delay_ms > 0) a.insert(a.end(), {"-af", Format("adelay=%d:all=1", delay_ms)});
      if (delay_ms < 0)
        a.insert(a.end(), {"-af", Format("atrim=start=%.3f,asetpts=PTS-STARTPTS", -delay_ms / 1000.0)});
    }
  }
  a.insert(a.end(), {"-f", suffix->format, plan.path});
  return plan;
}

std::string ChapterFileText(const std::vector<double>& chapters) {
  std::string text;
  int n = 0;
  for (double t : chapters) {
    ++n;
    text += Format("CHAPTER%02d=%s\r\nCHAPTER%02dNAME=Chapter %02d\r\n", n, ChapterTime(t).c_str(), n, n);
  }
  return text;
}

int Demux(const Selection& sel, const std::vector<TrackRequest>& requests, bool progress, Console& console) {
  const std::time_t started = std::time(nullptr);
  const StreamInfo* video = nullptr;
  for (const Track& t : sel.tracks)
    if (!t.chapters && !t.right_eye && t.stream.type == "video") {
      video = &t.stream;
      break;
    }

  struct Job {
    const Track* track;
    OutputPlan plan;
  };
  std::vector<Job> jobs;
  std::vector<const TrackRequest*> chapter_jobs;
  for (const TrackRequest& r : requests) {
    const Track* track = nullptr;
    for (const Track& t : sel.tracks)
      if (t.number == r.number) track = &t;
    if (!track) {
      console.Error(Format("Track %d doesn't exist.", r.number));
      return 1;
    }
    // A chapter file asked of a title or file without marks: track 1 is a
    // stream, and writing it as text would only fill the disk.
    if (!track->chapters && IEndsWith(r.path, ".txt")) {
      console.Error(Format("Track %d is not a chapter track.", r.number));
      return 1;
    }
    if (track->chapters) {
      if (!IEndsWith(r.path, ".txt")) {
        console.Error(Format("Track %d is the chapter track; it can only be written as \".txt\".", r.number));
        return 1;
      }
      chapter_jobs.push_back(&r);
      continue;
    }
    int delay_ms = 0;
    if (video && track->stream.type != "video" && track->stream.has_start && video->has_start)
      delay_ms = static_cast<int>(std::lround((track->stream.start_time - video->start_time) * 1000));
    OutputPlan plan = PlanOutput(*track, r, delay_ms);
    if (!plan.error.empty()) {
      console.Error(plan.error);
      return 1;
    }
    jobs.push_back({track, std::move(plan)});
  }

  for (const TrackRequest* request : chapter_jobs) {
    console.Line(Format("Creating file \"%s\"...", request->path.c_str()));
    if (!WriteText(request->path, ChapterFileText(sel.chapters))) {
      console.Error(Format("Writing \"%s\" failed.", request->path.c_str()));
      return 1;
    }
  }

  if (!jobs.empty()) {
    std::vector<std::string> argv = FfmpegCommand();
    const std::vector<std::string> progress_options = ProgressOptions();
    argv.insert(argv.end(), progress_options.begin(), progress_options.end());
    argv.insert(argv.end(), {"-i", sel.input});
    bool ffmpeg_work = false;
    for (const Job& j : jobs) {
      const char letter = KindLetter(j.track->stream.type);
      console.Line(Format("[%c%02d] Extracting %s track number %d...", letter, j.track->number,
                          j.track->stream.type.c_str(), j.track->number));
      argv.insert(argv.end(), j.plan.args.begin(), j.plan.args.end());
      ffmpeg_work = ffmpeg_work || !j.plan.args.empty();
    }
    for (const Job& j : jobs)
      console.Line(Format("[%c%02d] Creating file \"%s\"...", KindLetter(j.track->stream.type),
                          j.track->number, j.plan.path.c_str()));
    const auto fail = [&](const std::string& message) {
      for (const Job& j : jobs) std::remove(j.plan.path.c_str());
      console.Error(message);
      return 1;
    };
    const double duration = sel.duration;
    const int rc = !ffmpeg_work ? 0 : RunLines(argv, [&](std::string_view line) {
      double done = 0;
      if (!progress || duration <= 0 || !ProgressSeconds(line, done)) return;
      const int percent =
          static_cast<int>(std::lround(std::fmin(100.0, std::fmax(0.0, done * 100 / duration))));
      console.Progress(percent);
    });
    if (rc != 0) return fail(Format("Extraction failed (ffmpeg exit code %d).", rc));
    std::string error;
    for (const Job& j : jobs)
      if (j.plan.copy_pid >= 0 && !CopyTrack(sel, j.plan.copy_pid, j.plan.path, error)) return fail(error);
    if (progress) console.Progress(100);
    for (const Job& j : jobs) {
      if (j.plan.raw_format.empty()) continue;
      const long long packets = CountPackets(j.plan.path, 0, j.plan.raw_format);
      if (packets < 0) continue;
      if (j.plan.interlaced)
        console.Line(Format("Video track %d contains %lld fields.", j.track->number, packets * 2));
      else
        console.Line(Format("Video track %d contains %lld frames.", j.track->number, packets));
    }
  }
  const long long took = static_cast<long long>(std::time(nullptr) - started);
  console.Line(Format("eac3to processing took %lld second%s.", took, took == 1 ? "" : "s"));
  console.Line("Done.");
  return 0;
}

}  // namespace dp::tools
