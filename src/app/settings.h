// The settings block: the user's preferences, one value each in the per-user
// store, held in memory for the whole run. Text settings live in buffers of
// the size they are read with, so a stored text that does not fit is refused
// rather than cut.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/store.h"

namespace dp {

class Prompter;

inline constexpr std::size_t kMachineIdSize = 20;
using MachineId = std::array<std::uint8_t, kMachineIdSize>;

struct Settings {
  char TempPath[260] = {};
  char OutPath[260] = {};
  // One ISO 639-2 code, or two with one separator between them ("ger/deu").
  char AudioLang[8] = {};
  char SubtitleLang[8] = {};
  std::int32_t ForcedSubtitle = 0;
  std::int32_t NoSubtitle = 0;
  std::int32_t Media = 0;        // Target Media index 0-8
  std::int32_t CustomMedia = 0;  // MB of 1000000 bytes
  char Preset[16] = {};
  char SoundPath[260] = {};
  char FontName[32] = {};
  std::int32_t FontSize = 0;
  std::uint32_t FontColor = 0;  // red in the lowest byte, then green, then blue
  std::int32_t FontBorder = 0;
  std::int32_t FontBottomOffset = 0;
  char Version[8] = {};
  std::int32_t Down16 = 0;
  std::int32_t Down6 = 0;
  std::int32_t UseFlac = 0;
  std::int32_t CRF = 0;
  std::int32_t Scrape = 0;  // 0 off, 1-5 the naming formats
  std::int32_t SaveX264Log = 0;
  std::int32_t UseX265 = 0;
  std::int32_t DivXPlusHD = 0;
  char InstallPath[260] = {};

  // Not a stored setting: read at start-up for the update query and banner.
  MachineId machine_id = {};
};

static_assert(std::is_standard_layout_v<Settings>);

// One stored setting: its value name, type, the buffer size it is read
// with, and where it lives in the block.
struct SettingInfo {
  const char* name;
  RegType type;
  std::size_t read_size;
  std::size_t offset;
};

// Every stored setting, in the order they are written.
std::span<const SettingInfo> SettingsTable();
// By value name, ignoring case as the store does; null when there is none.
const SettingInfo* FindSetting(std::string_view name);

std::string_view SettingText(const Settings& s, const SettingInfo& info);
// False (and nothing changed) when text does not fit the setting's buffer.
bool SetSettingText(Settings& s, const SettingInfo& info, std::string_view text);
std::uint32_t SettingDword(const Settings& s, const SettingInfo& info);
void SetSettingDword(Settings& s, const SettingInfo& info, std::uint32_t value);

// The stored values of the block in write order: texts with their
// terminating NUL, numbers as 4-byte DWORDs.
std::vector<RegEntry> SettingsImage(const Settings& s);

// The process-wide block.
Settings& CurrentSettings();

// Failsafe folders, used when the configured ones cannot be created.
std::string FailsafeTempFolder();
std::string FailsafeOutputFolder();

// Sets every stored setting to its default; the machine identifier stays.
void LoadDefaults(Settings& s);
// Sets both preferred languages to the system language when the locale's
// language has a three-letter code; otherwise leaves them.
void GetSystemLanguage(Settings& s);
// The three-letter code of the locale's language; empty when there is none.
std::string SystemLanguageCode();

// Start-up read: defaults for a first start or for missing values (and those
// stored at once), the folder check, the machine identifier.
void LlegeixRegistre(Store& store, Settings& s, Prompter* prompter);
// The stored values over the defaults, writing nothing: for a reader that
// must not change the store (a missing or unreadable value keeps its default).
void ReadSettingsOnly(Store& store, Settings& s);
// Stamps the running version and program path, then writes every setting in
// table order as one change. Write errors are ignored.
void EscriuRegistre(Store& store, Settings& s);
// Makes sure TempPath and OutPath exist, falling back to the failsafe
// folders (stored at once, and the user told) when one cannot be created.
void CheckFolders(Store& store, Settings& s, Prompter* prompter);

}  // namespace dp
