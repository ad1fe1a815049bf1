// Nesting of profile loops into regions, and a representative point of a region.
#include <algorithm>
#include <cmath>

#include "sketch/profiles.h"
#include "sketch/sketch.h"

namespace ivo {
namespace {

struct Bounds {
    V2 lo{1e300, 1e300}, hi{-1e300, -1e300};

    void add(V2 p) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
    }
    bool holds(V2 p) const { return p.x >= lo.x && p.x <= hi.x && p.y >= lo.y && p.y <= hi.y; }
    bool meets(const Bounds& o) const {
        return lo.x <= o.hi.x && o.lo.x <= hi.x && lo.y <= o.hi.y && o.lo.y <= hi.y;
    }
};

// Uniform grid over the loops' boxes, so that a probe point meets only the loops whose box
// covers its cell instead of every loop.
class LoopGrid {
public:
    explicit LoopGrid(const std::vector<Bounds>& boxes) {
        for (const Bounds& b : boxes) {
            all.add(b.lo);
            all.add(b.hi);
        }
        if (boxes.empty()) return;
        dim = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(boxes.size()))), 1, 256);
        cells.resize(static_cast<size_t>(dim) * dim);
        for (size_t j = 0; j < boxes.size(); ++j) {
            const int x0 = cellX(boxes[j].lo.x), x1 = cellX(boxes[j].hi.x);
            const int y0 = cellY(boxes[j].lo.y), y1 = cellY(boxes[j].hi.y);
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x)
                    cells[static_cast<size_t>(y) * dim + x].push_back(static_cast<int>(j));
        }
    }

    // True when pred holds for some loop registered in a cell that box b covers.
    template <class F>
    bool any(const Bounds& b, F&& pred) const {
        if (cells.empty() || !all.meets(b)) return false;
        for (int y = cellY(b.lo.y), y1 = cellY(b.hi.y); y <= y1; ++y)
            for (int x = cellX(b.lo.x), x1 = cellX(b.hi.x); x <= x1; ++x)
                for (int j : cells[static_cast<size_t>(y) * dim + x])
                    if (pred(j)) return true;
        return false;
    }

    // Loops whose box may hold p, in index order.
    const std::vector<int>& near(V2 p) const {
        static const std::vector<int> none;
        if (cells.empty() || !all.holds(p)) return none;
        return cells[static_cast<size_t>(cellY(p.y)) * dim + cellX(p.x)];
    }

private:
    int cellOf(double v, double lo, double hi) const {
        const double t = std::floor((v - lo) / (hi - lo) * dim);
        return static_cast<int>(std::clamp(std::isfinite(t) ? t : 0.0, 0.0, dim - 1.0));
    }
    int cellX(double x) const { return cellOf(x, all.lo.x, all.hi.x); }
    int cellY(double y) const { return cellOf(y, all.lo.y, all.hi.y); }

    Bounds all;
    int dim = 0;
    std::vector<std::vector<int>> cells;
};

}  // namespace

std::vector<Region> Sketch::regions() const {
    const std::vector<Loop> L = loops();
    const size_t n = L.size();
    std::vector<double> area(n);
    std::vector<Bounds> box(n);
    for (size_t i = 0; i < n; ++i) {
        area[i] = polyArea(L[i]);
        for (V2 p : L[i])
            box[i].add(p);
    }

    // containers[i]: the larger loops holding loop i's probe point, ascending. The probe
    // costs a triangulation, so it is only made when a larger loop's box meets loop i's.
    const LoopGrid grid(box);
    std::vector<std::vector<int>> containers(n);
    for (size_t i = 0; i < n; ++i) {
        const bool maybe =
            grid.any(box[i], [&](int j) { return area[i] < area[j] && box[j].meets(box[i]); });
        if (!maybe) continue;
        const V2 probe = interiorPoint(L[i]);
        for (int j : grid.near(probe)) {
            if (static_cast<size_t>(j) != i && area[i] < area[j] && box[j].holds(probe) &&
                pointInPolygon(probe, L[j]))
                containers[i].push_back(j);
        }
    }
    auto contains = [&](int k, int i) {  // i is a container of k
        return std::binary_search(containers[k].begin(), containers[k].end(), i);
    };

    std::vector<Region> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i].outer = L[i];
    std::vector<int> bySize;
    for (size_t j = 0; j < n; ++j) {
        // Loop j is a hole of each container i that holds no other container of j. A
        // container of i has a larger area than i, so try the smallest containers first.
        bySize = containers[j];
        std::sort(bySize.begin(), bySize.end(), [&](int l, int r) { return area[l] < area[r]; });
        for (int i : containers[j]) {
            bool innermost = true;
            for (int k : bySize) {
                if (area[k] >= area[i]) break;
                if (k != i && contains(k, i)) {
                    innermost = false;
                    break;
                }
            }
            if (innermost) out[i].holes.emplace_back(L[j].rbegin(), L[j].rend());
        }
    }
    return out;
}

V2 regionPoint(const Region& region) {
    return interiorPoint(region.outer, region.holes);
}

}  // namespace ivo
