// Reads a finished Blu-ray transport stream (192-byte source packets) for
// what the clip information file describes: the packet count, the program
// map, the presentation times and the video's entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dp::tools {

// A stream of the program map. (Named apart from the muxer's own stream
// description: both live in the muxer binary.)
struct MappedStream {
  unsigned pid = 0;
  std::uint8_t stream_type = 0;  // the program map's stream_type
  std::string language;          // from the ISO 639 descriptor, "" when none
};

// A random access point of the video: an I picture whose PES starts in the
// source packet `spn`.
struct EntryPoint {
  std::uint64_t pts = 0;  // 90 kHz, 33 bits
  std::uint32_t spn = 0;
};

struct M2tsInfo {
  std::uint32_t packets = 0;
  unsigned pmt_pid = 0;
  unsigned pcr_pid = 0x1FFF;
  std::vector<MappedStream> streams;  // in program map order
  unsigned video_pid = 0;             // the first video stream, 0 when none
  // Presentation range (90 kHz): from the first video picture to the end
  // of the last video or audio frame, whichever ends later — a frame lasts
  // the smallest step between its stream's PES timestamps.
  std::uint64_t start_pts = 0;
  std::uint64_t end_pts = 0;
  std::vector<EntryPoint> entry_points;
};

// False with a reason in `error` when the file can't be read, is not a
// stream of 192-byte packets, or lacks a program map, a video stream or an
// I picture.
bool ReadM2ts(const std::string& path, M2tsInfo& out, std::string& error);

// A transport packet of a source packet stream, with a payload.
struct SourcePacket {
  std::uint32_t spn = 0;  // its number in the file
  unsigned pid = 0;
  bool unit_start = false;
  bool random_access = false;  // the adaptation field's random access indicator
  const std::uint8_t* payload = nullptr;
  std::size_t size = 0;
};

// Reads one 188-byte transport packet (its sync byte checked by the caller),
// the `spn`th of its stream; false when it carries no payload.
bool ParseTransportPacket(const std::uint8_t* ts, std::uint32_t spn, SourcePacket& out);

// Gathers what ReadM2ts reports from a stream's packets given in order, so
// the muxer describes the stream it writes without reading it back.
class M2tsCollector {
 public:
  M2tsCollector();
  ~M2tsCollector();
  void Add(const SourcePacket& packet);
  // `packets`: how many source packets the stream holds; `name` for the
  // messages. False, as ReadM2ts, when the stream lacks what a player needs.
  bool Finish(std::uint32_t packets, const std::string& name, M2tsInfo& out, std::string& error);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Calls `visit` for each packet that carries a payload, in file order;
// `packets` counts them all. False with a reason when the file can't be read
// or is not a stream of 192-byte packets.
bool ForEachSourcePacket(const std::string& path, const std::function<void(const SourcePacket&)>& visit,
                         std::uint32_t& packets, std::string& error);

// Gives `put` the payloads of the PES packets on `pid`, their headers dropped,
// in file order: the elementary stream as the PID carries it (also the
// dependent view of a 3D clip, which ffmpeg can't write on its own).
bool CopyPesPayloads(const std::string& path, unsigned pid,
                     const std::function<void(const std::uint8_t*, std::size_t)>& put, std::string& error);

// True for the video stream types of a Blu-ray program map (MPEG-2, H.264,
// MVC, HEVC, VC-1).
bool IsVideoStreamType(std::uint8_t type);

// The 33-bit timestamp of a PES header's PTS or DTS field at `p`.
std::int64_t PesTimestamp(const std::uint8_t* p);
bool IsAudioStreamType(std::uint8_t type);

}  // namespace dp::tools
