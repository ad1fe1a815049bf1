#include "support/sketch_invariants.h"

#include <cmath>
#include <unordered_set>

namespace ivo::testing {

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
