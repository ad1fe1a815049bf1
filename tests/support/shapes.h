// Builders of test polygons: fixed letter shapes and random families with known areas.
#pragma once

#include <array>
#include <random>

#include "geometry/loops.h"

namespace ivo::testing {

Loop rect(double x0, double y0, double x1, double y1);  // counter-clockwise
Loop reversed(Loop l);
Loop rotatedStart(Loop l, size_t k);  // same loop, starting at point k
Loop mirroredX(Loop l);               // x → −x, orientation restored
Loop regularPolygon(V2 c, double r, int n, double phase = 0);

// A star-shaped loop around c: n points at increasing angles, radii in [rMin, rMax].
Loop randomStar(std::mt19937& rng, V2 c, int n, double rMin, double rMax);

// Staircase: unit columns of random heights on integer coordinates, with runs of collinear
// vertices along the base and where neighbouring columns share a height. Area: the sum.
Loop randomStaircase(std::mt19937& rng, int steps);

// Comb: a base bar with teeth of random integer heights; equal neighbours leave collinear
// corners on the top line.
Loop randomComb(std::mt19937& rng, int teeth);

// Sum of |cross|/2 over triangles; also checks every triangle is counter-clockwise.
double triangleArea(const std::vector<std::array<V2, 3>>& tris, bool* allCcw = nullptr);

}  // namespace ivo::testing
