// Recent files under the preference key "recentFiles".
#include "app/recent_files.h"

#include <QSettings>

namespace ivo {
namespace {

const char* const kKey = "recentFiles";

}  // namespace

void addRecentFile(const QString& path) {
    QSettings settings;
    QStringList list = settings.value(kKey).toStringList();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kMaxRecentFiles)
        list.removeLast();
    settings.setValue(kKey, list);
}

QStringList recentFiles() {
    return QSettings().value(kKey).toStringList();
}

void clearRecentFiles() {
    QSettings().remove(kKey);
}

}  // namespace ivo
