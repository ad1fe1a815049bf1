// The 2-D overlay over the 3-D image: light sketches, the mode's own drawing, the selection
// and the view cube (the hovered face is tinted in the 3-D pass), plus the drawing operations
// offered to the host. Model points go through the camera's projection; whatever does not project
// is skipped.
#include <QPainter>
#include <QPainterPath>

#include "viewport/symbols.h"
#include "viewport/view_cube.h"
#include "viewport/viewport_impl.h"

namespace ivo {
namespace {

QColor qcolor(Rgba c) {
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), float(c.a));
}

QColor grey(double white, double alpha = 1) {
    return qcolor({white, white, white, alpha});
}

// Appends the runs of projecting points as open subpaths; a point that does not project ends
// the run and the next one starts afresh.
void addRuns(QPainterPath& path, const std::vector<std::optional<QPointF>>& pts) {
    bool open = false;
    for (const auto& p : pts) {
        if (!p) {
            open = false;
        } else if (!open) {
            path.moveTo(*p);
            open = true;
        } else {
            path.lineTo(*p);
        }
    }
}

}  // namespace

void Viewport::fillTris(const std::vector<Tri>& tris, Rgba color) {
    if (!d->painter) return;
    const Camera cam = camera();
    const V3 eye = cam.position();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const Tri& t : tris) {
        if (t.n.dot(eye - t.a) <= 0) continue;
        const auto a = cam.project(t.a), b = cam.project(t.b), c = cam.project(t.c);
        if (!a || !b || !c) continue;
        path.moveTo(toQt(*this, *a));
        path.lineTo(toQt(*this, *b));
        path.lineTo(toQt(*this, *c));
        path.closeSubpath();
    }
    d->painter->fillPath(path, qcolor(color));
}

void Viewport::fillLoops(const std::vector<Loop>& loops, const Sketch& sketch, Rgba color) {
    if (!d->painter) return;
    const Camera cam = camera();
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const Loop& loop : loops) {
        QPolygonF poly;
        for (V2 p : loop) {
            const auto s = cam.project(sketch.plane.to3D(p));
            if (!s) break;
            poly << toQt(*this, *s);
        }
        // A loop cut by the camera plane would fill the wrong side: leave it out whole.
        if (poly.size() == static_cast<qsizetype>(loop.size()) && poly.size() >= 3)
            path.addPolygon(poly);
    }
    d->painter->fillPath(path, qcolor(color));
}

void Viewport::strokePolyline(const std::vector<V2>& points, const Sketch& sketch, bool closed,
                              Rgba color, double width, bool dashed) {
    if (!d->painter || points.empty()) return;
    const Camera cam = camera();
    std::vector<std::optional<QPointF>> pts;
    for (V2 p : points) {
        const auto s = cam.project(sketch.plane.to3D(p));
        pts.push_back(s ? std::optional<QPointF>(toQt(*this, *s)) : std::nullopt);
    }
    const bool whole = std::all_of(pts.begin(), pts.end(), [](const auto& p) { return p; });
    if (closed) pts.push_back(pts.front());
    QPainterPath path;
    addRuns(path, pts);
    if (closed && whole && pts.size() > 2) path.closeSubpath();

    QPen pen(qcolor(color), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (dashed) {
        // Qt measures dashes in pen widths; the pattern is 5 points on, 3 off.
        const double w = width > 0 ? width : 1;
        pen.setDashPattern({5 / w, 3 / w});
        pen.setDashOffset(0);
    }
    d->painter->strokePath(path, pen);
}

void Viewport::drawSketchLight(const Sketch& sketch) {
    for (const SLine& line : sketch.lines) {
        if (line.construction) continue;
        const auto a = sketch.pos(line.a), b = sketch.pos(line.b);
        if (a && b) strokePolyline({*a, *b}, sketch, false, colors::sketchLight, 1, false);
    }
    for (const SCircle& circle : sketch.circles)
        if (!circle.construction)
            strokePolyline(sketch.circlePoints(circle, 64), sketch, true, colors::sketchLight, 1,
                           false);
    for (const SArc& arc : sketch.arcs)
        if (!arc.construction)
            strokePolyline(sketch.arcPoints(arc, 64), sketch, false, colors::sketchLight, 1, false);
}

void Viewport::drawOverlay() {
    const Doc& doc = ctl->doc();
    for (const Sketch* sketch : lightSketches(doc, ctl->editSketch()))
        drawSketchLight(*sketch);

    const Mode mode = ctl->mode();
    switch (mode) {
        case Mode::sketch: ctl->editorDraw(); break;
        case Mode::featureEdit: ctl->drawFeatureOverlay(); break;
        case Mode::model:
        case Mode::choosePlane: break;
    }
    if (mode == Mode::model) ctl->drawSelection();
    drawViewCube();
}

void Viewport::drawViewCube() {
    QPainter& p = *d->painter;
    const ViewRect cube = cubeRect(width(), height());
    const V3 eye = camera().eyeDir();
    p.save();
    for (const CubeFace& face : cubePolys(eye, cube.center())) {
        QPolygonF poly;
        V2 mean;
        for (V2 c : face.corners) {
            poly << toQt(*this, c);
            mean = mean + c / 4;
        }
        const double s = 0.8 + 0.17 * face.depth;
        p.setPen(QPen(grey(0.45), 1));
        p.setBrush(qcolor({s * 0.97, s * 0.98, s, 0.96}));
        p.drawPolygon(poly);

        const QString label = QString::fromUtf8(face.label);
        QFont font = p.font();
        font.setPixelSize(label.size() >= 6 ? 8 : 9);
        font.setWeight(QFont::DemiBold);
        p.setFont(font);
        p.setPen(grey(0.25));
        const QPointF c = toQt(*this, mean);
        p.drawText(QRectF(c.x() - 40, c.y() - 10, 80, 20), Qt::AlignCenter, label);
    }

    const CubeBasis basis = cubeBasis(eye);
    const V2 o{cube.x + 8, cube.y + 8};
    struct Axis {
        V3 v;
        QColor color;
        const char* letter;
    };
    const Axis axes[] = {{{1, 0, 0}, QColor(230, 50, 45), "X"},
                         {{0, 1, 0}, QColor(40, 175, 60), "Y"},
                         {{0, 0, 1}, QColor(30, 100, 240), "Z"}};
    QFont bold = p.font();
    bold.setPixelSize(8);
    bold.setWeight(QFont::Bold);
    p.setFont(bold);
    for (const Axis& axis : axes) {
        const V2 tip = o + basis.map(axis.v) * 16;
        p.setPen(QPen(axis.color, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(toQt(*this, o), toQt(*this, tip));
        // The letter's box has its bottom-left corner at (tip.x + 1, tip.y − 4).
        const QPointF at = toQt(*this, {tip.x + 1, tip.y - 4});
        p.drawText(QRectF(at.x(), at.y() - 20, 20, 20), Qt::AlignLeft | Qt::AlignBottom,
                   axis.letter);
    }

    const ViewRect home = homeRect(cube);
    // Rendering the SVG is costly next to the rest of the overlay: keep it per pixel ratio.
    QPixmap& glyph = d->homeGlyph;
    if (glyph.isNull() || glyph.devicePixelRatio() != devicePixelRatioF())
        glyph = symbolPixmap("house.fill", grey(0.4), 18, devicePixelRatioF());
    if (!glyph.isNull()) p.drawPixmap(toQt(*this, {home.x, home.maxY()}), glyph);
    p.restore();
}

}  // namespace ivo
