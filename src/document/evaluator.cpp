// Replay of the timeline: sketches, extrusions, revolutions, fillets, combinations and
// removals, each failure recorded against its feature.
#include "document/evaluator.h"

#include <algorithm>
#include <bit>
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

template <class S>
std::shared_ptr<const BodySolid> share(S s) {
    return std::make_shared<const BodySolid>(std::move(s));
}

void newBody(EvalState& st, Id id, Solid solid) {
    ++st.bodyCounter;
    st.bodies.push_back({id, "Corps " + std::to_string(st.bodyCounter), share(std::move(solid))});
}

void dropEmptyBodies(EvalState& st) {
    std::erase_if(st.bodies, [](const EvalBody& b) { return b.solid->empty(); });
}

// The union of overlapping solids, pairwise in rounds rather than into one growing
// accumulator: the point set is the same, but each polygon is handled a logarithmic number
// of times instead of once per later part.
Solid uniteRounds(std::vector<Solid> parts) {
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

// The union of the solids of one feature's regions. Parts whose boxes overlap, directly or
// through others, are united through the trees; the groups so formed lie apart from one
// another (every solid lies within its box), so their union is their concatenation, in the
// order of each group's first part. A hundred separate holes then cost no tree at all.
Solid uniteAll(std::vector<Solid> parts) {
    const size_t n = parts.size();
    std::vector<Box3> boxes(n);
    std::vector<size_t> byLo(n), group(n);
    for (size_t i = 0; i < n; ++i) {
        boxes[i] = solidBox(parts[i]);
        byLo[i] = group[i] = i;
    }
    auto root = [&](size_t i) {
        while (group[i] != i)
            i = group[i] = group[group[i]];
        return i;
    };
    // Sorted by their low x, the parts that can overlap a part follow it closely.
    std::sort(byLo.begin(), byLo.end(),
              [&](size_t a, size_t b) { return boxes[a].lo.x < boxes[b].lo.x; });
    for (size_t k = 0; k < n; ++k) {
        const Box3& bk = boxes[byLo[k]];
        if (bk.isEmpty()) continue;
        for (size_t m = k + 1; m < n && boxes[byLo[m]].lo.x - 1e-6 <= bk.hi.x; ++m) {
            if (!bk.overlaps(boxes[byLo[m]])) continue;
            const size_t a = root(byLo[k]), b = root(byLo[m]);
            group[std::max(a, b)] = std::min(a, b);  // a group's root is its first part
        }
    }
    std::vector<std::vector<Solid>> groups;
    std::vector<size_t> slot(n, n);
    for (size_t i = 0; i < n; ++i) {
        const size_t r = root(i);
        if (slot[r] == n) {
            slot[r] = groups.size();
            groups.emplace_back();
        }
        groups[slot[r]].push_back(std::move(parts[i]));
    }
    std::vector<Solid> united;
    size_t total = 0;
    for (std::vector<Solid>& g : groups) {
        united.push_back(uniteRounds(std::move(g)));
        total += united.back().size();
    }
    if (united.size() == 1) return std::move(united.front());
    Solid out;
    out.reserve(total);
    for (Solid& s : united)
        out.insert(out.end(), std::make_move_iterator(s.begin()), std::make_move_iterator(s.end()));
    return out;
}

EvalBody* bodyWithId(EvalState& st, Id id) {
    for (EvalBody& b : st.bodies)
        if (b.id == id) return &b;
    return nullptr;
}

// Applies a new solid with the feature's operation on its target body (or on all bodies).
// The bodies of the last feature of a run (`lastFeature`) are shown, and only cut again when a
// feature is added after it: they are made as the flat solids the results show, and put in
// blocks only then.
void apply(EvalState& st, Id featureId, Solid solid, const std::string& operation, Id target,
           bool lastFeature) {
    if (solid.empty()) return fail(st, featureId, evalmsg::empty);
    EvalBody* t = target >= 1 ? bodyWithId(st, target) : nullptr;
    if (operation == op::join) {
        if (!t && st.bodies.empty()) return newBody(st, featureId, std::move(solid));
        if (!t) t = &st.bodies.back();
        const SolidBlocks& a = t->solid->blocks();
        t->solid =
            lastFeature ? share(CSG::uniteFlat(a, solid)) : share(CSG::uniteBlocks(a, solid));
        return;
    }
    if (operation == op::cut || operation == op::intersect) {
        if (st.bodies.empty()) return fail(st, featureId, evalmsg::nothingToModify);
        const bool cut = operation == op::cut;
        // The last body cut may take the tool's polygons (its walls then go to the result
        // turned in place rather than copied).
        const EvalBody* lastCut = t ? t : &st.bodies.back();
        for (EvalBody& b : st.bodies) {
            if (t && &b != t) continue;
            const SolidBlocks& a = b.solid->blocks();
            if (!cut)
                b.solid = lastFeature ? share(CSG::intersectFlat(a, solid))
                                      : share(CSG::intersectBlocks(a, solid));
            else if (&b == lastCut)
                b.solid = lastFeature ? share(CSG::subtractFlat(a, std::move(solid)))
                                      : share(CSG::subtractBlocks(a, std::move(solid)));
            else
                b.solid = lastFeature ? share(CSG::subtractFlat(a, solid))
                                      : share(CSG::subtractBlocks(a, solid));
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

const SketchProfiles* sketchFor(const EvalState& st, Id id) {
    const auto it = st.sketches.find(id);
    return it == st.sketches.end() ? nullptr : it->second.get();
}

std::vector<Region> regionsOf(const SketchProfiles& profiles, const std::vector<size_t>& picked) {
    std::vector<Region> out;
    out.reserve(picked.size());
    for (size_t i : picked)
        out.push_back(profiles.region(i));
    return out;
}

void extrude(EvalState& st, const Feature& f, const std::vector<FilletP>& fillets, bool last) {
    const SketchProfiles* profiles = f.extrude ? sketchFor(st, f.extrude->sketch) : nullptr;
    if (!profiles) return fail(st, f.id, evalmsg::noSketch);
    const Sketch* sketch = &profiles->sketch();
    const ExtrudeP& e = *f.extrude;
    const std::vector<size_t> picked = profiles->picked(e.picks);
    const std::vector<Region> regions = regionsOf(*profiles, picked);
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
    for (size_t i : picked)
        parts.push_back(extrudeRegion(profiles->region(i), frame, z0, z1, loR, hiR, chamfer,
                                      &profiles->caps(i)));
    apply(st, f.id, uniteAll(std::move(parts)), e.op, e.target, last);
}

void revolve(EvalState& st, const Feature& f, bool last) {
    const SketchProfiles* profiles = f.revolve ? sketchFor(st, f.revolve->sketch) : nullptr;
    if (!profiles) return fail(st, f.id, evalmsg::noSketch);
    const Sketch* sketch = &profiles->sketch();
    const RevolveP& rv = *f.revolve;
    const std::vector<size_t> picked = profiles->picked(rv.picks);
    const std::vector<Region> regions = regionsOf(*profiles, picked);
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
    for (size_t i : picked)
        parts.push_back(
            revolveRegion(profiles->region(i), frame, axisP, axisD, rv.angle, &profiles->caps(i)));
    apply(st, f.id, uniteAll(std::move(parts)), rv.op, rv.target, last);
}

void combine(EvalState& st, const Feature& f) {
    const CombineP& c = *f.combine;
    EvalBody* target = bodyWithId(st, c.target);
    const EvalBody* tool = bodyWithId(st, c.tool);
    if (!target || !tool || target == tool) return fail(st, f.id, evalmsg::twoBodies);
    const SolidBlocks& a = target->solid->blocks();
    const SolidBlocks& b = tool->solid->blocks();
    target->solid = share(c.op == op::cut         ? CSG::subtractBlocks(a, b)
                          : c.op == op::intersect ? CSG::intersectBlocks(a, b)
                                                  : CSG::uniteBlocks(a, b));
    if (!c.keep) std::erase_if(st.bodies, [&](const EvalBody& x) { return x.id == c.tool; });
    dropEmptyBodies(st);
}

// Evaluates one active feature on the state, `last` when it is the run's last. A sketch
// equal to the one the previous run kept under the same id (`known`) is taken with the
// profiles found for it then.
void step(EvalState& st, const Feature& f, const std::vector<FilletP>& fillets, bool targetActive,
          const std::map<Id, std::shared_ptr<const SketchProfiles>>& known, bool last) {
    if (f.kind == fk::sketch) {
        if (f.sketch) {
            const auto it = known.find(f.id);
            st.sketches[f.id] = it != known.end() && it->second->sketch() == *f.sketch
                                    ? it->second
                                    : std::make_shared<const SketchProfiles>(*f.sketch);
        }
    } else if (f.kind == fk::extrude) {
        extrude(st, f, fillets, last);
    } else if (f.kind == fk::revolve) {
        revolve(st, f, last);
    } else if (f.kind == fk::fillet) {
        if (f.fillet && !targetActive) fail(st, f.id, evalmsg::noExtrusion);
    } else if (f.kind == fk::combine) {
        if (f.combine) combine(st, f);
    } else if (f.kind == fk::remove) {
        if (f.removeBody)
            std::erase_if(st.bodies, [&](const EvalBody& b) { return b.id == *f.removeBody; });
    }
}

EvalResult resultOf(const EvalState& st) {
    EvalResult r{{}, st.errors, st.messages};
    r.bodies.reserve(st.bodies.size());
    for (const EvalBody& b : st.bodies)
        r.bodies.push_back({b.id, b.name, b.solid->flat()});
    return r;
}

}  // namespace

BodySolid::BodySolid(SolidBlocks blocks)
    : empty_(blocks.empty()), inBlocks_(true), blocks_(std::move(blocks)) {}

BodySolid::BodySolid(Solid flat)
    : empty_(flat.empty()), flat_(std::make_shared<const Solid>(std::move(flat))) {}

const SolidBlocks& BodySolid::blocks() const {
    std::call_once(blocksOnce_, [this] {
        if (!inBlocks_) blocks_ = SolidBlocks(*flat_);
    });
    return blocks_;
}

const std::shared_ptr<const Solid>& BodySolid::flat() const {
    std::call_once(flatOnce_, [this] {
        if (inBlocks_) flat_ = std::make_shared<const Solid>(blocks_.flat());
    });
    return flat_;
}

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
    return SketchProfiles(sketch).pick(picks);
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

const SketchProfiles::Profiles& SketchProfiles::profiles() const {
    std::call_once(once_, [this] {
        Profiles& p = profiles_;
        p.regions = sketch_.regions();
        for (const Region& r : p.regions) {
            p.areas.push_back(std::abs(r.area()));
            V2 lo{Box3::inf, Box3::inf}, hi{-Box3::inf, -Box3::inf};
            for (V2 q : r.outer) {
                lo = {std::min(lo.x, q.x), std::min(lo.y, q.y)};
                hi = {std::max(hi.x, q.x), std::max(hi.y, q.y)};
            }
            p.lo.push_back(lo);
            p.hi.push_back(hi);
        }
        p.capsOnce = std::make_unique<std::once_flag[]>(p.regions.size());
        p.caps.resize(p.regions.size());
    });
    return profiles_;
}

const std::vector<Tri2>& SketchProfiles::caps(size_t i) const {
    const Profiles& p = profiles();
    std::call_once(p.capsOnce[i], [&] { profiles_.caps[i] = regionCaps(p.regions[i]); });
    return p.caps[i];
}

std::vector<Region> SketchProfiles::pick(const std::vector<V2>& picks) const {
    return regionsOf(*this, picked(picks));
}

std::vector<size_t> SketchProfiles::picked(const std::vector<V2>& picks) const {
    if (picks.empty()) return {};
    const Profiles& p = profiles();
    std::vector<size_t> taken;
    for (V2 q : picks) {
        std::optional<size_t> best;
        for (size_t i = 0; i < p.regions.size(); ++i) {
            // Off its outer loop's box a point is outside the region: the crossing test
            // cannot count an odd number of crossings there. The margin covers the
            // rounding of the crossing abscissa.
            const double mx = 1e-9 * (1 + std::abs(q.x));
            if (q.y < p.lo[i].y || q.y > p.hi[i].y || q.x < p.lo[i].x - mx || q.x > p.hi[i].x + mx)
                continue;
            if (p.regions[i].contains(q) && (!best || p.areas[i] < p.areas[*best])) best = i;
        }
        if (best && std::find(taken.begin(), taken.end(), *best) == taken.end())
            taken.push_back(*best);
    }
    return taken;
}

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
    // The sketches of the last run, whose profiles an unchanged sketch takes over.
    std::map<Id, std::shared_ptr<const SketchProfiles>> known;
    if (!steps_.empty() && steps_.back().after) known = steps_.back().after->sketches;
    steps_.resize(keep);
    // Replayed from the closest state held.
    size_t from = keep;
    while (from > 0 && !steps_[from - 1].after)
        --from;
    recomputed_ = active.size() - from;

    const size_t n = active.size();
    auto held = [n](size_t i) {
        const size_t d = n - 1 - i;
        return d < 4 || (i + 1) % std::bit_floor(d / 2) == 0;
    };
    EvalState st = from ? *steps_[from - 1].after : EvalState{};
    for (size_t i = from; i < n; ++i) {
        const Feature& f = *active[i];
        if (i >= keep) steps_.push_back({f, filletsOf(f), targetActiveOf(f), {}});
        step(st, f, steps_[i].fillets, steps_[i].targetActive, known, i + 1 == n);
        if (held(i)) steps_[i].after = st;
    }
    for (size_t i = 0; i < from; ++i)
        if (!held(i)) steps_[i].after.reset();
    return resultOf(st);
}

}  // namespace ivo
