// The symbol table is read once from the resources; SVG strokes use currentColor, which is
// replaced by the tint before rendering.
#include "viewport/symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

namespace ivo {
namespace {

const QHash<QString, QString>& table() {
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        QFile f(":/icons/symbols.txt");
        if (!f.open(QIODevice::ReadOnly)) return m;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QStringList parts = line.split(QRegularExpression("\\s+"));
            if (parts.size() == 2) m.insert(parts[0], parts[1]);
        }
        return m;
    }();
    return map;
}

}  // namespace

bool hasSymbol(const QString& name) {
    return table().contains(name);
}

QPixmap symbolPixmap(const QString& name, QColor tint, int size, qreal devicePixelRatio) {
    const auto it = table().find(name);
    if (it == table().end()) return {};
    QFile f(":/icons/" + *it);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QByteArray svg = f.readAll();
    svg.replace("currentColor", tint.name(QColor::HexRgb).toUtf8());
    QSvgRenderer renderer(svg);
    const int px = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pm(px, px);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setOpacity(tint.alphaF());
    renderer.render(&p);
    p.end();
    pm.setDevicePixelRatio(devicePixelRatio);
    return pm;
}

QIcon symbolIcon(const QString& name, QColor tint, int size) {
    const QPixmap pm = symbolPixmap(name, tint, size, 2);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

}  // namespace ivo
