// Replays a document's timeline into bodies, with a French message for each failing
// feature. Results depend only on the document; an Evaluation remembers the state after
// each feature so that re-running after an edit recomputes only from the first change.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "document/doc.h"
#include "geometry/csg.h"
#include "geometry/triangulate.h"

namespace ivo {

struct Body {
    Id id = 0;         // the feature that created it
    std::string name;  // "Corps N", numbered per run
    // Immutable and shared between runs, so an unchanged body is neither copied nor
    // re-meshed by its viewers.
    std::shared_ptr<const Solid> solid = std::make_shared<const Solid>();

    friend bool operator==(const Body& a, const Body& b) {
        return a.id == b.id && a.name == b.name && *a.solid == *b.solid;
    }
};

struct EvalResult {
    std::vector<Body> bodies;  // creation order
    std::set<Id> errors;
    std::map<Id, std::string> messages;
    friend bool operator==(const EvalResult&, const EvalResult&) = default;
};

// The name shown for a body: its entry in the document's bodyNames, else its default name.
std::string displayName(const Doc& doc, const Body& body);

// Messages of failing features.
namespace evalmsg {
inline constexpr const char* noSketch = "Esquisse introuvable.";
inline constexpr const char* noProfile = "Aucun profil sélectionné.";
inline constexpr const char* faceUnreachable = "La face visée est perpendiculaire à l'esquisse.";
inline constexpr const char* badAxis = "Axe invalide.";
inline constexpr const char* noExtrusion = "Extrusion visée introuvable.";
inline constexpr const char* twoBodies = "Choisissez deux corps différents.";
inline constexpr const char* empty = "Le résultat est vide.";
inline constexpr const char* nothingToModify = "Aucun corps à modifier.";
inline constexpr const char* outOfReach = "Géométrie hors limites (plus de 1 000 km).";
}  // namespace evalmsg

namespace Evaluator {

// Evaluates the first `upTo` features (the document's marker when absent).
EvalResult run(const Doc& doc, std::optional<std::int64_t> upTo = std::nullopt);

// The regions picked by the points, each once, in order of first pick; each point selects
// the smallest region containing it.
std::vector<Region> pickRegions(const Sketch& sketch, const std::vector<V2>& picks);

// Signed extrusion length; nothing when an up-to-face plane cannot be reached.
std::optional<double> extrudeDistance(const ExtrudeP& extrude, const Sketch& sketch,
                                      const std::vector<Region>& regions);

}  // namespace Evaluator

// A sketch as its features read it. Its regions, with their areas and the boxes of their
// outer loops, are worked out by the first feature that picks from it and kept for all the
// others: a sketch of a thousand circles read by a thousand cuts finds its profiles once.
// So are the triangles of each region's caps, when a feature first turns it into a solid:
// an edit of an extrusion's distance triangulates nothing again.
class SketchProfiles {
public:
    explicit SketchProfiles(Sketch s) : sketch_(std::move(s)) {}
    const Sketch& sketch() const { return sketch_; }
    // Evaluator::pickRegions on this sketch.
    std::vector<Region> pick(const std::vector<V2>& picks) const;
    // The same regions as indices for region() and caps().
    std::vector<size_t> picked(const std::vector<V2>& picks) const;
    const Region& region(size_t i) const { return profiles().regions[i]; }
    // regionCaps(region(i)).
    const std::vector<Tri2>& caps(size_t i) const;

private:
    struct Profiles {
        std::vector<Region> regions;
        std::vector<double> areas;  // |area|, by region
        std::vector<V2> lo, hi;     // bounds of each outer loop
        // By region, each found when first asked for.
        std::unique_ptr<std::once_flag[]> capsOnce;
        std::vector<std::vector<Tri2>> caps;
    };
    const Profiles& profiles() const;

    Sketch sketch_;
    mutable std::once_flag once_;
    mutable Profiles profiles_;
};

// A body's solid while the timeline is replayed: in blocks, so that a feature rebuilds only
// what it comes near and the states held share the rest, and as the one flat list the
// results show. Each form is made from the other when first asked for and kept (an
// unchanged body keeps its flat solid from run to run, and a body no feature touches
// after its own is never put in blocks).
class BodySolid {
public:
    explicit BodySolid(SolidBlocks blocks);
    explicit BodySolid(Solid flat);
    bool empty() const { return empty_; }
    const SolidBlocks& blocks() const;
    const std::shared_ptr<const Solid>& flat() const;

private:
    bool empty_ = true;
    bool inBlocks_ = false;
    mutable std::once_flag blocksOnce_, flatOnce_;
    mutable SolidBlocks blocks_;
    mutable std::shared_ptr<const Solid> flat_;
};

struct EvalBody {
    Id id = 0;
    std::string name;
    std::shared_ptr<const BodySolid> solid;
};

// The working state of a run after some features.
struct EvalState {
    std::vector<EvalBody> bodies;
    std::set<Id> errors;
    std::map<Id, std::string> messages;
    std::map<Id, std::shared_ptr<const SketchProfiles>> sketches;  // by sketch feature id
    int bodyCounter = 0;
};

// Incremental evaluation: gives exactly Evaluator::run's result, reusing the states after the
// longest unchanged prefix of active features from the previous call. It holds the states
// after the last few features and, farther back, ever fewer of them (two between 2^k and
// 2^(k+1) features before the end), so that its memory grows with the model rather than
// with the square of its history; an edit recomputes from the closest state held, at most
// half as many features again as follow the edit.
class Evaluation {
public:
    EvalResult run(const Doc& doc, std::optional<std::int64_t> upTo = std::nullopt);
    // Features evaluated afresh by the last run (the others were reused).
    size_t lastRecomputed() const { return recomputed_; }
    void clear() { steps_.clear(); }

private:
    // One active feature with everything outside it that its evaluation reads (the fillets
    // aimed at an extrusion, whether a fillet's extrusion is active), and the state after it
    // when that is held.
    struct Step {
        Feature feature;
        std::vector<FilletP> fillets;
        bool targetActive = false;
        std::optional<EvalState> after;
    };
    std::vector<Step> steps_;
    size_t recomputed_ = 0;
};

}  // namespace ivo
