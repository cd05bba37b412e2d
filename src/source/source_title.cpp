#include "source/source_title.h"

#include "util/text.h"

namespace dp {

namespace {

// The first "/BDMV" that is a whole path component, past the start.
std::size_t FirstBdmvComponent(std::string_view path) {
  for (std::size_t at = IFind(path, "/BDMV"); at != npos; at = IFind(path, "/BDMV", at + 1)) {
    const std::size_t end = at + 5;
    if (at > 0 && (end == path.size() || path[end] == '/')) return at;
  }
  return npos;
}

std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  return slash == npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string SourceTitleFromPath(const std::string& path, const MountRoots& roots) {
  if (const std::size_t at = FirstBdmvComponent(path); at != npos) {
    const std::string folder = path.substr(0, at);
    std::string label = VolumeLabel(folder, roots);
    return label.empty() ? std::string(LastComponent(folder)) : label;
  }
  if (path.find('.', 1) == npos) return {};
  const std::string_view name = LastComponent(path);
  const std::size_t dot = name.rfind('.');
  return std::string(dot == npos || dot == 0 ? name : name.substr(0, dot));
}

}  // namespace dp
