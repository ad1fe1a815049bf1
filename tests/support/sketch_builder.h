// Builders of test sketches: polygons of lines sharing their corner points, circles, arcs.
#pragma once

#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "sketch/sketch.h"

namespace ivo::testing {

constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// One line per side of the loop, consecutive sides sharing a point; returns the line ids.
std::vector<Id> addPolygon(Sketch& s, const Loop& loop, bool construction = false);
// Curves on new points; the arc runs counter-clockwise about c from `start` to `end`.
Id addSegment(Sketch& s, V2 a, V2 b, bool construction = false);
Id addCircle(Sketch& s, V2 c, double r, bool construction = false);
Id addArc(Sketch& s, V2 c, V2 start, V2 end, bool construction = false);

// `curves` lines, circles and arcs on a grid of half millimetres, so that curves share end
// points, touch, run through each other's ends, overlap and repeat; some are construction or
// degenerate, some arcs end off their circle.
Sketch gridSketch(std::mt19937& rng, int curves);

}  // namespace ivo::testing
