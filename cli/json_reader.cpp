#include "json_reader.h"

#include "util/text.h"

namespace dp::cli {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}

  std::optional<JsonObject> Object(std::string& error) {
    JsonObject obj;
    Skip();
    if (!Eat('{')) return Err(error, "expected '{'");
    Skip();
    if (Eat('}')) return End(obj, error);
    for (;;) {
      Skip();
      std::string key;
      if (!String(key)) return Err(error, "expected a member name");
      Skip();
      if (!Eat(':')) return Err(error, "expected ':'");
      Skip();
      JsonScalar value;
      if (!Value(value)) return Err(error, "unsupported value for \"" + key + "\"");
      obj[key] = value;
      Skip();
      if (Eat(',')) continue;
      if (Eat('}')) return End(obj, error);
      return Err(error, "expected ',' or '}'");
    }
  }

 private:
  std::optional<JsonObject> End(JsonObject& obj, std::string& error) {
    Skip();
    if (i_ != t_.size()) return Err(error, "text after the object");
    return obj;
  }
  static std::optional<JsonObject> Err(std::string& error, std::string what) {
    error = std::move(what);
    return std::nullopt;
  }
  void Skip() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
  }
  bool Eat(char c) {
    if (i_ < t_.size() && t_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Literal(std::string_view word) {
    if (t_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  bool Hex4(unsigned& v) {
    if (i_ + 4 > t_.size()) return false;
    v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
    }
    return true;
  }
  bool String(std::string& out) {
    if (!Eat('"')) return false;
    while (i_ < t_.size()) {
      const char c = t_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= t_.size()) return false;
      const char e = t_[i_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && Literal("\\u")) {
            unsigned low;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, static_cast<char32_t>(cp));
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Value(JsonScalar& v) {
    if (i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '"') {
      std::string s;
      if (!String(s)) return false;
      v = std::move(s);
      return true;
    }
    if (Literal("true")) return v = true, true;
    if (Literal("false")) return v = false, true;
    if (Literal("null")) return v = std::monostate{}, true;
    // A C number whatever the locale: strtod would stop at the "." of
    // "4500.0" where the decimal mark is a comma.
    double d = 0;
    const std::size_t n = ReadDouble(t_.substr(i_), d);
    if (n == 0) return false;
    i_ += n;
    v = d;
    return true;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

}  // namespace

std::optional<JsonObject> ParseFlatJsonObject(std::string_view text, std::string& error) {
  return Parser(text).Object(error);
}

}  // namespace dp::cli
