// One blocking HTTP GET with libcurl, shared by the web-service clients:
// fixed time-outs, TLS 1.2 or later with verified certificates, the program's
// user agent, and plain http:// only to the loop-back address.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

// Bodies are cut off below this size, the terminating zero included.
inline constexpr std::size_t kHttpBodyCap = 1048576;

struct HttpGetOptions {
  std::string accept;                   // value of an Accept header; empty sends none
  std::size_t body_cap = kHttpBodyCap;  // what comes past it ends the transfer
  // When set, the body goes here piece by piece instead of into the reply;
  // returning false ends the transfer as a failure.
  std::function<bool(std::string_view)> sink;
  // Checked while the transfer runs, so another thread can end it early.
  const std::atomic<bool>* abort = nullptr;
  const char* log_name = "HTTP";  // names the caller in the diagnostics
};

struct HttpReply {
  long status = 0;
  std::string body;  // empty when a sink took it
  bool cut = false;  // the body reached the cap and what came so far is kept
};

// https:// anywhere; http:// only to 127.0.0.1 (the tests' servers); never an
// address with user information ("http://127.0.0.1:1@elsewhere").
bool AllowedAddress(std::string_view url);

// GET of url. Nothing when the address is refused or the transfer fails;
// otherwise the status and the body, whatever the status.
std::optional<HttpReply> HttpGet(const std::string& url, const HttpGetOptions& options = {});

// Writes to stderr when DISCPRESS_DEBUG is set.
void NetDebug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dp
