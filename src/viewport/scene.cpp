// Fixed scene content (lights, origin planes, grid and axes) and the document-driven lists:
// sketches drawn light and the bounds that "fit" frames. Body meshes are in scene_bodies.cpp.
#include "viewport/scene.h"

#include <cmath>
#include <cstdlib>

namespace ivo {

V3 lights::fixedDirection() {
    // The light's node is turned by the Euler angles (−1.0, 0.6, 0): about X by −1.0, then
    // about Y by 0.6; it shines along its own −Z.
    const double ax = -1.0, ay = 0.6;
    const V3 afterX{0, std::sin(ax), -std::cos(ax)};
    const V3 shine{afterX.z * std::sin(ay), afterX.y, afterX.z * std::cos(ay)};
    return (-shine).normalized();
}

const std::array<OriginPlane, 3>& originPlanes() {
    // XZ sits 0.05 above the grid so that the two never fight for the same depth.
    static const std::array<OriginPlane, 3> planes = {
        OriginPlane{"plane:XY", {V3{0, 0, 0}, V3{70, 0, 0}, V3{70, 70, 0}, V3{0, 70, 0}}},
        OriginPlane{"plane:XZ",
                    {V3{0, 0.05, 70}, V3{70, 0.05, 70}, V3{70, 0.05, 0}, V3{0, 0.05, 0}}},
        OriginPlane{"plane:YZ", {V3{0, 0, 70}, V3{0, 0, 0}, V3{0, 70, 0}, V3{0, 70, 70}}},
    };
    return planes;
}

std::string planeLabel(const std::string& name) {
    if (name == "plane:XY") return "Plan XY (face)";
    if (name == "plane:XZ") return "Plan XZ (dessus)";
    if (name == "plane:YZ") return "Plan YZ (droite)";
    return name;
}

SketchPlane sketchPlaneOf(const std::string& planeName) {
    if (planeName == "plane:XZ") return SketchPlane::xz();
    if (planeName == "plane:YZ") return SketchPlane::yz();
    return SketchPlane::xy();
}

std::vector<LineSet> gridAndAxes() {
    LineSet minor{colors::gridMinor, {}}, major{colors::gridMajor, {}};
    for (int v = -200; v <= 200; v += 10) {
        LineSet& set = std::abs(v) % 50 == 0 ? major : minor;
        const double d = v;
        set.segments.push_back({{d, 0, -200}, {d, 0, 200}});
        set.segments.push_back({{-200, 0, d}, {200, 0, d}});
    }
    return {minor,
            major,
            {colors::axisX, {{{-200, 0, 0}, {200, 0, 0}}}},
            {colors::axisZ, {{{0, 0, -200}, {0, 0, 200}}}},
            {colors::axisY, {{{0, 0, 0}, {0, 60, 0}}}}};
}

double edgeOffset(const Box3& bodiesBox) {
    // Proportional to the model so the creases stay in front of the faces at any scale.
    return bodiesBox.isEmpty() ? 0.02 : std::max(bodiesBox.radius() * 0.0008, 0.01);
}

bool isHidden(const std::vector<Id>& hidden, Id id) {
    for (Id h : hidden)
        if (h == id) return true;
    return false;
}

namespace {

// Sketch features within the marker, in timeline order.
template <class F>
void forSketchesWithinMarker(const Doc& doc, F&& f) {
    const size_t n =
        static_cast<size_t>(std::clamp<std::int64_t>(doc.marker, 0, doc.features.size()));
    for (size_t i = 0; i < n; ++i) {
        const Feature& feature = doc.features[i];
        // New features of other kinds carry an empty sketch; only sketch features draw one.
        if (feature.kind == fk::sketch && feature.sketch) f(i, feature);
    }
}

}  // namespace

std::vector<const Sketch*> lightSketches(const Doc& doc, std::optional<size_t> editSketch) {
    std::vector<const Sketch*> out;
    forSketchesWithinMarker(doc, [&](size_t i, const Feature& f) {
        if (!f.suppressed && f.sketch->visible && editSketch != i) out.push_back(&*f.sketch);
    });
    return out;
}

Box3 contentBox(const Doc& doc, const EvalResult& result, bool editing) {
    Box3 box;
    for (const Body& body : result.bodies) {
        if (isHidden(doc.hidden, body.id)) continue;
        for (const CPoly& poly : *body.solid)
            for (V3 v : poly.v)
                box.add(v);
    }
    forSketchesWithinMarker(doc, [&](size_t, const Feature& f) {
        if (!f.sketch->visible && !editing) return;
        for (const SPoint& p : f.sketch->points)
            box.add(f.sketch->plane.to3D(p.p));
    });
    return box;
}

Box3 sceneBox(const Box3& bodiesBox) {
    Box3 box = bodiesBox;
    box.add({-200, 0, -200});
    box.add({200, 70, 200});
    return box;
}

bool isSoftwareRenderer(std::string_view renderer) {
    for (std::string_view name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (renderer.find(name) != std::string_view::npos) return true;
    return false;
}

}  // namespace ivo
