// The document record: the timeline of features with their parameters, the marker, hidden
// bodies, the id counter and body names. The file format is in doc_json.h; evaluation
// results (bodies) are computed elsewhere and never stored.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sketch/sketch.h"

namespace ivo {

// Feature kinds and operations are strings in the file so that unknown ones survive a
// round trip; these are the ones the evaluator understands.
namespace fk {
inline constexpr const char* sketch = "sketch";
inline constexpr const char* extrude = "extrude";
inline constexpr const char* revolve = "revolve";
inline constexpr const char* fillet = "fillet";
inline constexpr const char* combine = "combine";
inline constexpr const char* remove = "remove";
}  // namespace fk

namespace op {
inline constexpr const char* join = "join";
inline constexpr const char* cut = "cut";
inline constexpr const char* intersect = "intersect";
inline constexpr const char* newBody = "new";
}  // namespace op

struct ExtrudeP {
    Id sketch = 0;
    std::vector<V2> picks;  // one sketch point per picked region
    double distance = 0;    // mm along the sketch normal; negative goes the other way
    bool symmetric = false;
    std::string op = op::join;
    Id target = 0;  // 0 or negative: no particular body
    // Up-to-face plane (nx, ny, nz, w); replaces `distance` when it holds four numbers.
    std::optional<std::vector<double>> toFace;
    friend bool operator==(const ExtrudeP&, const ExtrudeP&) = default;
};

struct RevolveP {
    Id sketch = 0;
    std::vector<V2> picks;
    // A line id of the sketch, −2 for the vertical axis; anything else the horizontal axis.
    Id axis = -1;
    double angle = 360;  // degrees
    std::string op = op::join;
    Id target = 0;
    friend bool operator==(const RevolveP&, const RevolveP&) = default;
};

struct FilletP {
    Id feature = 0;             // the extrude feature treated
    std::string edges = "top";  // "top", "bottom" or "both"
    double radius = 1;
    bool chamfer = false;
    friend bool operator==(const FilletP&, const FilletP&) = default;
};

struct CombineP {
    Id target = 0;
    Id tool = 0;
    std::string op = op::join;  // "join", "cut" or "intersect"; anything else joins
    bool keep = false;          // keep the tool body
    friend bool operator==(const CombineP&, const CombineP&) = default;
};

struct Feature {
    Id id = 0;
    std::string kind;
    std::string name;
    bool suppressed = false;
    std::optional<Sketch> sketch;
    std::optional<ExtrudeP> extrude;
    std::optional<RevolveP> revolve;
    std::optional<FilletP> fillet;
    std::optional<CombineP> combine;
    std::optional<Id> removeBody;

    Feature() = default;
    // A new feature carries a new empty sketch; the caller fills the member of its kind.
    Feature(Id id_, std::string kind_, std::string name_)
        : id(id_), kind(std::move(kind_)), name(std::move(name_)), sketch(Sketch()) {}

    friend bool operator==(const Feature&, const Feature&) = default;
};

struct Doc {
    std::int64_t version = 1;
    std::vector<Feature> features;
    std::int64_t marker = 0;  // only the first `marker` features are evaluated
    std::vector<Id> hidden;   // body ids hidden from view
    Id nextId = 1;
    std::optional<std::map<std::string, std::string>> bodyNames;  // decimal body id → name

    Id newId() { return nextId++; }
    // Position of the first feature with this id.
    std::optional<size_t> index(Id featureId) const;
    // Features of this kind, suppressed ones included.
    int count(const std::string& kind) const;

    friend bool operator==(const Doc&, const Doc&) = default;
};

}  // namespace ivo
