// Undo and redo history of one document: stacks of compact JSON snapshots, oldest first.
// Plain code without Qt; the controller calls it and refreshes the window afterwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/doc.h"

namespace ivo {

inline constexpr size_t kUndoLimit = 200;

using Snapshots = std::vector<std::string>;

// The document as a snapshot.
std::string snapshot(const Doc& doc);

// Records `current` before a change: appended to `undo` (the oldest dropped so that at most
// kUndoLimit remain) and `redo` emptied.
void recordChange(const Doc& current, Snapshots& undo, Snapshots& redo);

enum class StepResult {
    empty,    // nothing to step to
    dropped,  // the last snapshot did not decode: it was removed, nothing else changed
    done,     // `current` now holds the snapshot's document
};

// Undo: pops the last snapshot of `from` and, when it decodes, pushes `current` onto `to` and
// replaces `current`. Redo is the same call with the stacks swapped; neither direction caps
// `to`, so an undo followed by a redo never loses a step.
StepResult step(Doc& current, Snapshots& from, Snapshots& to);

}  // namespace ivo
