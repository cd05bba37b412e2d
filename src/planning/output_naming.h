// The output name follows the target and the 3D mode: MKV targets get a
// title-cased ".mkv" name, disc targets an upper-case folder name, 3D modes
// their tag.
#pragma once

#include <string>
#include <string_view>

namespace dp {

// The output path for target media index `target` and 3D mode `mode_3d`;
// keep_case: the title came from the scraper and keeps its case. A path
// without a folder is returned as it is.
std::string RenamedOutput(std::string_view path, int target, int mode_3d, bool keep_case);

}  // namespace dp
