// Time from launching `ivorane3d` to its first frame on the screen, on an account seen for the
// first time (empty home: no session, and cold shader caches of Mesa and Qt) and on one whose
// caches are warm, for this build and, when IVORANE_BASELINE_APP names another build of the
// application, for that one in the same run. Each launch is a new process whose first buffer
// swap is caught by first_frame_probe (LD_PRELOAD), which ends it there.
// Run under a display: tools/with-xvfb.sh build/bench/startup_bench
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace {

using ivo::testing::TempDir;

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// The process environment with the account's folders pointed into `home` and the probe loaded.
std::vector<std::string> launchEnvironment(const TempDir& home, const std::string& stampFile) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        const std::string key = v.substr(0, v.find('='));
        if (key == "HOME" || key.rfind("XDG_", 0) == 0 || key == "LD_PRELOAD" ||
            key.rfind("MESA_SHADER_CACHE", 0) == 0 || key == "MESA_GLSL_CACHE_DISABLE")
            continue;
        env.push_back(v);
    }
    env.push_back("HOME=" + home.path());
    env.push_back("XDG_DATA_HOME=" + home.file("data"));
    env.push_back("XDG_CONFIG_HOME=" + home.file("config"));
    env.push_back("XDG_CACHE_HOME=" + home.file("cache"));
    env.push_back("XDG_RUNTIME_DIR=" + home.path());
    env.push_back(std::string("LD_PRELOAD=") + IVORANE_FIRST_FRAME_PROBE);
    env.push_back("IVORANE_FIRST_FRAME_FILE=" + stampFile);
    return env;
}

struct Launch {
    double wallMs = 0;  // from the launch to the first frame
    double cpuMs = 0;   // processor time of the process, all its threads, until then
};

// One launch; nothing when the process gave no frame.
std::optional<Launch> launchOnce(const std::string& app, const TempDir& home) {
    const std::string stamp = home.file("first-frame");
    std::remove(stamp.c_str());
    std::vector<std::string> env = launchEnvironment(home, stamp);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = app;
    char* argv[] = {arg0.data(), nullptr};

    const long long start = nowNs();
    pid_t pid = 0;
    if (posix_spawn(&pid, app.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::ifstream in(stamp);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long long frame = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), frame).ec != std::errc())
        return std::nullopt;
    const auto ms = [](timeval t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return Launch{double(frame - start) / 1e6, ms(usage.ru_utime) + ms(usage.ru_stime)};
}

void BM_FirstFrame(benchmark::State& state, std::string app, bool warm) {
    if (app.empty()) {
        state.SkipWithError("IVORANE_BASELINE_APP is not set");
        return;
    }
    std::optional<TempDir> home;
    if (warm) {
        home.emplace();
        if (!launchOnce(app, *home)) state.SkipWithError("no first frame");
    }
    double cpu = 0;
    for (auto _ : state) {
        if (!warm) home.emplace();  // a new account every time
        const std::optional<Launch> launch = launchOnce(app, *home);
        if (!launch) {
            state.SkipWithError("no first frame");
            break;
        }
        state.SetIterationTime(launch->wallMs / 1000);
        cpu += launch->cpuMs;
    }
    // The wall time suffers from other work on the machine; the processor time far less.
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

}  // namespace

int main(int argc, char** argv) {
    const char* baseline = std::getenv("IVORANE_BASELINE_APP");
    const std::string base = baseline ? baseline : "";
    for (bool warm : {false, true}) {
        const std::string kind = warm ? "warm" : "fresh";
        benchmark::RegisterBenchmark(("BM_FirstFrame_" + kind).c_str(), BM_FirstFrame,
                                     std::string(IVORANE_APP), warm)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(8);
        if (!base.empty())
            benchmark::RegisterBenchmark(("BM_FirstFrame_" + kind + "_baseline").c_str(),
                                         BM_FirstFrame, base, warm)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(8);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
