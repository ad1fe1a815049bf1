// Builders of documents for tests and benchmarks: features appended one after the other,
// the marker after the last. Sketch content comes from sketch_builder.h.
#pragma once

#include "document/doc.h"

namespace ivo::testing {

// A sketch holding one counter-clockwise rectangle of lines.
Sketch rectSketch(double x0, double y0, double x1, double y1);

class DocBuilder {
public:
    Doc doc;

    Id sketch(Sketch s);
    Id extrude(Id sketchId, std::vector<V2> picks, double distance,
               const std::string& operation = op::newBody);
    Id revolve(Id sketchId, std::vector<V2> picks, Id axis, double angle,
               const std::string& operation = op::newBody);
    Id fillet(Id extrudeId, const std::string& edges, double radius, bool chamfer = false);
    Id combine(Id target, Id tool, const std::string& operation, bool keep = false);
    Id remove(Id bodyId);

    Feature& feature(Id id) { return doc.features[*doc.index(id)]; }

private:
    // A new feature named after its kind and rank ("Extrusion2").
    Feature& add(const std::string& kind, const std::string& name);
};

}  // namespace ivo::testing
