// The failure log's name in the temporary folder: the pipeline appends to it
// and the queue's menu opens it.
#pragma once

#include <string_view>

namespace dp {

inline constexpr std::string_view kErrorLogName = "error_log.txt";

}  // namespace dp
