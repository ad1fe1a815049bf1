// Queries, adders and planes of the sketch record.
#include "sketch/sketch.h"

#include <cmath>

namespace ivo {

SketchPlane SketchPlane::xy() {
    return {"Plan XY", {0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
}
SketchPlane SketchPlane::xz() {
    return {"Plan XZ", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
}
SketchPlane SketchPlane::yz() {
    return {"Plan YZ", {0, 0, 0}, {0, 0, -1}, {1, 0, 0}};
}

SketchPlane SketchPlane::face(V3 n, V3 p) {
    V3 n1 = n.normalized();
    // Snapping near-zero components keeps axis-aligned faces exactly axis-aligned.
    if (std::abs(n1.x) < 1e-6) n1.x = 0;
    if (std::abs(n1.y) < 1e-6) n1.y = 0;
    if (std::abs(n1.z) < 1e-6) n1.z = 0;
    const V3 n2 = n1.normalized();
    const V3 origin = n2 * p.dot(n2);
    const V3 x = std::abs(n2.y) > 0.9 ? V3{1, 0, 0} : V3{0, 1, 0}.cross(n2).normalized();
    return {"Face", origin, x, n2};
}

std::optional<V2> Sketch::pos(Id id) const {
    for (const SPoint& p : points)
        if (p.id == id) return p.p;
    return std::nullopt;
}

std::optional<size_t> Sketch::pointIndex(Id id) const {
    for (size_t i = 0; i < points.size(); ++i)
        if (points[i].id == id) return i;
    return std::nullopt;
}

std::optional<SLine> Sketch::line(Id id) const {
    for (const SLine& l : lines)
        if (l.id == id) return l;
    return std::nullopt;
}

std::optional<SCircle> Sketch::circle(Id id) const {
    for (const SCircle& c : circles)
        if (c.id == id) return c;
    return std::nullopt;
}

std::optional<SArc> Sketch::arc(Id id) const {
    for (const SArc& a : arcs)
        if (a.id == id) return a;
    return std::nullopt;
}

bool Sketch::entityUsesPoint(Id id) const {
    for (const SLine& l : lines)
        if (l.a == id || l.b == id) return true;
    for (const SCircle& c : circles)
        if (c.c == id) return true;
    for (const SArc& a : arcs)
        if (a.c == id || a.s == id || a.e == id) return true;
    return false;
}

std::vector<Id> Sketch::allEntities() const {
    std::vector<Id> ids;
    ids.reserve(lines.size() + circles.size() + arcs.size());
    for (const SLine& l : lines)
        ids.push_back(l.id);
    for (const SCircle& c : circles)
        ids.push_back(c.id);
    for (const SArc& a : arcs)
        ids.push_back(a.id);
    return ids;
}

Id Sketch::addPoint(V2 p) {
    const Id id = newId();
    points.push_back({id, p, false});
    return id;
}

Id Sketch::addLine(Id a, Id b, bool construction) {
    const Id id = newId();
    lines.push_back({id, a, b, construction});
    return id;
}

Id Sketch::addConstraint(const std::string& kind, const std::vector<Id>& refs,
                         std::optional<double> value) {
    for (SConstraint& c : constraints) {
        if (c.kind == kind && c.refs == refs) {
            c.value = value;
            return c.id;
        }
    }
    const Id id = newId();
    constraints.push_back({id, kind, refs, value});
    return id;
}

}  // namespace ivo
