// The identifier rules a decoded document must meet: every id within the integers a double
// holds exactly (other JSON readers go through doubles), and each counter above the ids it
// hands out from, so that new ids never collide with old ones.
#pragma once

#include <string>
#include <vector>

#include "document/doc.h"

namespace ivo {

// Ids and counters must stay strictly within ±2⁵³.
inline constexpr Id kIdLimit = Id{1} << 53;

// Checks the ids of the document and of its sketches, and raises a counter that is not
// above every id it covers (and at least 1) to one above the largest; each raise is
// described in `notes` when given. False, document partly raised, with a located reason
// ("features[1].sketch.points[0].id : …") when an id is out of range or no id is left.
bool settleIds(Doc& doc, std::string& reason, std::vector<std::string>* notes);

}  // namespace ivo
