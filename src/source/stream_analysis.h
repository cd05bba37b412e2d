// The stream inventory from the outside parties' answers: the chapter file
// and log of an eac3to chapter run, the MediaInfo library's description of
// the stream file, the playlist's eye flag, and eac3to's listing for the core
// bitrate of DTS-HD tracks. Running eac3to is the opening's business; these
// read what it wrote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "source/inventory.h"
#include "source/source_state.h"

namespace dp {

class MediaInfoFile;

// Chapter times from a chapter file's text (CHAPTERnn=hh:mm:ss.mmm lines
// ended by "\r\n"): each time followed by "\n". Sets inventory.chapters and
// no_chapters (CapitolsInfo, step 5).
void ApplyChapterFile(std::string_view cap_text, SourceInventory& inventory);
// True when a line of the chapter run's log, read up to the first empty line,
// mentions "(right eye)".
bool LogMentionsRightEye(std::string_view log_text);

// Fills the container, video, audio and subtitle records from the opened
// file, with the duration checks against the selected title, the MKV
// chapters and the 3D records (MediaInfo). file null: the library or the
// file could not be opened; only the 3D step runs.
void AnalyseStreams(const MediaInfoFile* file, const std::string& stream_path, const SourceState& state,
                    SourceInventory& inventory);
// Opens stream_path with the system's library and runs AnalyseStreams.
void MediaInfoAnalysis(const std::string& stream_path, const SourceState& state, SourceInventory& inventory);

// The eye of each view from the playlist's flag (GetEyeAsignation).
void GetEyeAsignation(const std::string& stream_path, const SourceState& state, SourceInventory& inventory);

// The core bitrate of each DTS-HD "MA"/"HRA" track from eac3to's listing of
// the stream file (Eac3toInfo, after the run).
void ApplyCoreBitrates(std::string_view listing, SourceInventory& inventory);

// The three rings' item texts (ActualitzaLlistaSource). elapsed_ms is the
// scan's duration, for the subtitle rates after a scan.
struct SourceRings {
  std::vector<std::string> video, audio, subtitle;
};
SourceRings SourceRingTexts(const SourceInventory& inventory, double elapsed_ms = 0);

}  // namespace dp
