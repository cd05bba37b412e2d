#include "ui/source_drop.h"

#include <QMimeData>
#include <QUrl>

namespace dp::ui {

std::vector<std::string> DroppedPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    // The URL keeps a name's bytes that are not UTF-8 percent-encoded: take
    // them from there rather than through a QString, which would replace them.
    std::string path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    while (path.size() > 1 && path.back() == '/') path.pop_back();  // a folder's trailing slash
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace dp::ui
