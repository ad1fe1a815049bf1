// Plain transcription of the crease-edge rule: text line keys, every pair of segments of a
// line compared. The baseline for tests and benchmarks of `featureEdges`.
#pragma once

#include <vector>

#include "geometry/mesh.h"

namespace ivo::testing {

std::vector<FeatureEdge> featureEdgesPlain(const std::vector<Tri>& tris, double angleDeg = 25);

// Edges in a fixed order, for comparing results whose line groups come in different orders.
std::vector<FeatureEdge> sortedEdges(std::vector<FeatureEdge> edges);

}  // namespace ivo::testing
