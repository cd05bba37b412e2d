#include "update/version_query.h"

#include <cstdlib>

#include "app/version.h"
#include "net/http_get.h"
#include "util/text.h"

#ifndef DP_UPDATE_URL
#define DP_UPDATE_URL ""
#endif

namespace dp {
namespace {

constexpr std::size_t kMinReply = 2;
constexpr std::size_t kMaxReply = 260;

std::string PercentEncode(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~')
      out += c;
    else
      out += Format("%%%02X", u);
  }
  return out;
}

std::string Field(std::string_view text, std::size_t cap) { return std::string(text.substr(0, cap - 1)); }

}  // namespace

std::string UpdateBaseAddress() {
  const char* env = std::getenv("DISCPRESS_UPDATE_URL");
  std::string base = env && *env ? env : DP_UPDATE_URL;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string VersionQueryPath(bool is_64bit, const MachineId& id, const std::optional<std::string>& ref) {
  std::string path = Format("/DiscPress/versio.cgi?ver=%s&modo=%d&id=", program_version, is_64bit ? 64 : 32);
  for (std::size_t i = 4; i < 20; ++i) path += Format("%02X", id[i]);
  if (ref) path += "&ref=" + PercentEncode(*ref);
  return path;
}

int ReadVersionReply(const std::string& body, bool with_ref, VersionReply& out) {
  if (body == "OK") return 1;
  if (with_ref) return body == "NG" ? -1 : 0;
  const std::size_t a = body.find('|');
  const std::size_t b = a == std::string::npos ? a : body.find('|', a + 1);
  const std::size_t c = b == std::string::npos ? b : body.find('|', b + 1);
  out.new_version = Field(std::string_view(body).substr(0, a), 16);
  if (a != std::string::npos)
    out.download_address = Field(std::string_view(body).substr(a + 1, b - a - 1), 256);
  if (b != std::string::npos) out.size_text = Field(std::string_view(body).substr(b + 1, c - b - 1), 16);
  return 0;
}

int HTTP_Versio(bool is_64bit, const MachineId& id, const std::optional<std::string>& ref, VersionReply& out,
                const std::atomic<bool>* abort) {
  const std::string base = UpdateBaseAddress();
  if (base.empty()) return 0;
  HttpGetOptions options;
  options.body_cap = kMaxReply + 2;  // one byte too many is still seen, and refused
  options.abort = abort;
  options.log_name = "Update";
  const std::optional<HttpReply> reply = HttpGet(base + VersionQueryPath(is_64bit, id, ref), options);
  if (!reply || reply->status != 200 || reply->cut) return 0;
  if (reply->body.size() < kMinReply || reply->body.size() > kMaxReply) return 0;
  return ReadVersionReply(reply->body, ref.has_value(), out);
}

}  // namespace dp
