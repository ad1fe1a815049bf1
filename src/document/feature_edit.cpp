// The rules of editing an open feature that need no window: the limits of the inspector's
// fields, the extrusion handle and its drag, the clicks that pick an axis, a face or a region.
#include <algorithm>
#include <cmath>

#include "document/features.h"
#include "sketch/profiles.h"

namespace ivo {

namespace {

// Truncation towards zero to 1/`per` (per = 10: tenths), forgiving the binary error of values
// that sit exactly on a step (2.3 is 22.999… tenths). Dividing the whole count by `per` gives
// the double nearest to the decimal value.
double truncateTo(double v, double per) {
    const double q = v * per;
    const double slack = 1e-9 * std::max(1.0, std::abs(q));
    return std::trunc(q + (q < 0 ? -slack : slack)) / per;
}

}  // namespace

FieldRead readDistance(double old, std::optional<double> typed) {
    if (!typed || !std::isfinite(*typed)) return {old, FieldRefusal::unreadable};
    if (!(std::abs(*typed) > 1e-6)) return {old, FieldRefusal::zero};
    return {*typed};
}

FieldRead readAngle(double old, std::optional<double> typed) {
    if (!typed || !std::isfinite(*typed)) return {old, FieldRefusal::unreadable};
    if (!(std::abs(*typed) > 1e-6)) return {old, FieldRefusal::zero};
    const double a = std::clamp(*typed, -360.0, 360.0);
    return {a, FieldRefusal::none, a != *typed};
}

FieldRead readRadius(double old, std::optional<double> typed) {
    if (!typed || !std::isfinite(*typed)) return {old, FieldRefusal::unreadable};
    if (*typed < 0) return {old, FieldRefusal::negative};
    return {*typed};
}

std::string renamedForType(const Doc& doc, const Feature& fillet, bool chamfer) {
    const bool ours = fillet.name.rfind("Congé", 0) == 0 || fillet.name.rfind("Chanfrein", 0) == 0;
    if (!ours) return fillet.name;
    return autoName(doc, fk::fillet, chamfer);
}

std::optional<ExtrudeHandle> extrudeHandle(const Sketch& sketch, const ExtrudeP& extrude) {
    const std::vector<Region> regions = Evaluator::pickRegions(sketch, extrude.picks);
    if (regions.empty()) return std::nullopt;
    V2 c;
    for (const Region& r : regions)
        c = c + regionPoint(r);
    c = c / static_cast<double>(regions.size());
    ExtrudeHandle h;
    h.base = sketch.plane.to3D(c);
    h.n = sketch.plane.n;
    h.dist = extrude.distance;
    h.tip = h.base + h.n * (extrude.symmetric ? std::abs(extrude.distance) / 2 : extrude.distance);
    return h;
}

std::optional<double> handleParam(V2 a, V2 b, V2 p) {
    const V2 v = b - a;
    const double len2 = v.dot(v);
    if (!(len2 >= 1e-6)) return std::nullopt;
    return (p - a).dot(v) / len2;
}

double dragDistance(double t, bool symmetric) {
    double d = symmetric ? 2 * std::abs(t) : t;
    if (!std::isfinite(d)) d = 0;
    const bool negative = d < 0;
    d = truncateTo(d, 10);
    if (std::abs(d) < 0.1) d = negative ? -0.1 : 0.1;
    return d;
}

std::optional<size_t> nearestSegment(const std::vector<std::pair<V2, V2>>& segments, V2 p,
                                     double limit) {
    std::optional<size_t> best;
    double bestD = limit;
    for (size_t i = 0; i < segments.size(); ++i) {
        const auto [a, b] = segments[i];
        const V2 ab = b - a;
        const double len2 = ab.dot(ab);
        V2 q = a;
        if (len2 >= 1e-9) q = a + ab * std::clamp((p - a).dot(ab) / len2, 0.0, 1.0);
        const double d = (p - q).length();
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

FaceAim aimAtFace(const Sketch& sketch, const ExtrudeP& extrude, V3 n, V3 p) {
    const V3 sn = sketch.plane.n;
    const double dot = n.dot(sn);
    FaceAim aim;
    if (std::abs(dot) > 0.9999 && std::abs(n.dot(p) - n.dot(sketch.plane.o)) < 0.0001) {
        aim.kind = FaceAim::Kind::sketchPlane;
        return aim;
    }
    if (std::abs(dot) < 1e-6) {
        aim.kind = FaceAim::Kind::perpendicular;
        return aim;
    }
    ExtrudeP aimed = extrude;
    aimed.toFace = std::vector<double>{n.x, n.y, n.z, n.dot(p)};
    const std::vector<Region> regions = Evaluator::pickRegions(sketch, aimed.picks);
    const std::optional<double> d = Evaluator::extrudeDistance(aimed, sketch, regions);
    if (!d || !std::isfinite(*d)) {
        aim.kind = FaceAim::Kind::perpendicular;
        return aim;
    }
    aim.toFace = *aimed.toFace;
    aim.distance = truncateTo(*d, 1000);
    return aim;
}

std::optional<std::vector<V2>> togglePick(const Sketch& sketch, const std::vector<V2>& picks,
                                          V2 point) {
    if (Evaluator::pickRegions(sketch, {point}).empty()) return std::nullopt;
    std::vector<V2> kept;
    for (V2 q : picks)
        if (!sameRegion(sketch, q, point)) kept.push_back(q);
    if (kept.size() == picks.size()) kept.push_back(point);
    return kept;
}

}  // namespace ivo
