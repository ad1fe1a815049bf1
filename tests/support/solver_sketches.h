// The sketches on which the solver's drag step is measured (../shared/bench-cases/solver.md),
// built with the sketch adders, for the solver's tests and benchmark alike.
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

struct RectIds {
    std::array<Id, 4> points;  // lower-left, lower-right, upper-right, upper-left
    std::array<Id, 4> lines;   // bottom, right, top, left
};

// An axis-aligned w × h rectangle from `ll`: horizontal bottom and top, vertical right and
// left, and with `lengths` the bottom's length w and the right side's h.
RectIds addRect(Sketch& s, V2 ll, double w, double h, bool lengths);

// One 20 × 10 rectangle at the origin, horizontal, vertical, lengths 20 and 10, lower-left
// point fixed.
DragCase rectDim();
// The same without the two lengths.
DragCase rectFree();
// n × n rectangles of 10 × 10 on a 12 mm pitch, each constrained like rectDim, the first
// lower-left point fixed, every other lower-left point at its initial distance from the
// previous one (row-major).
DragCase grid(int n);

// Drag step `k` (from 0): the dragged point moves by +0.5 mm in y on even steps and −0.5 on
// odd ones.
void moveDragged(DragCase& c, int k);

// The largest distance between the points (and difference between the radii) of two sketches
// with the same records.
double maxDeviation(const Sketch& a, const Sketch& b);

}  // namespace ivo::testing
