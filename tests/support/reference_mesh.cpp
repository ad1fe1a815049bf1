#include "support/reference_mesh.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <tuple>

namespace ivo::testing {
namespace {

std::string intText(double v) {
    return std::to_string(static_cast<long long>(std::trunc(v)));
}

struct Seg {
    V3 a, b, n;
    double t0, t1;
};

auto tie(const V3& v) {
    return std::tie(v.x, v.y, v.z);
}

}  // namespace

std::vector<FeatureEdge> featureEdgesPlain(const std::vector<Tri>& tris, double angleDeg) {
    const double cosLimit = std::cos(angleDeg * std::numbers::pi / 180);
    std::map<std::string, std::vector<Seg>> groups;
    for (const Tri& t : tris) {
        const V3 c[3] = {t.a, t.b, t.c};
        for (int k = 0; k < 3; ++k) {
            const V3 p = c[k], q = c[(k + 1) % 3], d = q - p;
            if (d.length() < 1e-7) continue;
            V3 u = d / d.length();
            if (u.x < -1e-9 || (std::abs(u.x) <= 1e-9 && u.y < -1e-9) ||
                (std::abs(u.x) <= 1e-9 && std::abs(u.y) <= 1e-9 && u.z < 0))
                u = -u;
            const bool qFirst =
                q.x < p.x || (q.x == p.x && (q.y < p.y || (q.y == p.y && q.z < p.z)));
            const V3 base = qFirst ? q : p;  // the same end for both triangles of an edge
            const V3 f = base - u * base.dot(u);
            const std::string key = intText(u.x * 10000) + "," + intText(u.y * 10000) + "," +
                                    intText(u.z * 10000) + "|" + intText(f.x * 1000) + "," +
                                    intText(f.y * 1000) + "," + intText(f.z * 1000);
            const double t0 = p.dot(u), t1 = q.dot(u);
            groups[key].push_back({p, q, t.n, std::min(t0, t1), std::max(t0, t1)});
        }
    }
    std::vector<FeatureEdge> out;
    for (const auto& [key, segs] : groups) {
        if (segs.size() < 2) continue;
        for (std::size_t i = 0; i < segs.size(); ++i) {
            const Seg& s = segs[i];
            const double m = (s.t0 + s.t1) / 2;
            for (std::size_t j = 0; j < segs.size(); ++j) {
                if (j == i || !(segs[j].t0 - 1e-6 <= m && m <= segs[j].t1 + 1e-6)) continue;
                if (s.n.dot(segs[j].n) >= cosLimit) continue;
                // The part of i that creased segments overlapping it cover, merged.
                std::vector<std::pair<double, double>> cov;
                for (std::size_t k = 0; k < segs.size(); ++k)
                    if (k != i && segs[k].t0 - 1e-6 <= s.t1 && s.t0 <= segs[k].t1 + 1e-6 &&
                        s.n.dot(segs[k].n) < cosLimit)
                        cov.push_back({std::max(segs[k].t0, s.t0), std::min(segs[k].t1, s.t1)});
                std::sort(cov.begin(), cov.end());
                const V3 n = (s.n + segs[j].n).normalized();
                const bool forward = s.a.dot(s.b - s.a) <= s.b.dot(s.b - s.a);
                const V3 lo = forward ? s.a : s.b, hi = forward ? s.b : s.a;
                auto at = [&](double v) {
                    if (v <= s.t0 + 1e-6) return lo;
                    if (v >= s.t1 - 1e-6) return hi;
                    return lo + (hi - lo) * ((v - s.t0) / (s.t1 - s.t0));
                };
                for (std::size_t c = 0; c < cov.size();) {
                    double from = cov[c].first, to = cov[c].second;
                    for (++c; c < cov.size() && cov[c].first <= to + 1e-6; ++c)
                        to = std::max(to, cov[c].second);
                    if (from <= s.t0 + 1e-6 && to >= s.t1 - 1e-6) {
                        out.push_back({s.a, s.b, n});
                        break;
                    }
                    if (to - from > 1e-7)
                        out.push_back(forward ? FeatureEdge{at(from), at(to), n}
                                              : FeatureEdge{at(to), at(from), n});
                }
                break;
            }
        }
    }
    return out;
}

std::vector<FeatureEdge> sortedEdges(std::vector<FeatureEdge> edges) {
    std::sort(edges.begin(), edges.end(), [](const FeatureEdge& p, const FeatureEdge& q) {
        return std::tuple_cat(tie(p.a), tie(p.b), tie(p.n)) <
               std::tuple_cat(tie(q.a), tie(q.b), tie(q.n));
    });
    return edges;
}

}  // namespace ivo::testing
