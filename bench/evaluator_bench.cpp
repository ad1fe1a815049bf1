// Evaluation of the sample models: a full run from scratch, and the common edit — a change
// to the last feature — through the incremental evaluation, both in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"

namespace {

using namespace ivo;

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

const int registered = [] {
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
