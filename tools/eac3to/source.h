// What the demuxer is pointed at: a disc folder (its playlists become
// numbered titles), one playlist, or one media file, and the numbered tracks
// of the title or file a run works on.
#pragma once

#include <string>
#include <vector>

#include "toolkit/bd_playlist.h"
#include "toolkit/probe.h"

namespace dp::tools {

struct Title {
  std::string playlist_file;  // "00001.mpls"
  Playlist playlist;
  std::vector<std::string> clip_paths;
};

struct Source {
  enum Kind { kFolder, kPlaylist, kFile } kind = kFile;
  std::string path;  // the media file, or the disc root (the folder that holds BDMV)
  std::vector<Title> titles;
};

// False, with a message, when the path names nothing usable.
bool OpenSource(const std::string& path, Source& out, std::string& error);

struct Track {
  int number = 0;
  bool chapters = false;
  bool right_eye = false;  // the dependent view of a 3D title
  StreamInfo stream;
};

// One title of a disc, or the file itself, ready to list and demux.
struct Selection {
  std::string input;               // what ffmpeg reads: a file or "concat:" of the title's clips
  std::vector<std::string> files;  // the files of `input`, in order
  std::string container;           // "M2TS", "MKV", ...
  double duration = 0;
  std::vector<double> chapters;
  std::vector<StreamInfo> streams;  // video, then audio, then subtitles
  std::vector<Track> tracks;        // numbered from 1; chapters first when the title has marks
};

// `title` counts from 1; 0 selects the file itself (or a playlist's only title).
bool Select(const Source& source, int title, Selection& out, std::string& error);

// The title list of a disc folder or playlist: "1) 00001.mpls, 00001.m2ts, 0:00:02" and its
// summary lines.
std::vector<std::string> TitleListing(const Source& source);

// The full listing of a selection: the container line and one line per track.
std::vector<std::string> TrackListing(const Selection& selection);

}  // namespace dp::tools
