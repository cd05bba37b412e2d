#include "planning/output_naming.h"

#include "planning/target_panel.h"
#include "queue/job_codes.h"
#include "scraper/title_text.h"
#include "util/text.h"

namespace dp {

namespace {

bool CutSuffix(std::string& name, std::string_view tag, bool any_case) {
  if (name.size() < tag.size()) return false;
  const std::string_view end = std::string_view(name).substr(name.size() - tag.size());
  if (any_case ? !IEquals(end, tag) : end != tag) return false;
  name.resize(name.size() - tag.size());
  return true;
}

bool CutTag3d(std::string& name) {
  return CutSuffix(name, " 3D-HSBS", false) || CutSuffix(name, " 3D-HTAB", false);
}

// Removes what a former rename appended before the new suffix is added. A
// 3D tag in front of ".mkv" goes too, or every rename would add another.
void CutSuffixes(std::string& name) {
  if (CutTag3d(name)) return;
  for (std::string_view ext : {".mkv", " 2D+3D.ISO", ".ISO"}) {
    if (CutSuffix(name, ext, true)) {
      CutTag3d(name);
      return;
    }
  }
}

}  // namespace

std::string RenamedOutput(std::string_view path, int target, int mode_3d, bool keep_case) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  std::string name(path.substr(slash + 1));
  CutSuffixes(name);
  const bool mkv = target == kMediaMkvCrf || target == kMediaMkvRemux;
  if (mkv) {
    if (!keep_case) {
      name = Utf8Lower(name);
      TitleCase(name);
    }
  } else {
    name = Utf8Upper(name);
  }
  switch (mode_3d) {
    case kMode2d:
      name += mkv ? ".mkv" : "";
      break;
    case kModeHalfSbsLeft:
    case kModeHalfSbsRight:
      name += mkv ? " 3D-HSBS.mkv" : " 3D-HSBS";
      break;
    case kModeHalfTabLeft:
    case kModeHalfTabRight:
      name += mkv ? " 3D-HTAB.mkv" : " 3D-HTAB";
      break;
    case kModeMvcLeft:
    case kModeMvcRight:
      name += mkv ? ".mkv" : " 2D+3D.ISO";
      break;
    default:
      break;
  }
  return std::string(path.substr(0, slash + 1)) + name;
}

}  // namespace dp
