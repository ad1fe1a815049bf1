// The whole window on the machine's OpenGL (Mesa's software renderer under Xvfb here): opening
// a sample model (evaluation, body meshes, first frame) and starting a sketch in it (undo
// snapshot, incremental evaluation, redraw), against the same steps on an empty model as the
// in-run baseline; and one drag step in the sketch editor. Run under a display: tools/with-xvfb.sh
// build/bench/app_bench
#include <benchmark/benchmark.h>

#include <QTest>

#include "app/main_controller.h"
#include "bench_window.h"
#include "editor/sketch_editor.h"
#include "support/solver_sketches.h"
#include "viewport/viewport.h"

namespace {

using namespace ivo;

using bench::controller;
using bench::frame;

double triangles(const MainController& c) {
    size_t n = 0;
    for (const auto& [id, tris] : c.viewport->bodyTris)
        n += tris.size();
    return static_cast<double>(n);
}

std::string sample(const std::string& name) {
    return name.empty() ? std::string() : std::string(IVORANE_EXAMPLES_DIR) + "/" + name;
}

// Open, evaluate, mesh and draw; an empty name measures a new empty tab instead.
void BM_OpenAndFirstFrame(benchmark::State& state, const std::string& name) {
    MainController& c = controller();
    double tris = 0;
    for (auto _ : state) {
        if (name.empty())
            c.newTab();
        else if (!c.open(sample(name)))
            state.SkipWithError("open failed");
        frame(c);
        state.PauseTiming();
        tris = triangles(c);
        c.closeCurrentTab();
        state.ResumeTiming();
    }
    state.counters["triangles"] = tris;
}

// A sketch started in the open model: snapshot, incremental evaluation, redraw.
void BM_StartSketch(benchmark::State& state, const std::string& name) {
    MainController& c = controller();
    if (!name.empty()) c.open(sample(name));
    for (auto _ : state) {
        c.startSketch(SketchPlane::xy());
        frame(c);
        state.PauseTiming();
        c.undoAction();
        state.ResumeTiming();
    }
    state.counters["triangles"] = triangles(c);
    c.closeCurrentTab();
}

// One step of a point drag in the sketch editor (solve holding the point, store, redraw the
// overlay), on the grid-n sketch of the solver's drag cases; n = 0 redraws an empty sketch
// after a drag event that moves nothing, the in-run baseline.
void BM_SketchDragStep(benchmark::State& state, int n, bool drag_) {
    MainController& c = controller();
    c.startSketch(SketchPlane::xy());
    testing::DragCase drag = n > 0 ? testing::grid(n) : testing::DragCase{"empty", Sketch(), 0};
    if (n > 0) c.storeSketch(drag.sketch);
    c.runSketchTool("select");
    frame(c);
    const Sketch& s = *c.currentSketch();
    const V2 start = *s.pos(drag.dragged);
    const auto at = [&](V2 p) { return *c.viewport->toScreen(s, p); };
    if (n > 0 && !c.editor->mouseDown(at(start), 1))
        state.SkipWithError("no point under the press");
    int k = 0;
    for (auto _ : state) {
        if (drag_) c.editor->mouseDragged(at(start + V2{0, (k++ % 2) ? 0.0 : 0.5}));
        frame(c);
    }
    c.editor->mouseUp();
    state.counters["curves"] = static_cast<double>(s.lines.size());
    c.finishSketch();
}

// Pointer moves over the grid-15 sketch with a line pending and 300 foreign points: the snap
// search alone (`whole` false), or the whole move event (snap, preview, overlay redraw).
// The grid without foreign points, the magnet off (point snaps only) and the whole event on an
// empty sketch are the in-run baselines.
void BM_SnapMove(benchmark::State& state, int foreignCount, bool whole, bool grid = true,
                 bool magnet = true) {
    MainController& c = controller();
    c.startSketch(SketchPlane::xy());
    if (grid) c.storeSketch(testing::grid(15).sketch);
    c.magnet = magnet;
    c.runSketchTool("line");
    frame(c);
    const Sketch& s = *c.currentSketch();
    const auto at = [&](V2 p) { return *c.viewport->toScreen(s, p); };
    c.editor->mouseDown(at({-20, -20}), 1);
    c.editor->foreign.clear();
    for (int i = 0; i < foreignCount; ++i)
        c.editor->foreign.push_back({-50.0 + (i % 20) * 7.3, -60.0 + (i / 20) * 6.1});
    int k = 0;
    size_t snapped = 0;
    for (auto _ : state) {
        const V2 p{(k % 37) * 5.1, (k / 37 % 29) * 6.3};
        ++k;
        if (whole) {
            c.editor->mouseMoved(at(p));
            frame(c);
        } else {
            snapped += c.editor->findSnap(at(p)).has_value();
        }
    }
    state.counters["snapped"] = static_cast<double>(snapped);
    c.finishSketch();
}

BENCHMARK_CAPTURE(BM_SnapMove, find_no_foreign, 0, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SnapMove, find_300_foreign, 300, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SnapMove, find_300_foreign_magnet_off, 300, false, true, false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SnapMove, move_event_300_foreign, 300, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SnapMove, move_event_empty_sketch, 0, true, false)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_SketchDragStep, empty, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SketchDragStep, grid15, 15, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SketchDragStep, grid15_redraw_only, 15, false)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_OpenAndFirstFrame, empty, std::string())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenAndFirstFrame, plaque_100_trous, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenAndFirstFrame, piece_30_fonctions, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartSketch, empty, std::string())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartSketch, plaque_100_trous, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartSketch, piece_30_fonctions, std::string("piece_30_fonctions.q3d"))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return ivo::bench::runWindowBenchmarks(argc, argv);
}
