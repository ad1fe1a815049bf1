// Feature creation logic that needs no window: the default profile picks of a sketch, the
// automatic operation of a new extrusion, the ready-made primitive solids, the sketch of a
// push/pull drawn from body faces, and the identity of two selected regions.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/doc.h"
#include "document/evaluator.h"
#include "geometry/vec.h"

namespace ivo {

// True when some region has a hole that is `region`'s outer loop walked backwards, vertex
// for vertex: `region` is an island filling that hole. Holes are the reversed contained
// loops, so the comparison is structural; comparing signed areas instead fails in the last
// bits for many circles.
bool fillsHole(const Region& region, const std::vector<Region>& regions);

// The default picks of a sketch: the point of its only region, else of every region that
// does not fill another region's hole, in region order.
std::vector<V2> autoPicks(const Sketch& sketch);

// The operation a new extrusion takes by itself over the bodies that exist before it:
// "cut" when it enters one of them, "join" when it only touches or shares a box with one,
// else "new". Nothing when its regions are gone or its up-to-face is unreachable.
std::optional<std::string> autoOperation(const Sketch& sketch, const ExtrudeP& extrude,
                                         const std::vector<Body>& before);

// The operation's label for status texts and the inspector.
std::string opLabel(const std::string& op);

// A ready-made solid: its dimensioned sketch and the extrusion or revolution of it.
struct Primitive {
    Feature sketch;
    Feature solid;
};
// "Boîte", "Cylindre" or "Sphère" for "box", "cyl" or "sphere" (any other kind is a box).
std::string primitiveWord(const std::string& kind);
// Takes two ids from `doc` and names the solid after the features already in it; nothing is
// inserted. The solid starts a new body when `hasBodies` is false, else joins.
Primitive makePrimitive(Doc& doc, const std::string& kind, bool hasBodies);

// A planar face of a body: the triangles of that body lying in the plane n·x = w and facing n.
struct PlanarFace {
    Id body = 0;
    V3 n;
    double w = 0;
};
// The sketch of a push/pull: the outlines of the faces coplanar with the first one, as fixed
// points and closed chains of lines on that face's plane, with the picks of its regions.
struct FaceSketch {
    Sketch sketch;
    std::vector<V2> picks;
    bool ignoredFaces = false;  // some faces lay in another plane
};
// Nothing when no outline can be rebuilt from the triangles.
std::optional<FaceSketch> faceSketch(const std::vector<PlanarFace>& faces,
                                     const std::map<Id, std::vector<Tri>>& bodyTris);

// The automatic name of a new feature of `kind` ("extrude", "revolve", "fillet", "combine");
// a fillet with `chamfer` is a "Chanfrein". Fillets and chamfers are counted by name, the
// others by kind.
std::string autoName(const Doc& doc, const std::string& kind, bool chamfer = false);

// The insertion point of a new feature: the marker, within the timeline.
size_t insertionIndex(const Doc& doc);

// The sketch a new extrusion or revolution uses when no region is selected: the last active
// sketch before `at` that has a region, else the last active sketch before `at`.
std::optional<size_t> profileSketchIndex(const Doc& doc, size_t at);

// Inserts the primitive's sketch and solid at the insertion point, the marker after them;
// the index of the solid.
size_t insertPrimitive(Doc& doc, const std::string& kind, bool hasBodies);

// Inserts the push/pull of the faces at the insertion point: the face sketch and a 5 mm
// extrusion joined to the first face's body, the marker after them. The index of the
// extrusion, or nothing (document untouched) when no outline can be rebuilt.
std::optional<size_t> insertFaceExtrusion(Doc& doc, const std::vector<PlanarFace>& faces,
                                          const std::map<Id, std::vector<Tri>>& bodyTris,
                                          bool* ignoredFaces = nullptr);

// Whether two points of a sketch designate the same region: each lies inside the region the
// other picks. Distinct regions of the same shape and size are not the same.
bool sameRegion(const Sketch& sketch, V2 a, V2 b);

// ---- Editing an open feature (the inspector's limits, the clicks and the handle drag) ----

// Why a typed value was not taken; the previous value is kept.
enum class FieldRefusal { none, unreadable, zero, negative };

// A value read from a field: `value` is what the feature keeps.
struct FieldRead {
    double value = 0;
    FieldRefusal refusal = FieldRefusal::none;
    bool clamped = false;  // the angle was brought back within ±360°
};

// The distance of an extrusion: the typed value unless it is unreadable or (almost) zero.
FieldRead readDistance(double old, std::optional<double> typed);
// The angle of a revolution in degrees, limited to −360…360; zero keeps the old one.
FieldRead readAngle(double old, std::optional<double> typed);
// A fillet's radius or a chamfer's distance; a negative value keeps the old one.
FieldRead readRadius(double old, std::optional<double> typed);

// The name a fillet takes when its type changes between fillet and chamfer: the other word
// numbered after the features already named with it. Names the user gave (neither word) stay.
std::string renamedForType(const Doc& doc, const Feature& fillet, bool chamfer);

// The arrow of an open extrusion: from the mean point of its picked regions on the sketch
// plane along the plane normal, to the far cap (to the middle for a symmetric one).
struct ExtrudeHandle {
    V3 base, tip, n;
    double dist = 0;
};
// Nothing when the picks give no region.
std::optional<ExtrudeHandle> extrudeHandle(const Sketch& sketch, const ExtrudeP& extrude);

// Millimetres along the handle for pointer `p`, given the screen points a of the base and b
// of base + n (1 mm along the normal); nothing when that millimetre is under a pixel long
// on screen (the view looks along the normal).
std::optional<double> handleParam(V2 a, V2 b, V2 p);
// The distance a drag to `t` mm gives: doubled for a symmetric extrusion, one decimal
// towards zero, never under 0.1 mm in size (the sign of t kept, + for zero).
double dragDistance(double t, bool symmetric);

// The index of the segment nearest to p, measured to its nearest point, when closer than
// `limit`; segments shorter than 1e-9 count as points.
std::optional<size_t> nearestSegment(const std::vector<std::pair<V2, V2>>& segments, V2 p,
                                     double limit);

// A click on a body face while extruding up to a face.
struct FaceAim {
    enum class Kind {
        sketchPlane,    // the face lies in the sketch plane: the click is a profile click
        perpendicular,  // no extrusion along the sketch normal can reach it
        reached,
    };
    Kind kind = Kind::reached;
    std::vector<double> toFace;  // reached: (nx, ny, nz, w) with n · x = w
    double distance = 0;         // reached: to the face, towards zero to 0.001 mm
};
// Face of normal n through p (unit n).
FaceAim aimAtFace(const Sketch& sketch, const ExtrudeP& extrude, V3 n, V3 p);

// The picks after a click at `point` of the sketch: the picks lying in the clicked region
// (the smallest one containing the point) are all removed, or when there are none the point
// is added. Nothing when no region contains the point.
std::optional<std::vector<V2>> togglePick(const Sketch& sketch, const std::vector<V2>& picks,
                                          V2 point);

}  // namespace ivo
