#include "support/sketch_builder.h"

#include <cmath>

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

Sketch gridSketch(std::mt19937& rng, int curves) {
    auto roll = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto grid = [&]() { return V2{0.5 * roll(13), 0.5 * roll(13)}; };
    auto polar = [](double a, double r) { return V2{std::cos(a), std::sin(a)} * r; };
    Sketch s;
    std::vector<Id> pts{0};  // the origin among them
    auto point = [&]() {
        if (roll(10) < 4) return pts[roll(int(pts.size()))];
        pts.push_back(s.addPoint(grid()));
        return pts.back();
    };
    for (int i = 0; i < curves; ++i) {
        const bool construction = roll(10) == 0;
        const int k = roll(10);
        const V2 c = grid();
        const double r = 0.5 * (1 + roll(4)), a = pi / 4 * roll(8);
        const double b = a + pi / 4 * (1 + roll(8)), off = roll(5) ? 1 : 1.5;
        if (k < 6) s.addLine(point(), point(), construction);
        if (k == 6 || k == 7) addCircle(s, c, r, construction);
        if (k > 7) addArc(s, c, c + polar(a, r), c + polar(b, r * off), construction);
        if (roll(10) == 0 && !s.lines.empty())
            s.lines.push_back({s.newId(), s.lines[0].a, s.lines[0].b});
    }
    return s;
}

}  // namespace ivo::testing
