// The shared boolean cases (bench-cases/booleans/*.json), each run by the kernel and by the
// plain clip-and-invert reference as the in-run baseline. Counters: output polygons, peak
// heap during one run (MB, by the counting allocator below), and the volume error against
// the case's expectedVolume (or against the reference's volume when none is given). A
// closing table gives processor-time medians and minimums with ratios against the plain
// kernel and against the other kernels' medians listed in bench-cases/PEERS.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "counting_allocator.h"
#include "geometry/csg.h"
#include "support/reference_csg.h"

namespace {

using namespace ivo;
using heapcount::liveBytes;
using heapcount::peakBytes;
using Json = nlohmann::json;

// The DOM parser with floats read back from their text by from_chars, bit for bit.
struct ExactParser : nlohmann::detail::json_sax_dom_parser<Json> {
    using json_sax_dom_parser::json_sax_dom_parser;
    bool number_float(double, const std::string& s) {
        double v = 0;
        std::from_chars(s.data(), s.data() + s.size(), v);
        return json_sax_dom_parser::number_float(v, s);
    }
};

Solid readSolid(const Json& j) {
    Solid s;
    for (const Json& poly : j.at("polygons")) {
        std::vector<V3> pts;
        for (const Json& p : poly)
            pts.push_back({p.at(0).get<double>(), p.at(1).get<double>(), p.at(2).get<double>()});
        if (auto c = CPoly::fit(pts)) s.push_back(std::move(*c));
    }
    return s;
}

struct Case {
    std::string name, op;
    Solid a;
    std::vector<Solid> b;  // one solid, or the cutters of a sequence
    std::optional<double> expected;
};

using Kernel = std::function<Solid(const Solid&, const Solid&)>;

Solid runCase(const Case& c, const Kernel& unite, const Kernel& subtract, const Kernel& intersect,
              size_t steps) {
    if (c.op == "union") return unite(c.a, c.b[0]);
    if (c.op == "intersect") return intersect(c.a, c.b[0]);
    Solid r = c.a;
    for (size_t i = 0; i < c.b.size() && i < steps; ++i)
        r = subtract(r, c.b[i]);
    return r;
}

const Kernel kOurs[3] = {CSG::unite, CSG::subtract, CSG::intersect};
const Kernel kPlain[3] = {testing::PlainCSG::unite, testing::PlainCSG::subtract,
                          testing::PlainCSG::intersect};

std::vector<Case> loadCases() {
    const char* env = std::getenv("IVORANE_BENCH_CASES");
    const std::filesystem::path dir =
        std::filesystem::path(env ? env : IVORANE_BENCH_CASES_DIR) / "booleans";
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".json") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<Case> cases;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        Json j;
        ExactParser parser(j, false);
        const std::string s = text.str();
        if (!Json::sax_parse(s, &parser) || j.is_discarded()) {
            std::cerr << "unreadable case " << f << "\n";
            continue;
        }
        Case c{j.at("name").get<std::string>(),
               j.at("op").get<std::string>(),
               readSolid(j.at("a")),
               {},
               {}};
        if (c.op == "sequence")
            for (const Json& s : j.at("b"))
                c.b.push_back(readSolid(s));
        else
            c.b.push_back(readSolid(j.at("b")));
        if (j.at("expectedVolume").is_number()) c.expected = j.at("expectedVolume").get<double>();
        cases.push_back(std::move(c));
    }
    return cases;
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// What each benchmark measured, for the closing table: processor ms per run, one entry per
// repetition, and the counters of its last repetition.
struct Figures {
    std::vector<double> ms;
    double polys = 0, peakMB = 0, volErr = 0;
};
std::map<std::string, Figures> figures;

// Times `steps` steps of the case (all of a sequence unless capped), then one more run
// for the counters.
void bench(benchmark::State& state, const std::string& label, const Case& c, bool plain,
           size_t steps) {
    const Kernel* k = plain ? kPlain : kOurs;
    const double t0 = cpuMs();
    for (auto _ : state)
        benchmark::DoNotOptimize(runCase(c, k[0], k[1], k[2], steps));
    Figures& f = figures[label];
    f.ms.push_back((cpuMs() - t0) / double(state.iterations()));
    // Measured from cold: the kernel's working memory, kept between runs, is freed first.
    releaseCsgMemory();
    const size_t base = liveBytes;
    peakBytes = base;
    const Solid r = runCase(c, k[0], k[1], k[2], steps);
    state.counters["polys"] = double(r.size());
    state.counters["peakMB"] = double(peakBytes - base) / 1e6;
    const double vol = signedVolume(r);
    double want = c.expected && steps >= c.b.size() ? *c.expected : NAN;
    if (std::isnan(want)) {
        // No known answer: the plain kernel's volume on the same steps, computed once.
        static std::map<std::pair<std::string, size_t>, double> plainVolumes;
        auto [it, fresh] = plainVolumes.try_emplace({c.name, steps}, 0.0);
        if (fresh) it->second = signedVolume(runCase(c, kPlain[0], kPlain[1], kPlain[2], steps));
        want = it->second;
    }
    state.counters["volErr"] = vol - want;
    f.polys = double(r.size());
    f.peakMB = double(peakBytes - base) / 1e6;
    f.volErr = vol - want;
}

std::string num(double v, int digits, std::chars_format f = std::chars_format::fixed) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, f, digits);
    return std::string(buf, r.ptr);
}

// The other kernels' medians by case and kernel, from the table of PEERS.md: the first
// number of a cell, spaces between its digits allowed; cells without one are left out.
std::map<std::string, std::vector<std::pair<std::string, double>>> readPeers() {
    const char* env = std::getenv("IVORANE_BENCH_CASES");
    std::ifstream in(std::filesystem::path(env ? env : IVORANE_BENCH_CASES_DIR) / "PEERS.md");
    std::map<std::string, std::vector<std::pair<std::string, double>>> peers;
    std::vector<std::string> kernels;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| ", 0) != 0) continue;
        std::vector<std::string> cells;
        std::stringstream row(line.substr(1));
        for (std::string cell; std::getline(row, cell, '|');) {
            const size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
            cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
        }
        if (cells.empty()) continue;
        if (cells[0] == "case") {
            kernels.assign(cells.begin() + 1, cells.end());
            continue;
        }
        for (size_t i = 1; i < cells.size() && i - 1 < kernels.size(); ++i) {
            std::string digits;
            for (char ch : cells[i]) {
                if (ch == '/' || ch == '(') break;
                if (ch != ' ') digits += ch;
            }
            double v = 0;
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
            if (r.ec == std::errc() && r.ptr == digits.data() + digits.size() && !digits.empty())
                peers[cells[0]].push_back({kernels[i - 1], v});
        }
    }
    return peers;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? NAN : v[v.size() / 2];
}

void printTable(const std::vector<Case>& cases) {
    const auto peers = readPeers();
    std::cout << "\nProcessor time per run (ms): ours median / minimum, then the others' "
                 "time over ours\n";
    for (const Case& c : cases) {
        const auto ours = figures.find(c.name);
        if (ours == figures.end() || ours->second.ms.empty()) continue;
        const Figures& f = ours->second;
        const double med = median(f.ms);
        std::string line = c.name + ": " + num(med, 3) + " / " +
                           num(*std::min_element(f.ms.begin(), f.ms.end()), 3) + " ms, " +
                           num(f.polys, 0) + " polygons, " + num(f.peakMB, 3) +
                           " MB, volume error " + num(f.volErr, 1, std::chars_format::scientific);
        for (const char* part : {"/plain", "/first12/plain"}) {
            const auto plain = figures.find(c.name + part);
            if (plain == figures.end()) continue;
            const bool capped = std::string(part) != "/plain";
            const auto same = figures.find(capped ? c.name + "/first12" : c.name);
            line += std::string("; plain") + (capped ? " (first 12 steps)" : "") + " " +
                    num(median(plain->second.ms), 3) + " ms = x" +
                    num(median(plain->second.ms) / median(same->second.ms), 1);
        }
        if (auto p = peers.find(c.name); p != peers.end())
            for (const auto& [kernel, ms] : p->second)
                line += "; " + kernel + " x" + num(ms / med, 1);
        std::cout << line << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    static std::vector<Case> cases = loadCases();
    for (const Case& c : cases) {
        // The plain kernel keeps every fragment: over all 100 cuts of the plate it grows to
        // millions of polygons and gigabytes, so its baseline stops after 12 cuts, and ours
        // is timed over the same 12 as well as over all of them.
        const bool longSequence = c.op == "sequence" && c.b.size() > 12;
        const size_t planSteps = longSequence ? 12 : c.b.size();
        const double slow = c.name == "revolve_union" || longSequence ? 1 : 0;
        auto reg = [&](std::string label, bool plain, size_t steps) {
            auto* b = benchmark::RegisterBenchmark(label.c_str(),
                                                   [label, &c, plain, steps](benchmark::State& s) {
                                                       bench(s, label, c, plain, steps);
                                                   });
            b->Unit(benchmark::kMillisecond);
            b->ComputeStatistics("min", [](const std::vector<double>& v) {
                return *std::min_element(v.begin(), v.end());
            });
            if (plain && slow) b->Iterations(1);
        };
        reg(c.name, false, c.b.size());
        if (longSequence) reg(c.name + "/first12", false, planSteps);
        reg(c.name + (longSequence ? "/first12" : "") + "/plain", true, planSteps);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable(cases);
    return 0;
}
