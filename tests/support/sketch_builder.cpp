#include "support/sketch_builder.h"

namespace ivo::testing {

std::vector<Id> addPolygon(Sketch& s, const Loop& loop, bool construction) {
    std::vector<Id> pts, lines;
    for (V2 p : loop)
        pts.push_back(s.addPoint(p));
    for (size_t i = 0; i < pts.size(); ++i)
        lines.push_back(s.addLine(pts[i], pts[(i + 1) % pts.size()], construction));
    return lines;
}

Id addSegment(Sketch& s, V2 a, V2 b, bool construction) {
    const Id pa = s.addPoint(a);
    return s.addLine(pa, s.addPoint(b), construction);
}

Id addCircle(Sketch& s, V2 c, double r, bool construction) {
    const Id pc = s.addPoint(c);
    s.circles.push_back({s.newId(), pc, r, construction});
    return s.circles.back().id;
}

Id addArc(Sketch& s, V2 c, V2 start, V2 end, bool construction) {
    const Id pc = s.addPoint(c), ps = s.addPoint(start), pe = s.addPoint(end);
    s.arcs.push_back({s.newId(), pc, ps, pe, construction});
    return s.arcs.back().id;
}

}  // namespace ivo::testing
