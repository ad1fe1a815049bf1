// Undo and redo history of one document: stacks of compact JSON snapshots, oldest first.
// Plain code without Qt; the controller calls it and refreshes the window afterwards, and
// undo_store.h keeps the stacks with the session.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/doc.h"

namespace ivo {

inline constexpr size_t kUndoLimit = 200;

// One recorded document state. The text never changes once made, so copies share it: a tab
// switch or an autosave copies a stack of 200 snapshots by reference counts, not bytes, and
// `serial` tells the history file which snapshots it already holds.
class Snapshot {
public:
    Snapshot() = default;
    // Implicit: a snapshot is its text.
    Snapshot(std::string json);
    Snapshot(const char* json) : Snapshot(std::string(json)) {}
    // A snapshot read back from the history file keeps the serial it was stored under.
    Snapshot(std::string json, std::uint64_t serial);

    // A default-made or moved-from snapshot is empty text with serial 0.
    const std::string& json() const { return d_ ? d_->json : empty().json; }
    operator std::string_view() const { return json(); }
    size_t size() const { return json().size(); }
    // Unique within the process, and unlikely to meet one of another process.
    std::uint64_t serial() const { return d_ ? d_->serial : 0; }

private:
    struct Data {
        std::string json;
        std::uint64_t serial;
    };
    static const Data& empty() {
        static const Data e{{}, 0};
        return e;
    }
    std::shared_ptr<const Data> d_;
};

using Snapshots = std::vector<Snapshot>;

// The document as a snapshot.
Snapshot snapshot(const Doc& doc);

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
