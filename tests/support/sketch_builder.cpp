#include "support/sketch_builder.h"

#include <cmath>
#include <unordered_set>

namespace ivo::testing {

std::vector<Id> addPolygon(Sketch& s, const Loop& loop, bool construction) {
    std::vector<Id> pts, lines;
    for (V2 p : loop)
        pts.push_back(s.addPoint(p));
    for (size_t i = 0; i < pts.size(); ++i)
        lines.push_back(s.addLine(pts[i], pts[(i + 1) % pts.size()], construction));
    return lines;
}

Id addSegment(Sketch& s, V2 a, V2 b, bool construction) {
    const Id pa = s.addPoint(a);
    return s.addLine(pa, s.addPoint(b), construction);
}

Id addCircle(Sketch& s, V2 c, double r, bool construction) {
    const Id pc = s.addPoint(c);
    s.circles.push_back({s.newId(), pc, r, construction});
    return s.circles.back().id;
}

Id addArc(Sketch& s, V2 c, V2 start, V2 end, bool construction) {
    const Id pc = s.addPoint(c), ps = s.addPoint(start), pe = s.addPoint(end);
    s.arcs.push_back({s.newId(), pc, ps, pe, construction});
    return s.arcs.back().id;
}

Sketch gridSketch(std::mt19937& rng, int curves) {
    auto roll = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto grid = [&]() { return V2{0.5 * roll(13), 0.5 * roll(13)}; };
    auto polar = [](double a, double r) { return V2{std::cos(a), std::sin(a)} * r; };
    Sketch s;
    std::vector<Id> pts{0};  // the origin among them
    auto point = [&]() {
        if (roll(10) < 4) return pts[roll(int(pts.size()))];
        pts.push_back(s.addPoint(grid()));
        return pts.back();
    };
    for (int i = 0; i < curves; ++i) {
        const bool construction = roll(10) == 0;
        const int k = roll(10);
        const V2 c = grid();
        const double r = 0.5 * (1 + roll(4)), a = pi / 4 * roll(8);
        const double b = a + pi / 4 * (1 + roll(8)), off = roll(5) ? 1 : 1.5;
        if (k < 6) s.addLine(point(), point(), construction);
        if (k == 6 || k == 7) addCircle(s, c, r, construction);
        if (k > 7) addArc(s, c, c + polar(a, r), c + polar(b, r * off), construction);
        if (roll(10) == 0 && !s.lines.empty())
            s.lines.push_back({s.newId(), s.lines[0].a, s.lines[0].b});
    }
    return s;
}

std::string sketchFault(const Sketch& s, const Sketch* before) {
    const auto origin = s.pointIndex(0);
    if (!origin || !s.points[*origin].fixed || s.points[*origin].p != V2{}) return "origin";
    if (before && s.nextId < before->nextId) return "nextId went back";
    std::unordered_set<Id> points, valid, old;
    auto ids = [](const Sketch& k) {
        std::vector<Id> out = k.allEntities();
        for (const SPoint& p : k.points)
            out.push_back(p.id);
        for (const SConstraint& c : k.constraints)
            out.push_back(c.id);
        return out;
    };
    if (before)
        for (Id id : ids(*before))
            old.insert(id);
    for (Id id : ids(s)) {
        const std::string what = "id " + std::to_string(id);
        if (!valid.insert(id).second) return "duplicate " + what;
        if (id < 0 || id >= s.nextId) return what + " not below nextId";
        if (before && !old.contains(id) && id < before->nextId) return "new " + what + " is old";
    }
    for (const SPoint& p : s.points) {
        points.insert(p.id);
        if (!std::isfinite(p.p.x) || !std::isfinite(p.p.y)) return "point not finite";
    }
    auto missing = [&](Id id) { return !points.contains(id); };
    for (const SLine& l : s.lines)
        if (missing(l.a) || missing(l.b)) return "line on a missing point";
    for (const SCircle& c : s.circles)
        if (missing(c.c) || !std::isfinite(c.r) || c.r < 0) return "circle radius or centre";
    for (const SArc& a : s.arcs)
        if (missing(a.c) || missing(a.s) || missing(a.e)) return "arc on a missing point";
    for (const SConstraint& c : s.constraints)
        valid.erase(c.id);  // constraints name points and curves only
    for (const SConstraint& c : s.constraints)
        for (Id r : c.refs)
            if (!valid.contains(r)) return "constraint names missing " + std::to_string(r);
    for (Id id : s.freePoints.value_or(std::vector<Id>{}))
        if (missing(id)) return "free point missing";
    return {};
}

}  // namespace ivo::testing
