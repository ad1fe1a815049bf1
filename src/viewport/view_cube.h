// The view cube in the top-right corner of the view: its rectangles, the face polygons for
// the current eye direction, the axis triad and what a click on it means. Plain maths in
// view points (origin bottom-left, y up); the widget draws it.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "geometry/vec.h"

namespace ivo {

struct ViewRect {
    double x = 0, y = 0, w = 0, h = 0;

    double maxX() const { return x + w; }
    double maxY() const { return y + h; }
    V2 center() const { return {x + w / 2, y + h / 2}; }
    bool contains(V2 p) const { return p.x >= x && p.x <= x + w && p.y >= y && p.y <= y + h; }
};

// 100 × 100, 20 from the right and top edges of a view of this size.
ViewRect cubeRect(double viewWidth, double viewHeight);
// 18 × 18 over the cube's top-left corner.
ViewRect homeRect(const ViewRect& cube);

struct CubeFace {
    V3 n;
    const char* label;  // UTF-8
    std::array<V2, 4> corners;
    double depth = 0;  // eye · n: 1 when the face looks straight at the viewer
};

// Screen axes of the cube for an eye direction (from the target towards the camera).
struct CubeBasis {
    V3 right, up;
    V2 map(V3 v) const { return {v.dot(right), v.dot(up)}; }
};
CubeBasis cubeBasis(V3 eye);

// Faces turned towards the viewer by more than 0.02, the most facing last.
std::vector<CubeFace> cubePolys(V3 eye, V2 center);

// What a click at p does: nothing (outside), the isometric view (home button), a view from
// a face's direction, or just consumed (inside the cube but on no face).
struct CubeClick {
    enum class Kind { outside, home, face, consumed };
    Kind kind = Kind::outside;
    V3 direction;  // for face
};
CubeClick cubeClick(V2 p, V3 eye, double viewWidth, double viewHeight);

}  // namespace ivo
