// Replay of the timeline: sketches, extrusions, revolutions, fillets, combinations and
// removals, each failure recorded against its feature.
#include "document/evaluator.h"

#include <algorithm>
#include <cmath>

#include "geometry/extrude.h"
#include "sketch/edit_support.h"
#include "sketch/profiles.h"

namespace ivo {
namespace {

std::vector<const Feature*> activeFeatures(const Doc& doc, std::optional<std::int64_t> upTo) {
    const std::int64_t limit = upTo.value_or(doc.marker);
    const size_t n =
        limit <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(limit), doc.features.size());
    std::vector<const Feature*> active;
    for (size_t i = 0; i < n; ++i)
        if (!doc.features[i].suppressed) active.push_back(&doc.features[i]);
    return active;
}

// Fillets act on their extrusion wherever they stand among the active features.
std::map<Id, std::vector<FilletP>> filletsByTarget(const std::vector<const Feature*>& active) {
    std::map<Id, std::vector<FilletP>> fillets;
    for (const Feature* f : active)
        if (f->kind == fk::fillet && f->fillet) fillets[f->fillet->feature].push_back(*f->fillet);
    return fillets;
}

bool extrusionActive(const std::vector<const Feature*>& active, Id id) {
    for (const Feature* f : active)
        if (f->id == id && f->kind == fk::extrude) return true;
    return false;
}

void fail(EvalState& st, Id id, const char* message) {
    st.errors.insert(id);
    st.messages[id] = message;
}

std::shared_ptr<const Solid> share(Solid s) {
    return std::make_shared<const Solid>(std::move(s));
}

void newBody(EvalState& st, Id id, Solid solid) {
    ++st.bodyCounter;
    st.bodies.push_back({id, "Corps " + std::to_string(st.bodyCounter), share(std::move(solid))});
}

void dropEmptyBodies(EvalState& st) {
    std::erase_if(st.bodies, [](const Body& b) { return b.solid->empty(); });
}

// The union of the solids of one feature's regions. Pairwise, in rounds, rather than into
// one growing accumulator: the point set is the same, but each polygon is handled a
// logarithmic number of times instead of once per later region (a plate of 100 holes
// would otherwise copy its accumulator 100 times).
Solid uniteAll(std::vector<Solid> parts) {
    if (parts.empty()) return {};
    while (parts.size() > 1) {
        std::vector<Solid> next;
        next.reserve((parts.size() + 1) / 2);
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            next.push_back(CSG::unite(parts[i], parts[i + 1]));
        if (parts.size() % 2) next.push_back(std::move(parts.back()));
        parts = std::move(next);
    }
    return std::move(parts.front());
}

Body* bodyWithId(EvalState& st, Id id) {
    for (Body& b : st.bodies)
        if (b.id == id) return &b;
    return nullptr;
}

// Applies a new solid with the feature's operation on its target body (or on all bodies).
void apply(EvalState& st, Id featureId, Solid solid, const std::string& operation, Id target) {
    if (solid.empty()) return fail(st, featureId, evalmsg::empty);
    Body* t = target >= 1 ? bodyWithId(st, target) : nullptr;
    if (operation == op::join) {
        if (!t && st.bodies.empty()) return newBody(st, featureId, std::move(solid));
        if (!t) t = &st.bodies.back();
        t->solid = share(CSG::unite(*t->solid, solid));
        return;
    }
    if (operation == op::cut || operation == op::intersect) {
        if (st.bodies.empty()) return fail(st, featureId, evalmsg::nothingToModify);
        const bool cut = operation == op::cut;
        for (Body& b : st.bodies) {
            if (t && &b != t) continue;
            b.solid = share(cut ? CSG::subtract(*b.solid, solid) : CSG::intersect(*b.solid, solid));
        }
        dropEmptyBodies(st);
        return;
    }
    newBody(st, featureId, std::move(solid));
}

// Solids are only built within 1e9 mm of the origin, the reach of the sketch operations:
// beyond it the kernel's tolerances mean nothing, and far beyond it squared lengths
// overflow (a face normal turns infinite and the face is lost from the solid).
bool modelInReach(V3 p) {
    return inReach(p.x) && inReach(p.y) && inReach(p.z);
}

// Every corner of the regions in model space, on the sketch plane and lifted to the
// heights z0 and z1 along its normal, within reach.
bool regionsInReach(const std::vector<Region>& regions, const SketchPlane& plane, double z0,
                    double z1) {
    auto loopInReach = [&](const Loop& loop) {
        return std::all_of(loop.begin(), loop.end(), [&](V2 p) {
            const V3 q = plane.to3D(p);
            return inReach(p) && modelInReach(q) && modelInReach(q + plane.n * z0) &&
                   modelInReach(q + plane.n * z1);
        });
    };
    return std::all_of(regions.begin(), regions.end(), [&](const Region& r) {
        return loopInReach(r.outer) && std::all_of(r.holes.begin(), r.holes.end(), loopInReach);
    });
}

const Sketch* sketchFor(const EvalState& st, Id id) {
    const auto it = st.sketches.find(id);
    return it == st.sketches.end() ? nullptr : it->second.get();
}

void extrude(EvalState& st, const Feature& f, const std::vector<FilletP>& fillets) {
    const Sketch* sketch = f.extrude ? sketchFor(st, f.extrude->sketch) : nullptr;
    if (!sketch) return fail(st, f.id, evalmsg::noSketch);
    const ExtrudeP& e = *f.extrude;
    const std::vector<Region> regions = Evaluator::pickRegions(*sketch, e.picks);
    if (regions.empty()) return fail(st, f.id, evalmsg::noProfile);
    double loR = 0, hiR = 0;
    bool chamfer = false;
    for (const FilletP& p : fillets) {
        if (p.edges == "top" || p.edges == "both") hiR = std::max(hiR, p.radius);
        if (p.edges == "bottom" || p.edges == "both") loR = std::max(loR, p.radius);
        chamfer = chamfer || p.chamfer;
    }
    const std::optional<double> d = Evaluator::extrudeDistance(e, *sketch, regions);
    if (!d) return fail(st, f.id, evalmsg::faceUnreachable);
    double z0 = 0, z1 = *d;
    if (e.symmetric) {
        z0 = -std::abs(*d) / 2;
        z1 = std::abs(*d) / 2;
    } else if (*d < 0) {
        // "top" always names the cap at the far end of the extrusion.
        std::swap(loR, hiR);
    }
    if (!inReach(*d) || !inReach(loR) || !inReach(hiR) ||
        !regionsInReach(regions, sketch->plane, z0, z1))
        return fail(st, f.id, evalmsg::outOfReach);
    const Frame frame = sketch->plane.frame();
    std::vector<Solid> parts;
    for (const Region& r : regions)
        parts.push_back(extrudeRegion(r, frame, z0, z1, loR, hiR, chamfer));
    apply(st, f.id, uniteAll(std::move(parts)), e.op, e.target);
}

void revolve(EvalState& st, const Feature& f) {
    const Sketch* sketch = f.revolve ? sketchFor(st, f.revolve->sketch) : nullptr;
    if (!sketch) return fail(st, f.id, evalmsg::noSketch);
    const RevolveP& rv = *f.revolve;
    const std::vector<Region> regions = Evaluator::pickRegions(*sketch, rv.picks);
    if (regions.empty()) return fail(st, f.id, evalmsg::noProfile);
    V2 axisP{0, 0}, axisD{1, 0};
    if (rv.axis == -2) {
        axisD = {0, 1};
    } else if (rv.axis > 0) {
        if (const auto line = sketch->line(rv.axis)) {
            axisP = sketch->pos(line->a).value_or(V2{});
            axisD = sketch->pos(line->b).value_or(V2{}) - axisP;
        }
    }
    if (!inReach(axisP) || !inReach(axisD) || !regionsInReach(regions, sketch->plane, 0, 0))
        return fail(st, f.id, evalmsg::outOfReach);
    if (!(axisD.length() >= 1e-9)) return fail(st, f.id, evalmsg::badAxis);
    const Frame frame = sketch->plane.frame();
    std::vector<Solid> parts;
    for (const Region& r : regions)
        parts.push_back(revolveRegion(r, frame, axisP, axisD, rv.angle));
    apply(st, f.id, uniteAll(std::move(parts)), rv.op, rv.target);
}

void combine(EvalState& st, const Feature& f) {
    const CombineP& c = *f.combine;
    Body* target = bodyWithId(st, c.target);
    const Body* tool = bodyWithId(st, c.tool);
    if (!target || !tool || target == tool) return fail(st, f.id, evalmsg::twoBodies);
    const Solid& a = *target->solid;
    const Solid& b = *tool->solid;
    target->solid = share(c.op == op::cut         ? CSG::subtract(a, b)
                          : c.op == op::intersect ? CSG::intersect(a, b)
                                                  : CSG::unite(a, b));
    if (!c.keep) std::erase_if(st.bodies, [&](const Body& x) { return x.id == c.tool; });
    dropEmptyBodies(st);
}

// Evaluates one active feature on the state.
void step(EvalState& st, const Feature& f, const std::vector<FilletP>& fillets, bool targetActive) {
    if (f.kind == fk::sketch) {
        if (f.sketch) st.sketches[f.id] = std::make_shared<const Sketch>(*f.sketch);
    } else if (f.kind == fk::extrude) {
        extrude(st, f, fillets);
    } else if (f.kind == fk::revolve) {
        revolve(st, f);
    } else if (f.kind == fk::fillet) {
        if (f.fillet && !targetActive) fail(st, f.id, evalmsg::noExtrusion);
    } else if (f.kind == fk::combine) {
        if (f.combine) combine(st, f);
    } else if (f.kind == fk::remove) {
        if (f.removeBody)
            std::erase_if(st.bodies, [&](const Body& b) { return b.id == *f.removeBody; });
    }
}

EvalResult resultOf(const EvalState& st) {
    return {st.bodies, st.errors, st.messages};
}

}  // namespace

std::string displayName(const Doc& doc, const Body& body) {
    if (doc.bodyNames) {
        const auto it = doc.bodyNames->find(std::to_string(body.id));
        if (it != doc.bodyNames->end()) return it->second;
    }
    return body.name;
}

namespace Evaluator {

EvalResult run(const Doc& doc, std::optional<std::int64_t> upTo) {
    return Evaluation().run(doc, upTo);
}

std::vector<Region> pickRegions(const Sketch& sketch, const std::vector<V2>& picks) {
    if (picks.empty()) return {};
    const std::vector<Region> regions = sketch.regions();
    std::vector<double> areas;
    for (const Region& r : regions)
        areas.push_back(std::abs(r.area()));
    std::vector<size_t> taken;
    for (V2 p : picks) {
        std::optional<size_t> best;
        for (size_t i = 0; i < regions.size(); ++i)
            if (regions[i].contains(p) && (!best || areas[i] < areas[*best])) best = i;
        if (best && std::find(taken.begin(), taken.end(), *best) == taken.end())
            taken.push_back(*best);
    }
    std::vector<Region> out;
    for (size_t i : taken)
        out.push_back(regions[i]);
    return out;
}

std::optional<double> extrudeDistance(const ExtrudeP& e, const Sketch& sketch,
                                      const std::vector<Region>& regions) {
    if (!e.toFace || e.toFace->size() != 4) return e.distance;
    const std::vector<double>& tf = *e.toFace;
    const V3 n{tf[0], tf[1], tf[2]};
    const double den = sketch.plane.n.dot(n);
    if (!(std::abs(den) >= 1e-6) || regions.empty()) return std::nullopt;
    V2 c;
    for (const Region& r : regions)
        c = c + regionPoint(r);
    c = c / static_cast<double>(regions.size());
    const V3 P = sketch.plane.to3D(c);
    const double d = (tf[3] - n.dot(P)) / den;
    if (!(std::abs(d) >= 1e-6)) return std::nullopt;
    return d;
}

}  // namespace Evaluator

EvalResult Evaluation::run(const Doc& doc, std::optional<std::int64_t> upTo) {
    const std::vector<const Feature*> active = activeFeatures(doc, upTo);
    const auto fillets = filletsByTarget(active);
    static const std::vector<FilletP> noFillets;
    // What a feature reads from outside the timeline prefix before it.
    auto filletsOf = [&](const Feature& f) -> const std::vector<FilletP>& {
        if (f.kind != fk::extrude) return noFillets;
        const auto it = fillets.find(f.id);
        return it == fillets.end() ? noFillets : it->second;
    };
    auto targetActiveOf = [&](const Feature& f) {
        return f.kind == fk::fillet && f.fillet && extrusionActive(active, f.fillet->feature);
    };

    // Keep the longest prefix whose features and outside inputs are unchanged.
    size_t keep = 0;
    for (; keep < active.size() && keep < steps_.size(); ++keep) {
        const Feature& f = *active[keep];
        const Step& before = steps_[keep];
        if (!(before.feature == f) || before.fillets != filletsOf(f) ||
            before.targetActive != targetActiveOf(f))
            break;
    }
    steps_.resize(keep);
    recomputed_ = active.size() - keep;

    EvalState st = keep ? steps_.back().after : EvalState{};
    for (size_t i = keep; i < active.size(); ++i) {
        const Feature& f = *active[i];
        Step s{f, filletsOf(f), targetActiveOf(f), {}};
        step(st, f, s.fillets, s.targetActive);
        s.after = st;
        steps_.push_back(std::move(s));
    }
    return resultOf(st);
}

}  // namespace ivo
