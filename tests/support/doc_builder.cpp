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

}  // namespace ivo::testing
