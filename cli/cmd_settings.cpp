#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "app/prompter.h"
#include "app/settings.h"
#include "command.h"
#include "json_writer.h"
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
    JsonWriter w;
    w.BeginObject();
    for (const SettingInfo& info : SettingsTable()) {
      if (info.type == kRegDword) {
        w.Field(info.name, static_cast<std::int64_t>(static_cast<std::int32_t>(SettingDword(s, info))));
      } else {
        w.Field(info.name, SettingText(s, info));
      }
    }
    w.EndObject();
    std::printf("%s\n", w.str().c_str());
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

int CmdSettings(const Args& in) {
  Args args = in;
  if (args.empty()) return Usage("settings");
  const std::string verb = args[0];
  args.erase(args.begin());
  bool json = false;
  if (verb == "show") {
    json = TakeFlag(args, "--json");
    if (!args.empty()) return Usage("settings");
  } else if (verb != "set" || args.size() != 2) {
    return Usage("settings");
  }
  const bool changes = verb == "set";
  std::unique_ptr<InstanceLock> lock;
  if (changes && !(lock = LockStoreForChanges())) return kFailed;
  std::unique_ptr<Store> store = OpenUserStore(changes);
  if (!store) return kFailed;
  Settings& s = CurrentSettings();
  return verb == "show" ? Show(*store, s, json) : Set(*store, s, args[0], args[1]);
}

const RegisterCommand reg("settings",
                          "  discpress-cli settings show [--json]\n"
                          "  discpress-cli settings set NAME VALUE\n",
                          CmdSettings);
}  // namespace
}  // namespace dp::cli
