// The 3-D view on the machine's OpenGL (Mesa's software renderer under Xvfb here): meshing a
// 200 000-triangle body and drawing its first frame (new body, or the same body after a change
// elsewhere), frames while orbiting and frames where only the overlay changes, against the empty
// scene's frame as the in-run baseline; and, on that body and on the plate with 100 holes, the
// frame with a hovered face against the same frame without it (ratio of the medians, frames
// alternating), and the first frame after the pointer moves onto the face. A frame is drawn into
// the view's framebuffer and read back; putting it on the screen is not counted. Run under a
// display: xvfb-run -a -s "-screen 0 1400x900x24" bench/viewport_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include <optional>
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
    // Loads a sample model (an empty name gives the 200 000-triangle ring) and turns the view
    // onto its largest flat face while choosing a plane; gives the view point of a facet of
    // that face, or nothing when no face is hovered there.
    std::optional<ViewPoint> faceOf(const std::string& model) {
        if (model.empty()) {
            setBody(true);
        } else {
            if (!host.load(std::string(IVORANE_EXAMPLES_DIR) + "/" + model)) return std::nullopt;
            view.rebuildBodies();
        }
        if (view.bodyTris.empty()) return std::nullopt;
        const std::vector<Tri>& tris = view.bodyTris.begin()->second;
        // Facets grouped by plane, the face with the largest area first.
        using Key = std::array<long long, 4>;
        std::map<Key, std::pair<double, const Tri*>> faces;
        for (const Tri& t : tris) {
            const Key key{std::llround(t.n.x * 1e4), std::llround(t.n.y * 1e4),
                          std::llround(t.n.z * 1e4), std::llround(t.n.dot(t.a) * 1e4)};
            auto& f = faces[key];
            f.first += (t.b - t.a).cross(t.c - t.a).length() / 2;
            if (!f.second) f.second = &t;
        }
        const Tri* best = nullptr;
        double area = 0;
        for (const auto& [key, f] : faces)
            if (f.first > area) {
                area = f.first;
                best = f.second;
            }
        host.currentMode = Mode::choosePlane;
        view.showPlanes(true);
        view.setDirection(best->n + V3{0.3, 0.4, 0.2});
        view.fit();
        const auto p = view.project((best->a + best->b + best->c) / 3);
        if (!p) return std::nullopt;
        view.updateHover(*p);
        if (!view.hoverFace()) return std::nullopt;
        return p;
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

// The same view drawn again with the face hovered and without, alternately, so that both
// meet the same load of the machine; the counters give the median frame of each and their
// ratio (the time of the benchmark is the pair of frames).
void BM_HoverCost(benchmark::State& state, const std::string& model) {
    Scene& s = scene();
    const std::optional<ViewPoint> at = s.faceOf(model);
    if (!at) {
        state.SkipWithError("no face under the pointer");
        return;
    }
    const auto timed = [&] {
        const auto start = std::chrono::steady_clock::now();
        s.view.updateCamera();
        s.frame();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    std::vector<double> plain, hovered;
    for (auto _ : state) {
        s.view.clearHover();
        s.frame();
        plain.push_back(timed());
        s.view.updateHover(*at);
        s.frame();
        hovered.push_back(timed());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["plain_ms"] = median(plain);
    state.counters["hovered_ms"] = median(hovered);
    state.counters["ratio"] = median(hovered) / std::max(median(plain), 1e-9);
    if (const auto& face = s.view.hoverFace())
        state.counters["face_triangles"] =
            double(faceTris(s.view.bodyTris[face->id], *face).size());
    s.view.clearHover();
    s.host.currentMode = Mode::model;
    s.view.showPlanes(false);
}

// The pointer moves onto the face: the pick, the face's facets and the first frame showing it.
void BM_HoverMoveAndFrame(benchmark::State& state, const std::string& model) {
    Scene& s = scene();
    const std::optional<ViewPoint> at = s.faceOf(model);
    if (!at) {
        state.SkipWithError("no face under the pointer");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        s.view.updateHover({1, 1});  // off the body
        s.frame();
        state.ResumeTiming();
        s.view.updateHover(*at);
        s.frame();
    }
    s.view.clearHover();
    s.host.currentMode = Mode::model;
    s.view.showPlanes(false);
}

BENCHMARK_CAPTURE(BM_HoverCost, plate100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK_CAPTURE(BM_HoverMoveAndFrame, plate100, std::string("plaque_100_trous.q3d"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_HoverCost, ring200k, std::string())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK_CAPTURE(BM_HoverMoveAndFrame, ring200k, std::string())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

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
