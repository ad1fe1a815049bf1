// Context menu entries and deferred clearing of rebuilt strips.
#include "app/menu_entry.h"

#include <QHash>
#include <QLayout>
#include <QMenu>
#include <QWidget>

#include "viewport/symbols.h"

namespace ivo {

QAction* mi(QMenu* menu, const QString& title, const QString& symbol, QObject* owner,
            std::function<void()> action) {
    const QIcon icon =
        symbol.isEmpty() ? QIcon() : cachedSymbolIcon(symbol, QColor(70, 70, 70), 16);
    return menu->addAction(icon, title, owner, std::move(action));
}

QMenu* closingMenu() {
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

QIcon cachedSymbolIcon(const QString& name, QColor tint, int size) {
    static QHash<QString, QIcon> made;
    const QString key = name + '|' + tint.name(QColor::HexArgb) + '|' + QString::number(size);
    const auto it = made.find(key);
    if (it != made.end()) return *it;
    return *made.insert(key, symbolIcon(name, tint, size));
}

void clearStrip(QLayout* layout, bool deferred) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            if (deferred) {
                w->hide();
                w->deleteLater();
            } else {
                delete w;
            }
        }
        delete item;
    }
}

}  // namespace ivo
