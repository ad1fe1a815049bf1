// Chains of lines and offset copies of circles, arcs and line chains.
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "sketch/edit_support.h"

namespace ivo {
namespace {

// Below this a result would be a degenerate curve.
constexpr double kMinSize = 1e-6;

// New positions of an open chain: each end moves square to its segment, each inner point to
// the mitre that keeps both its segments at distance d (straight across where the chain
// folds back on itself).
std::vector<V2> offsetOpen(const std::vector<V2>& P, double d) {
    const size_t m = P.size() - 1;
    std::vector<V2> out(P.size());
    for (size_t i = 0; i <= m; ++i) {
        const V2 before = i > 0 ? (P[i] - P[i - 1]).normalized().perpLeft() : V2{};
        const V2 after = i < m ? (P[i + 1] - P[i]).normalized().perpLeft() : V2{};
        V2 shift;
        if (i == 0) {
            shift = after * d;
        } else if (i == m) {
            shift = before * d;
        } else {
            const double k = 1 + before.dot(after);
            shift = k < 1e-6 ? before * d : (before + after) * (d / k);
        }
        out[i] = P[i] + shift;
    }
    return out;
}

// Every offset segment must keep the direction of its source: a segment that shrank to
// nothing or turned round means the distance exceeds what the chain can take.
bool keepsDirections(const std::vector<V2>& from, const std::vector<V2>& to, bool closed) {
    const size_t n = from.size(), segments = closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        const V2 was = from[(i + 1) % n] - from[i], now = to[(i + 1) % n] - to[i];
        if (!inReach(to[i]) || now.length() < kMinSize || !(was.dot(now) > 0)) return false;
    }
    return true;
}

bool offsetChain(Sketch& s, const SLine& l, double d) {
    const Sketch::Chain chain = s.lineChain(l.id);
    // Two lines between the same two points close a chain that encloses nothing.
    if (chain.pts.size() < (chain.closed ? 3u : 2u)) return false;
    std::vector<V2> P;
    for (Id id : chain.pts)
        P.push_back(s.pos(id).value_or(V2{}));
    const size_t segments = chain.closed ? P.size() : P.size() - 1;
    for (size_t i = 0; i < segments; ++i)
        if ((P[(i + 1) % P.size()] - P[i]).length() < kMinSize) return false;
    // A closed chain moves outwards for a positive distance whichever way it was drawn.
    const std::vector<V2> Q =
        chain.closed ? offsetLoop(P, polyArea(P) > 0 ? -d : d) : offsetOpen(P, d);
    if (!keepsDirections(P, Q, chain.closed)) return false;
    std::vector<Id> ids;
    for (V2 q : Q)
        ids.push_back(s.addPoint(q));
    for (size_t i = 0; i < segments; ++i)
        s.addLine(ids[i], ids[(i + 1) % ids.size()], l.construction);
    return true;
}

}  // namespace

Sketch::Chain Sketch::lineChain(Id l) const {
    const std::optional<SLine> start = line(l);
    if (!start) return {};
    std::unordered_map<Id, std::vector<size_t>> at;  // point id -> lines ending there
    for (size_t i = 0; i < lines.size(); ++i) {
        const SLine& r = lines[i];
        if (r.construction != start->construction) continue;
        at[r.a].push_back(i);
        if (r.b != r.a) at[r.b].push_back(i);
    }
    Chain chain{{start->a, start->b}, false};
    std::unordered_set<Id> visited{l};
    // Walks from one end of the chain; true when the walk came back to the other end.
    auto walk = [&](bool forward) {
        Id current = l;
        for (;;) {
            const Id end = forward ? chain.pts.back() : chain.pts.front();
            const SLine* next = nullptr;
            int count = 0;
            for (size_t i : at[end])
                if (lines[i].id != current) {
                    next = &lines[i];
                    ++count;
                }
            if (count != 1 || visited.contains(next->id)) return false;
            visited.insert(next->id);
            const Id p = next->a == end ? next->b : next->a;
            if (p == (forward ? chain.pts.front() : chain.pts.back())) return true;
            if (forward) {
                chain.pts.push_back(p);
            } else {
                chain.pts.insert(chain.pts.begin(), p);
            }
            current = next->id;
        }
    };
    chain.closed = walk(true);
    if (!chain.closed) walk(false);
    return chain;
}

bool Sketch::offsetEntity(Id id, double distance) {
    const double d = distance;
    if (!inReach(d) || std::abs(d) < 1e-9) return false;
    if (const auto k = circle(id)) {
        const double r = k->r + d;
        if (!(r > kMinSize) || !inReach(r) || !pointIndex(k->c)) return false;
        appendCircle(*this, k->c, r, k->construction);
        return true;
    }
    if (const auto a = arc(id)) {
        const std::optional<V2> C = pos(a->c);
        if (!C) return false;
        const V2 S = pos(a->s).value_or(V2{}), E = pos(a->e).value_or(V2{});
        const double r = (S - *C).length() + d;
        // An arc of no radius has no direction to offset along.
        if ((S - *C).length() < kMinSize || (E - *C).length() < kMinSize) return false;
        if (!(r > kMinSize)) return false;
        const V2 S2 = *C + (S - *C).normalized() * r, E2 = *C + (E - *C).normalized() * r;
        if (!inReach(S2) || !inReach(E2)) return false;
        const Id s2 = addPoint(S2);
        const Id e2 = addPoint(E2);
        appendArc(*this, a->c, s2, e2, a->construction);
        return true;
    }
    if (const auto l = line(id)) return offsetChain(*this, *l, d);
    return false;
}

}  // namespace ivo
