// Replays a document's timeline into bodies, with a French message for each failing
// feature. A pure function of the document; EvalCache makes repeated runs incremental.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "document/doc.h"
#include "geometry/csg.h"

namespace ivo {

struct Body {
    Id id = 0;         // the feature that created it
    std::string name;  // "Corps N", numbered per run
    Solid solid;
    friend bool operator==(const Body&, const Body&) = default;
};

struct EvalResult {
    std::vector<Body> bodies;  // creation order
    std::set<Id> errors;
    std::map<Id, std::string> messages;
    friend bool operator==(const EvalResult&, const EvalResult&) = default;
};

// The name shown for a body: its entry in the document's bodyNames, else its default name.
std::string displayName(const Doc& doc, const Body& body);

namespace Evaluator {

// Evaluates the first `upTo` features (the document's marker when absent).
EvalResult run(const Doc& doc, std::optional<std::int64_t> upTo = std::nullopt);

// The regions picked by the points, each once, in order of first pick; each point selects
// the smallest region containing it.
std::vector<Region> pickRegions(const Sketch& sketch, const std::vector<V2>& picks);

// Signed extrusion length; nothing when an up-to-face plane cannot be reached.
std::optional<double> extrudeDistance(const ExtrudeP& extrude, const Sketch& sketch,
                                      const std::vector<Region>& regions);

}  // namespace Evaluator

}  // namespace ivo
