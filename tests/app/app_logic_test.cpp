// The session file and the snapshot stacks, without a window.
#include <gtest/gtest.h>

#include "app/session.h"
#include "app/tabs.h"
#include "app/undo.h"
#include "document/doc_json.h"

namespace ivo {
namespace {

Doc docOf(int sketches) {
    Doc d;
    for (int i = 0; i < sketches; ++i) {
        d.features.emplace_back(d.newId(), fk::sketch, "Esquisse" + std::to_string(i + 1));
        d.features.back().sketch = Sketch(SketchPlane::xz());
    }
    d.marker = sketches;
    return d;
}

TEST(Session, RoundTripKeepsEverythingInItsOrderAndWhatRestoresNoTabIsRefused) {
    const Session s{{{docOf(1), "/tmp/a é.q3d", false}, {Doc(), std::nullopt, true}}, 1};
    const std::string text = encodeSession(s);
    std::string reason;
    EXPECT_EQ(decodeSession(text, reason), s) << reason;
    // A tab without a file has no "file" key at all (never null).
    EXPECT_EQ(text.find("null"), std::string::npos);
    EXPECT_EQ(text.rfind("\"file\""), text.find("\"file\""));

    // What restores no tab is refused.
    for (const char* bad : {"", "{", "[]", "{\"tabs\":[],\"active\":0}",
                            "{\"tabs\":[{\"doc\":{},\"dirty\":false}],\"active\":0}",
                            "{\"tabs\":\"x\",\"active\":0}", "{\"doc\":null,\"dirty\":false}"}) {
        reason.clear();
        EXPECT_FALSE(decodeSession(bad, reason)) << bad;
        EXPECT_FALSE(reason.empty()) << bad;
    }
    // A current-form file with one broken tab is refused whole, with the tab located.
    const std::string good = "{\"doc\":" + encodeDoc(Doc(), false);
    reason.clear();
    EXPECT_FALSE(decodeSession(
        "{\"tabs\":[" + good + ",\"dirty\":false}," + good + ",\"dirty\":3}],\"active\":0}",
        reason));
    EXPECT_NE(reason.find("tabs[1]"), std::string::npos) << reason;
    // Nothing but whitespace may follow, not even after a NUL byte.
    EXPECT_TRUE(decodeSession(text + " \n", reason)) << reason;
    EXPECT_FALSE(decodeSession(text + std::string(1, '\0') + "{}", reason));
    EXPECT_EQ(reason.rfind("JSON illisible à la ligne 1, colonne ", 0), 0u) << reason;

    // The old single-document form gives one tab; an active index out of range is clamped.
    const auto old = decodeSession(
        "{\"doc\":" + encodeDoc(docOf(1), false) + ",\"file\":\"/nulle/part.q3d\",\"dirty\":true}",
        reason);
    ASSERT_TRUE(old) << reason;
    EXPECT_EQ(*old, (Session{{{docOf(1), "/nulle/part.q3d", true}}, 0}));
    for (const auto& [active, expected] : {std::pair{7, 1u}, std::pair{-2, 0u}})
        EXPECT_EQ(activeIndex(Session{s.tabs, active}), expected) << active;
}

// Undo and redo never cap the stack they push onto, so an undo followed by a redo never loses
// a step; a snapshot that does not decode is dropped without touching the rest.
TEST(Undo, RedoOntoAFullStackKeepsEveryStepAndAnUnreadableSnapshotIsDropped) {
    Snapshots full(kUndoLimit, snapshot(docOf(1))), redo{snapshot(docOf(2))};
    Doc current = docOf(1);
    ASSERT_EQ(step(current, redo, full), StepResult::done);
    EXPECT_EQ(full.size(), kUndoLimit + 1);
    EXPECT_EQ(current.features.size(), 2u);

    Snapshots undo{snapshot(docOf(1)), "{pas du json"}, none;
    current = docOf(5);
    EXPECT_EQ(step(current, undo, none), StepResult::dropped);
    EXPECT_EQ(std::tuple(current.features.size(), undo.size(), none.size()),
              std::tuple(5u, 1u, 0u));
    EXPECT_EQ(step(current, none, undo), StepResult::empty);
}

}  // namespace
}  // namespace ivo
