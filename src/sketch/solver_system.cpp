// Compiling a sketch's constraints into residual records, and evaluating them.
#include "sketch/solver_system.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace ivo {
namespace {

// Id → array index, the first entry winning as in the sketch's own lookups. Ids come from one
// counter, so they usually fill a short range that a direct table covers; scattered ids (a
// hand-edited file) fall back to binary search.
class IdTable {
public:
    template <class T>
    explicit IdTable(const std::vector<T>& items) {
        if (items.empty()) return;
        Id lo = items[0].id, hi = items[0].id;
        for (const T& t : items) {
            lo = std::min(lo, t.id);
            hi = std::max(hi, t.id);
        }
        const auto span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo);
        if (span < 4 * items.size() + 1024) {
            lo_ = lo;
            direct_.assign(span + 1, -1);
            for (size_t i = items.size(); i-- > 0;)
                direct_[static_cast<std::uint64_t>(items[i].id) - static_cast<std::uint64_t>(lo)] =
                    static_cast<int>(i);
            return;
        }
        byId_.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i)
            byId_.push_back({items[i].id, i});
        std::stable_sort(byId_.begin(), byId_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    std::optional<size_t> find(Id id) const {
        if (!direct_.empty()) {
            const std::uint64_t k =
                static_cast<std::uint64_t>(id) - static_cast<std::uint64_t>(lo_);
            if (k >= direct_.size() || direct_[k] < 0) return std::nullopt;
            return static_cast<size_t>(direct_[k]);
        }
        const auto it = std::lower_bound(byId_.begin(), byId_.end(), id,
                                         [](const auto& e, Id v) { return e.first < v; });
        if (it == byId_.end() || it->first != id) return std::nullopt;
        return it->second;
    }

private:
    Id lo_ = 0;
    std::vector<int> direct_;
    std::vector<std::pair<Id, size_t>> byId_;
};

bool contains(const std::vector<Id>& sorted, Id id) {
    return std::binary_search(sorted.begin(), sorted.end(), id);
}

class Compiler {
public:
    Compiler(const Sketch& s, const std::vector<Id>& hold)
        : s_(s), points_(s.points), lines_(s.lines), circles_(s.circles), arcs_(s.arcs) {
        std::vector<Id> held = hold;
        std::sort(held.begin(), held.end());
        pointX_.assign(s.points.size(), -1);
        for (size_t i = 0; i < s.points.size(); ++i) {
            const SPoint& p = s.points[i];
            if (p.fixed || contains(held, p.id)) continue;
            pointX_[i] = static_cast<int>(sys_.vals.size());
            sys_.pointUnknowns.push_back({i, pointX_[i]});
            sys_.vals.push_back(p.p.x);
            sys_.vals.push_back(p.p.y);
        }
        for (size_t i = 0; i < s.circles.size(); ++i) {
            sys_.circleUnknowns.push_back({i, static_cast<int>(sys_.vals.size())});
            sys_.vals.push_back(s.circles[i].r);
        }
        sys_.n = static_cast<int>(sys_.vals.size());
        constX_.assign(s.points.size(), -1);
    }

    SolverSystem run() {
        using K = Residual::Kind;
        for (const SArc& a : s_.arcs)
            add(K::arcEnd, {P(a.c), P(a.s), P(a.e)});
        for (const SConstraint& c : s_.constraints)
            addConstraint(c);
        buildPattern();
        return std::move(sys_);
    }

private:
    void addConstraint(const SConstraint& c) {
        using K = Residual::Kind;
        const std::vector<Id>& r = c.refs;
        const double v = c.value.value_or(0);
        const bool two = r.size() == 2;
        const SLine* l0 = r.empty() ? nullptr : line(r[0]);
        const SLine* l1 = two ? line(r[1]) : nullptr;
        const std::string& k = c.kind;
        if (k == ck::horizontal) {
            if (l0) add(K::dy, {P(l0->a), P(l0->b)});
        } else if (k == ck::vertical) {
            if (l0) add(K::dx, {P(l0->a), P(l0->b)});
        } else if (k == ck::hpoints) {
            if (two) add(K::dy, {P(r[0]), P(r[1])});
        } else if (k == ck::vpoints) {
            if (two) add(K::dx, {P(r[0]), P(r[1])});
        } else if (k == ck::distance) {
            if (two) add(K::dist, {P(r[0]), P(r[1])}, v);
        } else if (k == ck::length) {
            if (l0) add(K::dist, {P(l0->b), P(l0->a)}, v);
        } else if (k == ck::radius || k == ck::diameter) {
            if (!r.empty()) add(k == ck::radius ? K::radius : K::diameter, {}, v, R(r[0]));
        } else if (k == ck::parallel || k == ck::perpendicular) {
            if (l0 && l1)
                add(k == ck::parallel ? K::parallel : K::perpendicular,
                    {P(l0->a), P(l0->b), P(l1->a), P(l1->b)});
        } else if (k == ck::equal) {
            if (l0 && l1) {
                add(K::equalLength, {P(l0->a), P(l0->b), P(l1->a), P(l1->b)});
            } else if (two) {
                add(K::equalRadius, {}, 0, R(r[0]), R(r[1]));
            }
        } else if (k == ck::pointOnLine || k == ck::midpoint) {
            if (!l1) return;
            const int p = P(r[0]), a = P(l1->a), b = P(l1->b);
            if (k == ck::pointOnLine) {
                add(K::pointOnLine, {p, a, b});
            } else {
                add(K::midX, {p, a, b});
                add(K::midY, {p, a, b});
            }
        } else if (k == ck::pointOnCircle) {
            if (two && isRound(r[1])) add(K::pointOnCircle, {P(r[0]), centre(r[1])}, 0, R(r[1]));
        } else if (k == ck::tangent) {
            if (l0 && two && isRound(r[1]))
                add(K::tangent, {P(l0->a), P(l0->b), centre(r[1])}, 0, R(r[1]));
        }
    }

    const SLine* line(Id id) const {
        const auto i = lines_.find(id);
        return i ? &s_.lines[*i] : nullptr;
    }
    bool isRound(Id id) const { return circles_.find(id) || arcs_.find(id); }

    // Index of the point's x in vals: its unknown, or a copy of where it stands.
    int P(Id id) {
        const auto i = points_.find(id);
        if (!i) {
            if (zero_ < 0) zero_ = pushConst(0, 0);
            return zero_;
        }
        if (pointX_[*i] >= 0) return pointX_[*i];
        if (constX_[*i] < 0) constX_[*i] = pushConst(s_.points[*i].p.x, s_.points[*i].p.y);
        return constX_[*i];
    }

    RadiusRef R(Id id) {
        if (const auto i = circles_.find(id)) return {sys_.circleUnknowns[*i].second, -1, -1};
        if (const auto i = arcs_.find(id)) return {-1, P(s_.arcs[*i].c), P(s_.arcs[*i].s)};
        if (zero_ < 0) zero_ = pushConst(0, 0);
        return {zero_, -1, -1};
    }

    int centre(Id id) {
        if (const auto i = circles_.find(id)) return P(s_.circles[*i].c);
        return P(s_.arcs[*arcs_.find(id)].c);
    }

    int pushConst(double x, double y) {
        sys_.vals.push_back(x);
        sys_.vals.push_back(y);
        return static_cast<int>(sys_.vals.size()) - 2;
    }

    void add(Residual::Kind kind, std::initializer_list<int> p, double v = 0, RadiusRef ra = {},
             RadiusRef rb = {}) {
        Residual r;
        r.kind = kind;
        std::copy(p.begin(), p.end(), r.p);
        r.ra = ra;
        r.rb = rb;
        r.v = v;
        sys_.residuals.push_back(r);
    }

    // The unknowns residual `r` reads: only x for dx and midX, only y for dy and midY.
    void deps(const Residual& r, std::vector<int>& out) const {
        using K = Residual::Kind;
        out.clear();
        auto both = [&](int k) { out.insert(out.end(), {k, k + 1}); };
        auto radius = [&](const RadiusRef& q) {
            if (q.scalar >= 0) {
                out.push_back(q.scalar);
            } else {
                both(q.c);
                both(q.s);
            }
        };
        switch (r.kind) {
            case K::dx: out = {r.p[0], r.p[1]}; break;
            case K::dy: out = {r.p[0] + 1, r.p[1] + 1}; break;
            case K::midX: out = {r.p[0], r.p[1], r.p[2]}; break;
            case K::midY: out = {r.p[0] + 1, r.p[1] + 1, r.p[2] + 1}; break;
            case K::dist:
                both(r.p[0]);
                both(r.p[1]);
                break;
            case K::radius:
            case K::diameter: radius(r.ra); break;
            case K::equalRadius:
                radius(r.ra);
                radius(r.rb);
                break;
            case K::arcEnd:
            case K::pointOnLine:
                for (int i = 0; i < 3; ++i)
                    both(r.p[i]);
                break;
            case K::parallel:
            case K::perpendicular:
            case K::equalLength:
                for (int i = 0; i < 4; ++i)
                    both(r.p[i]);
                break;
            case K::pointOnCircle:
                both(r.p[0]);
                both(r.p[1]);
                radius(r.ra);
                break;
            case K::tangent:
                for (int i = 0; i < 3; ++i)
                    both(r.p[i]);
                radius(r.ra);
                break;
        }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        out.erase(std::lower_bound(out.begin(), out.end(), sys_.n), out.end());
    }

    void buildPattern() {
        const size_t m = sys_.residuals.size();
        std::vector<int> d, count(sys_.n + 1, 0), depStart(m + 1, 0), allDeps;
        for (size_t i = 0; i < m; ++i) {
            deps(sys_.residuals[i], d);
            for (int j : d)
                ++count[j + 1];
            allDeps.insert(allDeps.end(), d.begin(), d.end());
            depStart[i + 1] = static_cast<int>(allDeps.size());
        }
        for (int j = 0; j < sys_.n; ++j)
            count[j + 1] += count[j];
        sys_.colStart = count;
        sys_.rows.resize(allDeps.size());
        for (size_t i = 0; i < m; ++i)
            for (int q = depStart[i]; q < depStart[i + 1]; ++q)
                sys_.rows[count[allDeps[q]]++] = static_cast<int>(i);
    }

    const Sketch& s_;
    IdTable points_, lines_, circles_, arcs_;
    SolverSystem sys_;
    std::vector<int> pointX_, constX_;  // per point: index of its unknown x or of its copy
    int zero_ = -1;                     // index of (0, 0), for missing points and radii
};

}  // namespace

double SolverSystem::eval(const Residual& r) const {
    using K = Residual::Kind;
    const double* x = vals.data();
    auto pt = [x](int k) { return V2{x[k], x[k + 1]}; };
    auto rad = [&](const RadiusRef& q) {
        return q.scalar >= 0 ? x[q.scalar] : (pt(q.s) - pt(q.c)).length();
    };
    switch (r.kind) {
        case K::arcEnd:
            return (pt(r.p[2]) - pt(r.p[0])).length() - (pt(r.p[1]) - pt(r.p[0])).length();
        case K::dy: return x[r.p[1] + 1] - x[r.p[0] + 1];
        case K::dx: return x[r.p[0]] - x[r.p[1]];
        case K::dist: return (pt(r.p[0]) - pt(r.p[1])).length() - r.v;
        case K::radius: return rad(r.ra) - r.v;
        case K::diameter: return 2 * rad(r.ra) - r.v;
        case K::parallel:
        case K::perpendicular: {
            const V2 u1 = (pt(r.p[1]) - pt(r.p[0])).normalized();
            const V2 u2 = (pt(r.p[3]) - pt(r.p[2])).normalized();
            return r.kind == K::parallel ? u1.cross(u2) : u1.dot(u2);
        }
        case K::equalLength:
            return (pt(r.p[1]) - pt(r.p[0])).length() - (pt(r.p[3]) - pt(r.p[2])).length();
        case K::equalRadius: return rad(r.ra) - rad(r.rb);
        case K::pointOnLine: {
            const V2 a = pt(r.p[1]);
            return (pt(r.p[2]) - a).normalized().cross(pt(r.p[0]) - a);
        }
        case K::midX: return x[r.p[0]] - (x[r.p[1]] + x[r.p[2]]) * 0.5;
        case K::midY: return x[r.p[0] + 1] - (x[r.p[1] + 1] + x[r.p[2] + 1]) * 0.5;
        case K::pointOnCircle: return (pt(r.p[0]) - pt(r.p[1])).length() - rad(r.ra);
        case K::tangent: {
            const V2 a = pt(r.p[0]);
            return std::abs((pt(r.p[1]) - a).normalized().cross(pt(r.p[2]) - a)) - rad(r.ra);
        }
    }
    return 0;
}

double SolverSystem::evalAll(std::vector<double>& out) const {
    out.resize(residuals.size());
    double e = 0;
    for (size_t i = 0; i < residuals.size(); ++i) {
        out[i] = eval(residuals[i]);
        e += out[i] * out[i];
    }
    return e;
}

SolverSystem buildSystem(const Sketch& sketch, const std::vector<Id>& hold) {
    return Compiler(sketch, hold).run();
}

}  // namespace ivo
