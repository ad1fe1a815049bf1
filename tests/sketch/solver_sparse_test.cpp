#include "sketch/solver_sparse.h"

#include <gtest/gtest.h>

#include <random>

#include "sketch/solver.h"

namespace ivo {
namespace {

using Dense = std::vector<std::vector<double>>;

TEST(SolveLinear, PivotsAndDetectsSingularMatrices) {
    EXPECT_EQ(solveLinear({{0, 1}, {1, 0}}, {2, 3}), (std::vector<double>{3, 2}));
    EXPECT_FALSE(solveLinear({{1, 2}, {2, 4}}, {1, 1}));
    EXPECT_EQ(solveLinear({}, {}), std::vector<double>{});
    EXPECT_FALSE(solveLinear({{1e-15}}, {1}));
    EXPECT_FALSE(solveLinear({{std::nan("")}}, {1}));
    EXPECT_FALSE(solveLinear({{1, 0}}, {1, 1}));  // not square
    // Without row exchanges the first pivot would be 1e-20 and the result garbage.
    const auto y = solveLinear({{1e-20, 1}, {1, 1}}, {1, 2});
    ASSERT_TRUE(y);
    EXPECT_NEAR((*y)[0], 1, 1e-12);
    EXPECT_NEAR((*y)[1], 1, 1e-12);
}

// A random sparse symmetric positive-definite matrix B·Bᵀ + I, B with `perRow` entries a row.
Dense randomSpd(std::mt19937& rng, int n, int perRow) {
    std::uniform_int_distribution<int> col(0, n - 1);
    std::uniform_real_distribution<double> val(-2, 2);
    Dense b(n, std::vector<double>(n, 0.0)), a(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < perRow; ++k)
            b[i][col(rng)] = val(rng);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) {
            for (int j = 0; j < n; ++j)
                a[i][k] += b[i][j] * b[k][j];
            if (i == k) a[i][k] += 1;
        }
    return a;
}

SparseCholesky analysed(const Dense& a) {
    std::vector<std::vector<int>> adjacent(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t k = 0; k < a.size(); ++k)
            if (i != k && a[i][k] != 0) adjacent[i].push_back(static_cast<int>(k));
    SparseCholesky c;
    c.analyse(adjacent);
    return c;
}

std::vector<double> load(const SparseCholesky& c, const Dense& a) {
    std::vector<double> values(c.entries(), 0.0);
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t k = 0; k <= i; ++k)
            if (a[i][k] != 0 || i == k) {
                const int s = c.slot(static_cast<int>(i), static_cast<int>(k));
                EXPECT_GE(s, 0);
                values[s] = a[i][k];
            }
    return values;
}

TEST(SparseCholesky, SolvesLikeGaussianElimination) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> val(-10, 10);
    for (int n : {1, 2, 5, 30, 120}) {
        for (int perRow : {1, 2, 3}) {
            const Dense a = randomSpd(rng, n, perRow);
            SparseCholesky c = analysed(a);
            std::vector<double> values = load(c, a);
            ASSERT_TRUE(c.factor(values)) << n;
            std::vector<double> b(n);
            for (double& v : b)
                v = val(rng);
            const auto expected = solveLinear(a, b);
            ASSERT_TRUE(expected);
            c.solve(values, b);
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(b[i], (*expected)[i], 1e-9 * (1 + std::abs((*expected)[i])));
        }
    }
}

TEST(SparseCholesky, RefusesMatricesThatAreNotPositiveDefinite) {
    const Dense cases[] = {
        {{1, 2}, {2, 1}},             // indefinite
        {{1, 1}, {1, 1}},             // singular
        {{1e-15}},                    // pivot below 1e-14
        {{std::nan(""), 0}, {0, 1}},  // not a number
        {{1, 0}, {0, HUGE_VAL}},      // infinite
    };
    for (const Dense& a : cases) {
        SparseCholesky c = analysed(a);
        std::vector<double> values = load(c, a);
        EXPECT_FALSE(c.factor(values));
    }
}

}  // namespace
}  // namespace ivo
