// Fan triangles of a solid and its crease edges. The closed mesh of a solid is in
// mesh_closed.cpp, face outlines in face_outline.cpp.
#include "geometry/mesh.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "geometry/first_seen_index.h"

namespace ivo {

std::vector<Tri> fanTriangles(const Solid& solid) {
    std::vector<Tri> out;
    for (const CPoly& poly : solid) {
        const PolyPoints& v = poly.v;
        for (std::size_t i = 1; i + 1 < v.size(); ++i) {
            if ((v[i] - v[0]).cross(v[i + 1] - v[0]).length() < 1e-12) continue;
            out.push_back({v[0], v[i], v[i + 1], poly.plane.n});
        }
    }
    return out;
}

namespace {

// A supporting line: its canonical direction ×10 000 and its foot point ×1 000, truncated
// toward zero. The truncated values are whole numbers kept as doubles, so equal keys are
// equal decimal integers whatever their size.
struct LineKey {
    double v[6];
    friend bool operator==(const LineKey&, const LineKey&) = default;
};

struct LineKeyHash {
    std::uint64_t operator()(const LineKey& k) const {
        std::uint64_t h = 0;
        for (const double d : k.v)
            h = (h ^ std::bit_cast<std::uint64_t>(d)) * 0x9E3779B97F4A7C15u;
        return h;
    }
};

// One triangle edge on its line: the edge from corner k to corner k + 1 of triangle `tri`,
// spanning [t0, t1] along the line's direction. Kept small: a mesh has three per triangle.
struct Segment {
    std::uint32_t tri, k;
    double t0, t1;
};

V3 corner(const Tri& t, std::uint32_t k) {
    return k == 0 ? t.a : k == 1 ? t.b : t.c;
}

// Adding 0.0 turns −0 into +0, which is the same decimal integer.
double truncated(double v) {
    return std::trunc(v) + 0.0;
}

// Opposite edges of neighbouring triangles run in opposite directions; one canonical
// direction puts both on the same line key.
V3 canonicalDirection(V3 u) {
    constexpr double e = 1e-9;
    const bool flip = u.x < -e || (std::abs(u.x) <= e && u.y < -e) ||
                      (std::abs(u.x) <= e && std::abs(u.y) <= e && u.z < 0);
    return flip ? -u : u;
}

// The foot of the line through p and q nearest the origin. Both triangles of an edge compute
// it from the same end (the smaller one), so that rounding cannot put their two copies of the
// edge on either side of a truncation step of the line key.
V3 footPoint(V3 p, V3 q, V3 u) {
    const bool qFirst = q.x < p.x || (q.x == p.x && (q.y < p.y || (q.y == p.y && q.z < p.z)));
    const V3 base = qFirst ? q : p;
    return base - u * base.dot(u);
}

bool overlapsMidpoint(const Segment& s, double m) {
    return s.t0 - 1e-6 <= m && m <= s.t1 + 1e-6;
}

// The segments of one line, in the order they were met. Each segment that meets the
// midpoint of another at a crease makes an edge with the first such partner in that order.
class LineGroup {
public:
    LineGroup(const std::vector<Tri>& tris, const Segment* group, std::size_t size, double cosLimit)
        : tris_(tris), group_(group), size_(size), cosLimit_(cosLimit) {}

    void emit(std::vector<FeatureEdge>& out) {
        // Small groups, the usual two or four segments of a crease, are scanned pairwise;
        // long runs of collinear edges (arrays of parts) are searched by position instead.
        if (size_ <= 16) {
            for (std::size_t i = 0; i < size_; ++i)
                emitPartner(out, i, firstPartnerPairwise(i));
            return;
        }
        sortByStart();
        for (std::size_t i = 0; i < size_; ++i)
            emitPartner(out, i, firstPartnerSorted(i));
    }

private:
    const Segment& seg(std::size_t i) const { return group_[i]; }
    const V3& normal(std::size_t i) const { return tris_[group_[i].tri].n; }
    double midpoint(std::size_t i) const { return (seg(i).t0 + seg(i).t1) / 2; }
    bool isCrease(std::size_t i, std::size_t j) const {
        return normal(i).dot(normal(j)) < cosLimit_;
    }

    std::size_t firstPartnerPairwise(std::size_t i) const {
        const double m = midpoint(i);
        for (std::size_t j = 0; j < size_; ++j)
            if (j != i && overlapsMidpoint(seg(j), m) && isCrease(i, j)) return j;
        return size_;
    }

    void sortByStart() {
        byStart_.resize(size_);
        for (std::size_t k = 0; k < size_; ++k)
            byStart_[k] = static_cast<std::uint32_t>(k);
        std::stable_sort(byStart_.begin(), byStart_.end(),
                         [&](std::uint32_t p, std::uint32_t q) { return seg(p).t0 < seg(q).t0; });
        maxEnd_.resize(size_);
        for (std::size_t k = 0; k < size_; ++k)
            maxEnd_[k] = std::max(k ? maxEnd_[k - 1] : seg(byStart_[k]).t1, seg(byStart_[k]).t1);
    }

    // The same partner as the pairwise scan: among the segments starting at or before the
    // midpoint, walked back while any of them can still reach it, the smallest crease index.
    std::size_t firstPartnerSorted(std::size_t i) const {
        const double m = midpoint(i);
        const auto startsBefore =
            std::partition_point(byStart_.begin(), byStart_.end(),
                                 [&](std::uint32_t j) { return seg(j).t0 - 1e-6 <= m; });
        std::size_t best = size_;
        for (auto k = static_cast<std::size_t>(startsBefore - byStart_.begin()); k-- > 0;) {
            if (maxEnd_[k] + 1e-6 < m) break;
            const std::size_t j = byStart_[k];
            if (j < best && j != i && m <= seg(j).t1 + 1e-6 && isCrease(i, j)) best = j;
        }
        return best;
    }

    // Emits segment i where its crease partners cover it. A segment whose midpoint meets a
    // crease is usually covered whole; but the trees of a boolean split faces along the
    // extended planes of others, so a flat face can hold a long edge that runs on past the
    // end of a short crease. Drawn whole it would show a crease on the flat face.
    void emitPartner(std::vector<FeatureEdge>& out, std::size_t i, std::size_t j) const {
        if (j == size_) return;
        const Segment& s = seg(i);
        const Tri& t = tris_[s.tri];
        const V3 a = corner(t, s.k), b = corner(t, (s.k + 1) % 3);
        const V3 n = (normal(i) + normal(j)).normalized();
        covered_.clear();
        auto cover = [&](std::size_t k) {
            if (k != i && seg(k).t0 - 1e-6 <= s.t1 && s.t0 <= seg(k).t1 + 1e-6 && isCrease(i, k))
                covered_.push_back({std::max(seg(k).t0, s.t0), std::min(seg(k).t1, s.t1)});
        };
        if (byStart_.empty()) {
            for (std::size_t k = 0; k < size_; ++k)
                cover(k);
        } else {
            // Only segments starting before i ends, walked back while one can still reach it.
            const auto startsBefore =
                std::partition_point(byStart_.begin(), byStart_.end(),
                                     [&](std::uint32_t k) { return seg(k).t0 - 1e-6 <= s.t1; });
            for (auto k = static_cast<std::size_t>(startsBefore - byStart_.begin()); k-- > 0;) {
                if (maxEnd_[k] + 1e-6 < s.t0) break;
                cover(byStart_[k]);
            }
        }
        std::sort(covered_.begin(), covered_.end());
        // The corners in the order of the line's direction, so that t maps to a point.
        const bool forward = a.dot(b - a) <= b.dot(b - a);
        const V3 lo = forward ? a : b, hi = forward ? b : a;
        const double span = s.t1 - s.t0;
        auto at = [&](double v) {
            if (v <= s.t0 + 1e-6) return lo;
            if (v >= s.t1 - 1e-6) return hi;
            return lo + (hi - lo) * ((v - s.t0) / span);
        };
        for (std::size_t k = 0; k < covered_.size();) {
            double from = covered_[k].first, to = covered_[k].second;
            for (++k; k < covered_.size() && covered_[k].first <= to + 1e-6; ++k)
                to = std::max(to, covered_[k].second);
            if (from <= s.t0 + 1e-6 && to >= s.t1 - 1e-6) {
                out.push_back({a, b, n});  // whole, corners as stored
                return;
            }
            if (to - from > 1e-7) {
                const V3 p = at(from), q = at(to);
                out.push_back(forward ? FeatureEdge{p, q, n} : FeatureEdge{q, p, n});
            }
        }
    }

    const std::vector<Tri>& tris_;
    const Segment* group_;
    std::size_t size_;
    double cosLimit_;
    std::vector<std::uint32_t> byStart_;
    std::vector<double> maxEnd_;
    mutable std::vector<std::pair<double, double>> covered_;
};

}  // namespace

std::vector<FeatureEdge> featureEdges(const std::vector<Tri>& tris, double angleDeg) {
    const double cosLimit = std::cos(angleDeg * std::numbers::pi / 180);

    // Every edge of every triangle, with the line it lies on numbered by first appearance.
    std::vector<Segment> segs;
    std::vector<std::uint32_t> lineOf;
    FirstSeenIndex<LineKey, LineKeyHash> lines(2 * tris.size());
    segs.reserve(3 * tris.size());
    lineOf.reserve(3 * tris.size());
    for (std::uint32_t i = 0; i < tris.size(); ++i) {
        const Tri& t = tris[i];
        const V3 corners[3] = {t.a, t.b, t.c};
        for (std::uint32_t k = 0; k < 3; ++k) {
            const V3 p = corners[k], q = corners[(k + 1) % 3];
            const V3 d = q - p;
            const double length = d.length();
            if (!(length >= 1e-7)) continue;  // also drops non-finite corners
            const V3 u = canonicalDirection(d / length);
            const double tp = p.dot(u), tq = q.dot(u);
            const V3 f = footPoint(p, q, u);
            const LineKey key{{truncated(u.x * 10000), truncated(u.y * 10000),
                               truncated(u.z * 10000), truncated(f.x * 1000), truncated(f.y * 1000),
                               truncated(f.z * 1000)}};
            if (!std::isfinite(key.v[3] + key.v[4] + key.v[5] + tp + tq)) continue;
            lineOf.push_back(lines.insert(key).first);
            segs.push_back({i, k, std::min(tp, tq), std::max(tp, tq)});
        }
    }

    // Segments gathered line by line, keeping their order within each line.
    std::vector<std::uint32_t> start(lines.size() + 1, 0);
    for (const std::uint32_t line : lineOf)
        ++start[line + 1];
    for (std::size_t g = 0; g < lines.size(); ++g)
        start[g + 1] += start[g];
    std::vector<Segment> byLine(segs.size());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t s = 0; s < segs.size(); ++s)
        byLine[fill[lineOf[s]]++] = segs[s];

    std::vector<FeatureEdge> out;
    for (std::size_t g = 0; g < lines.size(); ++g) {
        const std::size_t size = start[g + 1] - start[g];
        if (size >= 2) LineGroup(tris, &byLine[start[g]], size, cosLimit).emit(out);
    }
    return out;
}

}  // namespace ivo
