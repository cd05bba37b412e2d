#include "app/settings.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

RegValue Sz(std::string_view text) {
  RegValue v{kRegSz, {text.begin(), text.end()}};
  v.data.push_back(0);
  return v;
}

// HOME, TMPDIR and the store in a folder of the test's own, LANG=C.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(root_ / "home");
    fs::create_directory(root_ / "tmp");
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("LANG", "C", 1);
    store_ = Store::Open(root_ / "store.db");
    ASSERT_NE(store_, nullptr);
  }
  Settings Read() {
    Settings s;
    LlegeixRegistre(*store_, s, &prompter_);
    return s;
  }
  // A stored text as it is (NUL-terminated or not), a DWORD in decimal.
  std::string Stored(const char* name) {
    auto v = store_->Get(name);
    if (v && v->type == kRegSz && !v->data.empty())
      return std::string(v->data.begin(), v->data.end() - (v->data.back() == 0 ? 1 : 0));
    if (!v || v->type != kRegDword || v->data.size() != 4) return "<none>";
    std::uint32_t x;
    std::memcpy(&x, v->data.data(), 4);
    return std::to_string(x);
  }
  test::TempDir dir_;
  const fs::path root_ = dir_.path();
  std::unique_ptr<Store> store_;
  test::ScriptedPrompter prompter_;
};

const char* const kWriteOrder[] = {
    "TempPath",         "OutPath", "AudioLang",  "SubtitleLang", "ForcedSubtitle", "NoSubtitle", "Media",
    "CustomMedia",      "Preset",  "SoundPath",  "FontName",     "FontSize",       "FontColor",  "FontBorder",
    "FontBottomOffset", "Version", "Down16",     "Down6",        "UseFlac",        "CRF",        "Scrape",
    "SaveX264Log",      "UseX265", "DivXPlusHD", "InstallPath"};

TEST_F(SettingsTest, FirstStartStoresEveryDefaultInOrderAndFollowsTheLocale) {
  setenv("LANG", "es_ES.UTF-8", 1);
  Read();
  const std::string temp = (root_ / "tmp" / "DiscPress").string(),
                    out = (root_ / "home" / "DiscPress").string();
  const std::string sound = (ProgramDir() / "Finish.wav").string(), exe = fs::read_symlink("/proc/self/exe");
  const std::string kDefaults[] = {temp,  out,     "spa", "spa",      "1", "0",  "0",     "10000", "medium",
                                   sound, "Arial", "65",  "16777215", "2", "24", "3.3.0", "0",     "0",
                                   "0",   "20",    "1",   "0",        "0", "0",  exe};
  static_assert(std::size(kDefaults) == std::size(kWriteOrder));
  const std::vector<RegEntry> listed = store_->List();
  EXPECT_EQ(listed.size(), std::size(kWriteOrder));
  for (std::size_t i = 0; i < std::size(kWriteOrder); ++i)
    EXPECT_EQ(Stored(kWriteOrder[i]), kDefaults[i]) << kWriteOrder[i];
  EXPECT_TRUE(fs::is_directory(temp) && fs::is_directory(out));
  EXPECT_TRUE(prompter_.asked.empty());

  // The image is in table order; a text ends with its NUL.
  Settings s = Read();
  const std::vector<RegEntry> image = SettingsImage(s);
  ASSERT_EQ(image.size(), std::size(kWriteOrder));
  for (std::size_t i = 0; i < image.size(); ++i) EXPECT_EQ(image[i].name, kWriteOrder[i]) << i;
  EXPECT_EQ(image[8].value.data, (std::vector<std::uint8_t>{'m', 'e', 'd', 'i', 'u', 'm', 0}));
}

// One value planted over a stored default: what the next start reads, and
// what the store holds after it (a missing or mistyped value is stored
// again; a text too long for its buffer is a read error, but nothing was
// missing, so nothing is rewritten).
TEST_F(SettingsTest, MissingOrDamagedValuesReadTheirDefault) {
  const std::uint8_t eight[8] = {3, 0, 0, 0, 0, 0, 0, 0};
  const std::string temp = (root_ / "tmp" / "DiscPress").string();
  // clang-format off
  const struct { const char *lang, *name; std::optional<RegValue> planted /* none: deleted */; std::string read, stored; } kCases[] = {
      {"C", "Media", RegValue{kRegDword, {7, 0, 0, 0}}, "7", "7"},
      {"C", "CRF", std::nullopt, "20", "20"},
      {"C", "FontName", std::nullopt, "Arial", "Arial"},
      {"es_ES.UTF-8", "SubtitleLang", std::nullopt, "spa", "spa"},
      {"C", "CRF", RegValue{kRegSz, {'1', '8', 0}}, "20", "20"},
      {"C", "Scrape", RegValue{kRegDword, {eight, eight + 8}}, "1", "1"},
      {"C", "TempPath", RegValue{kRegDword, {1, 0, 0, 0}}, temp, temp},
      {"C", "Preset", Sz("veryveryslowslow"), "medium", "veryveryslowslow"},  // 16 + NUL > 16
      {"C", "Preset", Sz("123456789012345"), "123456789012345", "123456789012345"},
      {"C", "AudioLang", RegValue{kRegSz, {'g', 'e', 'r', '/', 'd', 'e', 'u', 'x'}}, "eng", "ger/deux"},
      // An older version is read as it is and rewritten at the next write.
      {"C", "Version", Sz("3.1.2"), "3.1.2", "3.1.2"},
  };
  // clang-format on
  for (const auto& c : kCases) {
    setenv("LANG", "C", 1);
    Read();
    store_->SetSz("AudioLang", "jpn");
    setenv("LANG", c.lang, 1);
    if (c.planted)
      store_->Set(c.name, *c.planted);
    else
      store_->Delete(c.name);
    const Settings s = Read();
    const SettingInfo& info = *FindSetting(c.name);
    const std::string read =
        info.type == kRegSz ? std::string(SettingText(s, info)) : std::to_string(SettingDword(s, info));
    EXPECT_EQ(read, c.read) << c.name;
    EXPECT_EQ(Stored(c.name), c.stored) << c.name;
    if (std::string_view(c.name) != "AudioLang") {
      EXPECT_STREQ(s.AudioLang, "jpn") << c.name;
    }
  }
  store_->SetSz("InstallPath", "/opt/old/DiscPress");
  Settings s = Read();
  EscriuRegistre(*store_, s);
  EXPECT_EQ(Stored("Version"), "3.3.0");
  EXPECT_EQ(Stored("InstallPath"), ProgramPath().string());
}

// A folder whose parent is missing, or a file where the folder should be.
TEST_F(SettingsTest, FoldersThatCannotBeCreatedFallBackWithAWarning) {
  Read();
  const std::string file = (root_ / "a-file").string(), bad_out = (root_ / "absent" / "out").string();
  const std::string failsafe_temp = (root_ / "home" / "DiscPress Temp").string();
  const std::string failsafe_out = (root_ / "home" / "DiscPress Output").string();
  auto warning = [](const char* which, const std::string& bad, const std::string& failsafe) {
    return "DiscPress|WARNING: Configured " + std::string(which) + " folder '" + bad +
           "' not found. Resetting to failsafe value '" + failsafe +
           "'.\n\nYou can change this in 'Options > Settings...' menu.";
  };
  std::ofstream(file) << "x";
  store_->SetSz("TempPath", file);
  store_->SetSz("OutPath", bad_out);
  const Settings s = Read();
  EXPECT_EQ(FieldText(s.TempPath), failsafe_temp);
  EXPECT_EQ(Stored("TempPath"), failsafe_temp);
  EXPECT_EQ(Stored("OutPath"), failsafe_out);
  EXPECT_TRUE(fs::is_directory(failsafe_temp) && fs::is_directory(failsafe_out));
  EXPECT_FALSE(fs::exists(root_ / "absent"));  // only the last level is ever created
  EXPECT_EQ(prompter_.asked, (std::vector<std::string>{warning("TEMP", file, failsafe_temp),
                                                       warning("OUTPUT", bad_out, failsafe_out)}));
}

// One value the store refuses (here a trigger stands for a disk that fills
// up half-way) leaves the whole stored block as it was.
TEST_F(SettingsTest, TheBlockIsWrittenWholeOrNotAtAll) {
  Settings s = Read();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root_ / "store.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TRIGGER refuse BEFORE UPDATE ON reg_values WHEN new.name = 'Scrape'"
                         " BEGIN SELECT RAISE(ABORT, 'full'); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  s.CRF = 18;    // written before Scrape
  s.Scrape = 3;  // refused
  EscriuRegistre(*store_, s);
  EXPECT_EQ(Stored("CRF"), "20");
  EXPECT_EQ(Stored("Scrape"), "1");
  EXPECT_TRUE(store_->write_failed());
}

}  // namespace
}  // namespace dp
