// Small helpers shared by the editing operations of a sketch (trim, corners, offsets,
// copies): record adders for round curves, constraint clean-up and position checks.
#pragma once

#include <algorithm>
#include <cmath>

#include "sketch/sketch.h"

namespace ivo {

// Positions, sizes and distances an edit may take or make: finite and within 1e9 mm
// (1 000 km). Beyond that a double no longer holds the 1e-5 mm tolerances of profiles, and
// squared lengths head for overflow. NaN is out of reach.
constexpr double kReachLimit = 1e9;
inline bool inReach(double v) {
    return std::abs(v) <= kReachLimit;
}
inline bool inReach(V2 p) {
    return inReach(p.x) && inReach(p.y);
}

// The point of the circle (c, r) at angle a.
inline V2 polarPoint(V2 c, double r, double a) {
    return {c.x + r * std::cos(a), c.y + r * std::sin(a)};
}

inline Id appendCircle(Sketch& s, Id c, double r, bool construction) {
    const Id id = s.newId();
    s.circles.push_back({id, c, r, construction});
    return id;
}

inline Id appendArc(Sketch& s, Id c, Id start, Id end, bool construction) {
    const Id id = s.newId();
    s.arcs.push_back({id, c, start, end, construction});
    return id;
}

inline bool refersTo(const SConstraint& c, Id id) {
    return std::find(c.refs.begin(), c.refs.end(), id) != c.refs.end();
}

inline void eraseConstraintsOn(Sketch& s, Id id) {
    std::erase_if(s.constraints, [id](const SConstraint& c) { return refersTo(c, id); });
}

// The id itself when that point exists, otherwise a new point at `at` standing in for it.
inline Id ensurePoint(Sketch& s, Id id, V2 at) {
    return s.pointIndex(id) ? id : s.addPoint(at);
}

inline bool isFreePoint(const Sketch& s, Id id) {
    return s.freePoints &&
           std::find(s.freePoints->begin(), s.freePoints->end(), id) != s.freePoints->end();
}

}  // namespace ivo
