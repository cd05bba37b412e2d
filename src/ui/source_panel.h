// The main window's source controls and how they show a source.
#pragma once

#include "source/inventory.h"
#include "source/source_state.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace dp::ui {

struct SourceWidgets {
  QPushButton* open_bdmv = nullptr;    // PANEL_OPEN_BDMV
  QPushButton* open_video = nullptr;   // PANEL_OPEN
  QLineEdit* source = nullptr;         // PANEL_SOURCE
  QLineEdit* playlist = nullptr;       // PANEL_PLAYLIST
  QPushButton* imdb = nullptr;         // PANEL_IMDB
  QPushButton* mode3d = nullptr;       // PANEL_MODE3D
  QComboBox* video = nullptr;          // PANEL_S_VIDEO
  QComboBox* audio = nullptr;          // PANEL_S_AUDIO
  QComboBox* subtitle = nullptr;       // PANEL_S_SUB
  QPushButton* scan = nullptr;         // PANEL_SCAN
  QPushButton* advanced = nullptr;     // PANEL_ADVANCED
  QComboBox* media = nullptr;          // PANEL_MEDIA
  QSpinBox* bitrate = nullptr;         // PANEL_BITRATE
  QLineEdit* out = nullptr;            // PANEL_OUT
  QPlainTextEdit* chapters = nullptr;  // PANEL_CAPITOLS
  QLabel* info = nullptr;              // PANEL_INFO
  QPushButton* add = nullptr;          // PANEL_ADD
};

// Texts, the three rings (item data = record index), the chapter box,
// enabled and visible controls, the focus.
void ShowSourcePanel(const SourceWidgets& w, const SourceState& state, const SourceInventory& inventory);

// The three rings' texts replaced in place (the choices stay), the subtitle
// rates for a scan of elapsed_ms.
void RedrawSourceRings(const SourceWidgets& w, const SourceInventory& inventory, double elapsed_ms);

}  // namespace dp::ui
