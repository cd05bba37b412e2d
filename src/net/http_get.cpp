#include "net/http_get.h"

#include <curl/curl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "util/text.h"

#ifndef DP_VERSION_TEXT
#define DP_VERSION_TEXT "3.3.0"
#endif

namespace dp {
namespace {

struct Transfer {
  const HttpGetOptions* options;
  HttpReply reply;
  std::size_t received = 0;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  if (t->received + n + 1 > t->options->body_cap) {
    t->reply.cut = true;
    return 0;  // ends the transfer; what came so far is kept
  }
  t->received += n;
  if (t->options->sink) {
    return t->options->sink(std::string_view(data, n)) ? n : 0;
  }
  t->reply.body.append(data, n);
  return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* abort = static_cast<const std::atomic<bool>*>(user);
  return abort->load() ? 1 : 0;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

void NetDebug(const char* fmt, ...) {
  if (!std::getenv("DISCPRESS_DEBUG")) return;
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
}

bool AllowedAddress(std::string_view url) {
  const std::size_t start = url.find("//");
  if (start == std::string_view::npos) return false;
  const std::string_view authority = url.substr(start + 2, url.find_first_of("/?#", start + 2) - start - 2);
  if (authority.find('@') != std::string_view::npos) return false;
  if (IStartsWith(url, "https://")) return true;
  constexpr std::string_view local = "http://127.0.0.1";
  return IStartsWith(url, local) &&
         (url.size() == local.size() || url[local.size()] == ':' || url[local.size()] == '/');
}

std::optional<HttpReply> HttpGet(const std::string& url, const HttpGetOptions& options) {
  if (!AllowedAddress(url)) {
    NetDebug("%s: refused address %s\n", options.log_name, url.c_str());
    return std::nullopt;
  }
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  std::unique_ptr<CURL, CurlDeleter> curl(ready ? curl_easy_init() : nullptr);
  if (!curl) {
    NetDebug("%s: curl_easy_init failed\n", options.log_name);
    return std::nullopt;
  }
  std::unique_ptr<curl_slist, SlistDeleter> headers;
  if (!options.accept.empty())
    headers.reset(curl_slist_append(nullptr, ("Accept: " + options.accept).c_str()));
  Transfer transfer{&options, {}, 0};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https,http");
  curl_easy_setopt(c, CURLOPT_USERAGENT, "DiscPress/" DP_VERSION_TEXT);
  if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // Name resolution 3 s plus connect 8 s; a stalled send or receive ends
  // after 5 s without a byte.
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 11000L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
  curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  if (options.abort) {
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, options.abort);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  }

  const CURLcode rc = curl_easy_perform(c);
  if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && transfer.reply.cut)) {
    NetDebug("%s: curl_easy_perform failed (error %d: %s)\n", options.log_name, static_cast<int>(rc),
             curl_easy_strerror(rc));
    return std::nullopt;
  }
  if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &transfer.reply.status) != CURLE_OK) {
    NetDebug("%s: reading the status failed\n", options.log_name);
    return std::nullopt;
  }
  return std::move(transfer.reply);
}

}  // namespace dp
