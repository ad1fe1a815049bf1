// The constraint system of one solve: the unknowns of a sketch, its residuals compiled into
// flat records, and the sparsity of their Jacobian. Internal to the solver (solver.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "sketch/sketch.h"

namespace ivo {

// A radius read by a residual: a stored value (vals[scalar]) or, for an arc, the distance
// from its centre to its start point (points at vals[c] and vals[s]).
struct RadiusRef {
    int scalar = -1;
    int c = -1, s = -1;
};

// One residual. Points are indices into SolverSystem::vals of their x, with y just after.
struct Residual {
    enum class Kind : std::uint8_t {
        arcEnd,         // |p2 − p0| − |p1 − p0|: end p2 on the circle of centre p0, start p1
        dy,             // p1.y − p0.y
        dx,             // p0.x − p1.x
        dist,           // |p0 − p1| − v
        radius,         // R(ra) − v
        diameter,       // 2·R(ra) − v
        parallel,       // u(p0→p1) × u(p2→p3)
        perpendicular,  // u(p0→p1) · u(p2→p3)
        equalLength,    // |p1 − p0| − |p3 − p2|
        equalRadius,    // R(ra) − R(rb)
        pointOnLine,    // u(p1→p2) × (p0 − p1)
        midX,           // p0.x − (p1 + p2).x / 2
        midY,           // p0.y − (p1 + p2).y / 2
        pointOnCircle,  // |p0 − p1| − R(ra), p1 the centre
        tangent,        // |u(p0→p1) × (p2 − p0)| − R(ra), p2 the centre
    };
    Kind kind = Kind::dy;
    int p[4] = {0, 0, 0, 0};
    RadiusRef ra, rb;
    double v = 0;
};

struct SolverSystem {
    int n = 0;                        // unknowns: vals[0, n)
    std::vector<double> vals;         // the unknowns, then the positions and radii held still
    std::vector<Residual> residuals;  // arcs first, then constraint by constraint
    // Unknown points (index into Sketch::points, index of x) and circles (index, unknown).
    std::vector<std::pair<size_t, int>> pointUnknowns, circleUnknowns;
    // Jacobian sparsity by column: rows of unknown j are rows[colStart[j], colStart[j + 1]),
    // ascending. Only the unknowns a residual actually reads are listed.
    std::vector<int> colStart, rows;

    size_t m() const { return residuals.size(); }
    double eval(const Residual& r) const;
    // All residuals at the current vals, and their sum of squares (in residual order).
    double evalAll(std::vector<double>& out) const;
};

// Builds the unknowns (free points not in `hold`, in `points` order, x then y; then every
// circle's radius) and the residuals, reading ids the way the sketch lookups do (first match).
SolverSystem buildSystem(const Sketch& sketch, const std::vector<Id>& hold);

}  // namespace ivo
