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
            const double m = (segs[i].t0 + segs[i].t1) / 2;
            for (std::size_t j = 0; j < segs.size(); ++j) {
                if (j == i || !(segs[j].t0 - 1e-6 <= m && m <= segs[j].t1 + 1e-6)) continue;
                if (segs[i].n.dot(segs[j].n) >= cosLimit) continue;
                out.push_back({segs[i].a, segs[i].b, (segs[i].n + segs[j].n).normalized()});
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
