// Splits the input at "#SPLIT#" into up to four playlist files of one folder,
// then searches that folder for playlists like the first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_file.h"
#include "source/mpls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::string_view kSplit = "#SPLIT#";
  constexpr int kFiles = 4;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string first;
  std::size_t from = 0;
  for (int i = 0; i < kFiles; ++i) {
    std::string_view part;
    if (from <= input.size()) {
      const std::size_t end = i + 1 < kFiles ? input.find(kSplit, from) : std::string_view::npos;
      part = input.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
      from = end == std::string_view::npos ? input.size() + 1 : end + kSplit.size();
    }
    // Every file is rewritten, so no part of an earlier input lingers.
    const std::string name = "0000" + std::to_string(i + 1) + ".mpls";
    const std::string path =
        dp::fuzz::WriteFuzzFile(name, reinterpret_cast<const std::uint8_t*>(part.data()), part.size());
    if (i == 0) first = path;
  }
  std::string text;
  if (dp::FindSimilarPlayLists(first, &text) == 1 && text.empty()) __builtin_trap();
  return 0;
}
