// The solver's drag step on the shared benchmark sketches (rect-dim, rect-free, grid-5,
// grid-15): the dragged corner moves by ±0.5 mm, then solve(hold: that corner). Each sketch is
// timed with the sparse solver and with the plain dense algorithm as the in-run baseline; after
// the plain run the sparse solver replays the same steps on a twin sketch and reports how far
// their points end apart (maxDevMm). Steps are timed by the wall clock (median, minimum); the
// mean processor time per step is also kept, since on a shared machine a step of seconds is
// always interrupted and its wall time says more about the neighbours than about the solver.
// A summary compares both solvers with the peer figures of the shared file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "sketch/sketch.h"
#include "sketch/solver_system.h"
#include "support/reference_solver.h"
#include "support/solver_sketches.h"

namespace {

using namespace ivo;
using namespace ivo::testing;

struct Figures {
    double medianUs = 0, minUs = 0;
    size_t steps = 0;
    double cpuMeanUs = 0;
};

struct Row {
    size_t residuals = 0, unknowns = 0;
    Figures fast, plain;
    double maxDevMm = 0;
    int plainFailures = 0, fastFailures = 0;
};

std::map<std::string, Row>& rows() {
    static std::map<std::string, Row> r;
    return r;
}

DragCase makeCase(int which) {
    switch (which) {
        case 0: return rectDim();
        case 1: return rectFree();
        case 2: return grid(5);
        default: return grid(15);
    }
}

Figures summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    const size_t n = us.size();
    const double median = n % 2 ? us[n / 2] : (us[n / 2 - 1] + us[n / 2]) / 2;
    return {median, us.front(), n};
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void setCounters(benchmark::State& state, const Row& row, const Figures& f) {
    state.counters["median_us"] = f.medianUs;
    state.counters["min_us"] = f.minUs;
    state.counters["residuals"] = static_cast<double>(row.residuals);
    state.counters["unknowns"] = static_cast<double>(row.unknowns);
}

void BM_Drag(benchmark::State& state) {
    DragCase c = makeCase(static_cast<int>(state.range(0)));
    Row& row = rows()[c.name];
    const SolverSystem sys = buildSystem(c.sketch, {c.dragged});
    row.residuals = sys.m();
    row.unknowns = static_cast<size_t>(sys.n);
    int k = 0;
    for (int warm = 0; warm < 20; ++warm, ++k) {
        moveDragged(c, k);
        c.sketch.solve({c.dragged});
    }
    std::vector<double> us;
    const double cpu0 = cpuSeconds();
    for (auto _ : state) {
        moveDragged(c, k++);
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = c.sketch.solve({c.dragged});
        const double s = secondsSince(t0);
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
        row.fastFailures += !ok;
    }
    row.fast = summarise(us);
    row.fast.cpuMeanUs = (cpuSeconds() - cpu0) * 1e6 / static_cast<double>(us.size());
    setCounters(state, row, row.fast);
}

void BM_DragPlain(benchmark::State& state) {
    DragCase c = makeCase(static_cast<int>(state.range(0)));
    DragCase twin = c;
    Row& row = rows()[c.name];
    std::vector<double> us;
    std::vector<Sketch> solved;
    int k = 0;
    const double cpu0 = cpuSeconds();
    for (auto _ : state) {
        moveDragged(c, k++);
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = solvePlain(c.sketch, {c.dragged});
        const double s = secondsSince(t0);
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
        row.plainFailures += !ok;
        solved.push_back(c.sketch);
    }
    row.plain = summarise(us);
    row.plain.cpuMeanUs = (cpuSeconds() - cpu0) * 1e6 / static_cast<double>(us.size());
    for (size_t step = 0; step < solved.size(); ++step) {
        moveDragged(twin, static_cast<int>(step));
        twin.sketch.solve({twin.dragged});
        row.maxDevMm = std::max(row.maxDevMm, maxDeviation(solved[step], twin.sketch));
    }
    setCounters(state, row, row.plain);
    state.counters["maxDevMm"] = row.maxDevMm;
}

// Steps per run: at least 200 timed steps for the sparse solver; the plain one takes seconds
// per step on grid-15, so it runs a few.
BENCHMARK(BM_Drag)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(400)
    ->DenseRange(0, 3);
BENCHMARK(BM_DragPlain)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(400)
    ->DenseRange(0, 1);
BENCHMARK(BM_DragPlain)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(40)->Arg(2);
BENCHMARK(BM_DragPlain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(3);

// Drag step median / minimum of the peer solver, µs (from the shared benchmark file).
struct Peer {
    const char* name;
    double median, min;
};
constexpr Peer peers[] = {{"rect-dim", 25, 24},
                          {"rect-free", 7.7, 7.4},
                          {"grid-5", 1600, 1500},
                          {"grid-15", 117000, 107000}};

// µs below 10 ms, ms above.
std::string duration(double us) {
    char buf[32];
    if (us < 1e4) {
        std::snprintf(buf, sizeof buf, "%.2f us", us);
    } else {
        std::snprintf(buf, sizeof buf, "%.1f ms", us / 1e3);
    }
    return buf;
}

void printSummary() {
    std::printf("\n%-9s %4s %4s | %-21s %-10s | %-21s %-10s | %10s | %-10s %9s | %7s | %s\n",
                "sketch", "m", "n", "plain med / min", "plain cpu", "ours med / min", "ours cpu",
                "plain/ours", "peer med", "peer/ours", "max dev", "failed (plain, ours)");
    for (const Peer& p : peers) {
        const auto it = rows().find(p.name);
        if (it == rows().end()) continue;
        const Row& r = it->second;
        const std::string plain = duration(r.plain.medianUs) + " / " + duration(r.plain.minUs);
        const std::string ours = duration(r.fast.medianUs) + " / " + duration(r.fast.minUs);
        std::printf(
            "%-9s %4zu %4zu | %-21s %-10s | %-21s %-10s | %9.0fx | %-10s %8.1fx | %7.1e | "
            "%d/%zu, %d/%zu\n",
            p.name, r.residuals, r.unknowns, plain.c_str(), duration(r.plain.cpuMeanUs).c_str(),
            ours.c_str(), duration(r.fast.cpuMeanUs).c_str(), r.plain.cpuMeanUs / r.fast.cpuMeanUs,
            duration(p.median).c_str(), p.median / r.fast.medianUs, r.maxDevMm, r.plainFailures,
            r.plain.steps, r.fastFailures, r.fast.steps);
    }
    std::printf(
        "plain/ours: ratio of the mean processor times per step; peer/ours: of the "
        "wall-clock medians.\n");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
