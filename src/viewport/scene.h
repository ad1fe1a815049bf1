// What the 3-D view shows, as plain data shared by the renderer, picking and the overlay:
// colours, the origin plane squares, grid and axis lines, body meshes with their crease
// edges, the bounds that "fit" frames, and the sketches drawn light.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"
#include "document/evaluator.h"
#include "geometry/mesh.h"
#include "geometry/vec.h"

namespace ivo {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;
    friend bool operator==(Rgba, Rgba) = default;
};

namespace colors {
inline constexpr std::array<Rgba, 4> bodyPalette = {
    Rgba{0.7, 0.74, 0.8, 1}, Rgba{0.78, 0.72, 0.62, 1}, Rgba{0.64, 0.76, 0.68, 1},
    Rgba{0.8, 0.66, 0.7, 1}};
inline constexpr Rgba bodySpecular{0.25, 0.25, 0.25, 1};
inline constexpr Rgba bodyEdges{0.12, 0.12, 0.12, 1};
inline constexpr Rgba plane{0.95, 0.62, 0.25, 0.22};
inline constexpr Rgba planeHovered{1.0, 0.55, 0.1, 0.55};
inline constexpr Rgba planeOutline{0.85, 0.5, 0.15, 1};
inline constexpr Rgba hoveredFace{1.0, 0.55, 0.1, 0.45};
// Faces that need support when printed; alpha is how much of the shading it covers.
inline constexpr Rgba overhang{0.86, 0.16, 0.12, 0.6};
inline constexpr Rgba sketchLight{0.2, 0.35, 0.7, 0.75};
inline constexpr Rgba viewBackground{0.9, 0.92, 0.95, 1};
inline constexpr Rgba backgroundBottom{0.8, 0.84, 0.89, 1};
inline constexpr Rgba backgroundTop{0.99, 0.99, 0.99, 1};
inline constexpr Rgba gridMajor{0.68, 0.68, 0.68, 1};
inline constexpr Rgba gridMinor{0.8, 0.8, 0.8, 1};
inline constexpr Rgba axisX{0.85, 0.25, 0.25, 1};
inline constexpr Rgba axisY{0.2, 0.7, 0.3, 1};
inline constexpr Rgba axisZ{0.25, 0.4, 0.9, 1};
}  // namespace colors

// Light intensities as factors of the diffuse (and specular) colour.
namespace lights {
inline constexpr double head = 0.75;     // directional, from the camera
inline constexpr double ambient = 0.38;  // everywhere
inline constexpr double fixed = 0.25;    // directional, fixed in the model
// Unit direction towards the fixed light (above, right and in front of the origin).
V3 fixedDirection();
}  // namespace lights

// The origin planes by node name ("plane:XY", "plane:XZ", "plane:YZ").
struct OriginPlane {
    const char* name;
    std::array<V3, 4> corners;  // the 70 × 70 square, in outline order
};
const std::array<OriginPlane, 3>& originPlanes();
// "Plan XY (face)" and so on; an unknown name is returned unchanged.
std::string planeLabel(const std::string& name);
// The sketch plane of an origin plane node: XZ, YZ, else XY.
SketchPlane sketchPlaneOf(const std::string& planeName);

struct Segment {
    V3 a, b;
};

// Triangles drawn again, tinted, over what the 3-D pass shows (a hovered or selected face, a
// whole body, a sketch profile): both sides, in front of the surface they lie on. A colour
// with alpha below 1 lets the body show through.
struct HighlightLayer {
    std::vector<Tri> tris;
    Rgba color;
};
struct LineSet {
    Rgba color;
    std::vector<Segment> segments;
};
// Minor grid lines, major grid lines, then the X, Z and Y axes, drawn in that order.
std::vector<LineSet> gridAndAxes();

// What is drawn of one shown body besides its triangles (kept in the view's bodyTris).
struct BodyMesh {
    Id id = 0;
    Rgba color;
    // The body's solid: the same solid has the same triangles, so their GPU buffers can stay.
    std::shared_ptr<const Solid> solid;
    std::vector<Segment> edges;  // creases, pushed off the surface
    // One flag per triangle (1: overhang) while overhangs are shown, else null. Shared with
    // the cache: the same flags need not be sent to the graphics card again.
    std::shared_ptr<const std::vector<std::uint8_t>> overhang;
};

// Triangles and creases of the solids seen last, by identity: an evaluation hands an unchanged
// body's solid over again (shared, immutable), so it is meshed only once.
class MeshCache {
public:
    struct Entry {
        std::shared_ptr<const Solid> solid;
        std::vector<Tri> tris;
        Box3 box;
        std::optional<std::vector<FeatureEdge>> creases;  // made when the body is first shown
        // Made when the body is first shown with overhangs, again when the angle changes.
        std::shared_ptr<const std::vector<std::uint8_t>> overhang;
        double overhangAngle = 0;
    };
    Entry& get(const std::shared_ptr<const Solid>& solid);
    // Forgets the solids that are not in these bodies.
    void keepOnly(const std::vector<Body>& bodies);
    size_t size() const { return entries_.size(); }

private:
    std::map<const Solid*, Entry> entries_;
};

// How far crease lines are pushed off the surface for bodies within this box.
double edgeOffset(const Box3& bodiesBox);
// Triangles of every body (hidden ones included) and meshes of the shown ones. The palette
// colour follows the position in the result, so a hidden body keeps its slot. With an
// overhang angle (degrees), the shown meshes carry their overhang flags.
struct SceneBodies {
    std::map<Id, std::vector<Tri>> tris;
    std::vector<BodyMesh> meshes;
    Box3 shownBox;  // of the shown bodies
};
SceneBodies buildBodies(const EvalResult& result, const std::vector<Id>& hidden, MeshCache& cache,
                        std::optional<double> overhangAngle = std::nullopt);
bool isHidden(const std::vector<Id>& hidden, Id id);

// The sketch features within the marker that are shown as light drawings: not suppressed,
// visible, and not the one being edited.
std::vector<const Sketch*> lightSketches(const Doc& doc, std::optional<size_t> editSketch);
// All visible content for "fit": shown bodies and the points of the sketches within the
// marker (invisible ones only while a sketch is being edited).
Box3 contentBox(const Doc& doc, const EvalResult& result, bool editing);
// A renderer that rasterises on the processor (Mesa's llvmpipe, softpipe, swrast), told by its
// GL_RENDERER string: multisampling costs it far more than it costs a graphics card.
bool isSoftwareRenderer(std::string_view renderer);

// Everything the scene may draw (grid, axes, planes and bodies), for the depth range.
Box3 sceneBox(const Box3& bodiesBox);

}  // namespace ivo
