// The Blu-ray / AVCHD folder tree the muxer writes, and the ISO image made
// from it.
#pragma once

#include <string>
#include <vector>

#include "toolkit/bd_playlist.h"
#include "toolkit/m2ts_reader.h"

namespace dp::tools {

// Creates <root>/BDMV/{PLAYLIST,CLIPINF,STREAM,BACKUP,...} and
// <root>/CERTIFICATE; returns the path of the stream file to write
// (<root>/BDMV/STREAM/00000.m2ts), or "" when a folder can't be made.
std::string MakeTree(const std::string& root);

// Writes the playlist 00000.mpls, the clip information and the disc files
// beside the finished stream file (`info`: what its writer collected), and
// their BACKUP copies. With a `dependent` view (3D) and its clip 00001.m2ts
// (`dependent_info`), that clip gets its own clip information, both clips are
// interleaved into STREAM/SSIF/00000.ssif, and the playlist and index say the
// disc is 3D. False, with the reason on standard output, when a stream lacks
// a track of the table or a file can't be written.
bool WriteDiscFiles(const std::string& root, double duration, const std::vector<PlaylistStream>& streams,
                    const std::vector<double>& chapters, bool right_eye_base, const M2tsInfo& info,
                    const PlaylistStream* dependent = nullptr, const M2tsInfo* dependent_info = nullptr);

// Packs the tree into a UDF/ISO 9660 image with genisoimage; false with the
// tool's message on stderr when it fails.
bool MakeIso(const std::string& tree, const std::string& iso, const std::string& label);

}  // namespace dp::tools
