#include "update/installer_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>

#include "net/http_get.h"
#include "util/text.h"

namespace dp {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool HasSize(const std::filesystem::path& file, std::int64_t size) {
  std::error_code ec;
  const auto actual = std::filesystem::file_size(file, ec);
  return !ec && static_cast<std::int64_t>(actual) == size;
}

// An installer left by an earlier start is opened only when nobody else
// could have put it there or changed it: the temporary folder is shared.
bool OursAlone(const std::filesystem::path& file) {
  struct stat st {};
  return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A new file of our own for the download; never one that is there already,
// nor through a link someone left at its name.
std::FILE* CreateOwnFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
}

}  // namespace

std::filesystem::path UpdateTempFolder() {
  const char* env = std::getenv("TMPDIR");
  return env && *env ? env : "/tmp";
}

int HTTP_Download(const std::string& address, const std::string& size_text, std::string& installer_name,
                  const std::atomic<bool>* abort) {
  const std::size_t scheme_end = address.find("//");
  if (scheme_end == std::string::npos) return -1;
  const std::size_t path_start = address.find('/', scheme_end + 2);
  if (path_start == std::string::npos) return -1;
  const std::string name = address.substr(address.rfind('/') + 1);
  if (name.empty() || name == "." || name == "..") return -1;
  if (!AllowedAddress(address)) {
    NetDebug("Update: refused download address %s\n", address.c_str());
    return -1;
  }
  // Nothing to install in an empty file.
  const std::int64_t expected = LeadingInt64(size_text);
  if (expected <= 0) return -1;

  const std::filesystem::path local = UpdateTempFolder() / name;
  if (!HasSize(local, expected) || !OursAlone(local)) {
    std::filesystem::path part = local;
    part += ".part";
    std::unique_ptr<std::FILE, FileCloser> out(CreateOwnFile(part));
    if (!out) return -1;
    HttpGetOptions options;
    // A body past the announced size is wrong already: stop receiving it.
    options.body_cap = static_cast<std::size_t>(expected) + 2;
    options.sink = [&out](std::string_view data) {
      return std::fwrite(data.data(), 1, data.size(), out.get()) == data.size();
    };
    options.abort = abort;
    options.log_name = "Update";
    const std::optional<HttpReply> reply = HttpGet(address, options);
    const bool written = std::fclose(out.release()) == 0;
    std::error_code ec;
    if (!reply || reply->status != 200 || !written || !HasSize(part, expected)) {
      std::filesystem::remove(part, ec);
      return -1;
    }
    std::filesystem::rename(part, local, ec);
    if (ec) {
      std::filesystem::remove(part, ec);
      return -1;
    }
  }
  installer_name = name;
  return 0;
}

}  // namespace dp
