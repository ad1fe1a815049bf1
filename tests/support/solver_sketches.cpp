// Builders of the drag benchmark sketches; see solver_sketches.h.
#include "support/solver_sketches.h"

#include <algorithm>
#include <cmath>

namespace ivo::testing {

RectIds addRect(Sketch& s, V2 ll, double w, double h, bool lengths) {
    const Id a = s.addPoint(ll), b = s.addPoint({ll.x + w, ll.y});
    const Id c = s.addPoint({ll.x + w, ll.y + h}), d = s.addPoint({ll.x, ll.y + h});
    const Id bottom = s.addLine(a, b), right = s.addLine(b, c);
    const Id top = s.addLine(c, d), left = s.addLine(d, a);
    s.addConstraint(ck::horizontal, {bottom});
    s.addConstraint(ck::horizontal, {top});
    s.addConstraint(ck::vertical, {right});
    s.addConstraint(ck::vertical, {left});
    if (lengths) {
        s.addConstraint(ck::length, {bottom}, w);
        s.addConstraint(ck::length, {right}, h);
    }
    return {{a, b, c, d}, {bottom, right, top, left}};
}

namespace {

void fix(Sketch& s, Id id) {
    s.points[*s.pointIndex(id)].fixed = true;
}

DragCase singleRect(std::string name, bool lengths) {
    DragCase c{std::move(name), Sketch(SketchPlane::xy()), 0};
    const auto r = addRect(c.sketch, {0, 0}, 20, 10, lengths).points;
    fix(c.sketch, r[0]);
    c.dragged = r[2];
    return c;
}

}  // namespace

DragCase rectDim() {
    return singleRect("rect-dim", true);
}
DragCase rectFree() {
    return singleRect("rect-free", false);
}

DragCase grid(int n) {
    DragCase c{"grid-" + std::to_string(n), Sketch(SketchPlane::xy()), 0};
    Sketch& s = c.sketch;
    Id previous = 0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const auto r = addRect(s, {12.0 * col, 12.0 * row}, 10, 10, true).points;
            if (row == 0 && col == 0) {
                fix(s, r[0]);
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
