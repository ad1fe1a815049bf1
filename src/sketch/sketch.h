// Sketch records: points, curves and constraints on one plane, the shared id counter, the
// standard and face planes. Solving lives in solver.h, profiles in profiles.h, the JSON
// layout in sketch_json.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geometry/loops.h"
#include "geometry/vec.h"

namespace ivo {

using Id = std::int64_t;

struct SPoint {
    Id id = 0;
    V2 p;
    bool fixed = false;  // never moved by the solver
    friend bool operator==(const SPoint&, const SPoint&) = default;
};

struct SLine {
    Id id = 0;
    Id a = 0, b = 0;
    bool construction = false;  // left out of profiles
    friend bool operator==(const SLine&, const SLine&) = default;
};

struct SCircle {
    Id id = 0;
    Id c = 0;
    double r = 0;
    bool construction = false;
    friend bool operator==(const SCircle&, const SCircle&) = default;
};

// Counter-clockwise from s to e about c; the radius is |s − c|.
struct SArc {
    Id id = 0;
    Id c = 0, s = 0, e = 0;
    bool construction = false;
    friend bool operator==(const SArc&, const SArc&) = default;
};

// Constraint kinds understood by the solver. Any other kind is kept in the file and ignored.
namespace ck {
inline constexpr const char* horizontal = "horizontal";
inline constexpr const char* vertical = "vertical";
inline constexpr const char* hpoints = "hpoints";
inline constexpr const char* vpoints = "vpoints";
inline constexpr const char* distance = "distance";
inline constexpr const char* length = "length";
inline constexpr const char* radius = "radius";
inline constexpr const char* diameter = "diameter";
inline constexpr const char* parallel = "parallel";
inline constexpr const char* perpendicular = "perpendicular";
inline constexpr const char* equal = "equal";
inline constexpr const char* pointOnLine = "pointOnLine";
inline constexpr const char* midpoint = "midpoint";
inline constexpr const char* pointOnCircle = "pointOnCircle";
inline constexpr const char* tangent = "tangent";
}  // namespace ck

struct SConstraint {
    Id id = 0;
    std::string kind;
    std::vector<Id> refs;
    std::optional<double> value;  // a missing value reads as 0 where one is needed
    friend bool operator==(const SConstraint&, const SConstraint&) = default;
};

struct SketchPlane {
    std::string name;
    V3 o;
    V3 x{1, 0, 0};
    V3 n{0, 0, 1};

    V3 y() const { return n.cross(x); }
    Frame frame() const { return {o, x, y(), n}; }
    V3 to3D(V2 p) const { return o + x * p.x + y() * p.y; }
    // Drops the component along n.
    V2 to2D(V3 q) const {
        const V3 d = q - o;
        return {x.dot(d), y().dot(d)};
    }

    static SketchPlane xy();
    static SketchPlane xz();
    static SketchPlane yz();
    // The plane named "Face" through p with normal n; its x axis follows the standard planes
    // so that a face facing +Z or +X is drawn the same way as Plan XY or Plan YZ.
    static SketchPlane face(V3 n, V3 p);

    friend bool operator==(const SketchPlane&, const SketchPlane&) = default;
};

// The geometric shape of one curve entity.
struct Curve {
    enum class Kind { line, circle, arc };
    Kind kind = Kind::line;
    V2 a, b;           // line: start and end
    V2 c;              // circle, arc: centre
    double r = 0;      // circle, arc: radius
    double a0 = 0;     // arc: start angle, radians
    double sweep = 0;  // arc: counter-clockwise sweep in (0, 2π]

    static Curve line(V2 a, V2 b) { return {Kind::line, a, b, {}, 0, 0, 0}; }
    static Curve circle(V2 c, double r) { return {Kind::circle, {}, {}, c, r, 0, 0}; }
    static Curve arc(V2 c, double r, double a0, double sweep) {
        return {Kind::arc, {}, {}, c, r, a0, sweep};
    }
    friend bool operator==(const Curve&, const Curve&) = default;
};

struct Sketch {
    SketchPlane plane = SketchPlane::xy();
    std::vector<SPoint> points{SPoint{0, {}, true}};  // id 0 is the fixed origin
    std::vector<SLine> lines;
    std::vector<SCircle> circles;
    std::vector<SArc> arcs;
    std::vector<SConstraint> constraints;
    Id nextId = 1;
    bool visible = true;
    std::optional<std::vector<Id>> freePoints;  // points that survive orphan clean-up

    // A parameter interval of one curve: line parameters, or angles in radians (from angle 0
    // for a circle, where hi may pass 2π; from the start direction for an arc).
    struct Range {
        double lo = 0, hi = 0;
        friend bool operator==(const Range&, const Range&) = default;
    };
    // The point ids of a chain of lines, in walking order; a closed chain does not repeat its
    // first point.
    struct Chain {
        std::vector<Id> pts;
        bool closed = false;
    };
    using Transform = std::function<V2(V2)>;

    // Refused patterns: more instances than this (the original included) would freeze the
    // editor and flood the sketch with curves.
    static constexpr long long maxPatternInstances = 2500;

    Sketch() = default;
    explicit Sketch(SketchPlane p) : plane(std::move(p)) {}

    // No lines, circles or arcs; points and constraints do not count.
    bool isEmpty() const { return lines.empty() && circles.empty() && arcs.empty(); }
    Id newId() { return nextId++; }

    std::optional<V2> pos(Id id) const;
    std::optional<size_t> pointIndex(Id id) const;
    std::optional<SLine> line(Id id) const;
    std::optional<SCircle> circle(Id id) const;
    std::optional<SArc> arc(Id id) const;
    bool entityUsesPoint(Id id) const;
    // Lines, then circles, then arcs, each in array order.
    std::vector<Id> allEntities() const;

    Id addPoint(V2 p);
    Id addLine(Id a, Id b, bool construction = false);
    // Replaces the value of an existing constraint with the same kind and the same refs in
    // the same order (consuming no id); otherwise appends a new one.
    Id addConstraint(const std::string& kind, const std::vector<Id>& refs,
                     std::optional<double> value = std::nullopt);

    // Curve geometry (curves.cpp). Missing points count as (0, 0).
    // Lines, then circles, then arcs are searched; nothing for an unknown id.
    std::optional<Curve> curve(Id id) const;
    // The arc as n + 1 points (n ≥ 4), ends snapped to the exact end points.
    std::vector<V2> arcPoints(const SArc& arc, int segmentsPerTurn) const;
    // `segments` points from angle 0 counter-clockwise, open.
    std::vector<V2> circlePoints(const SCircle& circle, int segments = 64) const;
    // Parameters along curve `id` where other curves cross it, ascending, merged at 1e-7.
    std::vector<double> cuts(Id id, bool includeConstruction) const;

    // Profiles (profiles.cpp, regions.cpp): closed counter-clockwise loops of the
    // non-construction curves (whole circles first, then the faces of the others), and one
    // region per loop with its direct holes (clockwise). Curves with non-finite coordinates
    // are left out; both are empty when the curves cross more than about a million times.
    std::vector<Loop> loops() const;
    std::vector<Region> regions() const;

    // Moves free points (not fixed, not in `hold`) and circle radii so that the constraints
    // hold in the least-squares sense (solver.cpp). True when the sum of squared residuals
    // ends below 1e-8. The best state reached is written back also on failure, and never a
    // non-finite coordinate or radius.
    bool solve(const std::vector<Id>& hold = {});

    // Editing operations. Each keeps the sketch consistent (curves name existing points,
    // constraints name existing points and curves, new ids come from newId()) and leaves it
    // exactly as it was when it returns false or nothing. New points are not fixed; new
    // curves keep the construction flag of the curve they come from. Positions, sizes and
    // displacements that are not finite or lie beyond 1e9 mm are refused.

    // Pieces and trimming (trim.cpp). Construction curves cut here, unlike in profiles.
    // The interval between the two consecutive cuts of curve `id` around `at` (the whole
    // curve when no interval holds it); nothing for an unknown curve.
    std::optional<Range> pieceRange(Id id, V2 at) const;
    // That interval as a polyline (two points for a line, 64 segments per turn otherwise).
    std::vector<V2> piecePolyline(Id id, V2 at) const;
    // Removes the piece of curve `id` around `at`. The remaining pieces get new end points at
    // the cuts; ends whose point went with the curve are re-created. A radius or diameter of
    // an arc or circle is carried to the remaining arcs as a radius. No solving.
    bool trim(Id id, V2 at);

    // Extending and splitting (extend_split.cpp).
    // Lengthens line `id` at the end nearer to `near` up to the first curve ahead (within
    // 100 000 mm); an end shared with another curve, or the origin, gets a new point instead
    // of moving. Drops the line's length constraint, then solves.
    bool extendLine(Id id, V2 near);
    // Cuts a curve into pieces at every crossing (a circle needs two); the constraints on the
    // curve go with it. No solving.
    bool splitEntity(Id id);

    // Deleting and merging (delete.cpp).
    // Removes the constraint, curve or point `id`, the curves built on a point and every
    // constraint naming it, then the orphans; false (nothing touched) for the origin and for
    // an id that names nothing.
    bool deleteEntity(Id id);
    // Removes points no curve uses (except the origin and the free points) and constraints
    // naming a missing point or curve.
    void removeOrphans();
    // Makes point b one with point a (the origin always survives): references follow, a
    // fixed flag is kept, lines collapsed to one point and distances between the two vanish.
    // False for equal ids or ids that are not points. The caller solves.
    bool mergePoints(Id a, Id b);

    // Corners (corner.cpp): exactly two non-construction lines at point p. The corner point
    // goes when nothing else uses it; constraints on it go. Both solve.
    // A tangent arc of `radius` (with its tangent and radius constraints).
    bool filletCorner(Id p, double radius);
    // A line cutting `distance` off each line.
    bool chamferCorner(Id p, double distance);

    // Chains and offsets (offset.cpp).
    // The chain of lines (of the same construction flag) through line l, stopping at
    // junctions of three or more lines; empty for an unknown line.
    Chain lineChain(Id l) const;
    // A new curve at `distance` from a circle, an arc or the chain of lines through a line
    // (outwards for round curves, to the left of the line's direction for an open chain,
    // outwards for a closed one). False when the copy would vanish, turn inside out or fold
    // back over a segment. No constraints, no solving.
    bool offsetEntity(Id id, double distance);

    // Copies and patterns (copy.cpp). Copies share points within 1e-6 through pointAt.
    // The first point within 1e-6 of q, or a new one; nothing for a q out of reach.
    std::optional<Id> pointAt(V2 q);
    // The transformed copy of a curve (start and end of an arc swapped when `flip`); nothing
    // for an unknown curve, an image out of reach, or a line whose ends meet.
    std::optional<Id> copyEntity(Id id, bool flip, const Transform& transform);
    // copyEntity for each id in order; the ids of the copies made.
    std::vector<Id> copyEntities(const std::vector<Id>& ids, bool flip, const Transform& transform);
    // The mirror image of a curve across line `axis` (not the curve itself).
    bool mirrorEntity(Id id, Id axis);
    // count − 1 copies turned by 2π·k/count about point `center`. All or nothing; at most
    // maxPatternInstances instances.
    bool circularPattern(Id id, Id center, int count);
    // Copies at (dx·i, dy·j) for i < nx, j < ny but (0, 0); both counts at least 1, a step
    // that repeats a copy in place is refused. All or nothing; at most maxPatternInstances.
    bool rectPattern(Id id, int nx, double dx, int ny, double dy);

    // Moving (copy.cpp).
    // The curves reachable from curve `id` through shared points other than the origin
    // (itself included): lines, circles, arcs, each in array order; empty for a non-curve.
    std::vector<Id> connectedComponent(Id id) const;
    // Displaces the points of the listed curves (not fixed ones, not the origin) by `by`,
    // drops distances between a moved and an unmoved point, then solves holding the moved
    // points. False (nothing touched) when no listed id is a curve.
    bool moveEntities(const std::vector<Id>& ids, V2 by);
    // A copy whose plane origin moves dz along the normal and whose points (not the origin)
    // move by (dx, dy); nothing when a displacement or a moved point is out of reach.
    std::optional<Sketch> duplicated(double dx, double dy, double dz) const;

    friend bool operator==(const Sketch&, const Sketch&) = default;
};

}  // namespace ivo
