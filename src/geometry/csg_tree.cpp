// Classifier trees of one boolean operation: building them from pieces and clipping piece
// lists by them. Both walk the tree with an explicit stack: a convex solid of n polygons
// makes a chain n nodes deep.
#include "geometry/csg_pieces.h"

namespace ivo::bsp {
namespace {

// A list waiting at a node. Lists live in one buffer as a stack: the list on top of the
// work stack is always the last one in the buffer, so a node's children are written over
// its own list and nothing is allocated per node.
struct Item {
    int32_t node;
    size_t start, end;
};

}  // namespace

Tree buildTree(Work& w, std::vector<Piece>& buf) {
    Tree tree;
    if (buf.empty()) return tree;
    tree.push_back({});
    std::vector<Item> stack{{0, 0, buf.size()}};
    std::vector<Piece>& fr = w.front;
    std::vector<Piece>& bk = w.back;
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        const Piece splitter = buf[it.start + (it.end - it.start) / 2];
        const CPlane plane = w.planes[splitter.src];
        tree[it.node].plane = plane;
        tree[it.node].planeSrc = splitter.src;
        fr.clear();
        bk.clear();
        for (size_t i = it.start; i < it.end; ++i) {
            const Piece p = buf[i];
            // Pieces of the splitter's own polygon end here even when a sloppy input puts
            // them beyond the tolerance: every path then uses each plane at most once,
            // which bounds the depth.
            if (p.src == splitter.src) continue;
            const SplitResult r = splitPiece(w, p, plane);
            switch (r.type) {
            case kCoplanar: break;
            case kFront: fr.push_back(p); break;
            case kBack: bk.push_back(p); break;
            case kSpanning:
                if (r.front.n) fr.push_back(r.front);
                if (r.back.n) bk.push_back(r.back);
                break;
            }
        }
        buf.resize(it.start);
        buf.insert(buf.end(), bk.begin(), bk.end());
        buf.insert(buf.end(), fr.begin(), fr.end());
        if (!bk.empty()) {
            const auto c = int32_t(tree.size());
            tree.push_back({});
            tree[it.node].back = c;
            stack.push_back({c, it.start, it.start + bk.size()});
        }
        if (!fr.empty()) {
            const auto c = int32_t(tree.size());
            tree.push_back({});
            tree[it.node].front = c;
            stack.push_back({c, it.start + bk.size(), buf.size()});
        }
    }
    buf.clear();
    return tree;
}

void clipPieces(Work& w, const Tree& tree, bool inverted, bool flipped,
                std::vector<Piece>& pieces) {
    if (tree.empty() || pieces.empty()) return;
    std::vector<Piece>& buf = w.stack;
    buf.assign(pieces.begin(), pieces.end());
    pieces.clear();
    std::vector<Piece>& fr = w.front;
    std::vector<Piece>& bk = w.back;
    // Read inverted, a node's plane is flipped and its children swapped: what lies in
    // front of the stored plane lies behind the inverted one.
    const bool reverse = inverted != flipped;
    std::vector<Item> stack{{0, 0, buf.size()}};
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        const Node& node = tree[it.node];
        std::vector<Piece>& rawFront = inverted ? bk : fr;
        std::vector<Piece>& rawBack = inverted ? fr : bk;
        fr.clear();
        bk.clear();
        for (size_t i = it.start; i < it.end; ++i) {
            const Piece p = buf[i];
            const SplitResult r = splitPiece(w, p, node.plane);
            switch (r.type) {
            case kCoplanar: {
                const double facing = node.plane.n.dot(w.planes[p.src].n);
                ((reverse ? facing < 0 : facing > 0) ? fr : bk).push_back(p);
                break;
            }
            case kFront: rawFront.push_back(p); break;
            case kBack: rawBack.push_back(p); break;
            case kSpanning: {
                Piece sides[2] = {r.front, r.back};
                for (int k = 0; k < 2; ++k) {
                    if (!sides[k].n) continue;
                    sides[k].frag = int32_t(w.frags.size());
                    w.frags.push_back({sides[k].v, sides[k].n, p.frag});
                    w.frags[p.frag].child[k] = sides[k].frag;
                }
                if (sides[0].n) rawFront.push_back(sides[0]);
                if (sides[1].n) rawBack.push_back(sides[1]);
                if (!sides[0].n || !sides[1].n) lose(w, p.frag);
                break;
            }
            }
        }
        const int32_t frontChild = inverted ? node.back : node.front;
        const int32_t backChild = inverted ? node.front : node.back;
        buf.resize(it.start);
        if (backChild >= 0 && !bk.empty()) {
            buf.insert(buf.end(), bk.begin(), bk.end());
            stack.push_back({backChild, it.start, buf.size()});
        } else {
            // Behind a leaf plane is inside the solid.
            for (const Piece& p : bk)
                lose(w, p.frag);
        }
        if (frontChild >= 0 && !fr.empty()) {
            const size_t start = buf.size();
            buf.insert(buf.end(), fr.begin(), fr.end());
            stack.push_back({frontChild, start, buf.size()});
        } else {
            pieces.insert(pieces.end(), fr.begin(), fr.end());
        }
    }
}

}  // namespace ivo::bsp
