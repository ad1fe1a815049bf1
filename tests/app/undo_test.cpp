// Snapshot stacks: the cap, the mirror between undo and redo, unreadable snapshots.
#include "app/undo.h"

#include <gtest/gtest.h>

#include "document/doc_json.h"

namespace ivo {
namespace {

Doc docOf(int features) {
    Doc d;
    for (int i = 0; i < features; ++i)
        d.features.emplace_back(d.newId(), fk::sketch, "Esquisse" + std::to_string(i + 1));
    d.marker = features;
    return d;
}

size_t featuresIn(const std::string& snap) {
    std::string reason;
    const auto d = decodeDoc(snap, reason);
    return d ? d->features.size() : 9999;
}

TEST(Undo, TheTwoHundredFirstStepDropsTheOldest) {
    Snapshots undo, redo{"x"};
    for (int i = 0; i <= static_cast<int>(kUndoLimit); ++i)
        recordChange(docOf(i), undo, redo);
    ASSERT_EQ(undo.size(), kUndoLimit);
    EXPECT_EQ(featuresIn(undo.front()), 1u);  // the snapshot of 0 features is gone
    EXPECT_EQ(featuresIn(undo.back()), kUndoLimit);
    EXPECT_TRUE(redo.empty());
}

TEST(Undo, UndoThenRedoReturnsToTheSameDocumentAndStacks) {
    Snapshots undo, redo;
    Doc current = docOf(0);
    for (int i = 1; i <= 3; ++i) {
        recordChange(current, undo, redo);
        current = docOf(i);
    }
    const Doc end = current;
    ASSERT_EQ(step(current, undo, redo), StepResult::done);
    EXPECT_EQ(current.features.size(), 2u);
    ASSERT_EQ(step(current, undo, redo), StepResult::done);
    EXPECT_EQ(current.features.size(), 1u);
    EXPECT_EQ(redo.size(), 2u);
    ASSERT_EQ(step(current, redo, undo), StepResult::done);
    ASSERT_EQ(step(current, redo, undo), StepResult::done);
    EXPECT_EQ(current, end);
    EXPECT_EQ(undo.size(), 3u);
    EXPECT_EQ(step(current, redo, undo), StepResult::empty);
}

TEST(Undo, RedoOntoAFullUndoStackKeepsEveryStep) {
    Snapshots undo(kUndoLimit, snapshot(docOf(1))), redo{snapshot(docOf(2))};
    Doc current = docOf(1);
    ASSERT_EQ(step(current, redo, undo), StepResult::done);
    EXPECT_EQ(undo.size(), kUndoLimit + 1);
}

TEST(Undo, AnUnreadableSnapshotIsDroppedAndNothingElseChanges) {
    Snapshots undo{snapshot(docOf(1)), "{pas du json"}, redo;
    Doc current = docOf(5);
    EXPECT_EQ(step(current, undo, redo), StepResult::dropped);
    EXPECT_EQ(current.features.size(), 5u);
    EXPECT_EQ(undo.size(), 1u);
    EXPECT_TRUE(redo.empty());
    Snapshots none;
    EXPECT_EQ(step(current, none, redo), StepResult::empty);
}

}  // namespace
}  // namespace ivo
