#include "source/title_listing.h"

#include "util/text.h"
#include "util/time.h"

namespace dp {

namespace {

// eac3to's titles start their lines; a listing that starts with one is read
// as if a line end came before it.
std::string Padded(std::string_view listing) {
  std::string text = "\n";
  text.append(listing);
  return text;
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view CutAt(std::string_view s, char c) {
  const std::size_t at = s.find(c);
  return at == npos ? s : s.substr(0, at);
}

// The clip number a part of a clips text begins with; 0 when it begins
// with anything but a digit.
int ClipNumber(std::string_view part) {
  int n = 0;
  for (char c : part) {
    if (c < '0' || c > '9' || n > 9999999) break;
    n = n * 10 + (c - '0');
  }
  return n;
}

void FillEntry(TitleEntry& entry, std::string_view clips, std::string_view duration,
               std::string_view playlist) {
  CopyText(entry.clips, clips);
  CopyText(entry.duration, duration);
  CopyText(entry.playlist, playlist);
}

}  // namespace

std::optional<std::string_view> NumberedTitleLine(std::string_view listing, int n) {
  const std::string key = Format("%d) ", n);
  std::size_t at = 0;
  if (!listing.starts_with(key)) {
    at = listing.find("\n" + key);
    if (at == npos) return std::nullopt;
    ++at;
  }
  return CutAt(listing.substr(at + key.size()), '\n');
}

std::optional<TitleLine> SplitTitleLine(std::string_view line) {
  const std::size_t c1 = line.find(',');
  if (c1 == npos) return std::nullopt;
  const std::size_t c2 = line.find(',', c1 + 1);
  if (c2 == npos) return std::nullopt;
  TitleLine out;
  out.playlist = SkipBlanks(line.substr(0, c1));
  out.clip = SkipBlanks(line.substr(c1 + 1, c2 - c1 - 1));
  out.duration = SkipBlanks(line.substr(c2 + 1));
  return out;
}

TitleDecision DecideTitle(std::string_view listing) {
  TitleDecision d;
  if (listing.empty() || listing.find("<ERROR>") != npos) return d;
  const auto line1 = NumberedTitleLine(listing, 1);
  if (!line1) {
    d.pick = TitlePick::kNoTitle;
    return d;
  }
  if (IFind(*line1, ".m2ts") == npos || line1->find('+') != npos) {
    d.pick = TitlePick::kJoinedTitle;
    return d;
  }
  const auto first = SplitTitleLine(*line1);
  if (!first) return d;
  const auto line2 = NumberedTitleLine(listing, 2);
  if (line2 && IFind(*line2, ".m2ts") != npos) {
    const auto second = SplitTitleLine(*line2);
    if (!second) return d;
    const int d1 = hms_to_s(first->duration);
    const int d2 = hms_to_s(second->duration);
    if (d2 > 2400 || (d1 < 4800 && d2 >= 501)) {
      d.pick = TitlePick::kMainPlaylists;
      return d;
    }
  }
  d.pick = TitlePick::kFirstTitle;
  d.first = *first;
  return d;
}

int Eac3toPlaylist(std::string_view listing, SourceState& state, PlaylistDialog& dialog) {
  const std::string text = Padded(listing);
  dialog.items.clear();
  int listed = 0;
  for (int n = 1; n <= kListedTitleMax; ++n) {
    const std::string key = Format("\n%d) ", n);
    const std::size_t at = text.find(key);
    if (at == npos) break;
    const std::size_t start = at + key.size();
    const std::size_t eol = text.find('\n', start);
    if (eol == npos) continue;
    const std::string_view line(text.data() + start, eol - start);
    const std::size_t comma = line.find(',');
    if (comma == npos) break;
    const std::string_view playlist = SkipBlanks(line.substr(0, comma));
    if (playlist.empty()) break;
    std::string_view rest = SkipBlanks(line.substr(comma + 1));
    std::string_view clips, duration;
    if (const std::size_t c2 = rest.find(','); c2 != npos) {
      clips = rest.substr(0, c2);
      duration = SkipBlanks(rest.substr(c2 + 1));
    } else {
      // Only playlist and duration: the clips follow on the next line,
      // "   [461+462+465].m2ts".
      duration = rest;
      const std::size_t eol2 = text.find('\n', eol + 1);
      if (eol2 == npos) break;
      const std::string_view next(text.data() + eol + 1, eol2 - eol - 1);
      clips = next.size() > 4 ? next.substr(4) : std::string_view("");
    }
    duration = CutAt(duration, ' ');
    clips = CutAt(clips, ']');
    const std::size_t mpls = IFind(playlist, ".mpls");
    const std::string_view playlist_file = mpls == npos ? std::string_view("") : playlist.substr(0, mpls + 5);
    FillEntry(state.title_table[n - 1], clips, duration, playlist_file);
    dialog.items.push_back({Format("%.*s  (%.*s)", static_cast<int>(playlist.size()), playlist.data(),
                                   static_cast<int>(duration.size()), duration.data()),
                            n});
    ++listed;
  }
  return listed;
}

int SimilarToPlaylist(std::string_view lines, SourceState& state, PlaylistDialog& dialog) {
  dialog.items.clear();
  int listed = 0;
  for (std::string_view line : Tokenize(lines, "\n")) {
    if (listed == kListedTitleMax) break;
    if (line.size() < 12) continue;
    TitleEntry& entry = state.title_table[listed];
    FillEntry(entry, line.substr(line.size() - 10), "", line.substr(0, 10));
    ++listed;
    dialog.items.push_back({std::string(line.substr(0, line.size() - 12)), listed});
  }
  return listed;
}

TitleClips ActualizaPlayList(const SourceState& state, int title_number) {
  if (title_number < 1 || title_number > kTitleTableSize) title_number = 1;
  TitleClips out;
  const auto parts = Tokenize(FieldText(state.title_table[title_number - 1].clips), "+");
  if (parts.empty()) return out;
  out.changed = true;
  for (std::string_view part : parts) {
    const int number = ClipNumber(part);
    if (!out.m2ts_text.empty()) out.m2ts_text += " + ";
    out.m2ts_text += Format("%05d", number);
    out.files.push_back(Format("%05d.m2ts", number));
  }
  return out;
}

std::string DiscRoot(std::string_view path) {
  for (std::size_t i = path.size() >= 5 ? path.size() - 5 + 1 : 0; i-- > 0;) {
    if (IEquals(path.substr(i, 5), "/BDMV") && (i + 5 == path.size() || path[i + 5] == '/'))
      return std::string(path.substr(0, i));
  }
  return std::string(path);
}

std::string PreviewClipPath(const std::string& dialog_path, const std::string& clip_file) {
  return DiscRoot(dialog_path) + "/BDMV/STREAM/" + clip_file;
}

std::vector<std::string> TitleClipFiles(std::string_view clips) {
  auto parts = Tokenize(clips, "+");
  if (parts.empty()) parts.push_back(clips);
  std::vector<std::string> files;
  for (std::string_view part : parts) files.push_back(Format("%05d.m2ts", ClipNumber(part)));
  return files;
}

ClipChoice ChooseClip(const std::vector<ClipFile>& files) {
  ClipChoice choice;
  int opened = 0, small = 0;
  std::int64_t largest = -1;
  for (const ClipFile& f : files) {
    if (f.opened) ++opened;
    const std::int64_t size = f.opened ? f.size : 0;
    if (size < kSmallClipBytes) ++small;
    if (size >= largest) {
      largest = size;
      choice.path = f.path;
    }
  }
  if (opened >= 2) {
    choice.one_large = small == opened - 1;
    choice.joined = !choice.one_large;
  }
  return choice;
}

}  // namespace dp
