#include "json_text.h"

#include <cmath>
#include <cstdio>

#include "util/text.h"

namespace dp::cli {
namespace {

void AppendString(std::string& out, const std::string& value) {
  out += '"';
  for (unsigned char c : value) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void Append(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) out += ',';
        first = false;
        AppendString(out, key);
        out += ':';
        Append(out, member);
      }
      out += '}';
      break;
    }
    case Json::value_t::array: {
      out += '[';
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (i) out += ',';
        Append(out, value[i]);
      }
      out += ']';
      break;
    }
    case Json::value_t::string:
      AppendString(out, value.get_ref<const std::string&>());
      break;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      break;
    case Json::value_t::number_integer:
      out += std::to_string(value.get<std::int64_t>());
      break;
    case Json::value_t::number_unsigned:
      out += std::to_string(value.get<std::uint64_t>());
      break;
    case Json::value_t::number_float: {
      const double d = value.get<double>();
      out += std::isfinite(d) ? Format("%.17g", d) : "null";  // Format is the C notation, never "5400,5"
      break;
    }
    default:
      out += "null";
  }
}

}  // namespace

std::string JsonText(const Json& value) {
  std::string out;
  Append(out, value);
  return out;
}

}  // namespace dp::cli
