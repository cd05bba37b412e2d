// --json output: a JSON value as one compact line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace dp::cli {

using Json = nlohmann::ordered_json;

// Members in the order they were added. Doubles as "%.17g" in the C notation
// (4500 stays "4500", NaN and infinities become null); string bytes are
// copied as they are, so a path that is not UTF-8 still names its file.
std::string JsonText(const Json& value);

}  // namespace dp::cli
