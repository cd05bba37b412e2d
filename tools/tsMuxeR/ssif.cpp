#include "tsMuxeR/ssif.h"

#include <cstdio>

#include "toolkit/files.h"

namespace dp::tools {
namespace {

constexpr std::size_t kUnit = 32 * 192;  // an aligned unit
constexpr std::int64_t kExtentTicks = 27'000'000;

// The arrival time of each aligned unit's first packet, 27 MHz, unwrapped
// from its 30 bits.
bool UnitTimes(const std::string& path, std::vector<std::int64_t>& times) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  std::uint8_t head[4];
  std::int64_t now = 0;
  std::uint32_t last = 0;
  for (long unit = 0;; ++unit) {
    if (std::fseek(f.get(), unit * static_cast<long>(kUnit), SEEK_SET) != 0 ||
        std::fread(head, 1, 4, f.get()) != 4)
      break;
    const std::uint32_t ats = Be32(head) & 0x3FFFFFFF;
    if (!times.empty()) now += (ats - last) & 0x3FFFFFFF;
    last = ats;
    times.push_back(now);
  }
  return true;
}

bool CopyUnits(std::FILE* from, std::size_t first, std::size_t end, std::FILE* to) {
  std::vector<std::uint8_t> buffer(kUnit * 64);
  if (std::fseek(from, static_cast<long>(first * kUnit), SEEK_SET) != 0) return false;
  for (std::size_t unit = first; unit < end;) {
    const std::size_t units = std::min<std::size_t>(64, end - unit);
    const std::size_t got = std::fread(buffer.data(), 1, units * kUnit, from);
    if (got == 0 || std::fwrite(buffer.data(), 1, got, to) != got) return false;
    if (got < units * kUnit) return true;  // the file's end
    unit += units;
  }
  return true;
}

}  // namespace

bool WriteInterleavedFile(const std::string& base, const std::string& dependent, const std::string& output,
                          std::vector<std::uint32_t>& base_starts,
                          std::vector<std::uint32_t>& dependent_starts) {
  std::vector<std::int64_t> base_times, dependent_times;
  if (!UnitTimes(base, base_times) || !UnitTimes(dependent, dependent_times)) return false;
  // Both clips are written on one arrival clock from the same origin.
  std::vector<std::size_t> b, d;  // extent starts in units
  for (std::size_t u = 0, next = 0; u < base_times.size(); ++u) {
    if (u > 0 && base_times[u] < base_times[b.back()] + kExtentTicks) continue;
    while (next < dependent_times.size() && dependent_times[next] < base_times[u]) ++next;
    if (u > 0 && next == d.back()) continue;  // no dependent unit in between: one extent goes on
    b.push_back(u);
    d.push_back(u == 0 ? 0 : next);
  }
  FilePtr in_base(std::fopen(base.c_str(), "rb")), in_dependent(std::fopen(dependent.c_str(), "rb"));
  FilePtr out(std::fopen(output.c_str(), "wb"));
  if (!in_base || !in_dependent || !out) return false;
  base_starts.clear();
  dependent_starts.clear();
  for (std::size_t k = 0; k < b.size(); ++k) {
    const std::size_t b_end = k + 1 < b.size() ? b[k + 1] : base_times.size();
    const std::size_t d_end = k + 1 < d.size() ? d[k + 1] : dependent_times.size();
    if (!CopyUnits(in_dependent.get(), d[k], d_end, out.get()) ||
        !CopyUnits(in_base.get(), b[k], b_end, out.get()))
      return false;
    base_starts.push_back(static_cast<std::uint32_t>(b[k] * 32));
    dependent_starts.push_back(static_cast<std::uint32_t>(d[k] * 32));
  }
  return std::fclose(out.release()) == 0;
}

}  // namespace dp::tools
