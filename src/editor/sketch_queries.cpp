// What lies under the pointer in the open sketch (points, curves, constraint labels) and the
// conversions between view points and plane positions.
#include <algorithm>
#include <cmath>

#include "editor/sketch_editor.h"

namespace ivo {
namespace {

double segmentDistance(ScreenPoint p, ScreenPoint a, ScreenPoint b) {
    const V2 d = b - a;
    const double l2 = d.dot(d);
    const double t = l2 > 0 ? std::clamp((p - a).dot(d) / l2, 0.0, 1.0) : 0.0;
    return (p - (a + d * t)).length();
}

}  // namespace

std::optional<V2> SketchEditor::spt(ScreenPoint point) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    const auto p = ctl->planePoint(s->plane, point);
    if (!p || !std::isfinite(p->x) || !std::isfinite(p->y)) return std::nullopt;
    // Past the horizon the pointer's line meets the plane behind the eye: that is no point
    // under the pointer, and it would fling a dragged point across the sketch.
    const auto back = ctl->toScreen(*s, *p);
    if (!back || (*back - point).length() > 2) return std::nullopt;
    return p;
}

std::optional<ScreenPoint> SketchEditor::scr(V2 p) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    return ctl->toScreen(*s, p);
}

std::optional<Id> SketchEditor::pointAt(ScreenPoint point, double radius) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    std::optional<Id> best;
    double bestD = radius;
    for (const SPoint& p : s->points) {
        const auto q = ctl->toScreen(*s, p.p);
        if (!q) continue;
        const double d = (*q - point).length();
        if (d < bestD) {
            bestD = d;
            best = p.id;
        }
    }
    return best;
}

std::optional<Id> SketchEditor::entityAt(ScreenPoint point) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    std::optional<Id> best;
    double bestD = 7;
    const auto consider = [&](Id id, const std::vector<V2>& pts, bool closed) {
        std::vector<std::optional<ScreenPoint>> q;
        for (V2 p : pts)
            q.push_back(ctl->toScreen(*s, p));
        if (closed && !q.empty()) q.push_back(q.front());
        for (size_t i = 0; i + 1 < q.size(); ++i) {
            if (!q[i] || !q[i + 1]) continue;
            const double d = segmentDistance(point, *q[i], *q[i + 1]);
            if (d < bestD) {
                bestD = d;
                best = id;
            }
        }
    };
    for (const SLine& l : s->lines) {
        const auto a = s->pos(l.a), b = s->pos(l.b);
        if (a && b) consider(l.id, {*a, *b}, false);
    }
    for (const SCircle& c : s->circles)
        consider(c.id, s->circlePoints(c, 64), true);
    for (const SArc& a : s->arcs)
        consider(a.id, s->arcPoints(a, 64), false);
    return best;
}

std::optional<Id> SketchEditor::labelAt(ScreenPoint point) const {
    for (auto it = labelRects.rbegin(); it != labelRects.rend(); ++it)
        if (it->rect.contains(point, 2)) return it->id;
    return std::nullopt;
}

bool SketchEditor::isLine(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s && s->line(id);
}

bool SketchEditor::isRound(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s && (s->circle(id) || s->arc(id));
}

std::optional<Id> SketchEditor::centerOf(Id id) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    if (const auto c = s->circle(id)) return c->c;
    if (const auto a = s->arc(id)) return a->c;
    return std::nullopt;
}

std::optional<V2> SketchEditor::currentPos(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s ? s->pos(id) : std::nullopt;
}

}  // namespace ivo
