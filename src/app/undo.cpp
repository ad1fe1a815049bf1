// Snapshot stacks of the undo history.
#include "app/undo.h"

#include <atomic>
#include <random>

#include "document/doc_json.h"

namespace ivo {
namespace {

// Two running copies of the application may write the same history file; a random start
// keeps their serials apart.
std::uint64_t nextSerial() {
    static std::atomic<std::uint64_t> next = [] {
        std::random_device rd;
        const std::uint64_t hi = rd(), lo = rd();
        return ((hi << 32) ^ lo) & ~(std::uint64_t{0xFFFFF} << 44);  // room to count up
    }();
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

Snapshot::Snapshot(std::string json)
    : d_(std::make_shared<const Data>(Data{std::move(json), nextSerial()})) {}

Snapshot::Snapshot(std::string json, std::uint64_t serial)
    : d_(std::make_shared<const Data>(Data{std::move(json), serial})) {}

Snapshot snapshot(const Doc& doc) {
    return encodeDoc(doc, false);
}

void recordChange(const Doc& current, Snapshots& undo, Snapshots& redo) {
    if (undo.size() >= kUndoLimit) undo.erase(undo.begin(), undo.end() - (kUndoLimit - 1));
    undo.push_back(snapshot(current));
    redo.clear();
}

StepResult step(Doc& current, Snapshots& from, Snapshots& to) {
    if (from.empty()) return StepResult::empty;
    const Snapshot last = std::move(from.back());
    from.pop_back();
    std::string reason;
    std::optional<Doc> doc = decodeDoc(last.json(), reason);
    if (!doc) return StepResult::dropped;
    to.push_back(snapshot(current));
    current = std::move(*doc);
    return StepResult::done;
}

}  // namespace ivo
