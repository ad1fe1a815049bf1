// The plain constraint solver; see reference_solver.h.
#include "support/reference_solver.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>

#include "sketch/solver.h"

namespace ivo::testing {
namespace {

double sumSquares(const std::vector<double>& r) {
    return std::inner_product(r.begin(), r.end(), r.begin(), 0.0);
}

// The unknowns of one call, where each point and circle sits in them (SIZE_MAX for points
// that do not move), and lookups by id in which the first record of an id wins, as in the
// sketch's own lookups.
struct Setup {
    std::map<Id, V2> stored;
    std::map<Id, SLine> lines;
    std::map<Id, SArc> arcs;
    std::map<Id, Id> circleCentre;
    std::map<Id, size_t> pointUnknown, circleUnknown;
    std::vector<double> x;
    std::vector<size_t> pointSlot;
    size_t firstCircle = 0;

    Setup(const Sketch& s, const std::vector<Id>& hold) : pointSlot(s.points.size(), SIZE_MAX) {
        const std::set<Id> held(hold.begin(), hold.end());
        for (const SLine& l : s.lines)
            lines.emplace(l.id, l);
        for (const SArc& a : s.arcs)
            arcs.emplace(a.id, a);
        for (size_t i = 0; i < s.points.size(); ++i) {
            const SPoint& p = s.points[i];
            const bool first = stored.emplace(p.id, p.p).second;
            if (p.fixed || held.count(p.id)) continue;
            pointSlot[i] = x.size();
            if (first) pointUnknown[p.id] = x.size();  // a later duplicate moves with nothing
            x.push_back(p.p.x);
            x.push_back(p.p.y);
        }
        firstCircle = x.size();
        for (const SCircle& c : s.circles) {
            circleCentre.emplace(c.id, c.c);
            circleUnknown.emplace(c.id, x.size());
            x.push_back(c.r);
        }
    }

    std::vector<double> residuals(const Sketch& s, const std::vector<double>& x) const {
        auto P = [&](Id id) -> V2 {
            if (const auto u = pointUnknown.find(id); u != pointUnknown.end())
                return {x[u->second], x[u->second + 1]};
            const auto p = stored.find(id);
            return p != stored.end() ? p->second : V2{};
        };
        auto R = [&](Id id) -> double {
            if (const auto c = circleUnknown.find(id); c != circleUnknown.end())
                return x[c->second];
            if (const auto a = arcs.find(id); a != arcs.end())
                return (P(a->second.s) - P(a->second.c)).length();
            return 0;
        };
        auto isRound = [&](Id id) { return circleCentre.count(id) > 0 || arcs.count(id) > 0; };
        auto centre = [&](Id id) {
            const auto c = circleCentre.find(id);
            return P(c != circleCentre.end() ? c->second : arcs.at(id).c);
        };
        auto dir = [&](Id l) { return (P(lines.at(l).b) - P(lines.at(l).a)).normalized(); };
        auto len = [&](Id l) { return (P(lines.at(l).b) - P(lines.at(l).a)).length(); };

        std::vector<double> r;
        for (const SArc& a : s.arcs)
            r.push_back((P(a.e) - P(a.c)).length() - (P(a.s) - P(a.c)).length());
        for (const SConstraint& c : s.constraints) {
            const std::vector<Id>& f = c.refs;
            const double v = c.value.value_or(0);
            const bool two = f.size() == 2;
            const bool line0 = !f.empty() && lines.count(f[0]), line1 = two && lines.count(f[1]);
            const SLine l = line0 ? lines.at(f[0]) : line1 ? lines.at(f[1]) : SLine{};
            if (c.kind == ck::horizontal && line0) {
                r.push_back(P(l.b).y - P(l.a).y);
            } else if (c.kind == ck::vertical && line0) {
                r.push_back(P(l.a).x - P(l.b).x);
            } else if (c.kind == ck::hpoints && two) {
                r.push_back(P(f[1]).y - P(f[0]).y);
            } else if (c.kind == ck::vpoints && two) {
                r.push_back(P(f[0]).x - P(f[1]).x);
            } else if (c.kind == ck::distance && two) {
                r.push_back((P(f[0]) - P(f[1])).length() - v);
            } else if (c.kind == ck::length && line0) {
                r.push_back(len(f[0]) - v);
            } else if (c.kind == ck::radius && !f.empty()) {
                r.push_back(R(f[0]) - v);
            } else if (c.kind == ck::diameter && !f.empty()) {
                r.push_back(2 * R(f[0]) - v);
            } else if (c.kind == ck::parallel && line0 && line1) {
                r.push_back(dir(f[0]).cross(dir(f[1])));
            } else if (c.kind == ck::perpendicular && line0 && line1) {
                r.push_back(dir(f[0]).dot(dir(f[1])));
            } else if (c.kind == ck::equal && two) {
                r.push_back(line0 && line1 ? len(f[0]) - len(f[1]) : R(f[0]) - R(f[1]));
            } else if (c.kind == ck::pointOnLine && line1) {
                r.push_back(dir(f[1]).cross(P(f[0]) - P(lines.at(f[1]).a)));
            } else if (c.kind == ck::midpoint && line1) {
                const SLine& m = lines.at(f[1]);
                const V2 d = P(f[0]) - (P(m.a) + P(m.b)) * 0.5;
                r.push_back(d.x);
                r.push_back(d.y);
            } else if (c.kind == ck::pointOnCircle && two && isRound(f[1])) {
                r.push_back((P(f[0]) - centre(f[1])).length() - R(f[1]));
            } else if (c.kind == ck::tangent && line0 && two && isRound(f[1])) {
                r.push_back(std::abs(dir(f[0]).cross(centre(f[1]) - P(l.a))) - R(f[1]));
            }
        }
        return r;
    }
};

}  // namespace

double residualSum(const Sketch& s, const std::vector<Id>& hold) {
    const Setup u(s, hold);
    return sumSquares(u.residuals(s, u.x));
}

bool solvePlain(Sketch& s, const std::vector<Id>& hold) {
    Setup u(s, hold);
    std::vector<double>& x = u.x;
    std::vector<double> r = u.residuals(s, x);
    double e = sumSquares(r);
    const size_t m = r.size(), n = x.size();
    if (m == 0) return true;
    if (n == 0) return e < 1e-8;

    double lambda = 1e-6;
    for (int iteration = 0; iteration < 60 && e >= 1e-18; ++iteration) {
        std::vector<std::vector<double>> J(m, std::vector<double>(n));
        for (size_t j = 0; j < n; ++j) {
            const double h = std::max(std::abs(x[j]), 1.0) * 1e-7;
            std::vector<double> xh = x;
            xh[j] += h;
            const std::vector<double> rh = u.residuals(s, xh);
            for (size_t i = 0; i < m; ++i)
                J[i][j] = (rh[i] - r[i]) / h;
        }
        std::vector<std::vector<double>> A(m, std::vector<double>(m));
        for (size_t i = 0; i < m; ++i)
            for (size_t k = 0; k <= i; ++k) {
                double sum = 0;
                for (size_t j = 0; j < n; ++j)
                    sum += J[i][j] * J[k][j];
                A[i][k] = A[k][i] = sum;
            }
        bool improved = false;
        for (int attempt = 0; attempt < 12 && !improved; ++attempt) {
            std::vector<std::vector<double>> D = A;
            for (size_t i = 0; i < m; ++i)
                D[i][i] += lambda;
            const auto y = solveLinear(std::move(D), r);
            std::vector<double> xn = x;
            for (size_t j = 0; y && j < n; ++j) {
                double sum = 0;
                for (size_t i = 0; i < m; ++i)
                    sum += J[i][j] * (*y)[i];
                xn[j] = x[j] - sum;
            }
            const std::vector<double> rn = y ? u.residuals(s, xn) : r;
            improved = y && sumSquares(rn) < e;
            if (improved) {
                x = xn;
                r = rn;
                e = sumSquares(r);
                lambda = std::max(lambda / 10, 1e-12);
            } else {
                lambda *= 10;
            }
        }
        if (!improved) break;
    }

    for (size_t i = 0; i < s.points.size(); ++i)
        if (u.pointSlot[i] != SIZE_MAX) s.points[i].p = {x[u.pointSlot[i]], x[u.pointSlot[i] + 1]};
    for (size_t k = 0; k < s.circles.size(); ++k)
        s.circles[k].r = std::abs(x[u.firstCircle + k]);
    return e < 1e-8;
}

}  // namespace ivo::testing
