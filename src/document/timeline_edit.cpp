// Timeline edits on the document record.
#include "document/timeline_edit.h"

#include <algorithm>
#include <set>

namespace ivo {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isSketchFeature(const Feature& f) {
    return f.kind == fk::sketch && f.sketch.has_value();
}

}  // namespace

bool names(const Feature& f, Id id) {
    if (f.kind == fk::extrude && f.extrude)
        return f.extrude->sketch == id || f.extrude->target == id;
    if (f.kind == fk::revolve && f.revolve)
        return f.revolve->sketch == id || f.revolve->target == id;
    if (f.kind == fk::fillet && f.fillet) return f.fillet->feature == id;
    if (f.kind == fk::combine && f.combine) return f.combine->target == id || f.combine->tool == id;
    if (f.kind == fk::remove && f.removeBody) return *f.removeBody == id;
    return false;
}

std::vector<size_t> dependants(const Doc& doc, size_t index) {
    if (index >= doc.features.size()) return {};
    // A dependant's own dependants would name a missing feature once it goes too; ids of
    // features and bodies share one space (a body is named after the feature that made it).
    std::set<Id> gone{doc.features[index].id};
    std::vector<bool> taken(doc.features.size(), false);
    taken[index] = true;
    for (bool grew = true; grew;) {
        grew = false;
        for (size_t k = 0; k < doc.features.size(); ++k) {
            if (taken[k]) continue;
            const Feature& f = doc.features[k];
            if (std::none_of(gone.begin(), gone.end(), [&](Id id) { return names(f, id); }))
                continue;
            taken[k] = true;
            gone.insert(f.id);
            grew = true;
        }
    }
    std::vector<size_t> out;
    for (size_t k = 0; k < taken.size(); ++k)
        if (taken[k] && k != index) out.push_back(k);
    return out;
}

bool deleteFeature(Doc& doc, size_t index, bool withDependants) {
    if (index >= doc.features.size()) return false;
    std::vector<size_t> doomed{index};
    if (withDependants) {
        const std::vector<size_t> more = dependants(doc, index);
        doomed.insert(doomed.end(), more.begin(), more.end());
    }
    std::sort(doomed.begin(), doomed.end());
    // From last to first, so that the indices still to remove stay valid.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        doc.features.erase(doc.features.begin() + static_cast<std::ptrdiff_t>(*it));
        if (static_cast<std::int64_t>(*it) < doc.marker) --doc.marker;
    }
    doc.marker = clampedMarker(doc, doc.marker);
    return true;
}

std::optional<std::string> cleanName(std::string_view typed) {
    size_t b = 0, e = typed.size();
    while (b < e && isBlank(typed[b]))
        ++b;
    while (e > b && isBlank(typed[e - 1]))
        --e;
    if (b == e) return std::nullopt;
    return std::string(typed.substr(b, e - b));
}

bool renameFeature(Doc& doc, size_t index, std::string_view typed) {
    const std::optional<std::string> name = cleanName(typed);
    if (!name || index >= doc.features.size()) return false;
    doc.features[index].name = *name;
    return true;
}

bool renameBody(Doc& doc, Id body, std::string_view typed) {
    const std::optional<std::string> name = cleanName(typed);
    if (!name) return false;
    if (!doc.bodyNames) doc.bodyNames.emplace();
    (*doc.bodyNames)[std::to_string(body)] = *name;
    return true;
}

bool toggleBodyHidden(Doc& doc, Id body) {
    const auto it = std::find(doc.hidden.begin(), doc.hidden.end(), body);
    if (it != doc.hidden.end()) {
        doc.hidden.erase(it);
        return false;
    }
    doc.hidden.push_back(body);
    return true;
}

bool toggleSketchVisible(Doc& doc, size_t index) {
    if (index >= doc.features.size() || !isSketchFeature(doc.features[index])) return false;
    Sketch& s = *doc.features[index].sketch;
    s.visible = !s.visible;
    return true;
}

std::int64_t clampedMarker(const Doc& doc, std::int64_t wanted) {
    return std::clamp<std::int64_t>(wanted, 0, static_cast<std::int64_t>(doc.features.size()));
}

namespace {

size_t insertAtMarker(Doc& doc, Feature f) {
    const auto at = static_cast<size_t>(clampedMarker(doc, doc.marker));
    doc.features.insert(doc.features.begin() + static_cast<std::ptrdiff_t>(at), std::move(f));
    doc.marker = static_cast<std::int64_t>(at) + 1;
    return at;
}

}  // namespace

size_t insertBodyRemoval(Doc& doc, Id body, const std::string& displayName) {
    Feature f(doc.newId(), fk::remove, "Supprimer " + displayName);
    f.sketch.reset();
    f.removeBody = body;
    return insertAtMarker(doc, std::move(f));
}

std::optional<size_t> duplicateSketch(Doc& doc, size_t index, double dx, double dy, double dz) {
    if (index >= doc.features.size() || !isSketchFeature(doc.features[index])) return std::nullopt;
    const Feature& source = doc.features[index];
    std::optional<Sketch> copy = source.sketch->duplicated(dx, dy, dz);
    if (!copy) return std::nullopt;
    Feature f(doc.newId(), fk::sketch, source.name + " (copie)");
    f.sketch = std::move(*copy);
    return insertAtMarker(doc, std::move(f));
}

}  // namespace ivo
