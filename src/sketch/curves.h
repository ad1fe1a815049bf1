// Curve geometry helpers and intersections between sketch curves. The per-sketch queries
// (curve, arcPoints, circlePoints, cuts) are members of Sketch.
#pragma once

#include <optional>
#include <vector>

#include "sketch/sketch.h"

namespace ivo {

// `segments` points of the circle (c, r) from angle 0, counter-clockwise, open.
std::vector<V2> circlePoints(V2 c, double r, int segments = 64);
// n + 1 points, n = max(⌈|sweep|/2π·64⌉, 2), ends not snapped.
std::vector<V2> arcPolyline(V2 c, double r, double a0, double sweep);
// a modulo 2π, in [0, 2π).
double normAngle(double a);
// The arc counter-clockwise about c from the direction of s to the direction of e, radius
// |s − c|; a sweep below 1e-9 is a full turn.
Curve arcShape(V2 c, V2 s, V2 e);
// Centre of the circle through three points; nothing when they are collinear.
std::optional<V2> circumcenter(V2 p1, V2 p2, V2 p3);
// True when the direction of p from c lies within the arc, 1e-7 radians of slack.
bool onArc(V2 p, V2 c, double a0, double sweep);
// Position of p along the curve: line parameter (0 at a, 1 at b, unclamped), circle angle,
// or arc angle from its start (0 for a point a hair before the start).
double param(const Curve& curve, V2 p);

// Intersections; all of them are empty for non-finite input and drop points that overflow.
// Segments a1–b1 and a2–b2: the crossing point (ends included, 1e-9 of slack); empty when
// parallel, overlapping or degenerate.
std::vector<V2> interLL(V2 a1, V2 b1, V2 a2, V2 b2);
// Segment a–b against the full circle (c, r): up to two points in the order of travel from
// a, one for a tangent.
std::vector<V2> interLC(V2 a, V2 b, V2 c, double r);
// Two full circles: two points (left of c1→c2 first), one when tangent, none when
// concentric or apart.
std::vector<V2> interCC(V2 c1, double r1, V2 c2, double r2);
// Crossings of two curves, kept only where they lie on every arc involved.
std::vector<V2> intersect(const Curve& p, const Curve& q);

}  // namespace ivo
