// The autosave after one change with 200 undo steps behind it, in the whole window: the
// session file with the history file (the new step appended), against the session file
// alone (the in-run baseline) and the history file written whole (its first write after a
// start, and the occasional rewrite that drops dead steps). Run under a display:
// tools/with-xvfb.sh build/bench/history_bench
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QSaveFile>

#include "app/main_controller.h"
#include "app/session.h"
#include "app/undo_store.h"
#include "bench_window.h"

namespace {

using namespace ivo;

using bench::controller;

// Closes the tab, its changes discarded ("Ne pas enregistrer").
void discard(MainController& c) {
    static_cast<testing::ScriptedDialogs&>(*c.dialogs).answer = 1;
    c.closeCurrentTab();
}

// The sample alone in the window, with a sketch being drawn in it, one point per change,
// `steps` changes.
MainController& withHistory(const std::string& name, size_t steps) {
    MainController& c = controller();
    while (c.tabs.size() > 1 || !c.currentIsBlank())
        discard(c);
    c.open(std::string(IVORANE_EXAMPLES_DIR) + "/" + name);
    c.startSketch(SketchPlane::xy());
    for (size_t i = 1; i < steps; ++i) {
        c.pushUndo();
        Sketch s = *c.currentSketch();
        s.addPoint({static_cast<double>(i % 37), static_cast<double>(i / 37)});
        c.storeSketch(s);
    }
    return c;
}

// One more change, outside the timing: the snapshot belongs to the change, not the autosave.
void change(benchmark::State& state, MainController& c, size_t& i) {
    state.PauseTiming();
    c.pushUndo();
    Sketch s = *c.currentSketch();
    s.addPoint({static_cast<double>(i % 41), 50.0 + static_cast<double>(i / 41)});
    c.storeSketch(s);
    ++i;
    state.ResumeTiming();
}

double historyBytes(const MainController& c) {
    double n = 0;
    for (const Snapshot& s : c.undoStack)
        n += static_cast<double>(s.size());
    return n;
}

void BM_AutosaveAfterOneChange(benchmark::State& state, const std::string& name) {
    MainController& c = withHistory(name, kUndoLimit);
    c.autosaveNow();  // the history file starts whole
    size_t i = 0;
    for (auto _ : state) {
        change(state, c, i);
        c.autosaveNow();
    }
    state.counters["steps"] = static_cast<double>(c.undoStack.size());
    state.counters["history_kB"] = historyBytes(c) / 1024;
    discard(c);
}

// The history file's part of that autosave alone.
void BM_HistoryAfterOneChange(benchmark::State& state, const std::string& name) {
    MainController& c = withHistory(name, kUndoLimit);
    c.autosaveNow();
    size_t i = 0;
    for (auto _ : state) {
        change(state, c, i);
        c.tabs[c.activeTab] = c.captureTab();
        c.writeHistory();
    }
    state.counters["file_kB"] = static_cast<double>(QFileInfo(c.historyPath()).size()) / 1024;
    discard(c);
}

// What the autosave wrote before the history was kept: the session file of every tab.
void BM_SessionFileAlone(benchmark::State& state, const std::string& name) {
    MainController& c = withHistory(name, kUndoLimit);
    size_t i = 0;
    for (auto _ : state) {
        change(state, c, i);
        c.tabs[c.activeTab] = c.captureTab();
        Session s;
        for (const DocTab& t : c.tabs)
            s.tabs.push_back({t.doc, t.fileURL, t.dirty, {}});
        const std::string bytes = encodeSession(s);
        QSaveFile f(c.sessionPath());
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size()) ||
            !f.commit())
            state.SkipWithError("session not written");
    }
    discard(c);
}

// Every step of every tab framed and written atomically.
void BM_HistoryWrittenWhole(benchmark::State& state, const std::string& name) {
    MainController& c = withHistory(name, kUndoLimit);
    c.tabs[c.activeTab] = c.captureTab();
    double bytes = 0;
    for (auto _ : state) {
        std::vector<TabHistory> stored;
        for (const DocTab& t : c.tabs)
            stored.push_back({docFingerprint(t.doc), t.undo, t.redo});
        boundHistory(stored);
        HistoryJournal journal;
        const HistoryJournal::Write w = journal.prepare(stored);
        QSaveFile f(c.historyPath());
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(w.bytes.data(), static_cast<qint64>(w.bytes.size())) !=
                static_cast<qint64>(w.bytes.size()) ||
            !f.commit())
            state.SkipWithError("history not written");
        bytes = static_cast<double>(w.bytes.size());
    }
    state.counters["file_kB"] = bytes / 1024;
    discard(c);
}

BENCHMARK_CAPTURE(BM_AutosaveAfterOneChange, piece_30, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistoryAfterOneChange, piece_30, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SessionFileAlone, piece_30, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistoryWrittenWhole, piece_30, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AutosaveAfterOneChange, plaque_100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistoryAfterOneChange, plaque_100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SessionFileAlone, plaque_100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HistoryWrittenWhole, plaque_100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return ivo::bench::runWindowBenchmarks(argc, argv);
}
