// Builders of documents for tests and benchmarks: sketches of rectangles, polygons and
// circles, and the features that use them.
#pragma once

#include "document/doc.h"

namespace ivo::testing {

// Closed polygon of lines through the points (sketch coordinates).
void addPolygon(Sketch& s, const std::vector<V2>& pts);
void addRect(Sketch& s, double x0, double y0, double x1, double y1);
Id addCircle(Sketch& s, V2 c, double r);

class DocBuilder {
public:
    Doc doc;

    Id sketch(Sketch s, const std::string& name = "Esquisse");
    Id extrude(Id sketchId, std::vector<V2> picks, double distance,
               const std::string& operation = "new", Id target = 0);
    Id revolve(Id sketchId, std::vector<V2> picks, Id axis, double angle,
               const std::string& operation = "new", Id target = 0);
    Id fillet(Id extrudeId, const std::string& edges, double radius, bool chamfer = false);
    Id combine(Id target, Id tool, const std::string& operation, bool keep = false);
    Id remove(Id bodyId);

    Feature& last() { return doc.features.back(); }
    Feature& feature(Id id) { return doc.features[*doc.index(id)]; }

private:
    Feature& add(const std::string& kind, const std::string& name);
};

}  // namespace ivo::testing
