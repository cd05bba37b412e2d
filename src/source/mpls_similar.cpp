#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "source/mpls.h"
#include "util/text.h"
#include "util/time.h"

namespace dp {

namespace {

// Names of the regular files matching "*.mpls" (any case) in folder, at most
// kMaxListedPlaylists, in the order the file system gives them.
std::vector<std::string> ListPlaylists(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code type_ec;
    if (!IEndsWith(name, ".mpls") || !it->is_regular_file(type_ec)) continue;
    names.push_back(std::move(name));
    if (names.size() == kMaxListedPlaylists) break;
  }
  return names;
}

}  // namespace

int ComparMPLS(const SimilarPlaylist& a, const SimilarPlaylist& b) {
  return LeadingInt(a.file_name) > LeadingInt(b.file_name) ? 1 : -1;
}

int FindSimilarPlayLists(const std::string& reference_path, std::string* text) {
  double reference_duration = 0;
  // Without the reference's duration there is nothing to compare against.
  if (GetMplsInfo(reference_path, &reference_duration) == kMplsUnreadable) return 0;

  std::filesystem::path folder = std::filesystem::path(reference_path).parent_path();
  if (folder.empty()) folder = ".";

  std::vector<SimilarPlaylist> similar;
  for (const std::string& name : ListPlaylists(folder)) {
    SimilarPlaylist p;
    std::string clip;
    if (GetMplsInfo((folder / name).string(), &p.duration, &p.video_count, &p.audio_count, &p.pg_count,
                    &p.chapter_count, &clip) == kMplsUnreadable)
      continue;
    if (p.duration != reference_duration) continue;
    p.file_name = name;
    p.clip_file = clip + ".m2ts";
    similar.push_back(std::move(p));
  }
  if (similar.size() < 2) return 0;

  if (similar.size() > kMaxSortedSimilar) similar.resize(kMaxSortedSimilar);
  // ComparMPLS(b, a) > 0 is a strict "a before b"; files with the same number
  // keep the order the folder listing gave them.
  std::stable_sort(similar.begin(), similar.end(),
                   [](const SimilarPlaylist& a, const SimilarPlaylist& b) { return ComparMPLS(b, a) > 0; });

  std::vector<const SimilarPlaylist*> kept;
  for (const SimilarPlaylist& p : similar) {
    const bool seen = std::any_of(kept.begin(), kept.end(), [&](const SimilarPlaylist* k) {
      return k->video_count == p.video_count && k->audio_count == p.audio_count && k->pg_count == p.pg_count;
    });
    if (seen) continue;
    kept.push_back(&p);
    if (kept.size() == kMaxKeptSimilar) break;
  }
  if (kept.size() < 2) return 0;

  std::string lines;
  for (const SimilarPlaylist* p : kept) {
    lines += Format("%s, %s, %d chapters, %s\n", p->file_name.c_str(), Seconds_To_HHMMSS(p->duration).c_str(),
                    p->chapter_count, p->clip_file.c_str());
  }
  if (text) *text = std::move(lines);
  return 1;
}

}  // namespace dp
