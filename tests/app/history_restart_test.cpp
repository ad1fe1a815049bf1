// Undo steps that outlive the process: drawn with mouse events, the process killed after the
// autosave, Ctrl+Z after the next start; unreadable or unfitting history files set aside.
#include <sys/stat.h>

#include <QFile>

#include "app/app_fixture.h"
#include "app/session.h"
#include "app/undo_store.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

struct HistoryRestart : AppFixture {
    static std::string historyFile() { return dataDir() + "/undo-history.bin"; }
    static QStringList setAside() { return AppFixture::setAside("undo-history.bin"); }
    static std::optional<std::vector<TabHistory>> readHistory() {
        std::string reason;
        return decodeHistory(readAll(historyFile()), reason);
    }
    // Waits for the delayed autosave to have stored `undo` steps in the active tab.
    static bool storedSteps(size_t tab, size_t undo) {
        return QTest::qWaitFor(
            [&] {
                const auto h = readHistory();
                return h && h->size() > tab && (*h)[tab].undo.size() == undo;
            },
            5000);
    }
    void click(MainController& c, V2 p) { clickView(c, seenAt(c, p)); }
    void ctrlZ(MainController& c) {
        QTest::keyClick(c.window.get(), Qt::Key_Z, Qt::ControlModifier);
    }
};

size_t curves(const Doc& d) {
    const Sketch& s = *d.features.at(0).sketch;
    return s.lines.size() + s.circles.size();
}

TEST_F(HistoryRestart, CtrlZAfterAKilledProcessUndoesTheLastStepsInOrder) {
    MainController& c = launch({example("equerre.q3d")});
    c.newTab();
    c.startSketch(SketchPlane::xy());  // step 1
    ASSERT_TRUE(c.currentSketch());
    c.runSketchTool("rect");  // step 2: a rectangle, four lines
    click(c, {0, 0});
    click(c, {40, 20});
    c.runSketchTool("circle");  // step 3: a circle
    click(c, {60, 10});
    click(c, {70, 10});
    ASSERT_EQ(c.undoStack.size(), 3u);
    ASSERT_EQ(curves(c.doc()), 5u);
    const std::string last = encodeDoc(c.doc(), false);
    const std::vector<std::string> before{c.undoStack[0].json(), c.undoStack[1].json(),
                                          c.undoStack[2].json()};
    ASSERT_TRUE(storedSteps(1, 3));

    quit(false);  // killed: no quit code runs
    MainController& again = launch();
    ASSERT_EQ(again.tabs.size(), 2u);
    ASSERT_EQ(again.activeTab, 1u);
    EXPECT_EQ(encodeDoc(again.doc(), false), last);
    ASSERT_EQ(again.undoStack.size(), 3u);
    EXPECT_TRUE(setAside().isEmpty());
    const std::string kept = readAll(historyFile());

    ASSERT_TRUE(QTest::qWaitForWindowActive(again.window.get()));
    ctrlZ(again);  // the circle goes
    EXPECT_EQ(encodeDoc(again.doc(), false), before[2]);
    EXPECT_EQ(curves(again.doc()), 4u);
    ctrlZ(again);  // then the rectangle
    EXPECT_EQ(encodeDoc(again.doc(), false), before[1]);
    EXPECT_EQ(curves(again.doc()), 0u);
    ctrlZ(again);  // then the sketch itself
    EXPECT_TRUE(again.doc().features.empty());
    ctrlZ(again);
    EXPECT_EQ(dialogs->beeps, 1);

    // The redo steps are kept too: redo once, be killed, redo the rest after the restart.
    QTest::keyClick(again.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(again.doc().features.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const auto h = readHistory();
            return h && h->size() == 2 && (*h)[1].redo.size() == 2;
        },
        5000));
    // The equerre tab, never changed, keeps no steps at all.
    EXPECT_TRUE(readHistory()->at(0).undo.empty());
    // The file read at the start was appended to, not written again.
    EXPECT_EQ(readAll(historyFile()).substr(0, kept.size()), kept);
    quit(false);
    MainController& third = launch();
    ASSERT_EQ(third.redoStack.size(), 2u);
    ASSERT_TRUE(QTest::qWaitForWindowActive(third.window.get()));
    QTest::keyClick(third.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(third.window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(encodeDoc(third.doc(), false), last);
}

TEST_F(HistoryRestart, AnUnreadableOrUnfittingHistoryIsSetAsideAndTheDocumentsOpen) {
    // A real history first, for the cases made from it.
    MainController& c = launch({example("bouton.q3d")});
    c.startSketch(SketchPlane::xz());
    c.finishSketch();
    ASSERT_TRUE(storedSteps(0, 1));
    const size_t changed = c.doc().features.size();
    quit(false);
    const std::string good = readAll(historyFile());
    const std::string session = readAll(sessionFile());
    Doc other;
    other.features.emplace_back(other.newId(), fk::sketch, "Autre");
    const std::string otherDoc =
        encodeSession({{{other, std::nullopt, true}}, 0});  // one tab, another document

    const struct {
        const char* what;
        std::string history, session;
        size_t features;  // of the restored tab
    } cases[] = {
        {"cut in its header", good.substr(0, 10), session, changed},
        // The index before the cut is whole, but of the document before the change.
        {"cut in its last index", good.substr(0, good.size() - 40), session, changed},
        {"another document", good, otherDoc, 1},
    };
    for (const auto& k : cases) {
        std::filesystem::remove_all(dataDir());
        writeSession(k.session);
        std::ofstream(historyFile(), std::ios::binary) << k.history;
        MainController& m = launch();
        EXPECT_EQ(m.doc().features.size(), k.features) << k.what;
        EXPECT_TRUE(m.undoStack.empty()) << k.what;
        EXPECT_TRUE(dialogs->alerts.empty()) << k.what;
        const QStringList aside = setAside();
        ASSERT_EQ(aside.size(), 1) << k.what;
        EXPECT_EQ(readAll(dataDir() + "/" + fromQt(aside[0])), k.history) << k.what;
        // The next write starts a new history beside the kept copy.
        m.startSketch(SketchPlane::xy());
        m.autosaveNow();
        const auto h = readHistory();
        ASSERT_TRUE(h) << k.what;
        EXPECT_EQ(h->at(m.activeTab).undo.size(), 1u) << k.what;
        quit(false);
    }

    // A history that is not a regular file is set aside unread; reading it would block.
    std::filesystem::remove_all(dataDir());
    writeSession(session);
    ASSERT_EQ(::mkfifo(historyFile().c_str(), 0600), 0);
    MainController& fifo = launch();
    EXPECT_EQ(fifo.doc().features.size(), changed);
    EXPECT_TRUE(fifo.undoStack.empty());
    EXPECT_EQ(setAside().size(), 1);
    quit(false);

    // Without a session, a history has no tab to go to.
    std::filesystem::remove_all(dataDir());
    std::filesystem::create_directories(dataDir());
    std::ofstream(historyFile(), std::ios::binary) << good;
    MainController& blank = launch();
    EXPECT_TRUE(blank.currentIsBlank());
    EXPECT_EQ(setAside().size(), 1);
}

}  // namespace
}  // namespace ivo::testing
