// Small queries of the document record.
#include "document/doc.h"

namespace ivo {

std::optional<size_t> Doc::index(Id featureId) const {
    for (size_t i = 0; i < features.size(); ++i)
        if (features[i].id == featureId) return i;
    return std::nullopt;
}

int Doc::count(const std::string& kind) const {
    int n = 0;
    for (const Feature& f : features)
        if (f.kind == kind) ++n;
    return n;
}

}  // namespace ivo
