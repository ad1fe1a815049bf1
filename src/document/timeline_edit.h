// Edits of the timeline that the timeline strip, the browser and their menus ask for:
// deleting features with what depends on them, renaming, hiding, removing bodies through a
// timeline step and duplicating sketches. Plain code on the document record; undo steps,
// questions and messages belong to the caller.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"

namespace ivo {

// True when the parameters of `f` name `id`: the sketch or target of an extrusion or a
// revolution, the extrusion of a fillet, the target or tool of a combination, the body of a
// removal.
bool names(const Feature& f, Id id);

// Indices of the features that would fail once the feature at `index` is gone: those naming
// it, then those naming one of them, and so on, in timeline order. Empty for an invalid
// index.
std::vector<size_t> dependants(const Doc& doc, size_t index);

// Removes the feature at `index` and, when `withDependants`, every feature of
// `dependants(doc, index)`. The marker moves back by the number of removed features that
// stood before it, so the same features stay evaluated. False (nothing touched) for an
// invalid index.
bool deleteFeature(Doc& doc, size_t index, bool withDependants);

// The name as it will be stored: `typed` without surrounding blanks; nothing when nothing is
// left (an empty or blank name is refused).
std::optional<std::string> cleanName(std::string_view typed);

// Renames the feature at `index`; false (nothing touched) for an invalid index or a blank
// name.
bool renameFeature(Doc& doc, size_t index, std::string_view typed);

// Sets the display name of body `body`; false (nothing touched) for a blank name.
bool renameBody(Doc& doc, Id body, std::string_view typed);

// Adds `body` to the hidden ones, or takes it out. Returns whether it is now hidden.
bool toggleBodyHidden(Doc& doc, Id body);

// Flips the visibility of the sketch of the sketch feature at `index`; false (nothing
// touched) when there is no such sketch.
bool toggleSketchVisible(Doc& doc, size_t index);

// Inserts at the marker a "remove" feature named "Supprimer " + `displayName` that takes
// body `body` out of the result, and puts the marker after it. Returns its index.
size_t insertBodyRemoval(Doc& doc, Id body, const std::string& displayName);

// Inserts at the marker a copy of the sketch feature at `index`, named after it with
// " (copie)", its points moved (dx, dy) in the sketch plane and its plane dz along the normal,
// and puts the marker after it. Returns its index; nothing (document untouched) when the
// feature has no sketch or the moved copy would be out of reach.
std::optional<size_t> duplicateSketch(Doc& doc, size_t index, double dx, double dy, double dz);

// The marker after a move to `wanted`, clamped to 0 … feature count.
std::int64_t clampedMarker(const Doc& doc, std::int64_t wanted);

}  // namespace ivo
