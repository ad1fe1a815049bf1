// Snapping while drawing: what the pointer is matched against, in which order, and the
// constraints that keep new geometry attached to what it snapped to.
#include "editor/snap.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "editor/sketch_editor.h"
#include "sketch/curves.h"

namespace ivo {
namespace {

constexpr double pi = std::numbers::pi;

bool isDrawingTool(const std::string& t) {
    static const char* const drawing[] = {"line",    "rect",    "rect3", "rectC", "circle",
                                          "circle2", "circle3", "arc",   "arc3",  "polyI",
                                          "polyC",   "slotCC",  "slotO", "point"};
    return std::find(std::begin(drawing), std::end(drawing), t) != std::end(drawing);
}

// The nearest candidate strictly inside the tolerance; a later one wins only when nearer.
struct Nearest {
    double best;
    std::optional<SnapInfo> found;
    void offer(V2 p, V2 at, SnapInfo info) {
        const double d = (at - p).length();
        if (d < best) {
            best = d;
            info.pos = at;
            found = std::move(info);
        }
    }
};

}  // namespace

std::vector<V2> foreignSnapPoints(const Doc& doc, std::optional<size_t> editSketch,
                                  const std::map<Id, std::vector<Tri>>& bodyTris) {
    std::vector<V2> out;
    if (!editSketch || *editSketch >= doc.features.size()) return out;
    const Feature& edited = doc.features[*editSketch];
    if (!edited.sketch) return out;
    const SketchPlane& P = edited.sketch->plane;
    std::set<std::pair<long long, long long>> seen;
    const auto add = [&](V3 q) {
        const V2 u = P.to2D(q);
        if (!std::isfinite(u.x) || !std::isfinite(u.y) || std::abs(u.x) > 1e12 ||
            std::abs(u.y) > 1e12)
            return;
        if (seen.insert({std::llround(u.x * 1000), std::llround(u.y * 1000)}).second)
            out.push_back(u);
    };
    for (size_t i = 0; i < doc.features.size(); ++i) {
        if (static_cast<std::int64_t>(i) >= doc.marker) break;
        const Feature& f = doc.features[i];
        if (i == *editSketch || f.suppressed || !f.sketch || !f.sketch->visible) continue;
        const Sketch& s = *f.sketch;
        const auto lift = [&](Id id) {
            if (const auto p = s.pos(id)) add(s.plane.to3D(*p));
        };
        for (const SLine& l : s.lines) {
            lift(l.a);
            lift(l.b);
        }
        for (const SCircle& c : s.circles)
            lift(c.c);
        for (const SArc& a : s.arcs) {
            lift(a.c);
            lift(a.s);
            lift(a.e);
        }
    }
    for (const auto& [id, tris] : bodyTris) {
        if (std::find(doc.hidden.begin(), doc.hidden.end(), id) != doc.hidden.end()) continue;
        for (const FeatureEdge& e : featureEdges(tris))
            for (const V3& p : {e.a, e.b})
                if (std::abs((p - P.o).dot(P.n)) < 0.05) add(p);
    }
    return out;
}

std::optional<SnapInfo> SketchEditor::findSnap(ScreenPoint point) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    const auto pOpt = spt(point);
    if (!pOpt) return std::nullopt;
    const V2 p = *pOpt;
    const bool magnet = ctl->magnet();
    if (const auto id = pointAt(point, magnet ? 14 : 9)) {
        if (const auto at = s->pos(*id)) {
            SnapInfo info;
            info.pos = *at;
            info.pointId = id;
            return info;
        }
    }
    if (!magnet || !isDrawingTool(tool_)) return std::nullopt;

    // Millimetres per view point at the pointer, so that the tolerances stay the same on
    // screen at every zoom.
    double scale = 0.1;
    if (const auto q = spt(point + V2{10, 0})) scale = std::max((*q - p).length() / 10, 1e-6);

    Nearest construction{12 * scale, std::nullopt};
    for (const SLine& l : s->lines) {
        const auto a = s->pos(l.a), b = s->pos(l.b);
        if (!a || !b) continue;
        SnapInfo info;
        info.kind = "mid";
        info.curveId = l.id;
        construction.offer(p, (*a + *b) * 0.5, info);
    }
    for (const SCircle& c : s->circles) {
        const auto centre = s->pos(c.c);
        if (!centre) continue;
        for (int k = 0; k < 4; ++k) {
            SnapInfo info;
            info.kind = "quad";
            info.curveId = c.id;
            info.centerId = c.c;
            info.horizontal = k % 2 == 0;
            const double t = k * pi / 2;
            construction.offer(p, *centre + V2{std::cos(t), std::sin(t)} * c.r, info);
        }
    }
    for (const V2& f : foreign) {
        SnapInfo info;
        info.kind = "foreign";
        construction.offer(p, f, info);
    }
    if (construction.found) return construction.found;

    Nearest curve{10 * scale, std::nullopt};
    const auto curveInfo = [](Id id) {
        SnapInfo info;
        info.kind = "curve";
        info.curveId = id;
        return info;
    };
    for (const SLine& l : s->lines) {
        const auto a = s->pos(l.a), b = s->pos(l.b);
        if (!a || !b) continue;
        const V2 d = *b - *a;
        const double l2 = d.dot(d);
        if (std::sqrt(l2) < 1e-6) continue;
        const double t = std::clamp((p - *a).dot(d) / l2, 0.0, 1.0);
        curve.offer(p, *a + d * t, curveInfo(l.id));
    }
    for (const SCircle& c : s->circles) {
        const auto centre = s->pos(c.c);
        if (!centre) continue;
        const V2 r = p - *centre;
        if (r.length() < 1e-12) continue;
        curve.offer(p, *centre + r * (c.r / r.length()), curveInfo(c.id));
    }
    for (const SArc& a : s->arcs) {
        const auto centre = s->pos(a.c), start = s->pos(a.s), end = s->pos(a.e);
        if (!centre || !start || !end) continue;
        const V2 r = p - *centre, rs = *start - *centre, re = *end - *centre;
        if (r.length() < 1e-12 || rs.length() < 1e-12) continue;
        const double from = std::atan2(rs.y, rs.x);
        const double sweep = normAngle(std::atan2(re.y, re.x) - from);
        if (normAngle(std::atan2(r.y, r.x) - from) > sweep) continue;
        curve.offer(p, *centre + r * (rs.length() / r.length()), curveInfo(a.id));
    }
    if (curve.found) return curve.found;

    const double tol = 8 * scale;
    std::vector<V2> candidates;
    candidates.reserve(s->points.size() + s->lines.size() + foreign.size() + 1);
    for (const SPoint& q : s->points)
        candidates.push_back(q.p);
    // Line middles guide too: the middles of two sides of a rectangle cross at its centre.
    for (const SLine& l : s->lines) {
        const auto a = s->pos(l.a), b = s->pos(l.b);
        if (a && b) candidates.push_back((*a + *b) * 0.5);
    }
    candidates.insert(candidates.end(), foreign.begin(), foreign.end());
    if (firstRef) candidates.push_back(firstRef->pt);
    std::optional<V2> cx, cy;
    double bx = tol, by = tol;
    for (const V2& c : candidates) {
        if (std::abs(c.x - p.x) < bx) {
            bx = std::abs(c.x - p.x);
            cx = c;
        }
        if (std::abs(c.y - p.y) < by) {
            by = std::abs(c.y - p.y);
            cy = c;
        }
    }
    if (!cx && !cy) return std::nullopt;
    SnapInfo info;
    info.kind = "align";
    info.pos = {cx ? cx->x : p.x, cy ? cy->y : p.y};
    if (cx) info.guides.emplace_back(*cx, V2{cx->x, info.pos.y});
    if (cy) info.guides.emplace_back(*cy, V2{info.pos.x, cy->y});
    return info;
}

void SketchEditor::applySnapConstraints(Sketch& s, Id firstNewId) {
    for (const SnapInfo& r : snapRecords) {
        for (SPoint& q : s.points) {
            if (q.id < firstNewId || (q.p - r.pos).length() > 1e-6) continue;
            if (r.kind == "mid" && r.curveId) {
                s.addConstraint(ck::midpoint, {q.id, *r.curveId});
            } else if (r.kind == "quad" && r.curveId && r.centerId) {
                s.addConstraint(ck::pointOnCircle, {q.id, *r.curveId});
                s.addConstraint(r.horizontal ? ck::hpoints : ck::vpoints, {q.id, *r.centerId});
            } else if (r.kind == "curve" && r.curveId) {
                s.addConstraint(s.line(*r.curveId) ? ck::pointOnLine : ck::pointOnCircle,
                                {q.id, *r.curveId});
            } else if (r.kind == "foreign") {
                q.fixed = true;
            }
        }
    }
    snapRecords.clear();
}

void SketchEditor::rebuildForeign() {
    foreign = ctl->foreignSnapPoints();
}

}  // namespace ivo
