// Classifier trees of one boolean operation: building them from pieces and clipping piece
// lists by them. Both walk the tree with an explicit stack: a convex solid of n polygons
// makes a chain n nodes deep.
#include <algorithm>
#include <iterator>

#include "geometry/csg_pieces.h"

namespace ivo::bsp {
namespace {

// Gives node `at` (not reached before) its plane and children, each child holding its share
// of the node's pieces. The lists live in two buffers: the back pieces are compacted in place
// (never more written than read so far), the front ones go after the end of the other
// buffer, so no list is ever copied and both children's lists are where they will be read.
void expand(Work& w, Tree& tree, int32_t at) {
    const int32_t slot = tree[at].list;
    const WaitingList it = w.lists[size_t(slot)];
    tree[at].list = -1;
    const uint32_t ob = it.buf ^ 1;
    // At most one front piece comes from each piece of the list.
    std::vector<Piece>& other = w.waiting[ob];
    const size_t top = w.waitingEnd[ob];
    const size_t need = top + (it.end - it.start);
    if (other.size() < need) other.resize(std::max(need, 2 * other.size()));
    Piece* const list = w.waiting[it.buf].data();
    Piece* const fr = other.data() + top;
    const uint32_t splitterSrc = list[it.start + (it.end - it.start) / 2].src;
    const CPlane plane = w.planes[splitterSrc];
    // The plane's lanes in locals of their own: `plane` goes to the splits by address, and the
    // loop below would otherwise read it back from memory for every piece.
    const QuickSides quickSides(plane, absolute(plane.n));
    const Extent* const extents = w.extents.data();
    size_t nb = it.start, nf = 0;
    for (size_t i = it.start; i < it.end; ++i) {
        const uint32_t src = list[i].src;
        // Pieces of the splitter's own polygon end here even when a sloppy input puts
        // them beyond the tolerance: every path then uses each plane at most once,
        // which bounds the depth.
        if (src == splitterSrc) continue;
        // Most pieces lie wholly on one side by their source's box: moved as they are.
        const PieceType quick = quickSides.of(extents[src]);
        if (quick == kFront) {
            fr[nf++] = list[i];
            continue;
        }
        if (quick == kBack) {
            list[nb++] = list[i];
            continue;
        }
        const Piece p = list[i];
        PieceType side = quick;
        SplitResult r;
        if (side == kSpanning) side = sideOrSplit(w, p, plane, r);
        if (side == kSpanning) {
            if (r.front.n) fr[nf++] = r.front;
            if (r.back.n) list[nb++] = r.back;
            continue;
        }
        if (side == kFront)
            fr[nf++] = p;
        else if (side == kBack)
            list[nb++] = p;
    }
    // A list that ends its buffer gives back what its back child does not keep: walks mostly
    // go on down from the node they just reached, so the buffers are mostly used as stacks.
    if (it.end == w.waitingEnd[it.buf]) w.waitingEnd[it.buf] = nb;
    Node& node = tree[at];
    node.plane = plane;
    node.planeSrc = splitterSrc;
    // The back child takes over the node's list entry.
    int32_t back = -1, front = -1;
    if (nb > it.start) {
        back = int32_t(tree.size());
        w.lists[size_t(slot)] = {it.buf, it.start, nb};
        tree.push_back({});
        tree.back().list = slot;
    }
    if (nf > 0) {
        front = int32_t(tree.size());
        w.waitingEnd[ob] = top + nf;
        tree.push_back({});
        tree.back().list = int32_t(w.lists.size());
        w.lists.push_back({ob, top, top + nf});
    }
    tree[at].back = back;
    tree[at].front = front;
}

// Node `at` of `tree`, given its plane and children first if no walk reached it before.
inline const Node& reach(Work& w, Tree& tree, int32_t at) {
    if (tree[at].list >= 0) [[unlikely]]
        expand(w, tree, at);
    return tree[at];
}

}  // namespace

void buildTree(Work& w, std::vector<Piece>& pieces, Tree& tree) {
    tree.clear();
    if (pieces.empty()) return;
    tree.push_back({});
    tree[0].list = int32_t(w.lists.size());
    // The two trees of an operation are made before either is walked: each list can become
    // an empty buffer as it is.
    const uint32_t b = w.waitingEnd[0] == 0 ? 0 : w.waitingEnd[1] == 0 ? 1 : 0;
    std::vector<Piece>& buf = w.waiting[b];
    const size_t start = w.waitingEnd[b], end = start + pieces.size();
    // Copied into the buffer, which keeps its size from one operation to the next: taking
    // the list over instead would leave the buffer no larger than it, to be grown (and
    // written through) again as the walks make their lists.
    if (buf.size() < end) buf.resize(std::max(end, 2 * buf.size()));
    std::copy(pieces.begin(), pieces.end(), buf.begin() + std::ptrdiff_t(start));
    w.waitingEnd[b] = end;
    w.lists.push_back({b, start, end});
    pieces.clear();
}

namespace {

// What a walk does besides clipping: nothing, log the steps the second clip of the same
// pieces must test again, or replay a log of the first clip.
enum class Pass { plain, log, replay };

// Walk entries of a replay pass start at this node: the piece's log tells where to go.
constexpr int32_t kReplayed = -1;

// A bound, with room to spare, on the rounding of the distance to `plane` of a point within
// the box `e`, or of a crossing point made there: a few units in the last place of the
// largest terms of the sum.
inline double roundoff(const Extent& e, const CPlane& plane, const V3& absN) {
    const V3 far{std::abs(e.cx) + e.hx, std::abs(e.cy) + e.hy, std::abs(e.cz) + e.hz};
    return 4e-16 * (absN.dot(far) + std::abs(plane.w));
}

// Rounding bounds of that size a crossing point's distance to the plane that made it, and
// each later generation of crossing points loses about as much on the way from points
// lying beyond a plane: a path down the tree, which meets each source's plane at most once,
// cuts a piece at most once for each source.
constexpr double kCrossing = 64;
inline double generations(const Work& w) {
    return kCrossing + 16 * double(w.planes.size());
}

// Whether every point of `p` lies beyond `plane`, on the side given, by more than `reach`:
// then so do those of every piece later cut from it, which answer that side too.
inline bool allBeyond(const Piece& p, const CPlane& plane, bool inFront, double reach) {
    const double s = inFront ? 1 : -1;
    for (uint32_t i = 0; i < p.n; ++i)
        if (!(s * planeDistance(p.v[i], plane.n, plane.w) > reach)) return false;
    return true;
}

// The steps of the piece's log, which are those the second clip tests, in the order the
// walk reaches them, into w.path.
size_t loggedSteps(Work& w, int32_t last) {
    std::vector<int32_t>& path = w.path;
    size_t n = 0;
    for (int32_t s = last; s >= 0; s = w.steps[size_t(s)].prev) {
        if (n == path.size()) path.resize(2 * n + 16);
        path[n++] = s;
    }
    std::reverse(path.begin(), path.begin() + std::ptrdiff_t(n));
    return n;
}

template <Pass kPass>
void walk(Work& w, Tree& tree, bool inverted, bool flipped, std::vector<Piece>& pieces) {
    if (tree.empty() || pieces.empty()) return;
    // Each piece walks down on its own, so a piece that stays whole costs one plane test
    // per node and no list work; a split sends one side down at once and parks the other.
    // The parked walks and the pieces kept are written in place, their vectors grown by hand
    // (their sizes are their room, kept from one operation to the next): a piece handed to
    // push_back goes through memory just after its fields were stored, and is read back from
    // there at a stall.
    std::vector<Walk>& stack = w.walks;
    std::vector<Piece>& out = w.clipped;
    size_t top = pieces.size(), kept = 0;
    if (stack.size() < top) stack.resize(std::max(top, 2 * stack.size()));
    if constexpr (kPass == Pass::log)
        if (w.keptSteps.size() < out.size()) w.keptSteps.resize(out.size());
    for (size_t i = 0; i < top; ++i) {
        stack[i].node = kPass == Pass::replay ? kReplayed : 0;
        if constexpr (kPass == Pass::log) stack[i].step = -1;
        if constexpr (kPass == Pass::replay) stack[i].step = w.keptSteps[top - 1 - i];
        stack[i].piece = pieces[top - 1 - i];
    }
    // Read inverted, a node's plane is flipped and its children swapped: what lies in
    // front of the stored plane lies behind the inverted one.
    const bool reverse = inverted != flipped;
    // The logging walk holds the steps a piece took since its last cut apart, [0, held) of
    // w.held: they matter only if it is cut again.
    [[maybe_unused]] const double reachBeyond = kPass == Pass::log ? generations(w) : 0;
    [[maybe_unused]] size_t held = 0;
    // Logs a step after `step` and gives it: at node `at`, on to its front child or not.
    auto note = [&w](int32_t step, int32_t at, bool front, bool clean) {
        w.steps.push_back({at, step, front, clean});
        return int32_t(w.steps.size() - 1);
    };
    // Logs what the second clip must test again of the steps held for `p`, which a cut is
    // about to replace: those where it lay in a node's plane, and those where its points lay
    // too near the plane to settle its parts as well.
    auto logHeld = [&](const Piece& p, const Extent& e, int32_t step) {
        for (size_t i = 0; i < held; ++i) {
            const Held& h = w.held[i];
            const CPlane& plane = tree[h.node].plane;
            if (h.side == kCoplanar ||
                !allBeyond(p, plane, h.side == kFront,
                           CSG_EPS + reachBeyond * roundoff(e, plane, absolute(plane.n))))
                step = note(step, h.node, h.front, false);
        }
        held = 0;
        return step;
    };
    // Keeps p, whose last logged step is `step`.
    auto keep = [&](const Piece& p, [[maybe_unused]] int32_t step) {
        if (kept == out.size()) {
            out.resize(2 * kept + 16);
            if constexpr (kPass == Pass::log) w.keptSteps.resize(out.size());
        }
        if constexpr (kPass == Pass::log) {
            // The piece kept is a side of its last cut as that made it: it answers again as
            // it did where its points settled it since, and at that cut when its crossing
            // points lie well within the tolerance of the plane; not where it lay in a
            // node's plane.
            if (step >= 0 && w.steps[size_t(step)].clean) step = w.steps[size_t(step)].prev;
            for (size_t i = 0; i < held; ++i)
                if (w.held[i].side == kCoplanar)
                    step = note(step, w.held[i].node, w.held[i].front, false);
            w.keptSteps[kept] = step;
        }
        out[kept++] = p;
    };
    while (top > 0) {
        --top;
        int32_t at = stack[top].node;
        [[maybe_unused]] int32_t step = kPass == Pass::plain ? -1 : stack[top].step;
        Piece p = stack[top].piece;
        if constexpr (kPass == Pass::log) held = 0;
        // The steps a replayed piece tests, [next, end) of w.path.
        [[maybe_unused]] size_t next = 0, end = 0;
        if constexpr (kPass == Pass::replay) {
            if (at == kReplayed) {
                if (step < 0) {
                    keep(p, step);
                    continue;
                }
                end = loggedSteps(w, step);
                at = w.steps[size_t(w.path[0])].node;
            }
        }
        // Every piece of a walk comes from one source, whose box bounds them all.
        const Extent e = w.extents[p.src];
        while (true) {
            const Node& node = reach(w, tree, at);
            const int32_t frontChild = inverted ? node.back : node.front;
            const int32_t backChild = inverted ? node.front : node.back;
            PieceType side = QuickSides(node.plane, absolute(node.plane.n)).of(e);
            [[maybe_unused]] const bool byBox = side == kFront || side == kBack;
            SplitResult r;
            if (side == kSpanning && p.n <= kFewPoints) side = sideOf(p, node.plane);
            // Marked unlikely, so that the walk through the nodes a piece does not span,
            // which most clips spend their time in, stays compact around it.
            if (side == kSpanning) [[unlikely]] {
                r = splitPieceInline(w, p, node.plane);
                side = r.type;
            }
            bool front = false, gone = false;
            switch (side) {
                case kCoplanar: {
                    const double facing = node.plane.n.dot(w.planes[p.src].n);
                    front = reverse ? facing < 0 : facing > 0;
                    break;
                }
                case kFront: front = !inverted; break;
                case kBack: front = inverted; break;
                case kSpanning: {
                    if constexpr (kPass == Pass::replay) end = 0;
                    [[maybe_unused]] bool clean = false;
                    if constexpr (kPass == Pass::log) {
                        step = logHeld(p, e, step);
                        clean =
                            kCrossing * roundoff(e, node.plane, absolute(node.plane.n)) < CSG_EPS;
                    }
                    // Named sides rather than an array of them, so that they stay out of
                    // memory.
                    const int32_t parent = p.frag;
                    Piece ahead = r.front, behind = r.back;
                    auto record = [&](Piece& side, int k) {
                        side.frag = int32_t(w.frags.size());
                        // The plain walk's append is the only call of its kind: the compiler
                        // writes such a call in place, but not one made from all three walks.
                        if constexpr (kPass == Pass::plain) {
                            Frag& f = w.frags.emplace_back();
                            f.v = side.v;
                            f.n = side.n;
                            f.parent = parent;
                        } else {
                            w.frags.push_back({side.v, side.n, parent});
                        }
                        w.frags[parent].child[k] = side.frag;
                    };
                    if (ahead.n) record(ahead, 0);
                    if (behind.n) record(behind, 1);
                    if (!ahead.n || !behind.n) lose(w, parent);
                    // The stored plane's back side is the effective front when inverted.
                    if (inverted) std::swap(ahead, behind);
                    if (behind.n) {
                        if (backChild >= 0) {
                            if (top == stack.size()) stack.resize(2 * top + 16);
                            if constexpr (kPass == Pass::log)
                                stack[top].step = note(step, at, false, clean);
                            stack[top].node = backChild;
                            stack[top].piece = behind;
                            ++top;
                        } else {
                            lose(w, behind.frag);  // behind a leaf plane is inside the solid
                        }
                    }
                    gone = !ahead.n;
                    if constexpr (kPass == Pass::log)
                        if (!gone) step = note(step, at, true, clean);
                    p = ahead;
                    front = true;
                    break;
                }
            }
            if constexpr (kPass == Pass::replay) {
                // Until the piece takes another way than the first clip took it, it stays
                // on that clip's path to the same front leaf.
                if (next < end) {
                    if (front == w.steps[size_t(w.path[next])].front) {
                        if (++next == end) {
                            keep(p, step);
                            break;
                        }
                        at = w.steps[size_t(w.path[next])].node;
                        continue;
                    }
                    end = 0;
                }
            }
            if constexpr (kPass == Pass::log) {
                if (!byBox && side != kSpanning) {
                    if (held == w.held.size()) w.held.resize(2 * held + 16);
                    w.held[held++] = {at, front, side};
                }
            }
            if (gone) break;
            if (front) {
                if (frontChild < 0) {
                    keep(p, step);
                    break;
                }
                at = frontChild;
            } else {
                if (backChild < 0) {
                    lose(w, p.frag);
                    break;
                }
                at = backChild;
            }
        }
    }
    pieces.assign(out.begin(), out.begin() + std::ptrdiff_t(kept));
}

}  // namespace

void clipPieces(Work& w, Tree& tree, bool inverted, bool flipped, std::vector<Piece>& pieces) {
    walk<Pass::plain>(w, tree, inverted, flipped, pieces);
}

void clipBothWays(Work& w, Tree& tree, bool inverted, std::vector<Piece>& pieces) {
    walk<Pass::log>(w, tree, inverted, false, pieces);
    walk<Pass::replay>(w, tree, inverted, true, pieces);
    w.steps.clear();
}

std::optional<bool> insideTree(Work& w, Tree& tree, V3 p) {
    if (tree.empty()) return false;
    // A point on a node's plane is followed down both sides, which must agree.
    int32_t stack[64];
    size_t top = 0;
    stack[top++] = 0;
    std::optional<bool> found;
    while (top > 0) {
        int32_t at = stack[--top];
        while (true) {
            const Node& node = reach(w, tree, at);
            const double d = node.plane.n.dot(p) - node.plane.w;
            int32_t next;
            if (d > CSG_EPS) {
                next = node.front;
                if (next < 0) {
                    if (found && *found) return std::nullopt;
                    found = false;
                    break;
                }
            } else if (d < -CSG_EPS) {
                next = node.back;
                if (next < 0) {
                    if (found && !*found) return std::nullopt;
                    found = true;
                    break;
                }
            } else {
                // Both sides: a leaf on either side already settles its half.
                if (top + 1 >= std::size(stack)) return std::nullopt;
                const bool frontLeaf = node.front < 0, backLeaf = node.back < 0;
                if (frontLeaf && backLeaf) return std::nullopt;
                if (frontLeaf || backLeaf) {
                    const bool inside = backLeaf;
                    if (found && *found != inside) return std::nullopt;
                    found = inside;
                    next = frontLeaf ? node.back : node.front;
                } else {
                    stack[top++] = node.back;
                    next = node.front;
                }
            }
            at = next;
        }
    }
    return found;
}

}  // namespace ivo::bsp
