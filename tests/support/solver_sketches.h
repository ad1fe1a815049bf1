// The sketches on which the solver's drag step is measured (../shared/bench-cases/solver.md),
// for the solver's tests and benchmark alike.
#pragma once

#include <array>
#include <string>

#include "sketch/sketch.h"

namespace ivo::testing {

struct DragCase {
    std::string name;
    Sketch sketch;
    Id dragged = 0;  // the upper-right corner of the middle rectangle
};

// An axis-aligned w × h rectangle from `ll`: horizontal bottom and top, vertical sides, and with
// `lengths` the bottom's length w and the right side's h. Points counter-clockwise from the
// lower-left corner; lines bottom, right, top, left.
struct RectIds {
    std::array<Id, 4> points, lines;
};
RectIds addRect(Sketch& s, V2 ll, double w, double h, bool lengths);

// rect-dim: one 20 × 10 rectangle with its lengths, lower-left point fixed; rect-free: the same
// without lengths; grid-n: n × n of them 10 × 10 on a 12 mm pitch, the first lower-left point
// fixed, every other one at its initial distance from the previous one (row-major).
DragCase rectDim();
DragCase rectFree();
DragCase grid(int n);

// Drag step `k` (from 0): the dragged point moves by +0.5 mm in y on even steps, −0.5 on odd.
void moveDragged(DragCase& c, int k);

// The largest distance between the points (or radii) of two sketches with the same records.
double maxDeviation(const Sketch& a, const Sketch& b);

}  // namespace ivo::testing
