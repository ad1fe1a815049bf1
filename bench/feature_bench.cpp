// One step of dragging an extrusion's arrow in the whole window (Mesa's software renderer
// under Xvfb here): the extrusion rewritten, the timeline re-evaluated from it, the bodies
// rebuilt and the frame drawn. In the same run: the step without its frame (the application's
// share), the evaluation alone, the bodies handed to the view and drawn (the renderer's own
// work after a change), and a frame with nothing changed.
// Run under a display: tools/with-xvfb.sh build/bench/feature_bench
#include <benchmark/benchmark.h>

#include <QTest>

#include "app/main_controller.h"
#include "bench_window.h"
#include "viewport/viewport.h"

namespace {

using namespace ivo;

using bench::controller;
using bench::frame;

enum class Part { whole, withoutFrame, frameOnly, evaluateOnly, sceneFrame };

// Opens `name` and its first or last extrusion; the pointer then moves the arrow's tip one
// millimetre out and back on every other step.
void BM_ExtrudeDragStep(benchmark::State& state, const std::string& name, bool last, Part part) {
    MainController& c = controller();
    if (!c.open(std::string(IVORANE_EXAMPLES_DIR) + "/" + name)) {
        state.SkipWithError("open failed");
        return;
    }
    std::optional<size_t> index;
    for (size_t i = 0; i < c.doc().features.size(); ++i)
        if (c.doc().features[i].kind == fk::extrude && (last || !index)) index = i;
    if (index) c.editFeatureAt(*index);
    const std::optional<ExtrudeHandle> h = c.currentExtrudeHandle();
    if (!h) {
        state.SkipWithError("no extrusion arrow");
        c.closeCurrentTab();
        return;
    }
    c.viewport->fit();
    frame(c);
    const double sign = h->dist < 0 ? -1 : 1;
    const std::optional<ViewPoint> out = c.viewport->project(h->tip + h->n * sign);
    const std::optional<ViewPoint> back = c.viewport->project(h->tip);
    if (!out || !back) state.SkipWithError("the arrow is off screen");
    int k = 0;
    Doc doc = c.doc();
    Evaluation evaluation;
    evaluation.run(doc);
    for (auto _ : state) {
        switch (part) {
            case Part::whole:
                c.dragExtrude((k++ % 2) ? *back : *out);
                frame(c);
                break;
            case Part::withoutFrame: c.dragExtrude((k++ % 2) ? *back : *out); break;
            case Part::frameOnly: frame(c); break;
            case Part::evaluateOnly:
                // The evaluation a drag step runs, alone: the same timeline, one distance changed.
                doc.features[*index].extrude->distance += (k++ % 2) ? -1 : 1;
                benchmark::DoNotOptimize(evaluation.run(doc));
                break;
            case Part::sceneFrame:
                // The bodies handed to the view again and drawn: meshes, upload and the frame.
                c.viewport->rebuildBodies();
                frame(c);
                break;
        }
    }
    size_t tris = 0;
    for (const auto& [id, t] : c.viewport->bodyTris)
        tris += t.size();
    state.counters["triangles"] = static_cast<double>(tris);
    state.counters["features"] = static_cast<double>(c.doc().features.size() - *index);
    c.inspectorCancel();
    c.closeCurrentTab();
}

#define DRAG_CASES(label, file, last)                                                          \
    BENCHMARK_CAPTURE(BM_ExtrudeDragStep, label##_whole, std::string(file), last, Part::whole) \
        ->Unit(benchmark::kMillisecond);                                                       \
    BENCHMARK_CAPTURE(BM_ExtrudeDragStep, label##_without_frame, std::string(file), last,      \
                      Part::withoutFrame)                                                      \
        ->Unit(benchmark::kMillisecond);                                                       \
    BENCHMARK_CAPTURE(BM_ExtrudeDragStep, label##_frame_only, std::string(file), last,         \
                      Part::frameOnly)                                                         \
        ->Unit(benchmark::kMillisecond);                                                       \
    BENCHMARK_CAPTURE(BM_ExtrudeDragStep, label##_evaluate_only, std::string(file), last,      \
                      Part::evaluateOnly)                                                      \
        ->Unit(benchmark::kMillisecond);                                                       \
    BENCHMARK_CAPTURE(BM_ExtrudeDragStep, label##_bodies_and_frame, std::string(file), last,   \
                      Part::sceneFrame)                                                        \
        ->Unit(benchmark::kMillisecond)

DRAG_CASES(piece_30_last, "piece_30_fonctions.q3d", true);
DRAG_CASES(piece_30_first, "piece_30_fonctions.q3d", false);
DRAG_CASES(plaque_100_last, "plaque_100_trous.q3d", true);

}  // namespace

int main(int argc, char** argv) {
    return ivo::bench::runWindowBenchmarks(argc, argv);
}
