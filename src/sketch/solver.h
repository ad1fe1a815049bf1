// Dense linear solving by Gaussian elimination. The constraint solver itself factors its
// symmetric normal matrix sparsely (solver_sparse.h).
#pragma once

#include <optional>
#include <vector>

namespace ivo {

// Solves A·y = b (A square, row-major rows) by Gaussian elimination with partial pivoting;
// nothing when a pivot falls below 1e-14 (or is NaN), or when A is not |b| × |b|. An empty b
// gives an empty result.
std::optional<std::vector<double>> solveLinear(std::vector<std::vector<double>> A,
                                               std::vector<double> b);

}  // namespace ivo
