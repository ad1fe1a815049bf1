// Snapshot stacks of the undo history.
#include "app/undo.h"

#include "document/doc_json.h"

namespace ivo {

std::string snapshot(const Doc& doc) {
    return encodeDoc(doc, false);
}

void recordChange(const Doc& current, Snapshots& undo, Snapshots& redo) {
    if (undo.size() >= kUndoLimit) undo.erase(undo.begin(), undo.end() - (kUndoLimit - 1));
    undo.push_back(snapshot(current));
    redo.clear();
}

StepResult step(Doc& current, Snapshots& from, Snapshots& to) {
    if (from.empty()) return StepResult::empty;
    const std::string last = std::move(from.back());
    from.pop_back();
    std::string reason;
    std::optional<Doc> doc = decodeDoc(last, reason);
    if (!doc) return StepResult::dropped;
    to.push_back(snapshot(current));
    current = std::move(*doc);
    return StepResult::done;
}

}  // namespace ivo
