// The version query to the update service: is there a newer DiscPress, and
// where is its installer?
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "app/settings.h"

namespace dp {

// The three "|"-separated fields of a reply announcing a newer version, each
// kept to the size of the buffer it is read into.
struct VersionReply {
  std::string new_version;       // at most 15 characters
  std::string download_address;  // at most 255
  std::string size_text;         // at most 15
};

// DISCPRESS_UPDATE_URL, else the address chosen at build time, without
// trailing '/'; empty means no query is made.
std::string UpdateBaseAddress();

// "/DiscPress/versio.cgi?ver=...&modo=32|64&id=<bytes 4-19 in hex>[&ref=...]",
// the reference percent-encoded.
std::string VersionQueryPath(bool is_64bit, const MachineId& id, const std::optional<std::string>& ref);

// What a reply body means: 1 for "OK"; with a reference -1 for "NG"; else 0,
// and without a reference the fields are copied into out.
int ReadVersionReply(const std::string& body, bool with_ref, VersionReply& out);

// `HTTP_Versio`: asks the service; 0 also when there is no service, no
// answer or one that is not 2 to 260 bytes long.
int HTTP_Versio(bool is_64bit, const MachineId& id, const std::optional<std::string>& ref, VersionReply& out,
                const std::atomic<bool>* abort = nullptr);

}  // namespace dp
