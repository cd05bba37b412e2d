#include <cstddef>
#include <cstdint>
#include <string>

#include "scraper/json_scan.h"
#include "scraper/tmdb.h"

// The input is an answer body: read a member and a hit list out of it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::string out;
  if (!dp::JsonGetString(body.c_str(), "name", out, 32) && !out.empty()) __builtin_trap();
  if (out.size() >= 32) __builtin_trap();
  dp::scrape_count = 0;
  dp::ProcessListNew(body.c_str(), 1, "2011");
  if (dp::scrape_count > dp::kMaxScrapeHits) __builtin_trap();
  return 0;
}
