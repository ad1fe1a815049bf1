// Triangulation of typical cap regions: a 64-gon plate with 10 round holes and a 2 000-vertex
// outline, each with the cached ear clipper and with the plain one as the baseline.
#include <benchmark/benchmark.h>

#include <random>

#include "geometry/triangulate.h"
#include "support/reference_triangulate.h"
#include "support/shapes.h"

namespace {

using namespace ivo;
using namespace ivo::testing;

Loop plateWithHoles(std::vector<Loop>& holes) {
    holes.clear();
    for (int i = 0; i < 10; ++i) {
        const double a = 2 * 3.141592653589793 * i / 10;
        holes.push_back(reversed(regularPolygon({30 * std::cos(a), 30 * std::sin(a)}, 4, 32)));
    }
    return regularPolygon({0, 0}, 50, 64);
}

Loop wavyOutline() {
    std::mt19937 rng(7);
    return randomStar(rng, {0, 0}, 2000, 80, 100);
}

void BM_Triangulate_64gon10holes(benchmark::State& state) {
    std::vector<Loop> holes;
    const Loop outer = plateWithHoles(holes);
    for (auto _ : state)
        benchmark::DoNotOptimize(triangulate(outer, holes));
}

void BM_Triangulate_64gon10holes_Plain(benchmark::State& state) {
    std::vector<Loop> holes;
    const Loop poly = bridgeHoles(plateWithHoles(holes), holes);
    for (auto _ : state)
        benchmark::DoNotOptimize(clipEarsPlain(poly));
}

void BM_Triangulate_2000(benchmark::State& state) {
    const Loop outer = wavyOutline();
    for (auto _ : state)
        benchmark::DoNotOptimize(triangulate(outer, {}));
}

void BM_Triangulate_2000_Plain(benchmark::State& state) {
    const Loop poly = bridgeHoles(wavyOutline(), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(clipEarsPlain(poly));
}

void BM_Triangulate_Circle2000(benchmark::State& state) {
    const Loop outer = regularPolygon({0, 0}, 100, 2000);
    for (auto _ : state)
        benchmark::DoNotOptimize(triangulate(outer, {}));
}

void BM_Triangulate_Circle2000_Plain(benchmark::State& state) {
    const Loop poly = regularPolygon({0, 0}, 100, 2000);
    for (auto _ : state)
        benchmark::DoNotOptimize(clipEarsPlain(poly));
}

// A 100 × 100 plate with a 10 × 10 grid of 64-segment holes drawn in one sketch.
Loop plate100(std::vector<Loop>& holes) {
    holes.clear();
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            holes.push_back(reversed(regularPolygon({5.0 + 10 * i, 5.0 + 10 * j}, 3, 64)));
    return rect(0, 0, 100, 100);
}

void BM_Triangulate_Plate100Holes(benchmark::State& state) {
    std::vector<Loop> holes;
    const Loop outer = plate100(holes);
    for (auto _ : state)
        benchmark::DoNotOptimize(triangulate(outer, holes));
}

void BM_Triangulate_Plate100Holes_Plain(benchmark::State& state) {
    std::vector<Loop> holes;
    const Loop poly = bridgeHoles(plate100(holes), holes);
    for (auto _ : state)
        benchmark::DoNotOptimize(clipEarsPlain(poly));
}

BENCHMARK(BM_Triangulate_64gon10holes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Triangulate_64gon10holes_Plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Triangulate_2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangulate_2000_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangulate_Circle2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangulate_Circle2000_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangulate_Plate100Holes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangulate_Plate100Holes_Plain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
