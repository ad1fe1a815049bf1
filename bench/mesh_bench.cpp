// The mesh step of a body, as the exporters and the view take it: triangles with corners
// welded and T-junctions resolved, against the plain fan of every polygon (the baseline, in
// the same run). On the 200 000-triangle sphere and box grid of the export benchmark, which
// have no T-junctions (the cost of looking), and on the drilled plate of the samples, where
// every hole left them. Counter: triangles out. The view's overhang flags are timed on the
// plate as the mesh step plus the classification, against the mesh step alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "geometry/mesh.h"
#include "geometry/overhang.h"
#include "support/solids.h"

namespace {

using namespace ivo;
using namespace ivo::testing;

const Solid& sphere() {
    static const Solid s = sphereSolid({0, 0, 0}, 50, 250, 400);  // 199 200 triangles
    return s;
}

const Solid& boxGrid() {
    static const Solid s = [] {
        Solid out;
        for (int i = 0; i < 129 * 129; ++i) {  // 199 692 triangles
            const V3 lo{(i / 129) * 1.5, 0, (i % 129) * 1.5};
            for (const CPoly& p : polyBox(lo, lo + V3{1, 1, 1}))
                out.push_back(p);
        }
        return out;
    }();
    return s;
}

const Solid& plate() {
    static const Solid s = [] {
        std::string reason;
        const auto text = readFile(std::string(IVORANE_EXAMPLES_DIR) + "/plaque_100_trous.q3d",
                                   kMaxDocumentBytes, reason);
        const auto doc = text ? decodeDoc(*text, reason) : std::nullopt;
        const EvalResult r = doc ? Evaluator::run(*doc) : EvalResult{};
        if (r.bodies.empty()) {
            std::fprintf(stderr, "plaque_100_trous.q3d: %s\n", reason.c_str());
            std::exit(1);
        }
        return *r.bodies[0].solid;
    }();
    return s;
}

template <class F>
void mesh(benchmark::State& state, const Solid& s, F f) {
    std::size_t n = 0;
    for (auto _ : state) {
        const std::vector<Tri> tris = f(s);
        n = tris.size();
        benchmark::DoNotOptimize(tris.data());
    }
    state.counters["triangles"] = double(n);
}

void BM_Triangles_Sphere(benchmark::State& state) {
    mesh(state, sphere(), triangles);
}
void BM_FanTriangles_Sphere(benchmark::State& state) {
    mesh(state, sphere(), fanTriangles);
}
void BM_Triangles_BoxGrid(benchmark::State& state) {
    mesh(state, boxGrid(), triangles);
}
void BM_FanTriangles_BoxGrid(benchmark::State& state) {
    mesh(state, boxGrid(), fanTriangles);
}
void BM_Triangles_Plaque100Trous(benchmark::State& state) {
    mesh(state, plate(), triangles);
}
void BM_FanTriangles_Plaque100Trous(benchmark::State& state) {
    mesh(state, plate(), fanTriangles);
}

// The mesh step with the overhang flags the view makes when it shows them; its counter is the
// number of triangles marked.
void BM_TrianglesAndOverhangs_Plaque100Trous(benchmark::State& state) {
    std::size_t marked = 0;
    for (auto _ : state) {
        const std::vector<Tri> tris = triangles(plate());
        const std::vector<std::uint8_t> flags = overhangFlags(tris, kDefaultOverhangAngle);
        marked = 0;
        for (std::uint8_t f : flags)
            marked += f;
        benchmark::DoNotOptimize(flags.data());
    }
    state.counters["overhangs"] = double(marked);
}
// The classification alone, on the plate's mesh made once.
void BM_Overhangs_Plaque100Trous(benchmark::State& state) {
    const std::vector<Tri> tris = triangles(plate());
    for (auto _ : state) {
        const std::vector<std::uint8_t> flags = overhangFlags(tris, kDefaultOverhangAngle);
        benchmark::DoNotOptimize(flags.data());
    }
    state.counters["triangles"] = double(tris.size());
}

BENCHMARK(BM_Triangles_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FanTriangles_Sphere)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles_BoxGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FanTriangles_BoxGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles_Plaque100Trous)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FanTriangles_Plaque100Trous)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrianglesAndOverhangs_Plaque100Trous)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Overhangs_Plaque100Trous)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
