// Reads one flat JSON object of names to strings, numbers, booleans or null
// (the form `job put --json` takes).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace dp::cli {

using JsonScalar = std::variant<std::monostate, bool, double, std::string>;
using JsonObject = std::map<std::string, JsonScalar>;

// Empty on malformed input, with a reason in error.
std::optional<JsonObject> ParseFlatJsonObject(std::string_view text, std::string& error);

}  // namespace dp::cli
