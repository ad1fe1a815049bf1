// The curves of a sketch resolved to shapes in one pass, and their cut parameters: one
// curve at a time for Sketch::cuts, or all at once with a broad phase for the profile finder.
#pragma once

#include <optional>
#include <vector>

#include "sketch/sketch.h"

namespace ivo {

struct CurveEntry {
    Id id = 0;
    Curve shape;
    bool construction = false;
    bool cutter = false;   // may cut other curves: every circle and arc, lines with a ≠ b
    bool profile = false;  // enters profiles: not construction, and lines with a ≠ b,
                           // circles with r > 1e-9, arcs with s ≠ e
};

// Every line, then circle, then arc of the sketch, each with the shape of its own record
// (missing points at (0, 0)).
std::vector<CurveEntry> curveEntries(const Sketch& sketch);

// Where crossing point p cuts curve c: the line parameter strictly inside (1e-7, 1 − 1e-7),
// the arc angle from its start strictly inside its sweep by 1e-7, or the circle angle;
// nothing when p does not cut c.
std::optional<double> cutParam(const Curve& c, V2 p);

// Sorts the raw parameters and merges those within 1e-7 of the last one kept; on a circle
// the last is dropped when it is the first seen again across angle 0.
std::vector<double> finishCuts(const Curve& c, std::vector<double> ts);

// Cut parameters of every `profile` entry against every other non-construction `cutter`,
// indexed like `entries` (empty lists for the others); the same values as Sketch::cuts with
// includeConstruction false. Pairs whose padded boxes are apart cannot cross and are skipped,
// and cutters of bit-identical shape are intersected once. Nothing when more than
// `maxCrossings` parameters would be collected, so that absurd input stays bounded.
std::optional<std::vector<std::vector<double>>> profileCuts(const std::vector<CurveEntry>& entries,
                                                            size_t maxCrossings);

}  // namespace ivo
