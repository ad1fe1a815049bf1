#include "app/model_selection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/evaluator.h"
#include "document/features.h"
#include "geometry/triangulate.h"

namespace ivo {

namespace {

const Sketch* sketchOf(const Doc& doc, Id id) {
    const std::optional<size_t> i = doc.index(id);
    if (!i) return nullptr;
    const Feature& f = doc.features[*i];
    return f.kind == fk::sketch && f.sketch ? &*f.sketch : nullptr;
}

constexpr Rgba selectionColor(double alpha) {
    return {0.1, 0.5, 1.0, alpha};
}

void addItem(SelectionHighlights& out, const Doc& doc,
             const std::map<Id, std::vector<Tri>>& bodyTris, const SelItem& item, double alpha) {
    switch (item.kind) {
        case SelItem::Kind::profile: {
            std::vector<Tri> tris = profileTris(doc, item);
            if (!tris.empty()) out.layers.push_back({std::move(tris), selectionColor(alpha)});
            break;
        }
        case SelItem::Kind::face:
            out.faces.push_back({{item.id, item.n, item.w}, selectionColor(alpha)});
            break;
        case SelItem::Kind::body: {
            const auto it = bodyTris.find(item.id);
            if (it != bodyTris.end() && !it->second.empty())
                out.layers.push_back({it->second, selectionColor(alpha * 0.6)});
            break;
        }
    }
}

}  // namespace

std::optional<SelItem> pickItem(const Doc& doc, const std::map<Id, std::vector<Tri>>& bodyTris,
                                const std::vector<Hit>& hits, V3 o, V3 d,
                                const std::string& selFilter) {
    std::optional<Tri> hitTri;
    Id hitBody = 0;
    double h = std::numeric_limits<double>::infinity();
    for (const Hit& hit : hits) {
        if (!hit.plane.empty()) continue;
        const auto it = bodyTris.find(hit.body);
        if (it == bodyTris.end() || hit.tri >= it->second.size()) continue;
        hitBody = hit.body;
        hitTri = it->second[hit.tri];
        h = (hit.pos - o).dot(d);
        break;
    }
    // The plane crossing and the triangle hit are computed differently, so a region drawn on
    // the hit face would lose to it by rounding about every other click.
    const double reach = std::isfinite(h) ? h + 1e-6 * std::max(1.0, std::abs(h)) : h;

    std::optional<SelItem> candidate;
    double best = 0;
    const auto count = static_cast<std::int64_t>(doc.features.size());
    const auto active = static_cast<size_t>(std::clamp<std::int64_t>(doc.marker, 0, count));
    for (size_t i = 0; i < active; ++i) {
        const Feature& f = doc.features[i];
        if (f.kind != fk::sketch || f.suppressed || !f.sketch || !f.sketch->visible) continue;
        const SketchPlane& plane = f.sketch->plane;
        const double den = plane.n.dot(d);
        if (std::abs(den) < 1e-9) continue;
        const double s = plane.n.dot(plane.o - o) / den;
        if (!(s > 0 && s <= reach)) continue;
        const V2 q = plane.to2D(o + d * s);
        if (Evaluator::pickRegions(*f.sketch, {q}).empty()) continue;
        if (!candidate || s < best) {
            candidate = SelItem::profile(f.id, q);
            best = s;
        }
    }
    if (candidate) return candidate;
    if (!hitTri) return std::nullopt;
    if (selFilter == "body") return SelItem::body(hitBody);
    return SelItem::face(hitBody, hitTri->n, hitTri->n.dot(hitTri->a));
}

bool sameItem(const Doc& doc, const SelItem& a, const SelItem& b) {
    if (a.kind != b.kind || a.id != b.id) return false;
    switch (a.kind) {
        case SelItem::Kind::profile: {
            const Sketch* sketch = sketchOf(doc, a.id);
            return sketch && sameRegion(*sketch, a.p, b.p);
        }
        case SelItem::Kind::face: return a.n.dot(b.n) > 0.9999 && std::abs(a.w - b.w) < 0.0001;
        case SelItem::Kind::body: return true;
    }
    return false;
}

void clickItem(std::vector<SelItem>& selection, const Doc& doc, const std::optional<SelItem>& item,
               bool additive) {
    if (!item) {
        if (!additive) selection.clear();
        return;
    }
    const auto same = std::find_if(selection.begin(), selection.end(),
                                   [&](const SelItem& s) { return sameItem(doc, s, *item); });
    if (same != selection.end()) {
        selection.erase(same);
    } else if (additive) {
        selection.push_back(*item);
    } else {
        selection = {*item};
    }
}

std::string selectionStatus(const std::vector<SelItem>& selection) {
    if (selection.empty()) return "";
    int profiles = 0, faces = 0, bodies = 0;
    for (const SelItem& s : selection) {
        switch (s.kind) {
            case SelItem::Kind::profile: ++profiles; break;
            case SelItem::Kind::face: ++faces; break;
            case SelItem::Kind::body: ++bodies; break;
        }
    }
    std::string text;
    auto part = [&](int n, const char* what) {
        if (n == 0) return;
        if (!text.empty()) text += ", ";
        text += std::to_string(n) + what;
    };
    part(profiles, " zone(s) d'esquisse");
    part(faces, " face(s)");
    part(bodies, " corps");
    return text + " — E pour extruder, Maj-clic pour ajouter, Échap pour annuler.";
}

std::vector<Tri> profileTris(const Doc& doc, const SelItem& item) {
    const Sketch* sketch = sketchOf(doc, item.id);
    if (!sketch) return {};
    const std::vector<Region> regions = Evaluator::pickRegions(*sketch, {item.p});
    if (regions.empty()) return {};
    const SketchPlane& plane = sketch->plane;
    std::vector<Tri> out;
    for (const Tri2& t : triangulate(regions.front().outer, regions.front().holes))
        out.push_back({plane.to3D(t[0]), plane.to3D(t[1]), plane.to3D(t[2]), plane.n});
    return out;
}

SelectionHighlights selectionHighlights(const Doc& doc,
                                        const std::map<Id, std::vector<Tri>>& bodyTris,
                                        const std::vector<SelItem>& selection,
                                        const std::optional<SelItem>& hover) {
    SelectionHighlights out;
    if (hover && std::none_of(selection.begin(), selection.end(),
                              [&](const SelItem& s) { return sameItem(doc, s, *hover); }))
        addItem(out, doc, bodyTris, *hover, 0.18);
    for (const SelItem& s : selection)
        addItem(out, doc, bodyTris, s, 0.42);
    return out;
}

}  // namespace ivo
