// Painting for the sketch drawing: plane geometry goes through the view's projection, view
// points are turned from y-up into the widget's y-down once, here.
#include "editor/qt_canvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "viewport/viewport.h"

namespace ivo {
namespace {

QColor qcolour(Colour c) {
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), float(c.a));
}

Rgba rgba(Colour c) {
    return {c.r, c.g, c.b, c.a};
}

}  // namespace

struct QtCanvas::Font {
    double size;
    bool bold;
    QFont font;
    QFontMetricsF metrics;
};

QtCanvas::QtCanvas(Viewport& view, QPainter& painter) : view_(view), p_(painter) {}

QtCanvas::~QtCanvas() = default;

const QtCanvas::Font& QtCanvas::font(double size, bool bold) {
    for (const auto& f : fonts_)
        if (f->size == size && f->bold == bold) return *f;
    QFont f = p_.font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    f.setWeight(bold ? QFont::Bold : QFont::Medium);
    fonts_.push_back(std::make_unique<Font>(Font{size, bold, f, QFontMetricsF(f)}));
    return *fonts_.back();
}

void QtCanvas::strokePolyline(const std::vector<V2>& points, const Sketch& sketch, bool closed,
                              Colour colour, double width, bool dashed) {
    view_.strokePolyline(points, sketch, closed, rgba(colour), width, dashed);
}

void QtCanvas::fillLoops(const std::vector<Loop>& loops, const Sketch& sketch, Colour colour) {
    view_.fillLoops(loops, sketch, rgba(colour));
}

void QtCanvas::strokePath(const std::vector<ScreenPoint>& points, bool closed, Colour colour,
                          double width, const std::vector<double>& dash) {
    if (points.empty()) return;
    const double H = view_.height();
    QPainterPath path;
    path.moveTo(points[0].x, H - points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        path.lineTo(points[i].x, H - points[i].y);
    if (closed) path.closeSubpath();
    QPen pen(qcolour(colour), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (!dash.empty()) {
        QList<qreal> pattern;
        for (double d : dash)
            pattern << d / (width > 0 ? width : 1);  // Qt measures dashes in pen widths
        pen.setDashPattern(pattern);
    }
    p_.strokePath(path, pen);
}

namespace {
QRectF qrect(const LabelRect& r, double H) {
    return QRectF(r.x, H - r.y - r.h, r.w, r.h);
}
}  // namespace

void QtCanvas::fillRect(const LabelRect& r, Colour colour) {
    p_.fillRect(qrect(r, view_.height()), qcolour(colour));
}

void QtCanvas::strokeRect(const LabelRect& r, Colour colour, double width) {
    p_.setPen(QPen(qcolour(colour), width));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(qrect(r, view_.height()));
}

void QtCanvas::fillRoundedRect(const LabelRect& r, double radius, Colour colour) {
    QPainterPath path;
    path.addRoundedRect(qrect(r, view_.height()), radius, radius);
    p_.fillPath(path, qcolour(colour));
}

void QtCanvas::strokeRoundedRect(const LabelRect& r, double radius, Colour colour, double width) {
    QPainterPath path;
    path.addRoundedRect(qrect(r, view_.height()), radius, radius);
    p_.strokePath(path, QPen(qcolour(colour), width));
}

void QtCanvas::strokeEllipse(const LabelRect& r, Colour colour, double width) {
    p_.setPen(QPen(qcolour(colour), width));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(qrect(r, view_.height()));
}

V2 QtCanvas::measureText(const std::string& text, double size, bool bold) {
    const QFontMetricsF& m = font(size, bold).metrics;
    return {m.horizontalAdvance(QString::fromStdString(text)), m.height()};
}

void QtCanvas::drawText(const std::string& text, ScreenPoint lowerLeft, double size, bool bold,
                        Colour colour) {
    const Font& f = font(size, bold);
    p_.setFont(f.font);
    p_.setPen(qcolour(colour));
    // drawText places the baseline: lift it by the descent so the box's bottom is lowerLeft.
    p_.drawText(QPointF(lowerLeft.x, view_.height() - lowerLeft.y - f.metrics.descent()),
                QString::fromStdString(text));
}

}  // namespace ivo
