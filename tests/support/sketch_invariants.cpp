#include "support/sketch_invariants.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace ivo::testing {
namespace {

std::unordered_set<Id> pointIds(const Sketch& s) {
    std::unordered_set<Id> ids;
    for (const SPoint& p : s.points)
        ids.insert(p.id);
    return ids;
}

// Every record id with a label for messages.
template <class F>
void eachRecord(const Sketch& s, F f) {
    for (const SPoint& p : s.points)
        f(p.id, "point");
    for (const SLine& l : s.lines)
        f(l.id, "line");
    for (const SCircle& c : s.circles)
        f(c.id, "circle");
    for (const SArc& a : s.arcs)
        f(a.id, "arc");
    for (const SConstraint& c : s.constraints)
        f(c.id, "constraint");
}

std::string idText(const char* what, Id id) {
    return std::string(what) + " " + std::to_string(id);
}

}  // namespace

std::string sketchFault(const Sketch& s) {
    const auto origin = s.pointIndex(0);
    if (!origin) return "the origin is missing";
    const SPoint& o = s.points[*origin];
    if (!o.fixed || o.p.x != 0 || o.p.y != 0) return "the origin moved or is not fixed";
    std::string fault;
    std::unordered_set<Id> seen;
    eachRecord(s, [&](Id id, const char* what) {
        if (!fault.empty()) return;
        if (!seen.insert(id).second) fault = "duplicate id: " + idText(what, id);
        if (id < 0 || id >= s.nextId) fault = idText(what, id) + " not below nextId";
    });
    if (!fault.empty()) return fault;

    const auto points = pointIds(s);
    auto point = [&points](Id id) { return points.contains(id); };
    for (const SLine& l : s.lines)
        if (!point(l.a) || !point(l.b)) return idText("line", l.id) + " on a missing point";
    for (const SCircle& c : s.circles) {
        if (!point(c.c)) return idText("circle", c.id) + " on a missing point";
        if (!std::isfinite(c.r) || c.r < 0) return idText("circle", c.id) + " radius";
    }
    for (const SArc& a : s.arcs)
        if (!point(a.c) || !point(a.s) || !point(a.e))
            return idText("arc", a.id) + " on a missing point";
    std::unordered_set<Id> valid = points;
    for (Id id : s.allEntities())
        valid.insert(id);
    for (const SConstraint& c : s.constraints)
        for (Id r : c.refs)
            if (!valid.contains(r))
                return idText("constraint", c.id) + " names missing " + std::to_string(r);
    if (s.freePoints)
        for (Id id : *s.freePoints)
            if (!point(id)) return idText("free point", id) + " is missing";
    for (const SPoint& p : s.points)
        if (!std::isfinite(p.p.x) || !std::isfinite(p.p.y)) return idText("point", p.id) + " NaN";
    return {};
}

std::string stepFault(const Sketch& before, const Sketch& after) {
    if (after.nextId < before.nextId) return "nextId went back";
    std::unordered_set<Id> old;
    eachRecord(before, [&old](Id id, const char*) { old.insert(id); });
    std::string fault;
    eachRecord(after, [&](Id id, const char* what) {
        if (fault.empty() && !old.contains(id) && id < before.nextId)
            fault = "new " + idText(what, id) + " reuses an old id";
    });
    return fault;
}

size_t orphanPoints(const Sketch& s) {
    size_t n = 0;
    for (const SPoint& p : s.points)
        if (p.id != 0 && !s.entityUsesPoint(p.id) &&
            !(s.freePoints && std::count(s.freePoints->begin(), s.freePoints->end(), p.id)))
            ++n;
    return n;
}

}  // namespace ivo::testing
