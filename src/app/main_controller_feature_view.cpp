// Editing the open feature in the 3-D view: clicks that pick a revolution axis, a face to
// extrude up to or a region, the drag of the extrusion's arrow, and the overlay drawn for it.
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "app/feature_inspector.h"
#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "input/parse_num.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

const Sketch* sketchById(const Doc& doc, Id id) {
    const std::optional<size_t> i = doc.index(id);
    return i && doc.features[*i].sketch ? &*doc.features[*i].sketch : nullptr;
}

Id featureSketch(const Feature& f) {
    return f.extrude ? f.extrude->sketch : f.revolve ? f.revolve->sketch : 0;
}

}  // namespace

std::optional<ExtrudeHandle> MainController::currentExtrudeHandle() const {
    const Feature* f = openFeature();
    if (!f || f->kind != fk::extrude || !f->extrude) return std::nullopt;
    const Sketch* s = sketchById(doc_, f->extrude->sketch);
    return s ? extrudeHandle(*s, *f->extrude) : std::nullopt;
}

bool MainController::extrudeHandleHit(ViewPoint p) {
    const std::optional<ExtrudeHandle> h = currentExtrudeHandle();
    if (!h) return false;
    dragNote_.clear();  // asked when the button goes down: a new drag may start
    const std::optional<ViewPoint> tip = viewport->project(h->tip);
    return tip && (*tip - p).length() < 12;
}

void MainController::dragExtrude(ViewPoint p) {
    const std::optional<ExtrudeHandle> h = currentExtrudeHandle();
    if (!h) return;
    const std::optional<ViewPoint> a = viewport->project(h->base);
    const std::optional<ViewPoint> b = viewport->project(h->base + h->n);
    if (!a || !b) return;
    const std::optional<double> t = handleParam(*a, *b, p);
    if (!t) return;
    Feature* f = openFeature();
    ExtrudeP& e = *f->extrude;
    const double d = dragDistance(*t, e.symmetric);
    // A dragged length is a free distance: an up-to-face plane would override it.
    const bool wasFace = e.toFace.has_value() || awaitingFace;
    e.toFace.reset();
    awaitingFace = false;
    if (d == e.distance && !wasFace) return;
    e.distance = d;
    featureInspector->setText("distance", toQt(fmt(d)));
    featureInspector->selectStr("extent", "dist");
    if (const auto autoOp = applyAutoOp()) dragNote_ = *autoOp;
    featureWritten(false, {dragNote_});
}

void MainController::featureClick(ViewPoint p) {
    Feature* f = openFeature();
    if (!f || (f->kind != fk::extrude && f->kind != fk::revolve)) return;
    const Sketch* sketch = sketchById(doc_, featureSketch(*f));
    if (!sketch) return;

    if (f->kind == fk::revolve && f->revolve) {
        std::vector<std::pair<V2, V2>> segments;
        std::vector<Id> ids;
        for (const SLine& line : sketch->lines) {
            const auto a = sketch->pos(line.a), b = sketch->pos(line.b);
            if (!a || !b) continue;
            const auto sa = viewport->toScreen(*sketch, *a), sb = viewport->toScreen(*sketch, *b);
            if (!sa || !sb) continue;
            segments.emplace_back(*sa, *sb);
            ids.push_back(line.id);
        }
        if (const auto i = nearestSegment(segments, p, 7)) {
            // Written into the feature, then the panel is rebuilt from it: reading the panel
            // back would restore the axis it still shows.
            f->revolve->axis = ids[*i];
            featureWritten(true, {});
            return;
        }
    }

    const Camera camera = viewport->camera();
    const auto [o, dir] = camera.ray(p);
    const V3 eye = camera.position();
    if (f->kind == fk::extrude && f->extrude) {
        const PickScene scene{&viewport->bodyTris, &doc_.hidden, false};
        for (const Hit& hit : allHits(scene, o, dir, eye)) {
            if (!hit.plane.empty()) continue;
            const auto tris = viewport->bodyTris.find(hit.body);
            if (tris == viewport->bodyTris.end() || hit.tri >= tris->second.size()) continue;
            // The sketch plane counts only where the click falls in one of its regions; it
            // wins at equal depth (a region drawn on the face).
            bool sketchWins = false;
            if (const auto q = viewport->planePoint(sketch->plane, p);
                q && !Evaluator::pickRegions(*sketch, {*q}).empty()) {
                const double sketchDist = (sketch->plane.to3D(*q) - eye).length();
                sketchWins = sketchDist - 0.01 <= hit.distance;
            }
            if (sketchWins) break;
            const FaceAim aim = aimAtFace(*sketch, *f->extrude, tris->second[hit.tri].n, hit.pos);
            if (aim.kind == FaceAim::Kind::sketchPlane) break;
            if (aim.kind == FaceAim::Kind::perpendicular) {
                setStatus(
                    "Cette face est perpendiculaire à l'esquisse : choisissez une face "
                    "parallèle.");
                return;
            }
            f->extrude->toFace = aim.toFace;
            f->extrude->distance = aim.distance;
            awaitingFace = false;
            featureWritten(true, {"Jusqu'à la face : " + fmt(aim.distance) +
                                  " mm. Choisissez « Distance » dans Étendue pour revenir à une "
                                  "valeur libre."});
            return;
        }
    }

    const std::optional<V2> q = viewport->planePoint(sketch->plane, p);
    if (!q) return;
    std::vector<V2>& picks = f->extrude ? f->extrude->picks : f->revolve->picks;
    std::optional<std::vector<V2>> next = togglePick(*sketch, picks, *q);
    if (!next) return;
    picks = std::move(*next);
    featureWritten(false, {});
}

void MainController::drawFeatureOverlay() {
    const Feature* f = openFeature();
    if (!f || (!f->extrude && !f->revolve)) return;
    const Sketch* sketch = sketchById(doc_, featureSketch(*f));
    if (!sketch) return;
    const std::vector<V2>& picks = f->extrude ? f->extrude->picks : f->revolve->picks;
    const std::vector<Region> picked = Evaluator::pickRegions(*sketch, picks);
    for (const Region& r : sketch->regions()) {
        const bool on = std::find(picked.begin(), picked.end(), r) != picked.end();
        std::vector<Loop> loops{r.outer};
        loops.insert(loops.end(), r.holes.begin(), r.holes.end());
        viewport->fillLoops(loops, *sketch,
                            on ? Rgba{0.2, 0.55, 1.0, 0.38} : Rgba{0.5, 0.6, 0.75, 0.14});
    }
    viewport->drawSketchLight(*sketch);

    QPainter* painter = viewport->overlayPainter();
    if (!painter) return;
    const double H = viewport->height();
    const auto qt = [H](ViewPoint v) { return QPointF(v.x, H - v.y); };
    const QColor blue = QColor::fromRgbF(0.1f, 0.45f, 0.9f);

    if (const std::optional<ExtrudeHandle> h = currentExtrudeHandle()) {
        const auto base = viewport->project(h->base), tip = viewport->project(h->tip);
        if (base && tip) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(blue, 2));
            painter->drawLine(qt(*base), qt(*tip));
            V2 dirV = *tip - *base;
            const double len = dirV.length();
            dirV = len > 1e-9 ? dirV / len : V2{0, 1};
            const V2 side{-dirV.y, dirV.x};
            const V2 back = *tip - dirV * 14;
            QPainterPath head;
            head.moveTo(qt(*tip));
            head.lineTo(qt(back + side * 3.5));
            head.lineTo(qt(back - side * 3.5));
            head.closeSubpath();
            painter->fillPath(head, blue);
            painter->setBrush(Qt::white);
            painter->drawEllipse(qt(*tip), 6, 6);

            QFont font = painter->font();
            font.setPixelSize(12);
            font.setBold(true);
            painter->setFont(font);
            const QString label = QString::fromStdString(fmt(h->dist) + " mm");
            const QFontMetricsF m(font);
            const QSizeF size(m.horizontalAdvance(label) + 10, m.height() + 4);
            const QPointF at = qt(*tip) + QPointF(16, -size.height() / 2);
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor::fromRgbF(1, 1, 1, 0.92f));
            painter->drawRoundedRect(QRectF(at, size), 4, 4);
            painter->setPen(blue);
            painter->drawText(QRectF(at, size), Qt::AlignCenter, label);
            painter->restore();
        }
    }

    if (f->revolve) {
        V2 origin, dirA{1, 0};
        if (f->revolve->axis == -2) dirA = {0, 1};
        for (const SLine& line : sketch->lines) {
            if (line.id != f->revolve->axis) continue;
            const auto a = sketch->pos(line.a), b = sketch->pos(line.b);
            if (a && b && (*b - *a).length() > 1e-9) {
                origin = *a;
                dirA = (*b - *a) / (*b - *a).length();
            }
        }
        viewport->strokePolyline({origin - dirA * 1000, origin + dirA * 1000}, *sketch, false,
                                 Rgba{0.95, 0.55, 0.1, 1}, 2, true);
    }
}

}  // namespace ivo
