// Sketch records: points, curves and constraints on one plane, the shared id counter, the
// standard and face planes. Solving lives in solver.h, profiles in profiles.h, the JSON
// layout in sketch_json.h.
#pragma once

#include <cstdint>
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

    friend bool operator==(const Sketch&, const Sketch&) = default;
};

}  // namespace ivo
