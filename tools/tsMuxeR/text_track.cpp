#include "tsMuxeR/text_track.h"

#include <cstdlib>

#include "toolkit/files.h"
#include "toolkit/probe.h"
#include "toolkit/run.h"
#include "toolkit/srt.h"
#include "toolkit/text_render.h"
#include "util/text.h"

namespace dp::tools {

bool RenderTextTrack(const MetaTrack& track, const std::string& sup, std::vector<std::string>& scratch,
                     std::string& error) {
  std::string file = LocalPath(track.file);
  if (!IsFile(file)) {
    error = "Can't open the file.";
    return false;
  }
  if (!IEndsWith(file, ".srt")) {
    ProbeResult probe;
    const StreamInfo* chosen = nullptr;
    if (Probe(file, probe)) {
      chosen = FirstOfType(probe, "subtitle");
      if (track.Has("track")) {
        const int id = LeadingInt(track.Get("track"));
        chosen = nullptr;
        for (const StreamInfo& s : probe.streams)
          if (s.pid == id || (s.pid < 0 && s.index == id - 1)) chosen = &s;
      }
    }
    if (!chosen || chosen->type != "subtitle") {
      error = "No subtitle track " + track.Get("track") + " in the file.";
      return false;
    }
    const std::string converted = sup + ".srt";
    scratch.push_back(converted);
    std::vector<std::string> cmd = FfmpegCommand();
    cmd.insert(cmd.end(),
               {"-i", file, "-map", Format("0:%d", chosen->index), "-c:s", "srt", "-f", "srt", converted});
    if (Run(cmd) != 0) {
      error = "ffmpeg can't read the track as text.";
      return false;
    }
    file = converted;
  }
  std::string text;
  std::vector<SrtEvent> events;
  if (!ReadText(file, text)) {
    error = "Can't read the file.";
    return false;
  }
  if (!ParseSrt(text, events, error)) return false;
  TextStyle style;
  if (track.Has("font-name")) style.font = track.Get("font-name");
  if (track.Has("font-size")) style.size = LeadingInt(track.Get("font-size"));
  if (track.Has("font-color"))
    style.color = static_cast<std::uint32_t>(std::strtoul(track.Get("font-color").c_str(), nullptr, 16));
  if (track.Has("bottom-offset")) style.bottom_offset = LeadingInt(track.Get("bottom-offset"));
  if (track.Has("font-border")) style.border = LeadingInt(track.Get("font-border"));
  const std::string align = track.Get("text-align");
  style.align = align == "left" ? 1 : align == "right" ? 3 : 2;
  const int width = track.Has("video-width") ? LeadingInt(track.Get("video-width")) : 1920;
  const int height = track.Has("video-height") ? LeadingInt(track.Get("video-height")) : 1080;
  std::vector<PgsSegment> segments;
  scratch.push_back(sup);
  if (!RenderTextToPgs(events, style, width, height, sup, segments, error)) return false;
  if (!WriteBytes(sup, WritePgs(segments))) {
    error = "Can't write \"" + sup + "\".";
    return false;
  }
  return true;
}

}  // namespace dp::tools
