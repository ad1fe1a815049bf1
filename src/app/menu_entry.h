// Entries of the context menus of the timeline, the browser and the 3-D view, and the rule
// for removing the widgets of a strip that one of its own buttons may be rebuilding.
#pragma once

#include <functional>

#include <QColor>
#include <QIcon>
#include <QString>

class QAction;
class QLayout;
class QMenu;
class QObject;

namespace ivo {

// Adds an entry with the symbol's image (none for an empty or unmapped symbol). The action
// runs only while `owner` lives: an entry that outlives it does nothing.
QAction* mi(QMenu* menu, const QString& title, const QString& symbol, QObject* owner,
            std::function<void()> action);

// A context menu that deletes itself once closed.
QMenu* closingMenu();

// symbolIcon, made once per name, tint and size: the strips are rebuilt after every change.
QIcon cachedSymbolIcon(const QString& name, QColor tint, int size);

// Empties `layout`. With `deferred` (inside the handler of one of its buttons) its widgets are
// hidden at once and deleted by the event loop, once that handler has returned; else at once.
void clearStrip(QLayout* layout, bool deferred);

}  // namespace ivo
