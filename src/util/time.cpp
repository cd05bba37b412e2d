#include "util/time.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "util/text.h"

namespace dp {

namespace {
constexpr std::size_t kMaxText = 31;

std::int64_t HmsSum(std::string_view text) {
  const auto fields = Tokenize(text.substr(0, kMaxText), ":");
  std::int64_t part[3] = {0, 0, 0};
  for (std::size_t i = 0; i < 3 && i < fields.size(); ++i) part[i] = LeadingInt(fields[i]);
  return part[0] * 3600 + part[1] * 60 + part[2];
}
}  // namespace

std::string Seconds_To_HHMMSS(double seconds) {
  std::int64_t s = 0;
  if (std::isfinite(seconds)) {
    const double t = std::trunc(seconds);
    constexpr double kLimit = 9.2e18;
    s = t > kLimit ? static_cast<std::int64_t>(kLimit)
                   : (t < -kLimit ? -static_cast<std::int64_t>(kLimit) : static_cast<std::int64_t>(t));
  }
  return Format("%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>((s % 3600) / 60), static_cast<long long>(s % 60));
}

int hms_to_s(std::string_view text) {
  const std::int64_t v = HmsSum(text);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

double hms_to_ms(std::string_view text) { return static_cast<double>(HmsSum(text)) * 1000.0; }

double fraction_to_double(std::string_view text) {
  const auto fields = Tokenize(text.substr(0, kMaxText), "/");
  const double num = fields.size() > 0 ? LeadingInt(fields[0]) : 0;
  const double den = fields.size() > 1 ? LeadingInt(fields[1]) : 0;
  return num / den;
}

}  // namespace dp
