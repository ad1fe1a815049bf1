// The "Ouvrir récent" list, most recent first, kept in the preferences.
#pragma once

#include <QString>
#include <QStringList>

namespace ivo {

inline constexpr int kMaxRecentFiles = 10;

// Moves `path` to the front of the list (no duplicates, at most kMaxRecentFiles).
void addRecentFile(const QString& path);
QStringList recentFiles();
void clearRecentFiles();

}  // namespace ivo
