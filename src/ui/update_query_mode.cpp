#include "ui/update_query_mode.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "app/machine_id.h"
#include "app/settings.h"
#include "platform/instance_lock.h"
#include "platform/store.h"
#include "update/version_query.h"

namespace dp::ui {
namespace {

// The reference starts at the eighth character ("/check " plus one).
constexpr std::size_t kRefStart = 7;

}  // namespace

std::string CommandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::optional<int> RunUpdateQueryMode(int argc, char** argv, bool is_64bit) {
  const std::string command_line = CommandLineText(argc, argv);
  if (command_line.compare(0, 4, "/che") != 0) return std::nullopt;

  // The same lock the window takes, but the running window is left alone.
  const std::filesystem::path store_file = Store::DefaultFile();
  std::error_code ec;
  std::filesystem::create_directories(store_file.parent_path(), ec);
  InstanceLock lock(InstanceLockFile(store_file.parent_path()));
  const bool other_instance = lock.TryAcquire(kWindowHolder) == LockState::kBusy;

  Settings& settings = CurrentSettings();
  if (!other_instance) {
    if (std::unique_ptr<Store> store = Store::Open(store_file)) LlegeixRegistre(*store, settings, nullptr);
  }
  settings.machine_id = ReadMachineId();

  int answer = 0;
  if (command_line.size() > kRefStart) {
    VersionReply reply;
    answer = HTTP_Versio(is_64bit, settings.machine_id, command_line.substr(kRefStart), reply);
  }
  if (other_instance) return 69;
  return answer == -1 ? -1 : 99;
}

}  // namespace dp::ui
