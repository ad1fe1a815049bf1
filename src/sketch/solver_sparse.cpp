// Minimum-degree ordering, symbolic and numeric Cholesky factorisation.
#include "sketch/solver_sparse.h"

#include <algorithm>
#include <cmath>

namespace ivo {
namespace {

// Nodes bucketed by degree in doubly linked lists, so that the node of least degree is found
// and a changed degree is filed again in constant time.
class DegreeBuckets {
public:
    explicit DegreeBuckets(int n) : head_(n + 1, -1), next_(n, -1), prev_(n, -1), deg_(n, 0) {}

    void insert(int v, int d) {
        deg_[v] = d;
        prev_[v] = -1;
        next_[v] = head_[d];
        if (head_[d] >= 0) prev_[head_[d]] = v;
        head_[d] = v;
        lowest_ = std::min(lowest_, d);
    }
    void remove(int v) {
        if (prev_[v] >= 0) {
            next_[prev_[v]] = next_[v];
        } else {
            head_[deg_[v]] = next_[v];
        }
        if (next_[v] >= 0) prev_[next_[v]] = prev_[v];
    }
    int popLowest() {
        while (head_[lowest_] < 0)
            ++lowest_;
        const int v = head_[lowest_];
        remove(v);
        return v;
    }

private:
    std::vector<int> head_, next_, prev_, deg_;
    int lowest_ = 0;
};

}  // namespace

void SparseCholesky::analyse(const std::vector<std::vector<int>>& adjacent) {
    const int n = static_cast<int>(adjacent.size());
    // Elimination on the explicit graph: eliminating v joins its neighbours into a clique,
    // and those neighbours are exactly the rows of v's column in the factor.
    std::vector<std::vector<int>> adj(adjacent);
    for (auto& a : adj) {
        std::sort(a.begin(), a.end());
        a.erase(std::unique(a.begin(), a.end()), a.end());
    }
    DegreeBuckets buckets(n);
    for (int v = 0; v < n; ++v)
        buckets.insert(v, static_cast<int>(adj[v].size()));
    perm_.assign(n, 0);
    iperm_.assign(n, 0);
    std::vector<std::vector<int>> cols(n);
    std::vector<int> merged;
    for (int step = 0; step < n; ++step) {
        const int v = buckets.popLowest();
        perm_[step] = v;
        iperm_[v] = step;
        std::vector<int>& nb = adj[v];
        for (int u : nb) {
            buckets.remove(u);
            merged.clear();
            std::set_union(adj[u].begin(), adj[u].end(), nb.begin(), nb.end(),
                           std::back_inserter(merged));
            merged.erase(std::remove_if(merged.begin(), merged.end(),
                                        [&](int w) { return w == u || w == v; }),
                         merged.end());
            adj[u].swap(merged);
            buckets.insert(u, static_cast<int>(adj[u].size()));
        }
        cols[v].swap(nb);
    }

    colStart_.assign(n + 1, 0);
    row_.clear();
    for (int j = 0; j < n; ++j) {
        std::vector<int>& c = cols[perm_[j]];
        for (int& r : c)
            r = iperm_[r];
        std::sort(c.begin(), c.end());
        row_.push_back(j);
        row_.insert(row_.end(), c.begin(), c.end());
        colStart_[j + 1] = static_cast<int>(row_.size());
    }

    // Row lists, columns ascending, for the left-looking factorisation.
    rowStart_.assign(n + 1, 0);
    for (int k = 0; k < n; ++k)
        for (int p = colStart_[k] + 1; p < colStart_[k + 1]; ++p)
            ++rowStart_[row_[p] + 1];
    for (int j = 0; j < n; ++j)
        rowStart_[j + 1] += rowStart_[j];
    std::vector<int> fill(rowStart_.begin(), rowStart_.end() - 1);
    rowCol_.assign(rowStart_[n], 0);
    rowSlot_.assign(rowStart_[n], 0);
    for (int k = 0; k < n; ++k) {
        for (int p = colStart_[k] + 1; p < colStart_[k + 1]; ++p) {
            const int q = fill[row_[p]]++;
            rowCol_[q] = k;
            rowSlot_[q] = p;
        }
    }
    scatter_.assign(n, -1);
    work_.assign(n, 0);
}

int SparseCholesky::slot(int i, int k) const {
    int r = iperm_[i], c = iperm_[k];
    if (r < c) std::swap(r, c);
    if (r == c) return colStart_[c];
    const auto first = row_.begin() + colStart_[c] + 1, last = row_.begin() + colStart_[c + 1];
    const auto it = std::lower_bound(first, last, r);
    return it != last && *it == r ? static_cast<int>(it - row_.begin()) : -1;
}

bool SparseCholesky::factor(std::vector<double>& L) {
    const int n = size();
    for (int j = 0; j < n; ++j) {
        const int begin = colStart_[j], end = colStart_[j + 1];
        for (int p = begin; p < end; ++p)
            scatter_[row_[p]] = p;
        // Column j loses the contribution of every earlier column with a non-zero in row j;
        // that column's rows below j all lie in column j's pattern.
        for (int q = rowStart_[j]; q < rowStart_[j + 1]; ++q) {
            const int k = rowCol_[q], pk = rowSlot_[q];
            const double ljk = L[pk];
            for (int p = pk; p < colStart_[k + 1]; ++p)
                L[scatter_[row_[p]]] -= L[p] * ljk;
        }
        const double d = L[begin];
        if (!(d >= 1e-14) || !std::isfinite(d)) return false;
        const double s = std::sqrt(d);
        L[begin] = s;
        for (int p = begin + 1; p < end; ++p)
            L[p] /= s;
    }
    return true;
}

void SparseCholesky::solve(const std::vector<double>& L, std::vector<double>& b) {
    const int n = size();
    std::vector<double>& z = work_;
    for (int j = 0; j < n; ++j)
        z[j] = b[perm_[j]];
    for (int j = 0; j < n; ++j) {
        z[j] /= L[colStart_[j]];
        const double zj = z[j];
        for (int p = colStart_[j] + 1; p < colStart_[j + 1]; ++p)
            z[row_[p]] -= L[p] * zj;
    }
    for (int j = n - 1; j >= 0; --j) {
        double t = z[j];
        for (int p = colStart_[j] + 1; p < colStart_[j + 1]; ++p)
            t -= L[p] * z[row_[p]];
        z[j] = t / L[colStart_[j]];
    }
    for (int j = 0; j < n; ++j)
        b[perm_[j]] = z[j];
}

}  // namespace ivo
