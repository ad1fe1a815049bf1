// The constraint solver written as plainly as possible: dense Jacobian from full residual
// evaluations, dense J·Jᵀ and Gaussian elimination (solveLinear) for every damping try. The
// reference that Sketch::solve must match within round-off, and the baseline of its benchmark.
#pragma once

#include "sketch/sketch.h"

namespace ivo::testing {

bool solvePlain(Sketch& sketch, const std::vector<Id>& hold);

// Σr² of the sketch as it stands, with the residuals the solver would build for `hold`.
double residualSum(const Sketch& sketch, const std::vector<Id>& hold);

}  // namespace ivo::testing
