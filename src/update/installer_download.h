// Fetching the announced installer into the user's temporary folder.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

namespace dp {

// $TMPDIR, or /tmp when it is not set.
std::filesystem::path UpdateTempFolder();

// `HTTP_Download`: 0 when the installer named by the address's last path
// part is complete (expected_size bytes) in the temporary folder, fetched now
// or left by an earlier run; its file name then goes into installer_name.
// -1 otherwise: a refused address (https only, http:// only to 127.0.0.1), no
// file name, a failed transfer or a wrong size (the partial file is removed).
int HTTP_Download(const std::string& address, const std::string& size_text, std::string& installer_name,
                  const std::atomic<bool>* abort = nullptr);

}  // namespace dp
