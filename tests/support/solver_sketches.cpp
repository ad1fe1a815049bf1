#include "support/solver_sketches.h"

#include <algorithm>
#include <cmath>

namespace ivo::testing {

RectIds addRect(Sketch& s, V2 ll, double w, double h, bool lengths) {
    const Id a = s.addPoint(ll), b = s.addPoint({ll.x + w, ll.y});
    const Id c = s.addPoint({ll.x + w, ll.y + h}), d = s.addPoint({ll.x, ll.y + h});
    const RectIds r{{a, b, c, d},
                    {s.addLine(a, b), s.addLine(b, c), s.addLine(c, d), s.addLine(d, a)}};
    for (int i : {0, 2, 1, 3})
        s.addConstraint(i % 2 ? ck::vertical : ck::horizontal, {r.lines[i]});
    if (lengths) {
        s.addConstraint(ck::length, {r.lines[0]}, w);
        s.addConstraint(ck::length, {r.lines[1]}, h);
    }
    return r;
}

DragCase grid(int n) {
    DragCase c{"grid-" + std::to_string(n), Sketch(SketchPlane::xy()), 0};
    Sketch& s = c.sketch;
    Id previous = 0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const auto r = addRect(s, {12.0 * col, 12.0 * row}, 10, 10, true).points;
            if (row == 0 && col == 0) {
                s.points[*s.pointIndex(r[0])].fixed = true;
            } else {
                s.addConstraint(ck::distance, {previous, r[0]},
                                (*s.pos(r[0]) - *s.pos(previous)).length());
            }
            if (row == n / 2 && col == n / 2) c.dragged = r[2];
            previous = r[0];
        }
    }
    return c;
}

DragCase rectDim() {
    DragCase c{"rect-dim", Sketch(SketchPlane::xy()), 0};
    const auto r = addRect(c.sketch, {0, 0}, 20, 10, true).points;
    c.sketch.points[*c.sketch.pointIndex(r[0])].fixed = true;
    c.dragged = r[2];
    return c;
}

DragCase rectFree() {
    DragCase c = rectDim();
    c.name = "rect-free";
    std::erase_if(c.sketch.constraints, [](const SConstraint& k) { return k.kind == ck::length; });
    return c;
}

void moveDragged(DragCase& c, int k) {
    c.sketch.points[*c.sketch.pointIndex(c.dragged)].p.y += k % 2 == 0 ? 0.5 : -0.5;
}

double maxDeviation(const Sketch& a, const Sketch& b) {
    double d = 0;
    for (size_t i = 0; i < a.points.size(); ++i)
        d = std::max(d, (a.points[i].p - b.points[i].p).length());
    for (size_t i = 0; i < a.circles.size(); ++i)
        d = std::max(d, std::abs(a.circles[i].r - b.circles[i].r));
    return d;
}

}  // namespace ivo::testing
