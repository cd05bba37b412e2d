// Labels carry their keyboard mnemonic as "__X"; Qt writes it "&X".
#pragma once

#include <QString>

namespace dp::ui {

inline QString Mnemonic(const char* label) {
  QString text = QString::fromUtf8(label);
  text.replace(QLatin1String("&"), QLatin1String("&&"));
  text.replace(QLatin1String("__"), QLatin1String("&"));
  return text;
}

}  // namespace dp::ui
