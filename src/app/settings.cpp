#include "app/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/machine_id.h"
#include "app/prompter.h"
#include "app/version.h"
#include "lang/iso639.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "util/text.h"

namespace dp {

namespace fs = std::filesystem;

namespace {

// The offsetof table keeps one list of settings for reading, writing, the
// CLI and the defaults; the buffer size of a text setting is its read size.
#define DP_TEXT_SETTING(field) \
  { #field, kRegSz, sizeof(Settings::field), offsetof(Settings, field) }
#define DP_DWORD_SETTING(field) \
  { #field, kRegDword, sizeof(Settings::field), offsetof(Settings, field) }

constexpr SettingInfo kTable[] = {
    DP_TEXT_SETTING(TempPath),
    DP_TEXT_SETTING(OutPath),
    DP_TEXT_SETTING(AudioLang),
    DP_TEXT_SETTING(SubtitleLang),
    DP_DWORD_SETTING(ForcedSubtitle),
    DP_DWORD_SETTING(NoSubtitle),
    DP_DWORD_SETTING(Media),
    DP_DWORD_SETTING(CustomMedia),
    DP_TEXT_SETTING(Preset),
    DP_TEXT_SETTING(SoundPath),
    DP_TEXT_SETTING(FontName),
    DP_DWORD_SETTING(FontSize),
    DP_DWORD_SETTING(FontColor),
    DP_DWORD_SETTING(FontBorder),
    DP_DWORD_SETTING(FontBottomOffset),
    DP_TEXT_SETTING(Version),
    DP_DWORD_SETTING(Down16),
    DP_DWORD_SETTING(Down6),
    DP_DWORD_SETTING(UseFlac),
    DP_DWORD_SETTING(CRF),
    DP_DWORD_SETTING(Scrape),
    DP_DWORD_SETTING(SaveX264Log),
    DP_DWORD_SETTING(UseX265),
    DP_DWORD_SETTING(DivXPlusHD),
    DP_TEXT_SETTING(InstallPath),
};

#undef DP_TEXT_SETTING
#undef DP_DWORD_SETTING

constexpr bool DwordsAreFourBytes() {
  for (const SettingInfo& info : kTable)
    if (info.type == kRegDword && info.read_size != 4) return false;
  return true;
}
static_assert(DwordsAreFourBytes());
static_assert(sizeof(kTable) / sizeof(kTable[0]) == 25);

char* TextField(Settings& s, const SettingInfo& info) { return reinterpret_cast<char*>(&s) + info.offset; }
const char* TextField(const Settings& s, const SettingInfo& info) {
  return reinterpret_cast<const char*>(&s) + info.offset;
}

bool IsLanguageSetting(const SettingInfo& info) {
  return std::strcmp(info.name, "AudioLang") == 0 || std::strcmp(info.name, "SubtitleLang") == 0;
}

enum class ReadOutcome { kRead, kMissing, kUnreadable };

// A value of the wrong type, or a DWORD of the wrong size, is not the
// setting at all and counts as missing. A text too long for its buffer
// (with its NUL) is a failed read, as a registry read into that buffer is.
ReadOutcome ReadSetting(Store& store, const SettingInfo& info, Settings& s) {
  RegValue value;
  const ReadResult result = store.Read(info.name, info.read_size, value);
  if (result == ReadResult::kMissing) return ReadOutcome::kMissing;
  if (info.type == kRegDword) {
    if (result != ReadResult::kOk || value.type != kRegDword || value.data.size() != 4)
      return ReadOutcome::kMissing;
    std::uint32_t v = 0;
    std::memcpy(&v, value.data.data(), 4);
    SetSettingDword(s, info, v);
    return ReadOutcome::kRead;
  }
  if (result == ReadResult::kTooLarge) return ReadOutcome::kUnreadable;
  if (value.type != kRegSz) return ReadOutcome::kMissing;
  const std::string_view text =
      value.data.empty() ? std::string_view()
                         : FieldText(reinterpret_cast<const char*>(value.data.data()), value.data.size());
  return SetSettingText(s, info, text) ? ReadOutcome::kRead : ReadOutcome::kUnreadable;
}

void CopyDefault(const SettingInfo& info, const Settings& defaults, Settings& s) {
  if (info.type == kRegDword) {
    SetSettingDword(s, info, SettingDword(defaults, info));
  } else {
    SetSettingText(s, info, SettingText(defaults, info));
  }
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates only the last level of the path, as the folder check always has.
bool MakeDir(const std::string& path) {
  if (path.empty()) return false;
  if (mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

void CheckFolder(Store& store, Settings& s, char* field, std::size_t cap, const std::string& failsafe,
                 const char* warning, Prompter* prompter) {
  const std::string configured(FieldText(field, cap));
  if (IsDirectory(configured) || MakeDir(configured)) return;
  CopyText(field, cap, failsafe);
  MakeDir(failsafe);
  EscriuRegistre(store, s);
  if (prompter)
    prompter->Ask(program_name, Format(warning, configured.c_str(), failsafe.c_str()), Buttons::kOk);
}

}  // namespace

std::span<const SettingInfo> SettingsTable() { return kTable; }

const SettingInfo* FindSetting(std::string_view name) {
  for (const SettingInfo& info : kTable)
    if (IEquals(info.name, name)) return &info;
  return nullptr;
}

std::string_view SettingText(const Settings& s, const SettingInfo& info) {
  return FieldText(TextField(s, info), info.read_size);
}

bool SetSettingText(Settings& s, const SettingInfo& info, std::string_view text) {
  if (text.size() >= info.read_size || text.find('\0') != std::string_view::npos) return false;
  CopyText(TextField(s, info), info.read_size, text);
  return true;
}

std::uint32_t SettingDword(const Settings& s, const SettingInfo& info) {
  std::uint32_t v = 0;
  std::memcpy(&v, reinterpret_cast<const char*>(&s) + info.offset, 4);
  return v;
}

void SetSettingDword(Settings& s, const SettingInfo& info, std::uint32_t value) {
  std::memcpy(reinterpret_cast<char*>(&s) + info.offset, &value, 4);
}

std::vector<RegEntry> SettingsImage(const Settings& s) {
  std::vector<RegEntry> image;
  image.reserve(std::size(kTable));
  for (const SettingInfo& info : kTable) {
    RegEntry entry{info.name, {info.type, {}}};
    if (info.type == kRegDword) {
      const std::uint32_t v = SettingDword(s, info);
      entry.value.data.resize(4);
      std::memcpy(entry.value.data.data(), &v, 4);
    } else {
      const std::string_view text = SettingText(s, info);
      entry.value.data.assign(text.begin(), text.end());
      entry.value.data.push_back(0);
    }
    image.push_back(std::move(entry));
  }
  return image;
}

Settings& CurrentSettings() {
  static Settings settings;
  return settings;
}

std::string FailsafeTempFolder() { return (HomeDir() / "DiscPress Temp").string(); }
std::string FailsafeOutputFolder() { return (HomeDir() / "DiscPress Output").string(); }

void LoadDefaults(Settings& s) {
  CopyText(s.TempPath, (TempDir() / program_name).string());
  CopyText(s.OutPath, (HomeDir() / program_name).string());
  CopyText(s.AudioLang, "eng");
  CopyText(s.SubtitleLang, "eng");
  s.ForcedSubtitle = 1;
  s.NoSubtitle = 0;
  s.Media = 0;
  s.CustomMedia = 10000;
  CopyText(s.Preset, "medium");
  CopyText(s.SoundPath, (ProgramDir() / "Finish.wav").string());
  CopyText(s.FontName, "Arial");
  s.FontSize = 65;
  s.FontColor = 0xFFFFFF;
  s.FontBorder = 2;
  s.FontBottomOffset = 24;
  CopyText(s.Version, program_version);
  s.Down16 = 0;
  s.Down6 = 0;
  s.UseFlac = 0;
  s.CRF = 20;
  s.Scrape = 1;
  s.SaveX264Log = 0;
  s.UseX265 = 0;
  s.DivXPlusHD = 0;
  CopyText(s.InstallPath, ProgramPath().string());
}

std::string SystemLanguageCode() {
  // Only the language part before the territory, codeset or modifier
  // counts, and only a two-letter one maps: "fil_PH" is not Finnish. "C",
  // "C.UTF-8" and "POSIX" name no language and so give nothing.
  const std::string locale = SystemLocaleName();
  const std::string_view language = std::string_view(locale).substr(0, locale.find_first_of("_.@-"));
  if (language.size() != 2) return {};
  return std::string(Alpha3Of(language));
}

void GetSystemLanguage(Settings& s) {
  const std::string code = SystemLanguageCode();
  if (code.empty()) return;
  CopyText(s.AudioLang, code);
  CopyText(s.SubtitleLang, code);
}

void LlegeixRegistre(Store& store, Settings& s, Prompter* prompter) {
  // A value that cannot be read keeps what the block held, so start from the
  // defaults rather than from whatever was there.
  LoadDefaults(s);
  if (!store.KeyExists()) {
    GetSystemLanguage(s);
    EscriuRegistre(store, s);
  } else {
    Settings defaults;
    LoadDefaults(defaults);
    const std::string system_language = SystemLanguageCode();
    bool any_missing = false;
    for (const SettingInfo& info : kTable) {
      if (ReadSetting(store, info, s) != ReadOutcome::kMissing) continue;
      any_missing = true;
      CopyDefault(info, defaults, s);
      // A missing language follows the system language, and only that one:
      // a stored preference for the other kind is the user's and stays.
      if (IsLanguageSetting(info) && !system_language.empty()) SetSettingText(s, info, system_language);
    }
    if (any_missing) EscriuRegistre(store, s);
  }
  CheckFolders(store, s, prompter);
  s.machine_id = ReadMachineId();
}

void ReadSettingsOnly(Store& store, Settings& s) {
  LoadDefaults(s);
  Settings defaults;
  LoadDefaults(defaults);
  for (const SettingInfo& info : kTable)
    if (ReadSetting(store, info, s) != ReadOutcome::kRead) CopyDefault(info, defaults, s);
}

void EscriuRegistre(Store& store, Settings& s) {
  CopyText(s.Version, program_version);
  CopyText(s.InstallPath, ProgramPath().string());
  const std::vector<RegEntry> image = SettingsImage(s);
  // The block lands whole or not at all; a refused write is told to the user
  // by the store itself.
  store.Transaction([&] {
    for (const RegEntry& entry : image)
      if (Status set = store.Set(entry.name, entry.value); !set) return set;
    return Status();
  });
}

void CheckFolders(Store& store, Settings& s, Prompter* prompter) {
  CheckFolder(store, s, s.TempPath, sizeof s.TempPath, FailsafeTempFolder(),
              "WARNING: Configured TEMP folder '%s' not found. Resetting to failsafe value '%s'.\n\n"
              "You can change this in 'Options > Settings...' menu.",
              prompter);
  CheckFolder(store, s, s.OutPath, sizeof s.OutPath, FailsafeOutputFolder(),
              "WARNING: Configured OUTPUT folder '%s' not found. Resetting to failsafe value '%s'.\n\n"
              "You can change this in 'Options > Settings...' menu.",
              prompter);
}

}  // namespace dp
