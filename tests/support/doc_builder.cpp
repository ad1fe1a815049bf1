#include "support/doc_builder.h"

#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo::testing {

Sketch rectSketch(double x0, double y0, double x1, double y1) {
    Sketch s;
    addPolygon(s, rect(x0, y0, x1, y1));
    return s;
}

Feature& DocBuilder::add(const std::string& kind, const std::string& name) {
    Feature f(doc.newId(), kind, name + std::to_string(doc.count(kind) + 1));
    if (kind != fk::sketch) f.sketch.reset();
    doc.features.push_back(std::move(f));
    doc.marker = static_cast<std::int64_t>(doc.features.size());
    return doc.features.back();
}

Id DocBuilder::sketch(Sketch s) {
    add(fk::sketch, "Esquisse").sketch = std::move(s);
    return doc.features.back().id;
}

Id DocBuilder::extrude(Id sketchId, std::vector<V2> picks, double distance,
                       const std::string& operation) {
    add(fk::extrude, "Extrusion").extrude =
        ExtrudeP{sketchId, std::move(picks), distance, false, operation, 0, {}};
    return doc.features.back().id;
}

Id DocBuilder::revolve(Id sketchId, std::vector<V2> picks, Id axis, double angle,
                       const std::string& operation) {
    add(fk::revolve, "Révolution").revolve =
        RevolveP{sketchId, std::move(picks), axis, angle, operation, 0};
    return doc.features.back().id;
}

Id DocBuilder::fillet(Id extrudeId, const std::string& edges, double radius, bool chamfer) {
    add(fk::fillet, chamfer ? "Chanfrein" : "Congé").fillet =
        FilletP{extrudeId, edges, radius, chamfer};
    return doc.features.back().id;
}

Id DocBuilder::combine(Id target, Id tool, const std::string& operation, bool keep) {
    add(fk::combine, "Combinaison").combine = CombineP{target, tool, operation, keep};
    return doc.features.back().id;
}

Id DocBuilder::remove(Id bodyId) {
    add(fk::remove, "Suppression").removeBody = bodyId;
    return doc.features.back().id;
}

}  // namespace ivo::testing
