#include "app/settings.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/machine_id.h"
#include "app/prompter.h"
#include "app/settings_ui.h"
#include "platform/paths.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

struct Shown {
  std::string title;
  std::string text;
};

class RecordingPrompter : public Prompter {
 public:
  Answer Ask(std::string_view title, std::string_view text, Buttons) override {
    shown.push_back({std::string(title), std::string(text)});
    return Answer::kOk;
  }
  std::vector<Shown> shown;
};

// Every test runs with HOME, TMPDIR and the locale pointed at a folder of its
// own, and a store file in it.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dp_settings_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    for (const char* name : {"HOME", "TMPDIR", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* v = getenv(name);
      if (v) saved_env_[name] = v;
    }
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

  void TearDown() override {
    store_.reset();
    for (const char* name : {"HOME", "TMPDIR", "LC_ALL", "LC_MESSAGES", "LANG"}) {
      auto it = saved_env_.find(name);
      if (it != saved_env_.end()) {
        setenv(name, it->second.c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  Settings Read() {
    Settings s;
    LlegeixRegistre(*store_, s, &prompter_);
    return s;
  }

  std::string StoredText(const char* name) {
    auto v = store_->Get(name);
    if (!v || v->type != kRegSz || v->data.empty() || v->data.back() != 0) return "<not a text>";
    return std::string(reinterpret_cast<const char*>(v->data.data()));
  }

  long long StoredDword(const char* name) {
    auto v = store_->Get(name);
    if (!v || v->type != kRegDword || v->data.size() != 4) return -1;
    std::uint32_t x;
    std::memcpy(&x, v->data.data(), 4);
    return x;
  }

  fs::path root_;
  std::map<std::string, std::string> saved_env_;
  std::unique_ptr<Store> store_;
  RecordingPrompter prompter_;
};

const char* const kWriteOrder[] = {
    "TempPath",         "OutPath", "AudioLang",  "SubtitleLang", "ForcedSubtitle", "NoSubtitle", "Media",
    "CustomMedia",      "Preset",  "SoundPath",  "FontName",     "FontSize",       "FontColor",  "FontBorder",
    "FontBottomOffset", "Version", "Down16",     "Down6",        "UseFlac",        "CRF",        "Scrape",
    "SaveX264Log",      "UseX265", "DivXPlusHD", "InstallPath"};

TEST_F(SettingsTest, FirstStartStoresEveryDefaultAndFollowsTheLocale) {
  setenv("LANG", "es_ES.UTF-8", 1);
  const Settings s = Read();

  EXPECT_EQ(store_->List().size(), std::size(kWriteOrder));
  EXPECT_EQ(StoredText("TempPath"), (root_ / "tmp" / "DiscPress").string());
  EXPECT_EQ(StoredText("OutPath"), (root_ / "home" / "DiscPress").string());
  EXPECT_TRUE(fs::is_directory(root_ / "tmp" / "DiscPress"));
  EXPECT_TRUE(fs::is_directory(root_ / "home" / "DiscPress"));
  EXPECT_EQ(StoredText("AudioLang"), "spa");
  EXPECT_EQ(StoredText("SubtitleLang"), "spa");
  EXPECT_EQ(StoredDword("ForcedSubtitle"), 1);
  EXPECT_EQ(StoredDword("NoSubtitle"), 0);
  EXPECT_EQ(StoredDword("Media"), 0);
  EXPECT_EQ(StoredDword("CustomMedia"), 10000);
  EXPECT_EQ(StoredText("Preset"), "medium");
  EXPECT_EQ(StoredText("SoundPath"), (ProgramDir() / "Finish.wav").string());
  EXPECT_EQ(StoredText("FontName"), "Arial");
  EXPECT_EQ(StoredDword("FontSize"), 65);
  EXPECT_EQ(StoredDword("FontColor"), 0xFFFFFF);
  EXPECT_EQ(StoredDword("FontBorder"), 2);
  EXPECT_EQ(StoredDword("FontBottomOffset"), 24);
  EXPECT_EQ(StoredText("Version"), "3.3.0");
  EXPECT_EQ(StoredDword("CRF"), 20);
  EXPECT_EQ(StoredDword("Scrape"), 1);
  for (const char* off : {"Down16", "Down6", "UseFlac", "SaveX264Log", "UseX265", "DivXPlusHD"})
    EXPECT_EQ(StoredDword(off), 0) << off;
  EXPECT_EQ(StoredText("InstallPath"), fs::read_symlink("/proc/self/exe").string());
  EXPECT_STREQ(s.AudioLang, "spa");
  EXPECT_STREQ(s.SubtitleLang, "spa");
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(SettingsTest, FirstStartWithoutAMappedLanguageKeepsEnglish) {
  setenv("LANG", "C.UTF-8", 1);
  const Settings s = Read();
  EXPECT_STREQ(s.AudioLang, "eng");
  EXPECT_EQ(StoredText("SubtitleLang"), "eng");
}

TEST_F(SettingsTest, SystemLanguageComesFromTheFirstSetLocaleVariable) {
  struct Case {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "fr_FR", "it_IT", "deu"}, {"", "pt_BR.UTF-8", "it_IT", "por"},
      {nullptr, nullptr, "hy_AM", "arm"},       {nullptr, nullptr, "nl", "nld"},
      {nullptr, nullptr, "sr_RS@latin", "srp"}, {"C", nullptr, "fr_FR", ""},
      {"POSIX", nullptr, "fr_FR", ""},          {nullptr, nullptr, "fil_PH", ""},  // not Finnish
      {nullptr, nullptr, "EN_US", ""},          {nullptr, nullptr, nullptr, ""},
  };
  for (const Case& c : cases) {
    auto set = [](const char* name, const char* v) { v ? setenv(name, v, 1) : unsetenv(name); };
    set("LC_ALL", c.lc_all);
    set("LC_MESSAGES", c.lc_messages);
    set("LANG", c.lang);
    Settings s;
    CopyText(s.AudioLang, "ger/deu");
    CopyText(s.SubtitleLang, "jpn");
    GetSystemLanguage(s);
    const bool mapped = *c.expected != '\0';
    EXPECT_STREQ(s.AudioLang, mapped ? c.expected : "ger/deu") << (c.lang ? c.lang : "-");
    EXPECT_STREQ(s.SubtitleLang, mapped ? c.expected : "jpn") << (c.lang ? c.lang : "-");
  }
}

TEST_F(SettingsTest, MissingValuesGetDefaultsAndAreStored) {
  Read();
  store_->SetDword("Media", 7);
  store_->SetSz("Preset", "slower");
  store_->Delete("CRF");
  store_->Delete("FontName");

  const Settings s = Read();
  EXPECT_EQ(s.Media, 7);
  EXPECT_STREQ(s.Preset, "slower");
  EXPECT_EQ(s.CRF, 20);
  EXPECT_STREQ(s.FontName, "Arial");
  EXPECT_EQ(StoredDword("CRF"), 20);
  EXPECT_EQ(StoredText("FontName"), "Arial");
  EXPECT_EQ(StoredDword("Media"), 7);
}

TEST_F(SettingsTest, AMissingLanguageFollowsTheSystemAndLeavesTheOtherOne) {
  setenv("LANG", "es_ES.UTF-8", 1);
  Read();
  store_->SetSz("AudioLang", "jpn");
  store_->Delete("SubtitleLang");
  Settings s = Read();
  EXPECT_STREQ(s.AudioLang, "jpn");
  EXPECT_STREQ(s.SubtitleLang, "spa");
  EXPECT_EQ(StoredText("AudioLang"), "jpn");

  store_->Delete("AudioLang");
  store_->SetSz("SubtitleLang", "fre/fra");
  s = Read();
  EXPECT_STREQ(s.AudioLang, "spa");
  EXPECT_STREQ(s.SubtitleLang, "fre/fra");

  setenv("LANG", "C", 1);
  store_->Delete("AudioLang");
  s = Read();
  EXPECT_STREQ(s.AudioLang, "eng");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeOrSizeGetTheirDefaultStored) {
  Read();
  store_->SetSz("CRF", "18");
  const std::uint8_t eight[8] = {3, 0, 0, 0, 0, 0, 0, 0};
  store_->Set("Scrape", RegValue{kRegDword, {eight, eight + 8}});
  store_->Set("FontSize", RegValue{kRegDword, {40, 0}});
  store_->SetBinary("Media", "\x05\x00\x00\x00", 4);
  store_->SetDword("TempPath", 1);

  const Settings s = Read();
  EXPECT_EQ(s.CRF, 20);
  EXPECT_EQ(s.Scrape, 1);
  EXPECT_EQ(s.FontSize, 65);
  EXPECT_EQ(s.Media, 0);
  EXPECT_EQ(FieldText(s.TempPath), (root_ / "tmp" / "DiscPress").string());
  EXPECT_EQ(StoredDword("CRF"), 20);
  EXPECT_EQ(StoredDword("Scrape"), 1);
  EXPECT_EQ(StoredDword("FontSize"), 65);
  EXPECT_EQ(StoredDword("Media"), 0);
  EXPECT_EQ(StoredText("TempPath"), (root_ / "tmp" / "DiscPress").string());
}

TEST_F(SettingsTest, TextsTooLongForTheirBufferAreReadErrors) {
  Read();
  store_->SetSz("Preset", "veryveryslowslow");  // 16 characters + NUL > 16
  store_->SetSz("FontName", "Some Font");
  store_->Set("AudioLang",
              RegValue{kRegSz, {'g', 'e', 'r', '/', 'd', 'e', 'u', 'x'}});  // no room for the NUL

  Settings s = Read();
  EXPECT_STREQ(s.Preset, "medium");
  EXPECT_STREQ(s.FontName, "Some Font");
  EXPECT_STREQ(s.AudioLang, "eng");
  // Nothing was missing, so nothing was rewritten.
  EXPECT_EQ(StoredText("Preset"), "veryveryslowslow");

  store_->SetSz("Preset", "123456789012345");  // exactly fills the buffer
  store_->SetSz("AudioLang", "ger/deu");
  s = Read();
  EXPECT_STREQ(s.Preset, "123456789012345");
  EXPECT_STREQ(s.AudioLang, "ger/deu");
}

TEST_F(SettingsTest, FoldersThatCannotBeCreatedFallBackWithAWarning) {
  Read();
  const std::string bad_temp = (root_ / "no" / "such" / "temp").string();
  const std::string bad_out = (root_ / "absent" / "out").string();
  const std::string new_out = (root_ / "fresh-output").string();
  store_->SetSz("TempPath", bad_temp);
  store_->SetSz("OutPath", new_out);

  Settings s = Read();
  const std::string failsafe_temp = (root_ / "home" / "DiscPress Temp").string();
  EXPECT_EQ(FieldText(s.TempPath), failsafe_temp);
  EXPECT_TRUE(fs::is_directory(failsafe_temp));
  EXPECT_FALSE(fs::exists(root_ / "no"));  // only the last level is ever created
  EXPECT_EQ(StoredText("TempPath"), failsafe_temp);
  EXPECT_EQ(FieldText(s.OutPath), new_out);
  EXPECT_TRUE(fs::is_directory(new_out));
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].title, "DiscPress");
  EXPECT_EQ(prompter_.shown[0].text, "WARNING: Configured TEMP folder '" + bad_temp +
                                         "' not found. Resetting to failsafe value '" + failsafe_temp +
                                         "'.\n\nYou can change this in 'Options > Settings...' menu.");

  prompter_.shown.clear();
  store_->SetSz("OutPath", bad_out);
  fs::path file_not_folder = root_ / "a-file";
  { std::ofstream(file_not_folder) << "x"; }
  store_->SetSz("TempPath", file_not_folder.string());
  s = Read();
  const std::string failsafe_out = (root_ / "home" / "DiscPress Output").string();
  EXPECT_EQ(FieldText(s.TempPath), failsafe_temp);
  EXPECT_EQ(StoredText("OutPath"), failsafe_out);
  ASSERT_EQ(prompter_.shown.size(), 2u);
  EXPECT_NE(prompter_.shown[0].text.find("TEMP folder '" + file_not_folder.string() + "'"),
            std::string::npos);
  EXPECT_EQ(prompter_.shown[1].text, "WARNING: Configured OUTPUT folder '" + bad_out +
                                         "' not found. Resetting to failsafe value '" + failsafe_out +
                                         "'.\n\nYou can change this in 'Options > Settings...' menu.");
}

TEST_F(SettingsTest, AnOlderVersionIsReadAsItIsAndRewrittenAtTheNextWrite) {
  Read();
  store_->SetSz("Version", "3.1.2");
  store_->SetSz("InstallPath", "/opt/old/DiscPress");
  Settings s = Read();
  EXPECT_STREQ(s.Version, "3.1.2");
  EXPECT_EQ(StoredText("Version"), "3.1.2");
  EscriuRegistre(*store_, s);
  EXPECT_STREQ(s.Version, "3.3.0");
  EXPECT_EQ(StoredText("Version"), "3.3.0");
  EXPECT_EQ(StoredText("InstallPath"), ProgramPath().string());
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
  EXPECT_EQ(StoredDword("CRF"), 20);
  EXPECT_EQ(StoredDword("Scrape"), 1);
  EXPECT_TRUE(store_->write_failed());
}

TEST(SettingsImage, IsWrittenInTableOrderWithNulTerminatedTexts) {
  Settings s;
  CopyText(s.Preset, "slow");
  s.FontColor = 0x00A0B0C0;
  s.CRF = -1;
  const std::vector<RegEntry> image = SettingsImage(s);
  ASSERT_EQ(image.size(), std::size(kWriteOrder));
  for (std::size_t i = 0; i < image.size(); ++i) EXPECT_EQ(image[i].name, kWriteOrder[i]) << i;
  const auto& preset = image[8].value;
  EXPECT_EQ(preset.type, kRegSz);
  EXPECT_EQ(preset.data, (std::vector<std::uint8_t>{'s', 'l', 'o', 'w', 0}));
  EXPECT_EQ(image[0].value.data, std::vector<std::uint8_t>{0});  // an empty text is its NUL
  EXPECT_EQ(image[12].value.type, kRegDword);
  EXPECT_EQ(image[12].value.data, (std::vector<std::uint8_t>{0xC0, 0xB0, 0xA0, 0x00}));
  EXPECT_EQ(image[19].value.data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(SettingsTable, LookupIgnoresCaseAndTextsMustFit) {
  const SettingInfo* preset = FindSetting("preset");
  ASSERT_NE(preset, nullptr);
  EXPECT_STREQ(preset->name, "Preset");
  EXPECT_EQ(preset->read_size, 16u);
  EXPECT_EQ(FindSetting("Presets"), nullptr);
  Settings s;
  EXPECT_TRUE(SetSettingText(s, *preset, "placebo"));
  EXPECT_FALSE(SetSettingText(s, *preset, "0123456789abcdef"));
  EXPECT_EQ(SettingText(s, *preset), "placebo");
  const SettingInfo* crf = FindSetting("CRF");
  SetSettingDword(s, *crf, 23);
  EXPECT_EQ(s.CRF, 23);
  EXPECT_EQ(SettingDword(s, *crf), 23u);
}

TEST(AplicaSettingsUI, WhatTheMainWindowShows) {
  Settings s;
  LoadDefaults(s);
  s.CustomMedia = 12000;
  CopyText(s.Preset, "veryslow");
  MainWindowSettings ui = AplicaSettingsUI(s);
  EXPECT_EQ(ui.custom_media_label, "12000 MB");
  EXPECT_DOUBLE_EQ(ui.custom_media_value, 12e9);
  EXPECT_EQ(ui.media_index, 0);
  EXPECT_EQ(ui.preset, "veryslow");
  EXPECT_EQ(ui.bitrate_field, BitrateField::kUnchanged);
  EXPECT_EQ(ui.scrape_checked, 1);
  EXPECT_FALSE(ui.save_x264_log);

  s.CRF = 18;
  for (int media : {5, 7}) {
    s.Media = media;
    ui = AplicaSettingsUI(s);
    EXPECT_EQ(ui.media_index, media);
    EXPECT_EQ(ui.bitrate_field, BitrateField::kCrf);
    EXPECT_EQ(ui.bitrate_value, 18);
  }
  s.Media = 8;
  ui = AplicaSettingsUI(s);
  EXPECT_EQ(ui.bitrate_field, BitrateField::kDisabled);
  EXPECT_EQ(ui.bitrate_value, 1);
  s.Media = 9;
  EXPECT_EQ(AplicaSettingsUI(s).media_index, 0);

  s.Scrape = 3;
  s.SaveX264Log = 1;
  ui = AplicaSettingsUI(s);
  EXPECT_STREQ(kScrapeItems[static_cast<std::size_t>(ui.scrape_checked)], "Local Title (year)");
  EXPECT_TRUE(ui.save_x264_log);
  for (int bad : {6, -1}) {
    s.Scrape = bad;
    EXPECT_EQ(AplicaSettingsUI(s).scrape_checked, -1);
  }
}

TEST_F(SettingsTest, MachineIdFromTheIdFileElseTheVolume) {
  const fs::path id_file = root_ / "machine-id";
  { std::ofstream(id_file) << "0123456789abcdefFEDCBA9876543210\n"; }
  MachineId id = ReadMachineId(id_file, root_);
  const MachineId expected = {0,    0,    0,    0,    0x01, 0x23, 0x45, 0x67, 0x89, 0xAB,
                              0xCD, 0xEF, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  EXPECT_EQ(id, expected);

  struct stat st {};
  ASSERT_EQ(stat(root_.c_str(), &st), 0);
  const auto dev = static_cast<std::uint32_t>(st.st_dev);
  for (const char* bad : {"0123456789abcdef", "0123456789abcdefFEDCBA987654321g", ""}) {
    { std::ofstream(id_file) << bad; }
    id = ReadMachineId(id_file, root_);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(id[i], 0) << i;
    std::uint32_t serial = 0;
    for (std::size_t i = 0; i < 4; ++i) serial |= static_cast<std::uint32_t>(id[16 + i]) << (8 * i);
    EXPECT_EQ(serial, dev) << bad;
  }
  id = ReadMachineId(root_ / "absent", root_ / "absent");
  EXPECT_EQ(id, MachineId{});
}

}  // namespace
}  // namespace dp
