// The history file without a window: round trips through the journal, cut-off and damaged
// files, hostile lengths, the count and size bounds, and matching histories to their tabs.
#include <random>

#include <gtest/gtest.h>

#include "app/undo_store.h"
#include "document/doc_json.h"
#include "export/crc32.h"
#include "export/le_bytes.h"

namespace ivo {
namespace {

using Steps = std::vector<std::pair<std::uint64_t, std::string>>;

Steps steps(const Snapshots& s) {
    Steps out;
    for (const Snapshot& x : s)
        out.emplace_back(x.serial(), x.json());
    return out;
}

void expectSame(const std::vector<TabHistory>& got, const std::vector<TabHistory>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].docHash, want[i].docHash) << "tab " << i;
        EXPECT_EQ(steps(got[i].undo), steps(want[i].undo)) << "tab " << i;
        EXPECT_EQ(steps(got[i].redo), steps(want[i].redo)) << "tab " << i;
    }
}

Snapshots texts(int from, int count, size_t pad = 0) {
    Snapshots s;
    for (int i = from; i < from + count; ++i)
        s.push_back("{\"step\":" + std::to_string(i) + std::string(pad, ' ') + "}");
    return s;
}

// The journal's file, kept in memory: appends go at its end, a rewrite replaces it.
struct File {
    HistoryJournal journal;
    std::string bytes;
    HistoryJournal::Write write(const std::vector<TabHistory>& tabs) {
        HistoryJournal::Write w = journal.prepare(tabs);
        if (w.rewrite) bytes.clear();
        bytes += w.bytes;
        journal.written(w);
        return w;
    }
};

std::vector<TabHistory> decoded(std::string_view bytes) {
    std::string reason;
    auto h = decodeHistory(bytes, reason);
    EXPECT_TRUE(h) << reason;
    return h.value_or(std::vector<TabHistory>{});
}

TEST(HistoryFile, AChangeAppendsOnlyItsSnapshotAndEveryCutOfThatAppendReadsAsBefore) {
    std::vector<TabHistory> tabs{{11, texts(0, 30, 400), texts(100, 2)}, {22, {}, {}}};
    File f;
    EXPECT_TRUE(f.write(tabs).rewrite);
    expectSame(decoded(f.bytes), tabs);
    EXPECT_TRUE(f.write(tabs).bytes.empty());  // nothing changed: nothing written

    // One change in the first tab: a new undo step, the redo steps gone.
    const std::vector<TabHistory> before = tabs;
    const std::string old = f.bytes;
    tabs[0].undo.push_back("{\"step\":\"nouveau\"}");
    tabs[0].redo.clear();
    tabs[0].docHash = 12;
    const HistoryJournal::Write w = f.write(tabs);
    EXPECT_FALSE(w.rewrite);
    EXPECT_LT(w.bytes.size(), 600u);  // the new step and an index of 33 serials
    expectSame(decoded(f.bytes), tabs);

    for (size_t cut = old.size(); cut < f.bytes.size(); ++cut)
        expectSame(decoded(std::string_view(f.bytes).substr(0, cut)), before);
    // A damaged byte in the appended part stops the reading there too.
    for (size_t at = old.size(); at < f.bytes.size(); at += 7) {
        std::string bad = f.bytes;
        bad[at] = static_cast<char>(bad[at] ^ 0x20);
        expectSame(decoded(bad), before);
    }
}

TEST(HistoryFile, ManyChangesKeepTheFileNearTheLiveStepsAndAlwaysReadBack) {
    std::vector<TabHistory> tabs{{1, {}, {}}};
    File f;
    size_t rewrites = 0, largest = 0;
    for (int i = 0; i < 900; ++i) {
        tabs[0].undo.push_back(texts(i, 1, 2000).front());
        if (i % 5 == 4) {  // an undo now and then: a step moves to the redo stack
            tabs[0].redo.push_back(tabs[0].undo.back());
            tabs[0].undo.pop_back();
        }
        boundHistory(tabs);
        rewrites += f.write(tabs).rewrite;
        largest = std::max(largest, f.bytes.size());
        if (i % 50 == 0) expectSame(decoded(f.bytes), tabs);
    }
    expectSame(decoded(f.bytes), tabs);
    EXPECT_EQ(tabs[0].undo.size(), kHistoryStepLimit);
    EXPECT_GT(rewrites, 1u);
    EXPECT_LT(rewrites, 20u);
    size_t live = 0;
    for (const Snapshot& s : tabs[0].undo)
        live += s.size();
    for (const Snapshot& s : tabs[0].redo)
        live += s.size();
    EXPECT_LT(largest, 3 * live + (size_t{2} << 20));

    // A journal that lost track of the file writes it whole again.
    f.journal.forget();
    EXPECT_TRUE(f.write(tabs).rewrite);
    expectSame(decoded(f.bytes), tabs);
}

TEST(HistoryFile, AFileReadWholeIsAppendedToAndOneWithADamagedTailIsNot) {
    std::vector<TabHistory> tabs{{5, texts(0, 4), texts(10, 1)}};
    File first;
    first.write(tabs);
    bool whole = false;
    std::string reason;
    const auto read = decodeHistory(first.bytes, reason, &whole);
    ASSERT_TRUE(read && whole) << reason;

    // The next start adopts the file: its first change appends.
    File next{{}, first.bytes};
    next.journal.adopt(*read, next.bytes.size());
    std::vector<TabHistory> changed = *read;
    EXPECT_TRUE(next.journal.prepare(changed).bytes.empty());
    changed[0].undo.push_back("{\"step\":\"après\"}");
    changed[0].redo.clear();
    EXPECT_FALSE(next.write(changed).rewrite);
    EXPECT_EQ(next.bytes.substr(0, first.bytes.size()), first.bytes);
    expectSame(decoded(next.bytes), changed);

    // A cut or damaged tail still reads, but is not whole: appending after it would be lost.
    const std::string cut = next.bytes.substr(0, next.bytes.size() - 3);
    std::string damaged = next.bytes;
    damaged[first.bytes.size() + 2] ^= 1;
    for (const std::string& bad : {cut, damaged}) {
        whole = true;
        const auto h = decodeHistory(bad, reason, &whole);
        ASSERT_TRUE(h) << reason;
        EXPECT_FALSE(whole);
        expectSame(*h, *read);
    }
}

std::string header(std::uint32_t version = 1) {
    std::string h = "IV3DHIST";
    appendLE32(h, version);
    return h;
}

std::string record(char kind, const std::string& payload) {
    std::string r(1, kind);
    appendLE32(r, static_cast<std::uint32_t>(payload.size()));
    r += payload;
    appendLE32(r, crc32(r));
    return r;
}

std::string le64(std::uint64_t v) {
    std::string s;
    appendLE32(s, static_cast<std::uint32_t>(v));
    appendLE32(s, static_cast<std::uint32_t>(v >> 32));
    return s;
}

std::string indexOf(std::uint32_t tabs, std::uint32_t undo, const std::string& serials) {
    std::string p;
    appendLE32(p, tabs);
    p += le64(7);
    appendLE32(p, undo);
    appendLE32(p, 0);
    return p + serials;
}

TEST(HistoryFile, HostileOrForeignFilesAreRefusedWithAReason) {
    const std::string snap = record('S', le64(5) + "{}");
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += le64(5);
    std::string bigLength = header() + snap;
    bigLength += 'S';
    appendLE32(bigLength, 0xFFFFFFF0u);
    appendLE32(bigLength, 0);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"another file", "{\"tabs\":[]}"},
        {"a later version", header(2) + snap + record('I', indexOf(1, 1, le64(5)))},
        {"no index", header() + snap},
        {"an index naming a missing step", header() + snap + record('I', indexOf(1, 1, le64(6)))},
        {"a tab count larger than the record", header() + record('I', indexOf(0x7FFFFFFF, 0, ""))},
        {"a step count larger than the record",
         header() + snap + record('I', indexOf(1, 0xFFFFFFFF, le64(5)))},
        {"bytes after the last tab", header() + snap + record('I', indexOf(1, 1, le64(5) + "x"))},
        {"an unknown record", header() + record('Z', "1234")},
        {"a huge length and no index", bigLength},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_FALSE(decodeHistory(c.bytes, reason)) << c.what;
        EXPECT_FALSE(reason.empty()) << c.what;
    }
    // A step named a thousand times is made once, so memory follows the file's size.
    std::string reason;
    const auto h = decodeHistory(header() + snap + record('I', indexOf(1, 1000, many)), reason);
    ASSERT_TRUE(h) << reason;
    ASSERT_EQ((*h)[0].undo.size(), 1000u);
    EXPECT_EQ((*h)[0].undo.front().json().data(), (*h)[0].undo.back().json().data());
}

TEST(HistoryFile, RandomDamageNeverCrashesAndGivesEitherAReasonOrWholeStacks) {
    std::vector<TabHistory> tabs{{3, texts(0, 6), texts(10, 2)}, {4, texts(20, 3), {}}};
    File f;
    f.write(tabs);
    tabs[1].undo.push_back("{}");
    f.write(tabs);
    std::mt19937 rng(21);
    for (int round = 0; round < 3000; ++round) {
        std::string bad = f.bytes;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e)
            bad[rng() % bad.size()] = static_cast<char>(rng());
        if (round % 3 == 0) bad.resize(rng() % bad.size());
        std::string reason;
        const auto h = decodeHistory(bad, reason);
        if (!h) {
            EXPECT_FALSE(reason.empty());
            continue;
        }
        for (const TabHistory& t : *h)
            for (const Snapshots* s : {&t.undo, &t.redo})
                EXPECT_LE(s->size(), bad.size());
    }
}

TEST(HistoryBounds, CountAndSizeDropTheOldestStepsFirst) {
    // Count: the steps nearest the present stay, on both stacks.
    std::vector<TabHistory> tabs{{0, texts(0, 250), texts(1000, 230)}};
    boundHistory(tabs);
    ASSERT_EQ(tabs[0].undo.size(), kHistoryStepLimit);
    ASSERT_EQ(tabs[0].redo.size(), kHistoryStepLimit);
    EXPECT_EQ(tabs[0].undo.front().json(), "{\"step\":50}");
    EXPECT_EQ(tabs[0].undo.back().json(), "{\"step\":249}");
    EXPECT_EQ(tabs[0].redo.front().json(), "{\"step\":1030}");

    // Size: steps of 1 000 bytes, a budget of 10 000. The tab holding most loses first, its
    // undo steps from the oldest, then its furthest redo steps.
    const auto sized = [](int from, int count) {
        Snapshots out;
        for (int i = from; i < from + count; ++i) {
            std::string t = "{\"step\":" + std::to_string(i) + "}";
            out.push_back(t.insert(t.size() - 1, 1000 - t.size(), ' '));
        }
        return out;
    };
    const struct {
        int undoA, redoA, undoB;
        size_t keptUndoA, keptRedoA, keptUndoB;
    } cases[] = {
        {4, 2, 3, 4, 2, 3},                          // fits: nothing dropped
        {12, 0, 0, 10, 0, 0},                        // one tab: its two oldest go
        {8, 6, 2, 2, 6, 2},                          // the undo steps go before the redo steps
        {1, 11, 1, 0, 9, 1},                         // then the furthest redo steps
        {9, 9, 6, 0, 5, 5},   {20, 0, 20, 5, 0, 5},  // two equal tabs share the budget
    };
    for (const auto& c : cases) {
        std::vector<TabHistory> t{{0, sized(0, c.undoA), sized(100, c.redoA)},
                                  {0, sized(200, c.undoB), {}}};
        boundHistory(t, kHistoryStepLimit, 10'000);
        EXPECT_EQ(t[0].undo.size(), c.keptUndoA) << c.undoA << " " << c.redoA << " " << c.undoB;
        EXPECT_EQ(t[0].redo.size(), c.keptRedoA) << c.undoA << " " << c.redoA << " " << c.undoB;
        EXPECT_EQ(t[1].undo.size(), c.keptUndoB) << c.undoA << " " << c.redoA << " " << c.undoB;
        if (!t[0].undo.empty()) {
            EXPECT_EQ(t[0].undo.back().json(), sized(c.undoA - 1, 1).front().json());
        }
        if (!t[0].redo.empty()) {
            EXPECT_EQ(t[0].redo.back().json(), sized(100 + c.redoA - 1, 1).front().json());
        }
    }
    // A single step larger than the budget is not stored at all.
    std::vector<TabHistory> huge{{0, texts(0, 1, 20'000), {}}};
    boundHistory(huge, kHistoryStepLimit, 10'000);
    EXPECT_TRUE(huge[0].undo.empty());
}

Doc named(const std::string& name) {
    Doc d;
    d.features.emplace_back(d.newId(), fk::sketch, name);
    d.features.back().sketch = Sketch(SketchPlane::xz());
    d.marker = 1;
    return d;
}

TEST(HistoryMatch, StacksGoOnlyToTheTabShowingTheDocumentTheyWereStoredWith) {
    const auto restored = [] {
        std::vector<DocTab> tabs(2, DocTab::blank());
        tabs[0].doc = named("A");
        tabs[1].doc = named("B");
        return tabs;
    };
    const auto stored = [](const std::string& first, const std::string& second) {
        return std::vector<TabHistory>{{docFingerprint(named(first)), texts(0, 2), texts(5, 1)},
                                       {docFingerprint(named(second)), texts(10, 3), {}}};
    };
    std::vector<DocTab> tabs = restored();
    EXPECT_TRUE(restoreHistory(stored("A", "B"), tabs));
    EXPECT_EQ(tabs[0].undo.size(), 2u);
    EXPECT_EQ(tabs[0].redo.size(), 1u);
    EXPECT_EQ(tabs[1].undo.size(), 3u);

    // The second tab changed after its history was stored: only the first gets its own.
    tabs = restored();
    EXPECT_FALSE(restoreHistory(stored("A", "B modifié"), tabs));
    EXPECT_EQ(tabs[0].undo.size(), 2u);
    EXPECT_TRUE(tabs[1].undo.empty());

    // Tabs in another order, or another number of tabs: nothing is given.
    tabs = restored();
    EXPECT_FALSE(restoreHistory(stored("B", "A"), tabs));
    EXPECT_TRUE(tabs[0].undo.empty() && tabs[1].undo.empty());
    std::vector<TabHistory> three = stored("A", "B");
    three.push_back({0, texts(20, 1), {}});
    EXPECT_FALSE(restoreHistory(three, tabs));
    EXPECT_TRUE(tabs[0].undo.empty() && tabs[1].undo.empty());

    // The fingerprint of a document survives its trip through the session file's encoding.
    for (const char* name : {"A", "Esquisse « 2 »"}) {
        std::string reason;
        const auto back = decodeDoc(encodeDoc(named(name), false), reason);
        ASSERT_TRUE(back) << reason;
        EXPECT_EQ(docFingerprint(*back), docFingerprint(named(name)));
    }
}

}  // namespace
}  // namespace ivo
