// Picking under the pointer in the model, the work of every pointer move: the hits against
// the bodies alone (what the view already does while choosing a plane), then the whole pick
// with the regions of every sketch made visible, the worst case.
#include <benchmark/benchmark.h>

#include "app/model_selection.h"
#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "geometry/mesh.h"

namespace {

using namespace ivo;

struct Model {
    Doc doc;
    std::map<Id, std::vector<Tri>> tris;
    V3 eye, dir;
};

Model load(const std::string& name) {
    std::string reason;
    const auto text =
        readFile(std::string(IVORANE_EXAMPLES_DIR) + "/" + name, kMaxDocumentBytes, reason);
    auto doc = text ? decodeDoc(*text, reason) : std::nullopt;
    if (!doc) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), reason.c_str());
        std::exit(1);
    }
    Model m{*doc, {}, {}, {}};
    Box3 box;
    for (const Body& b : Evaluator::run(m.doc).bodies) {
        m.tris[b.id] = triangles(*b.solid);
        box.add(solidBox(*b.solid).lo);
        box.add(solidBox(*b.solid).hi);
    }
    for (Feature& f : m.doc.features)
        if (f.sketch) f.sketch->visible = true;
    // From above and aside, towards a point off the centre (the centre may be a hole).
    const V3 at = box.center() + V3{box.radius() * 0.13, 0, box.radius() * 0.07};
    m.eye = at + V3{1, 2, 1.5}.normalized() * (box.radius() * 4 + 10);
    m.dir = (at - m.eye).normalized();
    return m;
}

void BM_Hits(benchmark::State& state, const std::string& name) {
    const Model m = load(name);
    const PickScene scene{&m.tris, &m.doc.hidden, false};
    for (auto _ : state)
        benchmark::DoNotOptimize(allHits(scene, m.eye, m.dir, m.eye));
}

void BM_Pick(benchmark::State& state, const std::string& name) {
    const Model m = load(name);
    const PickScene scene{&m.tris, &m.doc.hidden, false};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            pickItem(m.doc, m.tris, allHits(scene, m.eye, m.dir, m.eye), m.eye, m.dir, "face"));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Hits, piece_30, "piece_30_fonctions.q3d")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pick, piece_30, "piece_30_fonctions.q3d")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hits, plaque_100, "plaque_100_trous.q3d")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pick, plaque_100, "plaque_100_trous.q3d")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
