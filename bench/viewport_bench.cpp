// The 3-D view on the machine's OpenGL (Mesa's software renderer under Xvfb here): meshing a
// 200 000-triangle body and drawing its first frame (new body, or the same body after a change
// elsewhere), frames while orbiting and frames where only the overlay changes, against the empty
// scene's frame as the in-run baseline. A frame is drawn into the view's framebuffer and read
// back; putting it on the screen is not counted.
// Run under a display: xvfb-run -a -s "-screen 0 1400x900x24" bench/viewport_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <memory>

#include "support/view_host.h"
#include "viewport/viewport.h"

namespace {

using namespace ivo;

CPoly quad(V3 a, V3 b, V3 c, V3 d) {
    const V3 n = (b - a).cross(d - a).normalized();
    return CPoly({a, b, c, d}, {n, n.dot(a)});
}

// A ring of square section (sharp corners give crease lines) made of nu × nv quads.
Solid squareRing(int nu, int nv, double radius, double half) {
    const int perSide = nv / 4;
    const V2 corners[4] = {{half, -half}, {half, half}, {-half, half}, {-half, -half}};
    std::vector<V2> section;
    for (int s = 0; s < 4; ++s)
        for (int i = 0; i < perSide; ++i)
            section.push_back(corners[s] +
                              (corners[(s + 1) % 4] - corners[s]) * (double(i) / perSide));
    const int n = static_cast<int>(section.size());
    auto at = [&](int u, int v) {
        const double t = 2 * 3.141592653589793 * u / nu;
        const V2 p = section[v % n];
        return V3{(radius + p.x) * std::cos(t), p.y + half, -(radius + p.x) * std::sin(t)};
    };
    Solid solid;
    for (int u = 0; u < nu; ++u)
        for (int v = 0; v < n; ++v)
            solid.push_back(quad(at(u, v), at(u + 1, v), at(u + 1, v + 1), at(u, v + 1)));
    return solid;
}

struct Scene {
    testing::ViewHost host;
    Viewport view{&host};
    Scene() {
        view.resize(1000, 700);
        view.show();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
    }
    void setBody(bool on) {
        host.evaluation.bodies.clear();
        if (on)
            host.evaluation.bodies.push_back(
                {1, "Corps 1", std::make_shared<const Solid>(squareRing(500, 200, 80, 20))});
        view.rebuildBodies();
        view.fit();
    }
    // Draws one frame now, 3-D image and overlay, and reads it back, which also waits for the
    // GL work to finish. A repaint of the window may be skipped or merged, so it would not
    // measure every frame.
    void frame() { benchmark::DoNotOptimize(view.grab()); }
};

// Made after the application object and destroyed before it.
std::unique_ptr<Scene> theScene;

Scene& scene() {
    if (!theScene) theScene = std::make_unique<Scene>();
    return *theScene;
}

void BM_RebuildBodies_200k(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state)
        s.setBody(true);
    state.counters["triangles"] = double(s.view.bodyTris[1].size());
}

void BM_RebuildAndFirstFrame_200k(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.setBody(true);
        s.frame();
    }
}

// An evaluation after a change elsewhere hands the same solid over again.
void BM_RebuildUnchangedAndFrame_200k(benchmark::State& state) {
    Scene& s = scene();
    s.setBody(true);
    s.frame();
    for (auto _ : state) {
        s.view.rebuildBodies();
        s.frame();
    }
}

void orbitFrames(benchmark::State& state, bool body) {
    Scene& s = scene();
    s.setBody(body);
    s.frame();
    for (auto _ : state) {
        s.view.orbit(3, 1);
        s.frame();
    }
}

void BM_OrbitFrame_Empty(benchmark::State& state) {
    orbitFrames(state, false);
}
void BM_OrbitFrame_200k(benchmark::State& state) {
    orbitFrames(state, true);
}

void BM_OverlayFrame_200k(benchmark::State& state) {
    Scene& s = scene();
    s.setBody(true);
    s.frame();
    for (auto _ : state) {
        s.view.redrawOverlay();
        s.frame();
    }
}

BENCHMARK(BM_RebuildBodies_200k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RebuildAndFirstFrame_200k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RebuildUnchangedAndFrame_200k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OrbitFrame_Empty)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_OrbitFrame_200k)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_OverlayFrame_200k)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theScene.reset();
    return 0;
}
