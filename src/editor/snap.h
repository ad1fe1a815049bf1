// The snap found for a pointer position, and the points from outside the open sketch that it
// can snap to.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/doc.h"
#include "geometry/mesh.h"
#include "geometry/vec.h"
#include "sketch/sketch.h"

namespace ivo {

struct SnapInfo {
    V2 pos;
    std::string kind = "point";  // "point", "mid", "quad", "curve", "foreign" or "align"
    std::optional<Id> pointId;   // the sketch point, for "point"
    std::optional<Id> curveId;   // the line of "mid", the circle of "quad", the curve of "curve"
    std::optional<Id> centerId;  // the circle's centre, for "quad"
    bool horizontal = false;     // "quad" on the horizontal diameter
    std::vector<std::pair<V2, V2>> guides;  // alignment guides, plane points
};

// Points of other visible sketches inside the marker and ends of body creases lying on the
// edited sketch's plane, in that plane's coordinates, each position (to 0.001 mm) once.
// `bodyTris` holds the triangles of the bodies shown, by body id.
std::vector<V2> foreignSnapPoints(const Doc& doc, std::optional<size_t> editSketch,
                                  const std::map<Id, std::vector<Tri>>& bodyTris);

}  // namespace ivo
