#include "support/doc_builder.h"

namespace ivo::testing {

void addPolygon(Sketch& s, const std::vector<V2>& pts) {
    std::vector<Id> ids;
    for (V2 p : pts)
        ids.push_back(s.addPoint(p));
    for (size_t i = 0; i < ids.size(); ++i)
        s.addLine(ids[i], ids[(i + 1) % ids.size()]);
}

void addRect(Sketch& s, double x0, double y0, double x1, double y1) {
    addPolygon(s, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

Id addCircle(Sketch& s, V2 c, double r) {
    const Id centre = s.addPoint(c);
    const Id id = s.newId();
    s.circles.push_back({id, centre, r, false});
    return id;
}

Feature& DocBuilder::add(const std::string& kind, const std::string& name) {
    Feature f(doc.newId(), kind, name + std::to_string(doc.count(kind) + 1));
    if (kind != fk::sketch) f.sketch.reset();
    doc.features.push_back(std::move(f));
    doc.marker = static_cast<std::int64_t>(doc.features.size());
    return doc.features.back();
}

Id DocBuilder::sketch(Sketch s, const std::string& name) {
    Feature& f = add(fk::sketch, name);
    f.sketch = std::move(s);
    return f.id;
}

Id DocBuilder::extrude(Id sketchId, std::vector<V2> picks, double distance,
                       const std::string& operation, Id target) {
    Feature& f = add(fk::extrude, "Extrusion");
    f.extrude = ExtrudeP{sketchId, std::move(picks), distance, false, operation, target, {}};
    return f.id;
}

Id DocBuilder::revolve(Id sketchId, std::vector<V2> picks, Id axis, double angle,
                       const std::string& operation, Id target) {
    Feature& f = add(fk::revolve, "Révolution");
    f.revolve = RevolveP{sketchId, std::move(picks), axis, angle, operation, target};
    return f.id;
}

Id DocBuilder::fillet(Id extrudeId, const std::string& edges, double radius, bool chamfer) {
    Feature& f = add(fk::fillet, chamfer ? "Chanfrein" : "Congé");
    f.fillet = FilletP{extrudeId, edges, radius, chamfer};
    return f.id;
}

Id DocBuilder::combine(Id target, Id tool, const std::string& operation, bool keep) {
    Feature& f = add(fk::combine, "Combinaison");
    f.combine = CombineP{target, tool, operation, keep};
    return f.id;
}

Id DocBuilder::remove(Id bodyId) {
    Feature& f = add(fk::remove, "Suppression");
    f.removeBody = bodyId;
    return f.id;
}

}  // namespace ivo::testing
