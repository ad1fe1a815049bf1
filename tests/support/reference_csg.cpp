#include "support/reference_csg.h"

#include <cmath>
#include <optional>
#include <utility>

namespace ivo::testing {
namespace {

enum { COPLANAR = 0, FRONT = 1, BACK = 2, SPANNING = 3 };

void splitPlain(const CPlane& pl, const CPoly& poly, Solid& coplanarFront, Solid& coplanarBack,
                Solid& front, Solid& back) {
    int polyType = 0;
    std::vector<int> types;
    for (const V3& v : poly.v) {
        const double t = pl.n.dot(v) - pl.w;
        types.push_back(t < -CSG_EPS ? BACK : t > CSG_EPS ? FRONT : COPLANAR);
        polyType |= types.back();
    }
    if (polyType == COPLANAR)
        (pl.n.dot(poly.plane.n) > 0 ? coplanarFront : coplanarBack).push_back(poly);
    if (polyType == FRONT) front.push_back(poly);
    if (polyType == BACK) back.push_back(poly);
    if (polyType != SPANNING) return;
    std::vector<V3> f, b;
    for (size_t i = 0; i < poly.v.size(); ++i) {
        const size_t j = (i + 1) % poly.v.size();
        const V3 vi = poly.v[i], vj = poly.v[j];
        if (types[i] != BACK) f.push_back(vi);
        if (types[i] != FRONT) b.push_back(vi);
        if ((types[i] | types[j]) == SPANNING) {
            const double d = pl.n.dot(vj - vi);
            const V3 x = vi + (vj - vi) * (std::abs(d) < 1e-15 ? 0.5 : (pl.w - pl.n.dot(vi)) / d);
            f.push_back(x);
            b.push_back(x);
        }
    }
    if (f.size() >= 3) front.emplace_back(f, poly.plane);
    if (b.size() >= 3) back.emplace_back(b, poly.plane);
}

void append(Solid& to, const Solid& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// One tree; nodes linked by index, walked with explicit stacks only so that deep trees
// cannot overflow the call stack. Node 0 is the root.
class PlainNode {
public:
    explicit PlainNode(const Solid& polys) : nodes_(1) { build(polys); }

    void build(const Solid& polys) {
        std::vector<std::pair<int, Solid>> work{{0, polys}};
        while (!work.empty()) {
            auto [at, list] = std::move(work.back());
            work.pop_back();
            if (list.empty()) continue;
            if (!nodes_[at].plane) nodes_[at].plane = list[list.size() / 2].plane;
            Solid f, b;
            for (const CPoly& p : list)
                splitPlain(*nodes_[at].plane, p, nodes_[at].polys, nodes_[at].polys, f, b);
            if (!f.empty()) work.push_back({child(at, true), std::move(f)});
            if (!b.empty()) work.push_back({child(at, false), std::move(b)});
        }
    }

    void invert() {
        for (Rec& n : nodes_) {
            for (CPoly& p : n.polys)
                p = p.flipped();
            if (n.plane) n.plane = n.plane->flipped();
            std::swap(n.front, n.back);
        }
    }

    Solid clipPolygons(const Solid& polys) const {
        if (!nodes_[0].plane) return polys;
        Solid out;
        std::vector<std::pair<int, Solid>> work{{0, polys}};
        while (!work.empty()) {
            auto [at, list] = std::move(work.back());
            work.pop_back();
            const Rec& n = nodes_[at];
            Solid f, b;
            for (const CPoly& p : list)
                splitPlain(*n.plane, p, f, b, f, b);
            // Front results come first: the back list waits below the front one.
            if (n.back >= 0) work.push_back({n.back, std::move(b)});
            if (n.front >= 0)
                work.push_back({n.front, std::move(f)});
            else
                append(out, f);
        }
        return out;
    }

    void clipTo(const PlainNode& other) {
        for (Rec& n : nodes_)
            n.polys = other.clipPolygons(n.polys);
    }

    Solid allPolygons() const {
        Solid out;
        std::vector<int> work{0};
        while (!work.empty()) {
            const Rec& n = nodes_[work.back()];
            work.pop_back();
            append(out, n.polys);
            if (n.back >= 0) work.push_back(n.back);
            if (n.front >= 0) work.push_back(n.front);
        }
        return out;
    }

private:
    struct Rec {
        std::optional<CPlane> plane;
        int front = -1, back = -1;
        Solid polys;
    };

    int child(int at, bool front) {
        int& slot = front ? nodes_[at].front : nodes_[at].back;
        if (slot < 0) slot = int(nodes_.size());
        if (slot == int(nodes_.size())) nodes_.emplace_back();  // `slot` is stale from here
        return front ? nodes_[at].front : nodes_[at].back;
    }

    std::vector<Rec> nodes_;
};

bool trivial(const Solid& a, const Solid& b) {
    return a.empty() || b.empty() || !solidBox(a).overlaps(solidBox(b));
}

// The common tail of union and difference: b loses what lies inside a, coplanar faces
// included, and joins a's tree.
void clipAndJoin(PlainNode& A, PlainNode& B) {
    A.clipTo(B);
    B.clipTo(A);
    B.invert();
    B.clipTo(A);
    B.invert();
    A.build(B.allPolygons());
}

}  // namespace

Solid PlainCSG::unite(const Solid& a, const Solid& b) {
    if (trivial(a, b)) {
        Solid out = a;
        append(out, b);
        return out;
    }
    PlainNode A(a), B(b);
    clipAndJoin(A, B);
    return A.allPolygons();
}

Solid PlainCSG::subtract(const Solid& a, const Solid& b) {
    if (trivial(a, b)) return a;
    PlainNode A(a), B(b);
    A.invert();
    clipAndJoin(A, B);
    A.invert();
    return A.allPolygons();
}

Solid PlainCSG::intersect(const Solid& a, const Solid& b) {
    if (trivial(a, b)) return {};
    PlainNode A(a), B(b);
    A.invert();
    B.clipTo(A);
    B.invert();
    A.clipTo(B);
    B.clipTo(A);
    A.build(B.allPolygons());
    A.invert();
    return A.allPolygons();
}

}  // namespace ivo::testing
