#include "support/sketch_invariants.h"

#include <cmath>
#include <unordered_set>

namespace ivo::testing {
namespace {

// Every record id with a label for messages.
template <class F>
void eachRecord(const Sketch& s, F f) {
    for (const SPoint& p : s.points)
        f(p.id, "point ");
    for (Id id : s.allEntities())
        f(id, "curve ");
    for (const SConstraint& c : s.constraints)
        f(c.id, "constraint ");
}

}  // namespace

std::string sketchFault(const Sketch& s, const Sketch* before) {
    const auto origin = s.pointIndex(0);
    if (!origin || !s.points[*origin].fixed || s.points[*origin].p != V2{})
        return "the origin is missing, moved or not fixed";
    if (before && s.nextId < before->nextId) return "nextId went back";
    std::unordered_set<Id> seen, old, points;
    if (before) eachRecord(*before, [&](Id id, const char*) { old.insert(id); });
    std::string fault;
    eachRecord(s, [&](Id id, const char* what) {
        if (!seen.insert(id).second)
            fault = std::string("duplicate id of ") + what + std::to_string(id);
        if (id < 0 || id >= s.nextId) fault = what + std::to_string(id) + " not below nextId";
        if (before && !old.contains(id) && id < before->nextId)
            fault = std::string("new ") + what + std::to_string(id) + " reuses an old id";
    });
    if (!fault.empty()) return fault;
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
    std::unordered_set<Id> valid = points;
    for (Id id : s.allEntities())
        valid.insert(id);
    for (const SConstraint& c : s.constraints)
        for (Id r : c.refs)
            if (!valid.contains(r)) return "constraint names missing " + std::to_string(r);
    for (Id id : s.freePoints.value_or(std::vector<Id>{}))
        if (missing(id)) return "free point missing";
    return {};
}

}  // namespace ivo::testing
