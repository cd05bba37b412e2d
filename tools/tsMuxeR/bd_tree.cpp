#include "tsMuxeR/bd_tree.h"

#include <filesystem>
#include <system_error>

#include "toolkit/files.h"
#include "toolkit/run.h"

namespace dp::tools {
namespace {

namespace fs = std::filesystem;

// The leading type and version tag of each disc file, then zero fields: the
// player-facing parts that nothing here reads.
std::vector<std::uint8_t> TaggedFile(const char* tag, std::size_t size) {
  std::vector<std::uint8_t> b(tag, tag + 8);
  b.resize(size, 0);
  return b;
}

}  // namespace

std::string MakeTree(const std::string& root) {
  std::error_code ec;
  for (const char* sub :
       {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM", "BDMV/AUXDATA", "BDMV/BDJO", "BDMV/JAR", "BDMV/META",
        "BDMV/BACKUP/PLAYLIST", "BDMV/BACKUP/CLIPINF", "BDMV/BACKUP/BDJO", "CERTIFICATE/BACKUP"}) {
    fs::create_directories(root + "/" + sub, ec);
    if (ec) return "";
  }
  return root + "/BDMV/STREAM/00000.m2ts";
}

bool WriteDiscFiles(const std::string& root, double duration, const std::vector<PlaylistStream>& streams,
                    const std::vector<double>& chapters, bool right_eye_base) {
  const std::vector<std::uint8_t> mpls = BuildPlaylist("00000", duration, streams, chapters, right_eye_base);
  const std::vector<std::uint8_t> clpi = TaggedFile("HDMV0200", 64);
  const std::vector<std::uint8_t> index = TaggedFile("INDX0200", 64);
  const std::vector<std::uint8_t> object = TaggedFile("MOBJ0200", 64);
  bool ok = true;
  for (const std::string& base : {root + "/BDMV", root + "/BDMV/BACKUP"}) {
    ok = WriteBytes(base + "/PLAYLIST/00000.mpls", mpls) && ok;
    ok = WriteBytes(base + "/CLIPINF/00000.clpi", clpi) && ok;
    ok = WriteBytes(base + "/index.bdmv", index) && ok;
    ok = WriteBytes(base + "/MovieObject.bdmv", object) && ok;
  }
  return ok;
}

bool MakeIso(const std::string& tree, const std::string& iso, const std::string& label) {
  std::string volume = label.substr(0, 32);
  if (volume.empty()) volume = "BLURAY";
  return Run({"genisoimage", "-quiet", "-udf", "-iso-level", "3", "-allow-limited-size", "-V", volume, "-o",
              iso, tree}) == 0;
}

}  // namespace dp::tools
