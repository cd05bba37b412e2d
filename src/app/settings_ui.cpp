#include "app/settings_ui.h"

#include "util/text.h"

namespace dp {

MainWindowSettings AplicaSettingsUI(const Settings& s) {
  MainWindowSettings ui;
  ui.custom_media_label = Format("%d MB", s.CustomMedia);
  ui.custom_media_value = static_cast<double>(s.CustomMedia) * 1000000.0;
  // The ring cannot select an index it does not have; it then stays on its
  // first item.
  ui.media_index = s.Media >= 0 && s.Media < kTargetMediaCount ? s.Media : 0;
  ui.preset = std::string(FieldText(s.Preset));
  if (s.Media == 5 || s.Media == 7) {
    ui.bitrate_field = BitrateField::kCrf;
    ui.bitrate_value = s.CRF;
  } else if (s.Media == 8) {
    ui.bitrate_field = BitrateField::kDisabled;
    ui.bitrate_value = 1;
  }
  ui.scrape_checked = s.Scrape >= 0 && s.Scrape < static_cast<int>(kScrapeItems.size()) ? s.Scrape : -1;
  ui.save_x264_log = s.SaveX264Log != 0;
  return ui;
}

}  // namespace dp
