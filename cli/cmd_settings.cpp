#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "app/prompter.h"
#include "app/settings.h"
#include "args.h"
#include "command.h"
#include "json_text.h"
#include "platform/store.h"
#include "store_access.h"
#include "util/text.h"

namespace dp::cli {
namespace {

// The CLI has no one to ask: notices go to stderr and count as read.
class StderrPrompter : public Prompter {
 public:
  Answer Ask(std::string_view title, std::string_view text, Buttons) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(text.size()), text.data());
    return Answer::kOk;
  }
};

int Show(Store& store, Settings& s, bool json) {
  StderrPrompter prompter;
  LlegeixRegistre(store, s, &prompter);
  if (json) {
    Json all = Json::object();
    for (const SettingInfo& info : SettingsTable()) {
      if (info.type == kRegDword)
        all[info.name] = static_cast<std::int32_t>(SettingDword(s, info));
      else
        all[info.name] = std::string(SettingText(s, info));
    }
    std::printf("%s\n", JsonText(all).c_str());
    return kOk;
  }
  for (const SettingInfo& info : SettingsTable()) {
    if (info.type == kRegDword) {
      std::printf("%s\t%d\n", info.name, static_cast<std::int32_t>(SettingDword(s, info)));
    } else {
      const std::string_view text = SettingText(s, info);
      std::printf("%s\t%.*s\n", info.name, static_cast<int>(text.size()), text.data());
    }
  }
  return kOk;
}

int Set(Store& store, Settings& s, const std::string& name, const std::string& value) {
  const SettingInfo* info = FindSetting(name);
  if (!info) return Fail(kUsage, "no setting named '" + name + "'");
  if (IEquals(info->name, "Version") || IEquals(info->name, "InstallPath"))
    return Fail(kUsage, std::string(info->name) + " is written by the program itself on every save");
  StderrPrompter prompter;
  LlegeixRegistre(store, s, &prompter);
  if (info->type == kRegDword) {
    long long number = 0;
    // A DWORD holds any 32-bit pattern: negative numbers as the program
    // reads them, or unsigned ones up to 4294967295.
    if (!ParseInt(value, number) || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(kUsage, std::string(info->name) + " takes a whole number");
    }
    SetSettingDword(s, *info, static_cast<std::uint32_t>(number));
  } else if (!SetSettingText(s, *info, value)) {
    return Fail(kUsage, Format("%s takes at most %zu bytes", info->name, info->read_size - 1));
  }
  EscriuRegistre(store, s);
  return StoreWriteFailed() ? kFailed : kOk;
}

struct Input {
  bool json = false;
  std::string name, value;
};

// Opens the store (under the lock for a change) and runs verb on it with the
// program's settings.
void OnSettings(CLI::App& command, bool changes, std::function<int(Store&, Settings&)> verb) {
  OnRun(command, [changes, verb = std::move(verb)] {
    std::unique_ptr<InstanceLock> lock;
    if (changes && !(lock = LockStoreForChanges())) return int{kFailed};
    std::unique_ptr<Store> store = OpenUserStore(changes);
    if (!store) return int{kFailed};
    return verb(*store, CurrentSettings());
  });
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  CLI::App* show = group.add_subcommand("show", "every setting, as the program reads them at start-up");
  show->add_flag("--json", in->json, "one JSON object");
  CLI::App* set = group.add_subcommand("set", "change one setting and save the settings");
  set->add_option("NAME", in->name)->required();
  set->add_option("VALUE", in->value)->required();
  OnSettings(*show, false, [in](Store& store, Settings& s) { return Show(store, s, in->json); });
  OnSettings(*set, true, [in](Store& store, Settings& s) { return Set(store, s, in->name, in->value); });
}

const RegisterCommand reg("settings", "the program's settings", Setup);

}  // namespace
}  // namespace dp::cli
