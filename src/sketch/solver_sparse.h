// Sparse Cholesky factorisation of a symmetric positive-definite matrix whose pattern is known
// in advance: a minimum-degree ordering and the factor's pattern are computed once, then the
// same pattern is factored numerically as often as needed (the solver's damping tries).
#pragma once

#include <vector>

namespace ivo {

class SparseCholesky {
public:
    // `adjacent[i]`: the indices k ≠ i where A(i, k) may be non-zero, each pair listed from
    // both sides. The diagonal is always part of the pattern.
    void analyse(const std::vector<std::vector<int>>& adjacent);

    int size() const { return static_cast<int>(perm_.size()); }
    // Number of stored entries of the factor (diagonal included).
    int entries() const { return static_cast<int>(row_.size()); }
    // Storage index of A(i, k) (original indices, either order) in the arrays given to
    // factor(); -1 when outside the pattern.
    int slot(int i, int k) const;
    // Storage index of A(i, i).
    int diagonalSlot(int i) const { return colStart_[iperm_[i]]; }

    // Factors in place: `values` holds A at the slots (zero where only fill-in lands) and ends
    // holding the factor. False when a pivot falls below 1e-14 or is not finite.
    bool factor(std::vector<double>& values);
    // Solves A·y = b in place with a factor from factor().
    void solve(const std::vector<double>& factor, std::vector<double>& b);

private:
    std::vector<int> perm_, iperm_;    // elimination step → index, index → step
    std::vector<int> colStart_, row_;  // the factor by column (steps); diagonal first
    // For each step j: the (column, slot) pairs of the factor's non-zeros in row j.
    std::vector<int> rowStart_, rowCol_, rowSlot_;
    std::vector<int> scatter_;  // work: step → slot of the column being factored
    std::vector<double> work_;
};

}  // namespace ivo
