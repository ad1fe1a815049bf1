// The history file: its records, their checks on reading, and the bounds of what is stored.
#include "app/undo_store.h"

#include <algorithm>
#include <unordered_set>

#include "document/doc_json.h"
#include "export/crc32.h"
#include "export/le_bytes.h"

namespace ivo {
namespace {

constexpr std::string_view kMagic = "IV3DHIST";
constexpr std::uint32_t kVersion = 1;
constexpr size_t kHeaderBytes = 12;      // magic, version
constexpr size_t kRecordFrameBytes = 9;  // kind, payload length; CRC-32 after the payload
constexpr char kSnapshotRecord = 'S';    // serial, then the snapshot's text
constexpr char kIndexRecord = 'I';       // tab count, then per tab its hash, counts, serials
constexpr size_t kIndexTabBytes = 16;    // hash, undo count, redo count
constexpr size_t kCompactSlack = size_t{1} << 20;

void appendLE64(std::string& out, std::uint64_t v) {
    appendLE32(out, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    appendLE32(out, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t readLE32(std::string_view b, size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

std::uint64_t readLE64(std::string_view b, size_t at) {
    return readLE32(b, at) | (std::uint64_t{readLE32(b, at + 4)} << 32);
}

// kind, payload length, payload, then the CRC-32 of all that: a damaged kind or length fails
// the check as a damaged payload does.
void appendRecord(std::string& out, char kind, std::string_view payload) {
    const size_t start = out.size();
    out.push_back(kind);
    appendLE32(out, static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    appendLE32(out, crc32(std::string_view(out).substr(start)));
}

void appendSnapshotRecord(std::string& out, const Snapshot& s) {
    // Framed in place: the snapshot's text is copied once, straight into the output.
    const size_t start = out.size();
    out.push_back(kSnapshotRecord);
    appendLE32(out, static_cast<std::uint32_t>(8 + s.size()));
    appendLE64(out, s.serial());
    out.append(s.json());
    appendLE32(out, crc32(std::string_view(out).substr(start)));
}

std::string indexRecord(const std::vector<TabHistory>& tabs) {
    std::string payload;
    appendLE32(payload, static_cast<std::uint32_t>(tabs.size()));
    for (const TabHistory& t : tabs) {
        appendLE64(payload, t.docHash);
        appendLE32(payload, static_cast<std::uint32_t>(t.undo.size()));
        appendLE32(payload, static_cast<std::uint32_t>(t.redo.size()));
        for (const Snapshots* stack : {&t.undo, &t.redo})
            for (const Snapshot& s : *stack)
                appendLE64(payload, s.serial());
    }
    std::string out;
    appendRecord(out, kIndexRecord, payload);
    return out;
}

// One index as read: the stacks resolved against the snapshots met before it.
bool readIndex(std::string_view p, const std::unordered_map<std::uint64_t, std::string_view>& texts,
               std::unordered_map<std::uint64_t, Snapshot>& made, std::vector<TabHistory>& out,
               std::string& reason) {
    if (p.size() < 4) {
        reason = "index tronqué";
        return false;
    }
    const std::uint32_t count = readLE32(p, 0);
    size_t at = 4;
    if (count > (p.size() - at) / kIndexTabBytes) {
        reason = "index tronqué";
        return false;
    }
    std::vector<TabHistory> tabs(count);
    for (TabHistory& t : tabs) {
        if (p.size() - at < kIndexTabBytes) {
            reason = "index tronqué";
            return false;
        }
        t.docHash = readLE64(p, at);
        const std::uint64_t nUndo = readLE32(p, at + 8), nRedo = readLE32(p, at + 12);
        at += kIndexTabBytes;
        if (nUndo + nRedo > (p.size() - at) / 8) {
            reason = "index tronqué";
            return false;
        }
        for (std::uint64_t i = 0; i < nUndo + nRedo; ++i, at += 8) {
            const std::uint64_t serial = readLE64(p, at);
            auto m = made.find(serial);
            if (m == made.end()) {
                const auto text = texts.find(serial);
                if (text == texts.end()) {
                    reason = "instantané manquant dans l'historique";
                    return false;
                }
                m = made.emplace(serial, Snapshot(std::string(text->second), serial)).first;
            }
            (i < nUndo ? t.undo : t.redo).push_back(m->second);
        }
    }
    if (at != p.size()) {
        reason = "index mal formé";
        return false;
    }
    out = std::move(tabs);
    return true;
}

}  // namespace

std::uint64_t textFingerprint(std::string_view text) {
    // FNV-1a: enough to tell documents apart, and cheap next to their encoding.
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3u;
    }
    return h ^ text.size();
}

std::uint64_t docFingerprint(const Doc& doc) {
    return textFingerprint(encodeDoc(doc, false));
}

void boundHistory(std::vector<TabHistory>& tabs, size_t stepLimit, size_t byteBudget) {
    std::vector<size_t> bytes(tabs.size(), 0), dropUndo(tabs.size(), 0), dropRedo(tabs.size(), 0);
    size_t total = 0;
    for (size_t i = 0; i < tabs.size(); ++i) {
        TabHistory& t = tabs[i];
        for (Snapshots* stack : {&t.undo, &t.redo})
            if (stack->size() > stepLimit)
                stack->erase(stack->begin(), stack->end() - static_cast<std::ptrdiff_t>(stepLimit));
        for (const Snapshots* stack : {&t.undo, &t.redo})
            for (const Snapshot& s : *stack)
                bytes[i] += s.size();
        total += bytes[i];
    }
    // Dropped steps are counted first and erased once, so a large history is bounded in
    // linear time.
    while (total > byteBudget) {
        const size_t i =
            static_cast<size_t>(std::max_element(bytes.begin(), bytes.end()) - bytes.begin());
        const TabHistory& t = tabs[i];
        size_t size = 0;
        if (dropUndo[i] < t.undo.size()) {
            size = t.undo[dropUndo[i]++].size();
        } else if (dropRedo[i] < t.redo.size()) {
            size = t.redo[dropRedo[i]++].size();
        } else {
            bytes[i] = 0;  // only empty snapshots were left
            continue;
        }
        bytes[i] -= size;
        total -= size;
    }
    for (size_t i = 0; i < tabs.size(); ++i) {
        tabs[i].undo.erase(tabs[i].undo.begin(),
                           tabs[i].undo.begin() + static_cast<std::ptrdiff_t>(dropUndo[i]));
        tabs[i].redo.erase(tabs[i].redo.begin(),
                           tabs[i].redo.begin() + static_cast<std::ptrdiff_t>(dropRedo[i]));
    }
}

std::optional<std::vector<TabHistory>> decodeHistory(std::string_view bytes, std::string& reason,
                                                     bool* whole) {
    if (whole) *whole = false;
    if (bytes.size() < kHeaderBytes || bytes.substr(0, kMagic.size()) != kMagic) {
        reason = "ce n'est pas un historique d'annulation";
        return std::nullopt;
    }
    if (readLE32(bytes, kMagic.size()) != kVersion) {
        reason = "version d'historique inconnue";
        return std::nullopt;
    }
    std::unordered_map<std::uint64_t, std::string_view> texts;
    std::unordered_map<std::uint64_t, Snapshot> made;
    std::optional<std::vector<TabHistory>> last;
    std::string indexReason;
    size_t at = kHeaderBytes;
    // The records stop at the first one that is cut off or fails its check: what follows it
    // was never written whole.
    while (bytes.size() - at >= kRecordFrameBytes) {
        const char kind = bytes[at];
        const size_t length = readLE32(bytes, at + 1);
        if (length > bytes.size() - at - kRecordFrameBytes) break;
        const std::string_view payload = bytes.substr(at + 5, length);
        if (crc32(bytes.substr(at, 5 + length)) != readLE32(bytes, at + 5 + length)) break;
        at += kRecordFrameBytes + length;
        if (kind == kSnapshotRecord && payload.size() >= 8) {
            texts[readLE64(payload, 0)] = payload.substr(8);
        } else if (kind == kIndexRecord) {
            std::vector<TabHistory> tabs;
            // A whole index that does not read is a fault of the file, not a cut-off tail.
            if (!readIndex(payload, texts, made, tabs, indexReason)) {
                reason = indexReason;
                return std::nullopt;
            }
            last = std::move(tabs);
            made.clear();  // an older index's snapshots are not kept alive
        } else {
            reason = "enregistrement inconnu dans l'historique";
            return std::nullopt;
        }
    }
    if (!last) {
        reason = "historique sans index lisible";
        return std::nullopt;
    }
    if (whole) *whole = at == bytes.size();
    return last;
}

bool restoreHistory(std::vector<TabHistory> history, std::vector<DocTab>& tabs) {
    if (history.size() != tabs.size()) return false;
    bool all = true;
    for (size_t i = 0; i < tabs.size(); ++i) {
        if (history[i].docHash != docFingerprint(tabs[i].doc)) {
            all = false;
            continue;
        }
        tabs[i].undo = std::move(history[i].undo);
        tabs[i].redo = std::move(history[i].redo);
    }
    return all;
}

HistoryJournal::Write HistoryJournal::prepare(const std::vector<TabHistory>& tabs) const {
    Write w;
    w.index = indexRecord(tabs);
    if (known_ && w.index == lastIndex_) return w;  // nothing changed since the last write
    std::unordered_set<std::uint64_t> live;
    std::vector<const Snapshot*> fresh;
    size_t liveBytes = 0, freshBytes = 0;
    for (const TabHistory& t : tabs)
        for (const Snapshots* stack : {&t.undo, &t.redo})
            for (const Snapshot& s : *stack) {
                if (!live.insert(s.serial()).second) continue;
                liveBytes += s.size() + kRecordFrameBytes + 8;
                if (!known_ || !held_.contains(s.serial())) {
                    fresh.push_back(&s);
                    freshBytes += s.size() + kRecordFrameBytes + 8;
                }
            }
    // Dropped steps stay in the file as dead records until it is written whole again.
    const std::uint64_t after = fileBytes_ + freshBytes + w.index.size();
    w.rewrite = !known_ || after > 2 * (liveBytes + w.index.size()) + kCompactSlack ||
                after > kMaxHistoryFileBytes / 2;
    if (w.rewrite) {
        w.bytes.reserve(kHeaderBytes + liveBytes + w.index.size());
        w.bytes.append(kMagic);
        appendLE32(w.bytes, kVersion);
        live.clear();
        for (const TabHistory& t : tabs)
            for (const Snapshots* stack : {&t.undo, &t.redo})
                for (const Snapshot& s : *stack)
                    if (live.insert(s.serial()).second) {
                        appendSnapshotRecord(w.bytes, s);
                        w.added.emplace_back(s.serial(), static_cast<std::uint32_t>(s.size()));
                    }
    } else {
        w.bytes.reserve(freshBytes + w.index.size());
        for (const Snapshot* s : fresh) {
            appendSnapshotRecord(w.bytes, *s);
            w.added.emplace_back(s->serial(), static_cast<std::uint32_t>(s->size()));
        }
    }
    w.bytes += w.index;
    return w;
}

void HistoryJournal::written(const Write& w) {
    if (w.bytes.empty()) return;
    if (w.rewrite) {
        held_.clear();
        fileBytes_ = 0;
    }
    for (const auto& [serial, size] : w.added)
        held_[serial] = size;
    fileBytes_ += w.bytes.size();
    lastIndex_ = w.index;
    known_ = true;
}

void HistoryJournal::adopt(const std::vector<TabHistory>& tabs, std::uint64_t fileSize) {
    forget();
    for (const TabHistory& t : tabs)
        for (const Snapshots* stack : {&t.undo, &t.redo})
            for (const Snapshot& s : *stack)
                held_[s.serial()] = static_cast<std::uint32_t>(s.size());
    fileBytes_ = fileSize;
    lastIndex_ = indexRecord(tabs);
    known_ = true;
}

void HistoryJournal::forget() {
    held_.clear();
    fileBytes_ = 0;
    lastIndex_.clear();
    known_ = false;
}

}  // namespace ivo
