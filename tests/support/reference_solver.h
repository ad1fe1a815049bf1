// The constraint solver written as plainly as possible: dense Jacobian from full residual
// evaluations, dense J·Jᵀ and Gaussian elimination (solveLinear) for every damping try. The
// reference that Sketch::solve must match within round-off, and the baseline of its benchmark.
#pragma once

#include "sketch/sketch.h"

namespace ivo::testing {

struct PlainSolveStats {
    size_t residuals = 0, unknowns = 0;
    int iterations = 0;
};

bool solvePlain(Sketch& sketch, const std::vector<Id>& hold, PlainSolveStats* stats = nullptr);

// Σr² of the sketch as it stands, with the residuals the solver would build for `hold`.
double residualSum(const Sketch& sketch, const std::vector<Id>& hold);

}  // namespace ivo::testing
