// Identifier checks and counter repair after decoding.
#include "document/doc_ids.h"

#include <algorithm>

namespace ivo {
namespace {

bool inRange(Id v) {
    return v > -kIdLimit && v < kIdLimit;
}

// Checks one id, keeping the largest seen; false with the located reason.
bool take(Id v, const std::string& at, Id& largest, std::string& reason) {
    if (!inRange(v)) {
        reason = at + " : identifiant hors limites (2⁵³ ou plus en valeur absolue)";
        return false;
    }
    largest = std::max(largest, v);
    return true;
}

// Raises `counter` (found at `at`) above `largest`, and to at least 1.
bool settle(Id& counter, Id largest, const std::string& at, std::string& reason,
            std::vector<std::string>* notes) {
    if (!inRange(counter)) {
        reason = at + " : identifiant hors limites (2⁵³ ou plus en valeur absolue)";
        return false;
    }
    const Id least = std::max<Id>(largest + 1, 1);
    if (counter >= least) return true;
    if (least >= kIdLimit) {
        reason = at + " : plus aucun identifiant libre (le plus grand vaut " +
                 std::to_string(largest) + ")";
        return false;
    }
    if (notes)
        notes->push_back(at + " : relevé de " + std::to_string(counter) + " à " +
                         std::to_string(least) + ", au-dessus du plus grand identifiant");
    counter = least;
    return true;
}

template <class T>
bool takeAll(const std::vector<T>& items, const std::string& at, Id& largest, std::string& reason) {
    for (size_t i = 0; i < items.size(); ++i)
        if (!take(items[i].id, at + "[" + std::to_string(i) + "].id", largest, reason))
            return false;
    return true;
}

bool settleSketch(Sketch& s, const std::string& at, std::string& reason,
                  std::vector<std::string>* notes) {
    Id largest = kIdLimit * -1;
    return takeAll(s.points, at + ".points", largest, reason) &&
           takeAll(s.lines, at + ".lines", largest, reason) &&
           takeAll(s.circles, at + ".circles", largest, reason) &&
           takeAll(s.arcs, at + ".arcs", largest, reason) &&
           takeAll(s.constraints, at + ".constraints", largest, reason) &&
           settle(s.nextId, largest, at + ".nextId", reason, notes);
}

}  // namespace

bool settleIds(Doc& doc, std::string& reason, std::vector<std::string>* notes) {
    Id largest = kIdLimit * -1;
    for (size_t i = 0; i < doc.features.size(); ++i) {
        Feature& f = doc.features[i];
        const std::string at = "features[" + std::to_string(i) + "]";
        if (!take(f.id, at + ".id", largest, reason)) return false;
        if (f.sketch && !settleSketch(*f.sketch, at + ".sketch", reason, notes)) return false;
    }
    return settle(doc.nextId, largest, "nextId", reason, notes);
}

}  // namespace ivo
