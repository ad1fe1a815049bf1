// The plain constraint solver; see reference_solver.h.
#include "support/reference_solver.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "sketch/solver.h"

namespace ivo::testing {
namespace {

// Lookups by id where the first record with an id wins, as in the sketch's own lookups.
template <class T>
std::map<Id, T> firstById(const std::vector<T>& items) {
    std::map<Id, T> m;
    for (const T& t : items)
        m.emplace(t.id, t);
    return m;
}

struct Tables {
    std::map<Id, SPoint> points;
    std::map<Id, size_t> unknownOfPoint;  // only for the first point of each id
    std::map<Id, SLine> lines;
    std::map<Id, SCircle> circles;
    std::map<Id, SArc> arcs;
    std::map<Id, size_t> unknownOfCircle;
};

std::vector<double> residuals(const Sketch& s, const Tables& t, const std::vector<double>& x) {
    auto P = [&](Id id) -> V2 {
        const auto u = t.unknownOfPoint.find(id);
        if (u != t.unknownOfPoint.end()) return {x[u->second], x[u->second + 1]};
        const auto p = t.points.find(id);
        return p != t.points.end() ? p->second.p : V2{};
    };
    auto R = [&](Id id) -> double {
        if (const auto c = t.unknownOfCircle.find(id); c != t.unknownOfCircle.end())
            return x[c->second];
        if (const auto a = t.arcs.find(id); a != t.arcs.end())
            return (P(a->second.s) - P(a->second.c)).length();
        if (const auto c = t.circles.find(id); c != t.circles.end()) return c->second.r;
        return 0;
    };
    auto isLine = [&](Id id) { return t.lines.count(id) > 0; };
    auto isRound = [&](Id id) { return t.circles.count(id) > 0 || t.arcs.count(id) > 0; };
    auto centre = [&](Id id) {
        const auto c = t.circles.find(id);
        return P(c != t.circles.end() ? c->second.c : t.arcs.at(id).c);
    };
    auto dir = [&](const SLine& l) { return (P(l.b) - P(l.a)).normalized(); };

    std::vector<double> r;
    for (const SArc& a : s.arcs)
        r.push_back((P(a.e) - P(a.c)).length() - (P(a.s) - P(a.c)).length());
    for (const SConstraint& c : s.constraints) {
        const std::vector<Id>& f = c.refs;
        const double v = c.value.value_or(0);
        const bool two = f.size() == 2;
        const bool line0 = !f.empty() && isLine(f[0]), line1 = two && isLine(f[1]);
        if (c.kind == ck::horizontal && line0) {
            const SLine& l = t.lines.at(f[0]);
            r.push_back(P(l.b).y - P(l.a).y);
        } else if (c.kind == ck::vertical && line0) {
            const SLine& l = t.lines.at(f[0]);
            r.push_back(P(l.a).x - P(l.b).x);
        } else if (c.kind == ck::hpoints && two) {
            r.push_back(P(f[1]).y - P(f[0]).y);
        } else if (c.kind == ck::vpoints && two) {
            r.push_back(P(f[0]).x - P(f[1]).x);
        } else if (c.kind == ck::distance && two) {
            r.push_back((P(f[0]) - P(f[1])).length() - v);
        } else if (c.kind == ck::length && line0) {
            const SLine& l = t.lines.at(f[0]);
            r.push_back((P(l.b) - P(l.a)).length() - v);
        } else if (c.kind == ck::radius && !f.empty()) {
            r.push_back(R(f[0]) - v);
        } else if (c.kind == ck::diameter && !f.empty()) {
            r.push_back(2 * R(f[0]) - v);
        } else if (c.kind == ck::parallel && line0 && line1) {
            r.push_back(dir(t.lines.at(f[0])).cross(dir(t.lines.at(f[1]))));
        } else if (c.kind == ck::perpendicular && line0 && line1) {
            r.push_back(dir(t.lines.at(f[0])).dot(dir(t.lines.at(f[1]))));
        } else if (c.kind == ck::equal && two) {
            if (line0 && line1) {
                const SLine &l1 = t.lines.at(f[0]), &l2 = t.lines.at(f[1]);
                r.push_back((P(l1.b) - P(l1.a)).length() - (P(l2.b) - P(l2.a)).length());
            } else {
                r.push_back(R(f[0]) - R(f[1]));
            }
        } else if (c.kind == ck::pointOnLine && line1) {
            const SLine& l = t.lines.at(f[1]);
            r.push_back(dir(l).cross(P(f[0]) - P(l.a)));
        } else if (c.kind == ck::midpoint && line1) {
            const SLine& l = t.lines.at(f[1]);
            const V2 d = P(f[0]) - (P(l.a) + P(l.b)) * 0.5;
            r.push_back(d.x);
            r.push_back(d.y);
        } else if (c.kind == ck::pointOnCircle && two && isRound(f[1])) {
            r.push_back((P(f[0]) - centre(f[1])).length() - R(f[1]));
        } else if (c.kind == ck::tangent && line0 && two && isRound(f[1])) {
            const SLine& l = t.lines.at(f[0]);
            r.push_back(std::abs(dir(l).cross(centre(f[1]) - P(l.a))) - R(f[1]));
        }
    }
    return r;
}

double sumSquares(const std::vector<double>& r) {
    double e = 0;
    for (double v : r)
        e += v * v;
    return e;
}

// The unknowns and lookup tables of one call; slots say where each free point and circle
// sits in x (SIZE_MAX for points that do not move).
struct Setup {
    Tables t;
    std::vector<double> x;
    std::vector<size_t> pointSlot;
    size_t firstCircle = 0;
};

Setup setUp(const Sketch& s, const std::vector<Id>& hold) {
    const std::set<Id> held(hold.begin(), hold.end());
    Setup u;
    Tables& t = u.t;
    t.points = firstById(s.points);
    t.lines = firstById(s.lines);
    t.circles = firstById(s.circles);
    t.arcs = firstById(s.arcs);
    std::map<Id, size_t> firstIndex;
    for (size_t i = 0; i < s.points.size(); ++i)
        firstIndex.emplace(s.points[i].id, i);
    u.pointSlot.assign(s.points.size(), SIZE_MAX);
    for (size_t i = 0; i < s.points.size(); ++i) {
        const SPoint& p = s.points[i];
        if (p.fixed || held.count(p.id)) continue;
        u.pointSlot[i] = u.x.size();
        // Only the first point of an id is read; a later duplicate moves with nothing.
        if (firstIndex.at(p.id) == i) t.unknownOfPoint[p.id] = u.x.size();
        u.x.push_back(p.p.x);
        u.x.push_back(p.p.y);
    }
    u.firstCircle = u.x.size();
    for (const SCircle& c : s.circles) {
        t.unknownOfCircle.emplace(c.id, u.x.size());
        u.x.push_back(c.r);
    }
    return u;
}

}  // namespace

double residualSum(const Sketch& s, const std::vector<Id>& hold) {
    const Setup u = setUp(s, hold);
    return sumSquares(residuals(s, u.t, u.x));
}

bool solvePlain(Sketch& s, const std::vector<Id>& hold, PlainSolveStats* stats) {
    Setup u = setUp(s, hold);
    const Tables& t = u.t;
    std::vector<double>& x = u.x;
    std::vector<double> r = residuals(s, t, x);
    double e = sumSquares(r);
    const size_t m = r.size(), n = x.size();
    if (stats) *stats = {m, n, 0};
    if (m == 0) return true;
    if (n == 0) return e < 1e-8;

    double lambda = 1e-6;
    for (int iteration = 0; iteration < 60; ++iteration) {
        if (e < 1e-18) break;
        if (stats) stats->iterations = iteration + 1;
        std::vector<std::vector<double>> J(m, std::vector<double>(n));
        for (size_t j = 0; j < n; ++j) {
            const double h = std::max(std::abs(x[j]), 1.0) * 1e-7;
            std::vector<double> xh = x;
            xh[j] += h;
            const std::vector<double> rh = residuals(s, t, xh);
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
        for (int attempt = 0; attempt < 12; ++attempt) {
            std::vector<std::vector<double>> D = A;
            for (size_t i = 0; i < m; ++i)
                D[i][i] += lambda;
            const auto y = solveLinear(std::move(D), r);
            if (!y) {
                lambda *= 10;
                continue;
            }
            std::vector<double> xn = x;
            for (size_t j = 0; j < n; ++j) {
                double sum = 0;
                for (size_t i = 0; i < m; ++i)
                    sum += J[i][j] * (*y)[i];
                xn[j] = x[j] - sum;
            }
            std::vector<double> rn = residuals(s, t, xn);
            const double en = sumSquares(rn);
            if (en < e) {
                x = xn;
                r = rn;
                e = en;
                lambda = std::max(lambda / 10, 1e-12);
                improved = true;
                break;
            }
            lambda *= 10;
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
