// The undo and redo stacks of every tab, kept in a file beside the session file so that
// Ctrl+Z after a crash or a restart undoes the last change made before it. Plain code
// without Qt: the byte format, its bounds and the bookkeeping of what the file already
// holds; the controller writes and reads the file (main_controller_history.cpp).
//
// The file is a journal: a header, then records (a snapshot, or an index naming the
// snapshots of every tab's stacks by serial). Each record carries its length and CRC-32, and
// the last whole index wins, so an append cut short by a crash leaves the previous state
// readable. After one change only the new snapshot and a small index are appended; the file
// is written whole (atomically) when it is new or when dropped steps fill half of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/tabs.h"
#include "app/undo.h"
#include "document/doc.h"

namespace ivo {

// At most this many undo steps, and as many redo steps, are stored per tab.
inline constexpr size_t kHistoryStepLimit = kUndoLimit;
// The stored snapshots of all tabs together stay under 32 MiB: every step of a dozen models
// of 10-20 kB, or 200 steps of one model of 160 kB; beyond that the oldest steps go.
inline constexpr size_t kHistoryByteBudget = size_t{32} << 20;
// A larger file is not read: the journal is rewritten long before it reaches twice the budget.
inline constexpr size_t kMaxHistoryFileBytes = 4 * kHistoryByteBudget;

struct TabHistory {
    std::uint64_t docHash = 0;  // docFingerprint of the tab's document when it was stored
    Snapshots undo, redo;       // oldest first, as in the tab
};

// A 64-bit fingerprint of the document's compact encoding: a history is only given back to a
// tab that shows the very document it was stored with.
std::uint64_t docFingerprint(const Doc& doc);
std::uint64_t textFingerprint(std::string_view text);

// Keeps at most `stepLimit` undo and `stepLimit` redo steps per tab (those nearest the
// present), then, while all snapshots together exceed `byteBudget` bytes, drops a step of
// the tab that holds the most bytes: its oldest undo step, or when it has none its furthest
// redo step.
void boundHistory(std::vector<TabHistory>& tabs, size_t stepLimit = kHistoryStepLimit,
                  size_t byteBudget = kHistoryByteBudget);

// The stacks of the last whole index of a history file. A cut-off or damaged tail is skipped
// (the index before it stands); nothing, with a French reason, when the header, the version
// or every index is unreadable, or an index names a snapshot the file does not hold. Every
// length and count is checked against the bytes present, and a snapshot named twice is read
// once, so memory stays within the size of the input.
// `whole`, when given, tells whether every byte was part of a whole record (no cut-off or
// damaged tail), so that more records may be appended.
std::optional<std::vector<TabHistory>> decodeHistory(std::string_view bytes, std::string& reason,
                                                     bool* whole = nullptr);

// Gives each of `tabs` the stacks of the history's tab at the same place when that history
// was stored with the tab's present document; nothing is given when the tab counts differ.
// True when every tab matched, false when any history was left out (the file then deserves
// to be set aside).
bool restoreHistory(std::vector<TabHistory> history, std::vector<DocTab>& tabs);

// What the history file holds, so that a write after a change adds only what is new.
class HistoryJournal {
public:
    struct Write {
        bool rewrite = false;  // `bytes` replace the file; otherwise they are appended
        std::string bytes;     // empty: the file already holds this state
        std::vector<std::pair<std::uint64_t, std::uint32_t>> added;  // serial, stored bytes
        std::string index;                                           // the index record
    };

    // The bytes that bring the file to `tabs` (already bounded).
    Write prepare(const std::vector<TabHistory>& tabs) const;
    // After `w` reached the file whole.
    void written(const Write& w);
    // The file of `fileSize` bytes was read whole as `tabs`: later writes append to it.
    void adopt(const std::vector<TabHistory>& tabs, std::uint64_t fileSize);
    // The file's content is not known (never written, a write failed, someone else wrote):
    // the next write replaces it whole.
    void forget();
    // The size the file has after the last write, as far as this journal knows.
    std::uint64_t fileBytes() const { return fileBytes_; }

private:
    std::unordered_map<std::uint64_t, std::uint32_t> held_;  // serial → snapshot bytes
    std::uint64_t fileBytes_ = 0;
    std::string lastIndex_;
    bool known_ = false;
};

}  // namespace ivo
