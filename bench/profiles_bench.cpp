// Profile finding on typical and hostile sketches: a plate with a 10×10 grid of holes, a
// grid of 202 lines (10 000 cells), and 10 000 overlapping lines. The plain algorithm
// (every pair tested, linear node search, whole-pass pruning, nesting of every loop pair)
// is the baseline, measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "sketch/sketch.h"
#include "support/reference_profiles.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace {

using namespace ivo;
using namespace ivo::testing;

Sketch plate() {
    Sketch s;
    addPolygon(s, rect(0, 0, 110, 110));
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            addCircle(s, {10.0 + 10 * i, 10.0 + 10 * j}, 3);
    return s;
}

Sketch lineGrid() {
    Sketch s;
    for (int k = 0; k <= 100; ++k) {
        addSegment(s, {0, double(k)}, {100, double(k)});
        addSegment(s, {double(k), 0}, {double(k), 100});
    }
    return s;
}

// A rectangle, each side drawn 2 500 times through points of its own.
Sketch repeatedSquare() {
    Sketch s;
    const Loop sq = rect(0, 0, 10, 10);
    for (int k = 0; k < 2500; ++k)
        for (size_t i = 0; i < 4; ++i)
            addSegment(s, sq[i], sq[(i + 1) % 4]);
    return s;
}

// 10 000 collinear segments sliding along one line, crossed by a rectangle.
Sketch lineBundle() {
    Sketch s;
    for (int k = 0; k < 10000; ++k)
        addSegment(s, {k * 1e-3, 0}, {5 + k * 1e-3, 0});
    addPolygon(s, rect(2, -1, 3, 1));
    return s;
}

template <Sketch (*make)()>
void BM_Regions(benchmark::State& state) {
    const Sketch s = make();
    size_t n = 0;
    for (auto _ : state) {
        const auto r = s.regions();
        n = r.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["regions"] = static_cast<double>(n);
}

template <Sketch (*make)()>
void BM_Regions_Plain(benchmark::State& state) {
    const Sketch s = make();
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceRegions(referenceLoops(s)));
}

template <Sketch (*make)()>
void BM_Loops(benchmark::State& state) {
    const Sketch s = make();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.loops());
}

template <Sketch (*make)()>
void BM_Loops_Plain(benchmark::State& state) {
    const Sketch s = make();
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceLoops(s));
}

double minOf(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

void add(const char* name, void (*run)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, run)
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics("min", minOf);
}

}  // namespace

int main(int argc, char** argv) {
    add("Regions/plate_100_holes", BM_Regions<plate>);
    add("Regions/plate_100_holes/plain", BM_Regions_Plain<plate>);
    add("Loops/plate_100_holes", BM_Loops<plate>);
    add("Loops/plate_100_holes/plain", BM_Loops_Plain<plate>);
    add("Regions/grid_202_lines", BM_Regions<lineGrid>);
    add("Regions/grid_202_lines/plain", BM_Regions_Plain<lineGrid>);
    add("Loops/grid_202_lines", BM_Loops<lineGrid>);
    add("Loops/grid_202_lines/plain", BM_Loops_Plain<lineGrid>);
    // The plain algorithm takes tens of seconds on these; only ours is timed.
    add("Regions/square_10000_lines", BM_Regions<repeatedSquare>);
    add("Regions/bundle_10000_lines", BM_Regions<lineBundle>);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
