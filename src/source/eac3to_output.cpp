// The readers of what eac3to wrote for the stream inventory: the chapter
// file and log of a chapter run, and the listing with the DTS-HD cores.
#include <algorithm>
#include <string>

#include "source/stream_analysis.h"
#include "util/text.h"

namespace dp {
namespace {

// Lines of text ended by "\n"; the "\r" of a CRLF end is no part of a line.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', at_);
    if (end == npos) end = text_.size();
    line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end + 1;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool IsMasterOrHighResolution(std::string_view profile) { return profile == "MA" || profile == "HRA"; }

// Where "<number>: " starts a line of the listing; npos when no line does.
// Tracks always begin a line, so a "3: " inside another line's text (or the
// tail of "13: ") is not track 3.
std::size_t FindTrackLine(std::string_view listing, int number) {
  const std::string key = Format("%d: ", number);
  for (std::size_t at = listing.find(key); at != npos; at = listing.find(key, at + 1)) {
    if (at == 0 || listing[at - 1] == '\n') return at;
  }
  return npos;
}

}  // namespace

void ApplyChapterFile(std::string_view cap_text, SourceInventory& inventory) {
  cap_text = cap_text.substr(0, kChapterTextSize);
  std::string chapters;
  // Every line but the last: the text after the last "\r\n" is no whole line.
  for (std::size_t at = 0, end; (end = cap_text.find("\r\n", at)) != npos; at = end + 2) {
    const std::string_view line = cap_text.substr(at, end - at);
    const std::size_t eq = line.find('=');
    // CHAPTERnnNAME= lines end their key in "E"; a time is 12 characters.
    if (eq == npos || (eq > 0 && line[eq - 1] == 'E') || line.size() - eq < 11) continue;
    chapters.append(line.substr(eq + 1));
    chapters.push_back('\n');
  }
  CopyText(inventory.chapters, chapters);
  if (chapters.empty()) inventory.no_chapters = 1;
}

bool LogMentionsRightEye(std::string_view log_text) {
  Lines lines(log_text);
  for (std::string_view line; lines.Next(line) && !line.empty();) {
    if (IFind(line, "(right eye)") != npos) return true;
  }
  return false;
}

void ApplyCoreBitrates(std::string_view listing, SourceInventory& inventory) {
  if (listing.empty() || listing.find("<ERROR>") != npos) return;
  const int first = inventory.video_count + 1 + (listing.find("1: Chapters") != npos ? 1 : 0);
  const int count = std::min(inventory.audio_count, kMaxAudioStreams);
  for (int i = 0; i < count; ++i) {
    AudioStream& audio = inventory.audio[i];
    if (!IsMasterOrHighResolution(FieldText(audio.format_profile))) continue;
    const std::size_t start = FindTrackLine(listing, first + i);
    if (start == npos) return;
    const std::size_t end = listing.find("z)", start);
    if (end == npos) return;
    const std::size_t from = std::min(start + 3, end);
    const std::string_view track = listing.substr(from, end - from);
    const std::size_t core = track.find("(core");
    if (core == npos) return;
    for (std::string_view part : Tokenize(track.substr(core), ",")) {
      if (IFind(part, "kbps") == npos) continue;
      audio.bitrate_kbps = LeadingInt(part.substr(1));
      break;
    }
  }
}

}  // namespace dp
