#include "document/features.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/extrude.h"
#include "geometry/mesh.h"
#include "sketch/profiles.h"

namespace ivo {

namespace {

// `hole` is `outer` walked the other way, starting anywhere.
bool isReversed(const Loop& hole, const Loop& outer) {
    const size_t n = outer.size();
    if (n < 3 || hole.size() != n) return false;
    constexpr double tol = 1e-9;
    auto near = [&](V2 a, V2 b) {
        return std::abs(a.x - b.x) <= tol && std::abs(a.y - b.y) <= tol;
    };
    for (size_t start = 0; start < n; ++start) {
        if (!near(hole[start], outer[0])) continue;
        bool all = true;
        for (size_t k = 1; k < n && all; ++k)
            all = near(hole[(start + k) % n], outer[n - k]);
        if (all) return true;
    }
    return false;
}

std::vector<V2> islandFreePicks(const std::vector<Region>& regions) {
    std::vector<V2> picks;
    for (const Region& r : regions)
        if (!fillsHole(r, regions)) picks.push_back(regionPoint(r));
    return picks;
}

}  // namespace

bool fillsHole(const Region& region, const std::vector<Region>& regions) {
    for (const Region& other : regions)
        for (const Loop& hole : other.holes)
            if (isReversed(hole, region.outer)) return true;
    return false;
}

std::vector<V2> autoPicks(const Sketch& sketch) {
    const std::vector<Region> regions = sketch.regions();
    if (regions.size() == 1) return {regionPoint(regions.front())};
    return islandFreePicks(regions);
}

std::optional<std::string> autoOperation(const Sketch& sketch, const ExtrudeP& extrude,
                                         const std::vector<Body>& before) {
    const std::vector<Region> regions = Evaluator::pickRegions(sketch, extrude.picks);
    if (regions.empty()) return std::nullopt;
    const std::optional<double> d = Evaluator::extrudeDistance(extrude, sketch, regions);
    if (!d) return std::nullopt;
    double z0 = 0, z1 = *d;
    if (extrude.symmetric) {
        z0 = -std::abs(*d) / 2;
        z1 = std::abs(*d) / 2;
    }
    const Frame frame = sketch.plane.frame();
    Solid tool;
    for (const Region& r : regions)
        tool = CSG::unite(tool, extrudeRegion(r, frame, z0, z1, 0, 0, false));
    if (tool.empty()) return std::nullopt;
    const Box3 toolBox = solidBox(tool);
    std::string result = op::newBody;
    for (const Body& body : before) {
        if (!solidBox(*body.solid).overlaps(toolBox)) continue;
        result = op::join;
        if (std::abs(signedVolume(CSG::intersect(*body.solid, tool))) > 0.001) return op::cut;
    }
    return result;
}

std::string opLabel(const std::string& op) {
    if (op == op::newBody) return "Nouveau corps";
    if (op == op::cut) return "Couper";
    if (op == op::intersect) return "Intersection";
    return "Joindre";
}

std::string primitiveWord(const std::string& kind) {
    if (kind == "sphere") return "Sphère";
    if (kind == "cyl") return "Cylindre";
    return "Boîte";
}

Primitive makePrimitive(Doc& doc, const std::string& kind, bool hasBodies) {
    const std::string word = primitiveWord(kind);
    Sketch s;
    if (kind == "sphere") {
        s.plane = SketchPlane::xy();
        const Id p1 = s.addPoint({0, -10}), p2 = s.addPoint({0, 10});
        const Id arc = s.newId();
        s.arcs.push_back({arc, 0, p1, p2, false});
        const Id line = s.addLine(p2, p1);
        s.addConstraint(ck::vertical, {line});
        s.addConstraint(ck::midpoint, {0, line});
        s.addConstraint(ck::radius, {arc}, 10.0);
    } else if (kind == "cyl") {
        s.plane = SketchPlane::xz();
        const Id circle = s.newId();
        s.circles.push_back({circle, 0, 10.0, false});
        s.addConstraint(ck::diameter, {circle}, 20.0);
    } else {
        s.plane = SketchPlane::xz();
        const Id p1 = s.addPoint({-10, -10}), p2 = s.addPoint({10, -10});
        const Id p3 = s.addPoint({10, 10}), p4 = s.addPoint({-10, 10});
        const Id l12 = s.addLine(p1, p2), l23 = s.addLine(p2, p3);
        const Id l34 = s.addLine(p3, p4), l41 = s.addLine(p4, p1);
        const Id diagonal = s.addLine(p1, p3, true);
        s.addConstraint(ck::horizontal, {l12});
        s.addConstraint(ck::horizontal, {l34});
        s.addConstraint(ck::vertical, {l23});
        s.addConstraint(ck::vertical, {l41});
        s.addConstraint(ck::length, {l12}, 20.0);
        s.addConstraint(ck::length, {l23}, 20.0);
        s.addConstraint(ck::midpoint, {0, diagonal});
    }
    s.solve();

    std::vector<V2> picks;
    for (const Region& r : s.regions())
        picks.push_back(regionPoint(r));
    const std::string opName = hasBodies ? op::join : op::newBody;

    Primitive out;
    out.sketch = Feature(doc.newId(), fk::sketch, word + " (esquisse)");
    out.sketch.sketch = std::move(s);
    const Id sketchId = out.sketch.id;
    if (kind == "sphere") {
        out.solid =
            Feature(doc.newId(), fk::revolve, word + std::to_string(doc.count(fk::revolve) + 1));
        out.solid.revolve = RevolveP{sketchId, picks, -2, 360, opName, 0};
    } else {
        out.solid =
            Feature(doc.newId(), fk::extrude, word + std::to_string(doc.count(fk::extrude) + 1));
        out.solid.extrude = ExtrudeP{sketchId, picks, 20, false, opName, 0, std::nullopt};
    }
    out.solid.sketch.reset();
    return out;
}

std::optional<FaceSketch> faceSketch(const std::vector<PlanarFace>& faces,
                                     const std::map<Id, std::vector<Tri>>& bodyTris) {
    if (faces.empty()) return std::nullopt;
    const PlanarFace& first = faces.front();
    FaceSketch out;
    out.sketch = Sketch(SketchPlane::face(first.n, first.n * first.w));
    const SketchPlane& plane = out.sketch.plane;

    std::vector<Tri2> tris;
    for (const PlanarFace& f : faces) {
        if (!(f.n.dot(first.n) > 0.9999 && std::abs(f.w - first.w) < 0.0001)) {
            out.ignoredFaces = true;
            continue;
        }
        const auto it = bodyTris.find(f.body);
        if (it == bodyTris.end()) continue;
        for (const Tri& t : it->second) {
            if (!(t.n.dot(first.n) > 0.9999 && std::abs(first.n.dot(t.a) - first.w) < 0.0001))
                continue;
            Tri2 q{plane.to2D(t.a), plane.to2D(t.b), plane.to2D(t.c)};
            if ((q[1] - q[0]).cross(q[2] - q[0]) < 0) std::swap(q[1], q[2]);
            tris.push_back(q);
        }
    }
    const std::vector<Loop> loops = faceOutline(tris);
    if (loops.empty()) return std::nullopt;

    // Vertices a hundred-thousandth apart or less are one point, so loops that share a
    // corner share its point.
    std::map<std::pair<double, double>, Id> pointAt;
    for (const Loop& loop : loops) {
        std::vector<Id> ids;
        for (V2 v : loop) {
            const std::pair<double, double> key{std::trunc(v.x * 100000), std::trunc(v.y * 100000)};
            auto [it, fresh] = pointAt.try_emplace(key, 0);
            if (fresh) {
                it->second = out.sketch.addPoint(v);
                out.sketch.points.back().fixed = true;
            }
            if (ids.empty() || ids.back() != it->second) ids.push_back(it->second);
        }
        while (ids.size() > 1 && ids.front() == ids.back())
            ids.pop_back();
        if (ids.size() < 3) continue;
        for (size_t i = 0; i < ids.size(); ++i)
            out.sketch.addLine(ids[i], ids[(i + 1) % ids.size()]);
    }
    out.picks = islandFreePicks(out.sketch.regions());
    if (out.picks.empty()) return std::nullopt;
    return out;
}

std::string autoName(const Doc& doc, const std::string& kind, bool chamfer) {
    auto byName = [&](const std::string& word) {
        int n = 0;
        for (const Feature& f : doc.features)
            n += f.name.rfind(word, 0) == 0 ? 1 : 0;
        return word + std::to_string(n + 1);
    };
    if (kind == fk::fillet) return byName(chamfer ? "Chanfrein" : "Congé");
    if (kind == fk::revolve) return "Révolution" + std::to_string(doc.count(fk::revolve) + 1);
    if (kind == fk::combine) return "Combiner" + std::to_string(doc.count(fk::combine) + 1);
    return "Extrusion" + std::to_string(doc.count(fk::extrude) + 1);
}

size_t insertionIndex(const Doc& doc) {
    const auto count = static_cast<std::int64_t>(doc.features.size());
    return static_cast<size_t>(std::clamp<std::int64_t>(doc.marker, 0, count));
}

std::optional<size_t> profileSketchIndex(const Doc& doc, size_t at) {
    std::optional<size_t> last, withRegion;
    for (size_t i = 0; i < std::min(at, doc.features.size()); ++i) {
        const Feature& f = doc.features[i];
        if (f.kind != fk::sketch || f.suppressed || !f.sketch) continue;
        last = i;
        if (!f.sketch->regions().empty()) withRegion = i;
    }
    return withRegion ? withRegion : last;
}

namespace {

void insertPair(Doc& doc, size_t at, Feature first, Feature second) {
    const auto pos = doc.features.begin() + static_cast<std::ptrdiff_t>(at);
    doc.features.insert(doc.features.insert(pos, std::move(first)) + 1, std::move(second));
    doc.marker = static_cast<std::int64_t>(at) + 2;
}

}  // namespace

size_t insertPrimitive(Doc& doc, const std::string& kind, bool hasBodies) {
    const size_t at = insertionIndex(doc);
    Primitive p = makePrimitive(doc, kind, hasBodies);
    insertPair(doc, at, std::move(p.sketch), std::move(p.solid));
    return at + 1;
}

std::optional<size_t> insertFaceExtrusion(Doc& doc, const std::vector<PlanarFace>& faces,
                                          const std::map<Id, std::vector<Tri>>& bodyTris,
                                          bool* ignoredFaces) {
    std::optional<FaceSketch> fs = faceSketch(faces, bodyTris);
    if (!fs) return std::nullopt;
    if (ignoredFaces) *ignoredFaces = fs->ignoredFaces;
    const size_t at = insertionIndex(doc);
    Feature sketch(doc.newId(), fk::sketch,
                   "Esquisse" + std::to_string(doc.count(fk::sketch) + 1) + " (face)");
    sketch.sketch = std::move(fs->sketch);
    Feature extrusion(doc.newId(), fk::extrude, autoName(doc, fk::extrude));
    extrusion.sketch.reset();
    extrusion.extrude =
        ExtrudeP{sketch.id, std::move(fs->picks), 5, false, op::join, faces.front().body, {}};
    insertPair(doc, at, std::move(sketch), std::move(extrusion));
    return at + 1;
}

bool sameRegion(const Sketch& sketch, V2 a, V2 b) {
    const std::vector<Region> ra = Evaluator::pickRegions(sketch, {a});
    const std::vector<Region> rb = Evaluator::pickRegions(sketch, {b});
    if (ra.empty() || rb.empty()) return false;
    return ra.front() == rb.front() || (ra.front().contains(b) && rb.front().contains(a));
}

}  // namespace ivo
