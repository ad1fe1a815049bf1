// The snap found for a pointer position. Only snaps to existing sketch points are found here;
// the other kinds (middles, quadrants, curves, alignments, projected points) are drawn when a
// finder supplies them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry/vec.h"
#include "sketch/sketch.h"

namespace ivo {

struct SnapInfo {
    std::string kind = "point";  // "point", "mid", "quad", "curve", "align", "foreign"
    V2 pos;
    std::optional<Id> pointId;              // the sketch point, for "point"
    std::vector<std::pair<V2, V2>> guides;  // alignment guides, plane points
};

}  // namespace ivo
