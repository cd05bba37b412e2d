#include "ui/source_drop.h"

#include <QMimeData>
#include <QUrl>

#include "ui/source_paths.h"

namespace dp::ui {

std::vector<std::string> DroppedPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);  // a folder's trailing slash
    paths.push_back(PathBytes(path));
  }
  return paths;
}

}  // namespace dp::ui
