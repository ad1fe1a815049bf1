// Evaluation of the sample models and of generated plates with one cut feature per hole: a
// full run from scratch, and the common edit — a change to the last feature — through the
// incremental evaluation, both in the same run. The plates also report the heap an
// Evaluation holds after a cold run (its memo of the states after each feature) and the peak
// heap of that run, by the counting allocator below.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "counting_allocator.h"
#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "support/doc_builder.h"

namespace {

using namespace ivo;
using heapcount::liveBytes;
using heapcount::peakBytes;

Doc load(const std::string& name) {
    std::string reason;
    const auto text =
        readFile(std::string(IVORANE_EXAMPLES_DIR) + "/" + name, kMaxDocumentBytes, reason);
    auto doc = text ? decodeDoc(*text, reason) : std::nullopt;
    if (!doc) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), reason.c_str());
        std::exit(1);
    }
    return *doc;
}

// Nudges the last active feature's main value, alternating between two settings.
void editLast(Doc& doc, bool flip) {
    Feature& f = doc.features.back();
    const double k = flip ? 1.1 : 1 / 1.1;
    if (f.extrude) f.extrude->distance *= k;
    if (f.revolve) f.revolve->angle = flip ? 350 : 360;
    if (f.fillet) f.fillet->radius *= k;
    if (f.sketch && f.sketch->points.size() > 1) f.sketch->points.back().p.x += flip ? 0.5 : -0.5;
}

void BM_Cold(benchmark::State& state, const std::string& name) {
    Doc doc = load(name);
    size_t polygons = 0;
    for (auto _ : state) {
        const EvalResult r = Evaluator::run(doc);
        polygons = 0;
        for (const Body& b : r.bodies)
            polygons += b.solid->size();
    }
    state.counters["polygons"] = static_cast<double>(polygons);
}

void BM_EditLast(benchmark::State& state, const std::string& name) {
    Doc doc = load(name);
    Evaluation ev;
    ev.run(doc);
    bool flip = false;
    for (auto _ : state) {
        editLast(doc, flip = !flip);
        benchmark::DoNotOptimize(ev.run(doc));
    }
    state.counters["recomputed"] = static_cast<double>(ev.lastRecomputed());
}

void BM_EditLastFromScratch(benchmark::State& state, const std::string& name) {
    Doc doc = load(name);
    bool flip = false;
    for (auto _ : state) {
        editLast(doc, flip = !flip);
        benchmark::DoNotOptimize(Evaluator::run(doc));
    }
}

// A plate of `holes` holes (r 3 on a 10 mm grid, ten rows), drawn as circles of one sketch
// on its top face and cut through one feature each, as in plaque_100_trous.
Doc holePlate(int holes) {
    testing::DocBuilder b;
    const int columns = (holes + 9) / 10;
    const Id base = b.sketch(testing::rectSketch(0, 0, 10.0 * columns, 100));
    const Id plate = b.extrude(base, {{1, 1}}, 5);
    Sketch circles(SketchPlane{"Face", {0, 0, 5}, {1, 0, 0}, {0, 0, 1}});
    std::vector<V2> centres;
    for (int i = 0; i < holes; ++i) {
        centres.push_back({5.0 + 10 * (i / 10), 5.0 + 10 * (i % 10)});
        testing::addCircle(circles, centres.back(), 3);
    }
    const Id sketch = b.sketch(std::move(circles));
    for (V2 c : centres) {
        b.extrude(sketch, {c}, -5, op::cut);
        b.doc.features.back().extrude->target = plate;
    }
    return b.doc;
}

void BM_PlateCold(benchmark::State& state, int holes) {
    const Doc doc = holePlate(holes);
    for (auto _ : state)
        benchmark::DoNotOptimize(Evaluator::run(doc));
    const size_t base = liveBytes;
    peakBytes = base;
    {
        Evaluation ev;
        const size_t polygons = ev.run(doc).bodies.at(0).solid->size();
        state.counters["polygons"] = static_cast<double>(polygons);
        state.counters["heldMB"] = static_cast<double>(liveBytes - base) / 1e6;
    }
    state.counters["peakMB"] = static_cast<double>(peakBytes - base) / 1e6;
}

void BM_PlateEditLast(benchmark::State& state, int holes) {
    Doc doc = holePlate(holes);
    Evaluation ev;
    ev.run(doc);
    bool flip = false;
    for (auto _ : state) {
        editLast(doc, flip = !flip);
        benchmark::DoNotOptimize(ev.run(doc));
    }
    state.counters["recomputed"] = static_cast<double>(ev.lastRecomputed());
}

const int registered = [] {
    for (const int holes : {100, 1000}) {
        const std::string name = "plate_" + std::to_string(holes) + "_cut_features";
        benchmark::RegisterBenchmark(("Cold/" + name).c_str(), BM_PlateCold, holes)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EditLast/" + name).c_str(), BM_PlateEditLast, holes)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto& e : std::filesystem::directory_iterator(IVORANE_EXAMPLES_DIR)) {
        if (e.path().extension() != ".q3d") continue;
        const std::string name = e.path().filename().string();
        benchmark::RegisterBenchmark(("Cold/" + name).c_str(), BM_Cold, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EditLast/" + name).c_str(), BM_EditLast, name)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EditLastFromScratch/" + name).c_str(),
                                     BM_EditLastFromScratch, name)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
