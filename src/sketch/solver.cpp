// The constraint solver: damped Gauss–Newton steps taken in the space of the residuals.
// Each residual reads at most eight unknowns, so the Jacobian is built column by column from
// the few residuals an unknown touches, J·Jᵀ is assembled sparsely, and J·Jᵀ + λI (symmetric
// positive definite) is factored by a sparse Cholesky whose ordering serves every try.
#include "sketch/solver.h"

#include <cmath>

#include "sketch/sketch.h"
#include "sketch/solver_sparse.h"
#include "sketch/solver_system.h"

namespace ivo {

std::optional<std::vector<double>> solveLinear(std::vector<std::vector<double>> A,
                                               std::vector<double> b) {
    const size_t n = b.size();
    if (A.size() != n) return std::nullopt;
    for (const std::vector<double>& row : A)
        if (row.size() != n) return std::nullopt;
    for (size_t k = 0; k < n; ++k) {
        size_t p = k;
        for (size_t i = k + 1; i < n; ++i)
            if (std::abs(A[i][k]) > std::abs(A[p][k])) p = i;
        // Written so that a NaN pivot counts as singular too.
        if (!(std::abs(A[p][k]) >= 1e-14)) return std::nullopt;
        std::swap(A[p], A[k]);
        std::swap(b[p], b[k]);
        for (size_t i = k + 1; i < n; ++i) {
            const double f = A[i][k] / A[k][k];
            if (f == 0) continue;
            for (size_t j = k; j < n; ++j)
                A[i][j] -= f * A[k][j];
            b[i] -= f * b[k];
        }
    }
    std::vector<double> y(n);
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t j = i + 1; j < n; ++j)
            s -= A[i][j] * y[j];
        y[i] = s / A[i][i];
    }
    return y;
}

namespace {

// What J·Jᵀ's sparsity alone decides: the factorisation's ordering and pattern, and for each
// pair of Jacobian entries sharing a column, the slot their product adds to.
struct NormalPattern {
    int m = -1;
    std::vector<int> colStart, rows;  // the Jacobian pattern it was built for
    SparseCholesky chol;
    std::vector<int> pairSlot, diagonal;

    bool fits(const SolverSystem& sys) const {
        return m == static_cast<int>(sys.m()) && colStart == sys.colStart && rows == sys.rows;
    }

    void build(const SolverSystem& sys) {
        m = static_cast<int>(sys.m());
        colStart = sys.colStart;
        rows = sys.rows;
        std::vector<std::vector<int>> adjacent(m);
        for (int j = 0; j < sys.n; ++j)
            for (int a = sys.colStart[j]; a < sys.colStart[j + 1]; ++a)
                for (int b = a + 1; b < sys.colStart[j + 1]; ++b) {
                    adjacent[sys.rows[a]].push_back(sys.rows[b]);
                    adjacent[sys.rows[b]].push_back(sys.rows[a]);
                }
        chol.analyse(adjacent);
        pairSlot.clear();
        for (int j = 0; j < sys.n; ++j)
            for (int a = sys.colStart[j]; a < sys.colStart[j + 1]; ++a)
                for (int b = a; b < sys.colStart[j + 1]; ++b)
                    pairSlot.push_back(chol.slot(sys.rows[a], sys.rows[b]));
        diagonal.resize(m);
        for (int i = 0; i < m; ++i)
            diagonal[i] = chol.diagonalSlot(i);
    }
};

// The normal matrix J·Jᵀ + λI of one system.
class NormalMatrix {
public:
    explicit NormalMatrix(const SolverSystem& sys) : sys_(sys), p_(pattern(sys)) {}

    // A = J·Jᵀ from the Jacobian values (stored like SolverSystem::rows). Every entry sums
    // its products in column order.
    void assemble(const std::vector<double>& jac) {
        a_.assign(p_.chol.entries(), 0.0);
        size_t q = 0;
        for (int j = 0; j < sys_.n; ++j)
            for (int a = sys_.colStart[j]; a < sys_.colStart[j + 1]; ++a)
                for (int b = a; b < sys_.colStart[j + 1]; ++b)
                    a_[p_.pairSlot[q++]] += jac[a] * jac[b];
    }

    // y = (A + λI)⁻¹·r; false when the factorisation meets a pivot below 1e-14.
    bool solveDamped(double lambda, const std::vector<double>& r, std::vector<double>& y) {
        factor_ = a_;
        for (int d : p_.diagonal)
            factor_[d] += lambda;
        if (!p_.chol.factor(factor_)) return false;
        y = r;
        p_.chol.solve(factor_, y);
        return true;
    }

private:
    // A drag re-solves the same structure on every pointer event, so the pattern of the last
    // system solved on this thread is kept; any other structure replaces it.
    static NormalPattern& pattern(const SolverSystem& sys) {
        thread_local NormalPattern last;
        if (!last.fits(sys)) last.build(sys);
        return last;
    }

    const SolverSystem& sys_;
    NormalPattern& p_;
    std::vector<double> a_, factor_;
};

// Forward differences, h = max(|xⱼ|, 1)·1e-7, re-evaluating only the residuals that read xⱼ:
// the others would give exactly zero.
void jacobian(SolverSystem& sys, const std::vector<double>& r, std::vector<double>& jac) {
    jac.resize(sys.rows.size());
    for (int j = 0; j < sys.n; ++j) {
        const double xj = sys.vals[j];
        const double h = std::max(std::abs(xj), 1.0) * 1e-7;
        sys.vals[j] = xj + h;
        for (int q = sys.colStart[j]; q < sys.colStart[j + 1]; ++q)
            jac[q] = (sys.eval(sys.residuals[sys.rows[q]]) - r[sys.rows[q]]) / h;
        sys.vals[j] = xj;
    }
}

// One damped step x − Jᵀ·y, kept when it lowers the sum of squares e (then r and e follow).
// A step that would turn a finite unknown into an infinity or a NaN is refused, so that no
// such value ever reaches the sketch.
class Stepper {
public:
    bool tryStep(SolverSystem& sys, const std::vector<double>& jac, const std::vector<double>& y,
                 std::vector<double>& r, double& e) {
        next_.resize(sys.n);
        for (int j = 0; j < sys.n; ++j) {
            double s = 0;
            for (int q = sys.colStart[j]; q < sys.colStart[j + 1]; ++q)
                s += jac[q] * y[sys.rows[q]];
            next_[j] = sys.vals[j] - s;
            if (std::isfinite(sys.vals[j]) && !std::isfinite(next_[j])) return false;
        }
        std::swap_ranges(next_.begin(), next_.end(), sys.vals.begin());
        const double eNext = sys.evalAll(rNext_);
        if (!(eNext < e)) {
            std::swap_ranges(next_.begin(), next_.end(), sys.vals.begin());
            return false;
        }
        r.swap(rNext_);
        e = eNext;
        return true;
    }

private:
    std::vector<double> next_, rNext_;
};

}  // namespace

bool Sketch::solve(const std::vector<Id>& hold) {
    SolverSystem sys = buildSystem(*this, hold);
    std::vector<double> r;
    double e = sys.evalAll(r);
    if (sys.m() == 0) return true;
    if (sys.n == 0) return e < 1e-8;

    NormalMatrix normal(sys);
    Stepper stepper;
    std::vector<double> jac, y;
    double lambda = 1e-6;
    for (int iteration = 0; iteration < 60 && !(e < 1e-18); ++iteration) {
        jacobian(sys, r, jac);
        normal.assemble(jac);
        bool improved = false;
        for (int attempt = 0; attempt < 12 && !improved; ++attempt) {
            improved = normal.solveDamped(lambda, r, y) && stepper.tryStep(sys, jac, y, r, e);
            lambda = improved ? std::max(lambda / 10, 1e-12) : lambda * 10;
        }
        if (!improved) break;
    }

    // Also on failure: the best state reached. Coordinates that were not finite to begin
    // with are left as they were.
    for (const auto& [index, k] : sys.pointUnknowns) {
        if (std::isfinite(sys.vals[k])) points[index].p.x = sys.vals[k];
        if (std::isfinite(sys.vals[k + 1])) points[index].p.y = sys.vals[k + 1];
    }
    for (const auto& [index, k] : sys.circleUnknowns)
        if (std::isfinite(sys.vals[k])) circles[index].r = std::abs(sys.vals[k]);
    return e < 1e-8;
}

}  // namespace ivo
