// Builders of documents for tests and benchmarks: features appended one after the other,
// each named after its kind and rank ("Extrusion2"), the marker after the last.
#pragma once

#include "document/doc.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo::testing {

// A sketch holding one counter-clockwise rectangle of lines.
inline Sketch rectSketch(double x0, double y0, double x1, double y1) {
    Sketch s;
    addPolygon(s, rect(x0, y0, x1, y1));
    return s;
}

class DocBuilder {
public:
    Doc doc;

    Id sketch(Sketch s) { return (add(fk::sketch, "Esquisse").sketch = std::move(s), last()); }
    Id extrude(Id sketchId, std::vector<V2> picks, double distance,
               const std::string& operation = op::newBody) {
        add(fk::extrude, "Extrusion").extrude = {
            sketchId, std::move(picks), distance, false, operation, 0, {}};
        return last();
    }
    Id revolve(Id sketchId, std::vector<V2> picks, Id axis, double angle,
               const std::string& operation = op::newBody) {
        add(fk::revolve, "Révolution").revolve = {sketchId, std::move(picks), axis,
                                                  angle,    operation,        0};
        return last();
    }
    Id fillet(Id extrudeId, const std::string& edges, double radius, bool chamfer = false) {
        add(fk::fillet, chamfer ? "Chanfrein" : "Congé").fillet = {extrudeId, edges, radius,
                                                                   chamfer};
        return last();
    }
    Id combine(Id target, Id tool, const std::string& operation, bool keep = false) {
        add(fk::combine, "Combinaison").combine = {target, tool, operation, keep};
        return last();
    }
    Id remove(Id bodyId) { return (add(fk::remove, "Suppression").removeBody = bodyId, last()); }

    Feature& feature(Id id) { return doc.features[*doc.index(id)]; }

private:
    Feature& add(const std::string& kind, const std::string& name) {
        Feature f(doc.newId(), kind, name + std::to_string(doc.count(kind) + 1));
        if (kind != fk::sketch) f.sketch.reset();
        doc.features.push_back(std::move(f));
        doc.marker = static_cast<std::int64_t>(doc.features.size());
        return doc.features.back();
    }
    Id last() const { return doc.features.back().id; }
};

}  // namespace ivo::testing
