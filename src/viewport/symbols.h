// Symbol images by their system symbol names ("house.fill", "xmark"…), drawn from the vendored
// SVG icon set through one table (resources/icons/symbols.txt), tinted on request.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ivo {

// True when the table maps the name to an icon; callers show their text label otherwise.
bool hasSymbol(const QString& name);

// The symbol at `size` device-independent pixels in `tint`; a null pixmap when unmapped.
QPixmap symbolPixmap(const QString& name, QColor tint, int size, qreal devicePixelRatio = 1);

// An icon made from symbolPixmap; a null icon when unmapped.
QIcon symbolIcon(const QString& name, QColor tint, int size);

}  // namespace ivo
