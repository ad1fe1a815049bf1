// Trees made as walks reach them: every node made is a whole build's, walks and clips alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "geometry/csg_pieces.h"
#include "support/solids.h"

namespace ivo {
namespace {

using bsp::Piece;
using bsp::Tree;
using namespace testing;

// The pieces of a solid, with their planes and boxes registered in `w`.
std::vector<Piece> load(bsp::Work& w, const Solid& s) {
    std::vector<Piece> out;
    for (const CPoly& q : s) {
        const Box3& b = q.v.box();
        out.push_back({q.v.data(), uint32_t(q.v.size()), uint32_t(w.planes.size())});
        w.planes.push_back(q.plane);
        w.extents.push_back({b.center(), (b.hi - b.lo) / 2});
    }
    return out;
}

// The whole tree of `list` built at once into `tree` (one node to start with): the middle
// piece of each list splits it, back and front pieces keep their order.
void wholeTree(bsp::Work& w, const std::vector<Piece>& list, Tree& tree, int32_t at = 0) {
    const Piece splitter = list[list.size() / 2];
    const CPlane plane = w.planes[splitter.src];
    tree[at].plane = plane;
    tree[at].planeSrc = splitter.src;
    std::vector<Piece> front, back;
    for (const Piece& p : list) {
        if (p.src == splitter.src) continue;
        const bsp::SplitResult r = bsp::splitPiece(w, p, plane);
        if (r.type == bsp::kFront) front.push_back(p);
        if (r.type == bsp::kBack) back.push_back(p);
        if (r.type == bsp::kSpanning) {
            if (r.front.n) front.push_back(r.front);
            if (r.back.n) back.push_back(r.back);
        }
    }
    for (const auto& [part, side] :
         {std::pair{&back, &bsp::Node::back}, {&front, &bsp::Node::front}})
        if (!part->empty()) {
            tree[at].*side = int32_t(tree.size());
            tree.push_back({});
            wholeTree(w, *part, tree, tree[at].*side);
        }
}

// Compares the nodes made in `lazy` with those at the same places in `whole`; counts them.
size_t compareMade(const Tree& lazy, const Tree& whole, std::string& fault) {
    size_t made = 0;
    std::vector<std::pair<int32_t, int32_t>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        const bsp::Node &x = lazy[size_t(a)], &y = whole[size_t(b)];
        if (x.list >= 0) continue;
        ++made;
        if (std::memcmp(&x.plane, &y.plane, sizeof(CPlane)) != 0 || x.planeSrc != y.planeSrc ||
            (x.front < 0) != (y.front < 0) || (x.back < 0) != (y.back < 0)) {
            fault = "node " + std::to_string(b) + " of the whole tree differs";
            return made;
        }
        if (x.front >= 0) stack.push_back({x.front, y.front});
        if (x.back >= 0) stack.push_back({x.back, y.back});
    }
    return made;
}

V3 randomPoint(std::mt19937& rng, const Box3& b) {
    std::uniform_real_distribution<double> u(0, 1);
    return {b.lo.x + u(rng) * (b.hi.x - b.lo.x), b.lo.y + u(rng) * (b.hi.y - b.lo.y),
            b.lo.z + u(rng) * (b.hi.z - b.lo.z)};
}

// Clipped by both trees (each with its own split history), the same pieces point for point.
void expectSameClip(bsp::Work& w, Tree& lazy, Tree& whole, const std::vector<Piece>& tool,
                    bool inverted, const std::string& what) {
    std::vector<Piece> got[2];
    Tree* trees[2] = {&lazy, &whole};
    for (int k = 0; k < 2; ++k) {
        got[k] = tool;
        for (Piece& p : got[k]) {
            p.frag = int32_t(w.frags.size());
            w.frags.push_back({p.v, p.n});
        }
        bsp::clipPieces(w, *trees[k], inverted, false, got[k]);
    }
    ASSERT_EQ(got[0].size(), got[1].size()) << what;
    for (size_t i = 0; i < got[0].size(); ++i) {
        ASSERT_EQ(got[0][i].n, got[1][i].n) << what;
        ASSERT_EQ(std::memcmp(got[0][i].v, got[1][i].v, got[0][i].n * sizeof(V3)), 0) << what;
    }
}

struct TreeCase {
    const char* name;
    Solid solid, tool;
};

std::vector<TreeCase> cases() {
    std::mt19937 rng(11);
    std::vector<TreeCase> out;
    // Solids with hollows and saddles: their trees branch both ways at most nodes.
    const Solid drilled =
        CSG::subtract(polyBox({-5, -5, -5}, {5, 5, 5}), polyCylinder({1, 0.5, -8}, 3, 16, 24));
    const Solid twoSpheres =
        CSG::unite(sphereSolid({0, 0, 0}, 6, 10, 20), sphereSolid({5, 2, 1}, 5, 8, 16));
    out.push_back({"drilled box", drilled, twoSpheres});
    out.push_back({"two spheres", twoSpheres, drilled});
    out.push_back({"sphere", sphereSolid({0, 0, 0}, 10, 16, 32), polyBox({2, 2, 2}, {12, 12, 12})});
    for (int i = 0; i < 4; ++i)
        out.push_back({"random", randomSolid(rng), randomSolid(rng)});
    return out;
}

TEST(CsgTree, NodesReachedInAnyOrderAreThoseOfAWholeBuild) {
    std::mt19937 rng(5);
    for (const TreeCase& c : cases()) {
        bsp::Work w;
        const std::vector<Piece> a = load(w, c.solid), b = load(w, c.tool);
        // Two trees made before either is walked, as an operation makes them, and a third
        // whose list has to join one of theirs.
        Tree lazyA, lazyB, lazyC;
        std::vector<Piece> list = a;
        bsp::buildTree(w, list, lazyA);
        list = b;
        bsp::buildTree(w, list, lazyB);
        EXPECT_TRUE(list.empty()) << c.name;
        list = a;
        bsp::buildTree(w, list, lazyC);
        Tree wholeA(1), wholeB(1);
        wholeTree(w, a, wholeA);
        wholeTree(w, b, wholeB);
        Tree* lazies[3] = {&lazyA, &lazyB, &lazyC};
        Tree* wholes[3] = {&wholeA, &wholeB, &wholeA};
        const Box3 box = solidBox(c.solid);
        Box3 wide = box;
        wide.add(box.lo - (box.hi - box.lo));
        wide.add(box.hi + (box.hi - box.lo));
        // Points scattered over and around the solid reach nodes far from the last one
        // reached, the trees taken in turn.
        for (int i = 0; i < 300; ++i) {
            const V3 p = randomPoint(rng, i % 4 ? box : wide);
            Tree& lazy = *lazies[i % 3];
            Tree& whole = *wholes[i % 3];
            ASSERT_EQ(bsp::insideTree(w, lazy, p), bsp::insideTree(w, whole, p)) << c.name;
            if (i == 150) {
                // One more while the others have nodes waiting.
                Tree lazyD;
                list = b;
                bsp::buildTree(w, list, lazyD);
                expectSameClip(w, lazyD, wholeB, a, false, c.name);
                std::string fault;
                compareMade(lazyD, wholeB, fault);
                EXPECT_EQ(fault, "") << c.name << ", fourth tree";
            }
        }
        expectSameClip(w, lazyC, wholeA, b, true, c.name);
        expectSameClip(w, lazyA, wholeA, b, false, c.name);
        expectSameClip(w, lazyB, wholeB, a, true, c.name);
        for (int k = 0; k < 3; ++k) {
            std::string fault;
            EXPECT_GT(compareMade(*lazies[k], *wholes[k], fault), 0u) << c.name << ", tree " << k;
            EXPECT_EQ(fault, "") << c.name << ", tree " << k;
        }
    }
}

// The pieces and split history of `tool` clipped by the tree of `solid` with flipped false,
// then true: by clipBothWays when `together`, else by two clips.
struct TwoClips {
    bsp::Work w;
    std::vector<Piece> kept;
};

void clipTwice(TwoClips& c, const Solid& solid, const Solid& tool, bool inverted, bool together) {
    std::vector<Piece> list = load(c.w, solid);
    c.kept = load(c.w, tool);
    for (Piece& p : c.kept) {
        p.frag = int32_t(c.w.frags.size());
        c.w.frags.push_back({p.v, p.n});
    }
    Tree tree;
    bsp::buildTree(c.w, list, tree);
    if (together) {
        bsp::clipBothWays(c.w, tree, inverted, c.kept);
    } else {
        bsp::clipPieces(c.w, tree, inverted, false, c.kept);
        bsp::clipPieces(c.w, tree, inverted, true, c.kept);
    }
}

bool samePoints(const V3* a, const V3* b, uint32_t n) {
    return std::memcmp(a, b, n * sizeof(V3)) == 0;
}

// Pieces lying in the tree's planes go the other way in the second clip, and so walk on from
// there; so do pieces that the first clip cut. Pieces, history and their order are the two
// clips' to the bit.
TEST(CsgTree, ClippingBothWaysGivesWhatTwoClipsGive) {
    std::vector<TreeCase> all = cases();
    const Solid box = polyBox({0, 0, 0}, {2, 2, 2});
    all.push_back({"touching boxes", box, polyBox({2, 0.5, 0.5}, {4, 1.5, 1.5})});
    all.push_back({"boxes sharing faces", box, polyBox({1, 0, 0}, {3, 2, 2})});
    all.push_back({"cylinder on a face", box, polyCylinder({1, 1, 2}, 0.7, 1, 12)});
    all.push_back({"cylinder through", box, polyCylinder({1, 1, -1}, 0.7, 4, 12)});
    for (const TreeCase& c : all)
        for (const bool inverted : {false, true}) {
            const std::string what = std::string(c.name) + (inverted ? ", inverted" : "");
            TwoClips one, two;
            clipTwice(one, c.solid, c.tool, inverted, true);
            clipTwice(two, c.solid, c.tool, inverted, false);
            ASSERT_EQ(one.kept.size(), two.kept.size()) << what;
            for (size_t i = 0; i < one.kept.size(); ++i) {
                const Piece &a = one.kept[i], &b = two.kept[i];
                ASSERT_EQ(a.n, b.n) << what;
                EXPECT_EQ(a.frag, b.frag) << what;
                EXPECT_TRUE(samePoints(a.v, b.v, a.n)) << what << ", piece " << i;
            }
            ASSERT_EQ(one.w.frags.size(), two.w.frags.size()) << what;
            for (size_t i = 0; i < one.w.frags.size(); ++i) {
                const bsp::Frag &a = one.w.frags[i], &b = two.w.frags[i];
                ASSERT_EQ(a.n, b.n) << what;
                EXPECT_TRUE(a.parent == b.parent && a.child[0] == b.child[0] &&
                            a.child[1] == b.child[1] && a.whole == b.whole &&
                            samePoints(a.v, b.v, a.n))
                    << what << ", entry " << i;
            }
        }
}

// A piece too large for the split's packed counts is counted in runs: an edge crossing the
// plane between two runs counts as any other. The plane cuts five vertices off a huge
// regular polygon, the first of them starting the second run.
TEST(CsgSplit, PiecesLargerThanOneRunOfCountsSplitAsOthers) {
    const uint32_t n = bsp::kPackedCounts + 10, first = bsp::kPackedCounts - 1;
    const double r = 1e8, step = 2 * std::numbers::pi / n;
    std::vector<V3> pts(n);
    for (uint32_t i = 0; i < n; ++i)
        pts[i] = {r * std::cos(step * i), r * std::sin(step * i), 0};
    // Through the middle of the arc between vertices first - 1 and first, and first + 4
    // and first + 5.
    const double mid = step * (first + 2);
    const CPlane plane{{std::cos(mid), std::sin(mid), 0}, r * std::cos(2.5 * step)};
    bsp::Work w;
    const bsp::SplitResult split = bsp::splitPiece(w, {pts.data(), n, 0}, plane);
    ASSERT_EQ(split.type, bsp::kSpanning);
    EXPECT_EQ(split.front.n, 5u + 2);
    EXPECT_EQ(split.back.n, n - 5 + 2);
    for (uint32_t i = 0; i < split.front.n; ++i)
        EXPECT_GT(plane.n.dot(split.front.v[i]) - plane.w, -CSG_EPS) << i;
}

// The split and the side test classify points two at a time and write large pieces' sides a
// run at a time: against the plain vertex-by-vertex split, bit for bit, on polygons of every
// size up to past the run limit, with vertices on, near and across the plane.
TEST(CsgSplit, SidesAreThoseOfTheVertexByVertexSplit) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    auto side = [](double d) { return (d > CSG_EPS ? 1 : 0) | (d < -CSG_EPS ? 2 : 0); };
    for (int round = 0; round < 4000; ++round) {
        const uint32_t n = 3 + uint32_t(round % 30);
        const CPlane plane{V3{u(rng), u(rng), u(rng)}.normalized(), u(rng) * 0.3};
        auto dist = [&](V3 p) {
            return plane.n.x * p.x + plane.n.y * p.y + plane.n.z * p.z - plane.w;
        };
        std::vector<V3> pts(n);
        for (uint32_t i = 0; i < n; ++i) {
            // A wobbly ring, with some vertices pulled onto the plane or just off it.
            const double a = 2 * std::numbers::pi * i / n, r = 1 + 0.3 * u(rng);
            pts[i] = {r * std::cos(a), r * std::sin(a), 0.2 * u(rng)};
            const int pull = int(rng() % 6);
            const double d = dist(pts[i]);
            if (pull == 0) pts[i] = pts[i] - plane.n * d;
            if (pull == 1) pts[i] = pts[i] - plane.n * (d - CSG_EPS * u(rng) * 2);
        }
        std::vector<double> t(n);
        std::vector<int> type(n);
        int all = 0;
        for (uint32_t i = 0; i < n; ++i) {
            t[i] = dist(pts[i]);
            all |= type[i] = side(t[i]);
        }
        std::vector<V3> front, back;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t j = (i + 1) % n;
            if (type[i] != 2) front.push_back(pts[i]);
            if (type[i] != 1) back.push_back(pts[i]);
            if ((type[i] | type[j]) == 3) {
                const V3 e = pts[j] - pts[i];
                const double d = plane.n.dot(e);
                const V3 x = pts[i] + e * (std::abs(d) < 1e-15 ? 0.5 : -t[i] / d);
                front.push_back(x);
                back.push_back(x);
            }
        }
        const std::string what = "round " + std::to_string(round) + ", " + std::to_string(n);
        bsp::Work w;
        const Piece piece{pts.data(), n, 0};
        if (n <= bsp::kFewPoints) {
            EXPECT_EQ(int(bsp::sideOf(piece, plane)), all) << what;
        }
        const bsp::SplitResult r = bsp::splitPiece(w, piece, plane);
        ASSERT_EQ(int(r.type), all) << what;
        if (all != 3) continue;
        auto same = [&](const Piece& got, const std::vector<V3>& want) {
            if (want.size() < 3) return got.n == 0;
            return got.n == want.size() && samePoints(got.v, want.data(), got.n);
        };
        EXPECT_TRUE(same(r.front, front)) << what;
        EXPECT_TRUE(same(r.back, back)) << what;
    }
}

}  // namespace
}  // namespace ivo
