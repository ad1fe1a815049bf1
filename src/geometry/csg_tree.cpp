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

void clipPieces(Work& w, Tree& tree, bool inverted, bool flipped, std::vector<Piece>& pieces) {
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
    for (size_t i = 0; i < top; ++i)
        stack[i] = {0, pieces[top - 1 - i]};
    // Read inverted, a node's plane is flipped and its children swapped: what lies in
    // front of the stored plane lies behind the inverted one.
    const bool reverse = inverted != flipped;
    while (top > 0) {
        --top;
        int32_t at = stack[top].node;
        Piece p = stack[top].piece;
        // Every piece of a walk comes from one source, whose box bounds them all.
        const Extent e = w.extents[p.src];
        while (true) {
            const Node& node = reach(w, tree, at);
            const int32_t frontChild = inverted ? node.back : node.front;
            const int32_t backChild = inverted ? node.front : node.back;
            PieceType side = QuickSides(node.plane, absolute(node.plane.n)).of(e);
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
                    // Named sides rather than an array of them, so that they stay out of
                    // memory.
                    const int32_t parent = p.frag;
                    Piece ahead = r.front, behind = r.back;
                    auto record = [&](Piece& side, int k) {
                        side.frag = int32_t(w.frags.size());
                        Frag& f = w.frags.emplace_back();
                        f.v = side.v;
                        f.n = side.n;
                        f.parent = parent;
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
                            stack[top].node = backChild;
                            stack[top].piece = behind;
                            ++top;
                        } else {
                            lose(w, behind.frag);  // behind a leaf plane is inside the solid
                        }
                    }
                    gone = !ahead.n;
                    p = ahead;
                    front = true;
                    break;
                }
            }
            if (gone) break;
            if (front) {
                if (frontChild < 0) {
                    if (kept == out.size()) out.resize(2 * kept + 16);
                    out[kept++] = p;
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
