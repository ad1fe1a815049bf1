// Deleting entities with everything that depends on them, orphan clean-up, and merging two
// points into one (coincidence is a shared point id, never a stored constraint).
#include <algorithm>
#include <unordered_set>

#include "sketch/edit_support.h"

namespace ivo {
namespace {

bool namesAnything(const Sketch& s, Id id) {
    auto has = [id](const auto& records) {
        return std::any_of(records.begin(), records.end(),
                           [id](const auto& r) { return r.id == id; });
    };
    return has(s.points) || has(s.lines) || has(s.circles) || has(s.arcs) || has(s.constraints);
}

template <class Records>
void eraseId(Records& records, Id id) {
    std::erase_if(records, [id](const auto& r) { return r.id == id; });
}

void replaceRef(Id& ref, Id from, Id to) {
    if (ref == from) ref = to;
}

}  // namespace

bool Sketch::deleteEntity(Id id) {
    // The origin anchors every sketch; a request to delete it changes nothing at all.
    if (id == 0 || !namesAnything(*this, id)) return false;
    eraseId(constraints, id);
    eraseId(lines, id);
    eraseId(circles, id);
    eraseId(arcs, id);
    if (pointIndex(id)) {
        std::erase_if(lines, [id](const SLine& l) { return l.a == id || l.b == id; });
        std::erase_if(circles, [id](const SCircle& c) { return c.c == id; });
        std::erase_if(arcs, [id](const SArc& a) { return a.c == id || a.s == id || a.e == id; });
        eraseId(points, id);
        if (freePoints) std::erase(*freePoints, id);
    }
    eraseConstraintsOn(*this, id);
    removeOrphans();
    return true;
}

void Sketch::removeOrphans() {
    std::unordered_set<Id> kept{0};
    if (freePoints) kept.insert(freePoints->begin(), freePoints->end());
    for (const SLine& l : lines)
        kept.insert({l.a, l.b});
    for (const SCircle& c : circles)
        kept.insert(c.c);
    for (const SArc& a : arcs)
        kept.insert({a.c, a.s, a.e});
    std::erase_if(points, [&kept](const SPoint& p) { return !kept.contains(p.id); });

    std::unordered_set<Id> valid;
    for (const SPoint& p : points)
        valid.insert(p.id);
    for (Id id : allEntities())
        valid.insert(id);
    std::erase_if(constraints, [&valid](const SConstraint& c) {
        return std::any_of(c.refs.begin(), c.refs.end(),
                           [&valid](Id r) { return !valid.contains(r); });
    });
}

bool Sketch::mergePoints(Id a, Id b) {
    if (a == b || !pointIndex(a) || !pointIndex(b)) return false;
    const Id keep = b == 0 ? b : a;
    const Id gone = b == 0 ? a : b;
    for (SLine& l : lines) {
        replaceRef(l.a, gone, keep);
        replaceRef(l.b, gone, keep);
    }
    for (SCircle& c : circles)
        replaceRef(c.c, gone, keep);
    for (SArc& r : arcs) {
        replaceRef(r.c, gone, keep);
        replaceRef(r.s, gone, keep);
        replaceRef(r.e, gone, keep);
    }
    for (SConstraint& c : constraints)
        for (Id& ref : c.refs)
            replaceRef(ref, gone, keep);
    if (points[*pointIndex(gone)].fixed) points[*pointIndex(keep)].fixed = true;
    if (freePoints) std::erase(*freePoints, gone);
    eraseId(points, gone);

    std::vector<Id> collapsed;
    for (const SLine& l : lines)
        if (l.a == l.b) collapsed.push_back(l.id);
    std::erase_if(lines, [](const SLine& l) { return l.a == l.b; });
    for (Id id : collapsed)
        eraseConstraintsOn(*this, id);
    std::erase_if(constraints, [](const SConstraint& c) {
        return c.kind == ck::distance && c.refs.size() == 2 && c.refs[0] == c.refs[1];
    });
    return true;
}

}  // namespace ivo
