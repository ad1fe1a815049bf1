// Crease edges and the exporters on 200 000-triangle meshes: a finely divided sphere and a
// grid of boxes whose edges line up in long rows. Baselines in the same run: the STL writer
// for the 3MF writer, and bit-by-bit CRC-32 for the table-driven one.
#include <benchmark/benchmark.h>

#include <random>

#include "export/crc32.h"
#include "export/stl.h"
#include "export/three_mf.h"
#include "export/zip.h"
#include "geometry/mesh.h"
#include "support/export_readers.h"
#include "support/solids.h"

namespace {

using namespace ivo;
using namespace ivo::testing;

const std::vector<Tri>& sphere() {
    static const std::vector<Tri> tris = sphereTris({0, 0, 0}, 50, 250, 400);  // 199 200
    return tris;
}

const std::vector<Tri>& boxGrid() {
    static const std::vector<Tri> tris = boxGridTris(129, 129, 1, 0.5);  // 199 692
    return tris;
}

template <class F>
void perTriangle(benchmark::State& state, const std::vector<Tri>& tris, F f) {
    for (auto _ : state)
        benchmark::DoNotOptimize(f(tris));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tris.size()));
}

void BM_FeatureEdges_Sphere(benchmark::State& state) {
    perTriangle(state, sphere(), [](const auto& t) { return featureEdges(t); });
}
void BM_FeatureEdges_BoxGrid(benchmark::State& state) {
    perTriangle(state, boxGrid(), [](const auto& t) { return featureEdges(t); });
}

// The writers take the bodies' meshes as the shell hands them over, built once.
void BM_ThreeMFData_Sphere(benchmark::State& state) {
    const std::vector<NamedMesh> models{{"Sphère", sphere()}};
    perTriangle(state, sphere(), [&](const auto&) { return threeMFData(models); });
}
void BM_ThreeMFModelText_Sphere(benchmark::State& state) {
    const std::vector<NamedMesh> models{{"Sphère", sphere()}};
    perTriangle(state, sphere(), [&](const auto&) { return threeMFModelText(models); });
}
void BM_ThreeMFData_BoxGrid(benchmark::State& state) {
    const std::vector<NamedMesh> models{{"Grille", boxGrid()}};
    perTriangle(state, boxGrid(), [&](const auto&) { return threeMFData(models); });
}
void BM_StlData_Sphere(benchmark::State& state) {
    const std::vector<std::vector<Tri>> meshes{sphere()};
    perTriangle(state, sphere(), [&](const auto&) { return stlData(meshes); });
}

std::string randomBytes(std::size_t n) {
    std::mt19937 rng(1);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

void BM_Crc32(benchmark::State& state) {
    const std::string data = randomBytes(16 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(data));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}
void BM_Crc32_Bitwise(benchmark::State& state) {
    const std::string data = randomBytes(16 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32Bitwise(data));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}
void BM_ZipStored(benchmark::State& state) {
    const std::vector<ZipEntry> entries{{"a", randomBytes(16 << 20)}};
    for (auto _ : state)
        benchmark::DoNotOptimize(zipStored(entries));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(16 << 20));
}

BENCHMARK(BM_FeatureEdges_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeatureEdges_BoxGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeMFData_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeMFModelText_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeMFData_BoxGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StlData_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32_Bitwise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZipStored)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
