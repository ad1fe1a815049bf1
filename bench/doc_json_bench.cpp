// Decoding of large documents: the event-driven decoder against the tree-building one it
// replaced (a JSON tree first, then records read from it), on a generated 78 MB model and on
// 100 MB of empty objects under an unknown key. Besides the time, each run reports its peak
// memory: the resident size above what the process held before decoding (the text itself),
// and the ratio of the text plus that peak to the text's size.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <string>

#include "document/doc_json.h"
#include "support/doc_builder.h"

namespace {

using namespace ivo;

// Kilobytes of the given line of /proc/self/status ("VmRSS:", "VmHWM:").
double statusKb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size()));
    return 0;
}

// The peak resident size from now on starts at the current one.
double resetPeak() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKb("VmRSS:");
}

// One sketch feature of a busy drawing: a grid of rectangles with their constraints, then
// an extrusion of some of them.
Doc oneBlock() {
    Sketch s;
    for (int i = 0; i < 400; ++i) {
        const double x = (i % 20) * 12.5, y = (i / 20) * 7.25;
        const auto ids =
            ivo::testing::addPolygon(s, ivo::testing::rect(x, y, x + 10.125, y + 5.0625));
        s.addConstraint(ck::horizontal, {ids[0]}, std::nullopt);
        s.addConstraint(ck::length, {ids[0]}, 10.125);
    }
    ivo::testing::DocBuilder b;
    const Id sk = b.sketch(std::move(s));
    b.extrude(sk, {{1, 1}, {13, 1}, {26, 1}}, 12.5);
    return b.doc;
}

// A pretty-printed model of about `bytes`, made of copies of oneBlock's features with ids of
// their own.
std::string bigModel(size_t bytes) {
    const std::string one = encodeDoc(oneBlock(), true);
    const std::string open = "\"features\": [\n", close = "\n  ],\n  \"marker\"";
    const size_t from = one.find(open) + open.size(), to = one.find(close);
    const std::string head = one.substr(0, from), body = one.substr(from, to - from);
    std::string text = head;
    text.reserve(bytes + body.size() + 200);
    Id next = 1;
    while (text.size() < bytes) {
        if (next > 1) text += ",\n";
        // The block's two features are ids 1 and 2, the extrusion naming its sketch 1.
        std::string copy = body;
        auto renumber = [&](const std::string& from, const std::string& to) {
            for (size_t at = copy.find(from); at != std::string::npos;
                 at = copy.find(from, at + to.size()))
                copy.replace(at, from.size(), to);
        };
        renumber("\n      \"id\": 1,", "\n      \"id\": " + std::to_string(next) + ",");
        renumber("\n      \"id\": 2,", "\n      \"id\": " + std::to_string(next + 1) + ",");
        renumber("\"sketch\": 1,", "\"sketch\": " + std::to_string(next) + ",");
        text += copy;
        next += 2;
    }
    text += "\n  ],\n  \"marker\": " + std::to_string(next - 1) +
            ",\n  \"hidden\": [],\n  \"nextId\": " + std::to_string(next) + "\n}\n";
    return text;
}

// 100 MB of {} under a key the reader does not know.
std::string emptyObjects(size_t bytes) {
    std::string text = R"({"version":1,"features":[],"marker":0,"hidden":[],"nextId":1,"x":[)";
    text.reserve(bytes + 16);
    while (text.size() < bytes)
        text += "{},";
    text += "{}]}";
    return text;
}

const std::string& model() {
    static const std::string text = bigModel(size_t{78} << 20);
    return text;
}

const std::string& braces() {
    static const std::string text = emptyObjects(size_t{100} << 20);
    return text;
}

std::optional<Doc> viaTree(const std::string& text, std::string& reason) {
    const std::optional<Json> tree = parseJson(text, reason);
    if (!tree) return std::nullopt;
    JsonReader r;
    Doc d;
    if (!readDoc(r, *tree, d)) {
        reason = r.error();
        return std::nullopt;
    }
    return d;
}

template <class Decode>
void run(benchmark::State& state, const std::string& text, Decode decode) {
    const double before = resetPeak();
    size_t features = 0;
    std::string reason;
    for (auto _ : state) {
        const std::optional<Doc> d = decode(text, reason);
        if (!d) state.SkipWithError(reason.c_str());
        features = d ? d->features.size() : 0;
    }
    const double peakMb = (statusKb("VmHWM:") - before) / 1024;
    const double textMb = static_cast<double>(text.size()) / (1 << 20);
    state.counters["text_MB"] = textMb;
    state.counters["peak_MB"] = peakMb;
    state.counters["peak_per_size"] = (textMb + peakMb) / textMb;
    state.counters["features"] = static_cast<double>(features);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Model_Events(benchmark::State& state) {
    run(state, model(), [](const std::string& t, std::string& r) { return decodeDoc(t, r); });
}

void BM_Model_TreeBaseline(benchmark::State& state) {
    run(state, model(), viaTree);
}

void BM_EmptyObjects_Events(benchmark::State& state) {
    run(state, braces(), [](const std::string& t, std::string& r) { return decodeDoc(t, r); });
}

void BM_EmptyObjects_TreeBaseline(benchmark::State& state) {
    run(state, braces(), viaTree);
}

// The texts are made before the first measure, so that none of them counts in a peak.
void makeTexts(const benchmark::State&) {
    model();
    braces();
}

BENCHMARK(BM_Model_Events)->Setup(makeTexts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Model_TreeBaseline)->Setup(makeTexts)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EmptyObjects_Events)->Setup(makeTexts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EmptyObjects_TreeBaseline)
    ->Setup(makeTexts)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
