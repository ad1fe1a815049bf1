// Painting and events of the window's small widgets.
#include "app/views.h"

#include <QCloseEvent>
#include <QPainter>
#include <QPainterPath>

namespace ivo {

QLabel* styledLabel(QWidget* parent, const QString& text, int px, QFont::Weight weight,
                    QColor color) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPixelSize(px);
    f.setWeight(weight);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

FlippedView::FlippedView(QWidget* parent) : QWidget(parent) {}

void FlippedView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onLayout) onLayout();
}

void FlippedView::paintEvent(QPaintEvent*) {
    if (background_.alpha() == 0 && border_.alpha() == 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double inset = borderWidth_ / 2;
    const QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    if (radius_ <= 0) {
        path.addRect(r);
    } else if (topOnly_) {
        path.moveTo(r.bottomLeft());
        path.lineTo(r.left(), r.top() + radius_);
        path.quadTo(r.topLeft(), {r.left() + radius_, r.top()});
        path.lineTo(r.right() - radius_, r.top());
        path.quadTo(r.topRight(), {r.right(), r.top() + radius_});
        path.lineTo(r.bottomRight());
        path.closeSubpath();
    } else {
        path.addRoundedRect(r, radius_, radius_);
    }
    p.fillPath(path, background_);
    if (borderWidth_ > 0 && border_.alpha() > 0) p.strokePath(path, QPen(border_, borderWidth_));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onClose) onClose();
    event->accept();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(font());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, width());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace ivo
