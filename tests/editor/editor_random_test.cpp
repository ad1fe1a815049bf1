// Thousands of random clicks, drags, keys, prompt answers and undos across every tool: after
// each event the sketch is consistent (no dangling id, no constraint on a missing record),
// ids only grew, and no event pushed more than one undo step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

const char* const kTools[] = {
    "select",   "line",    "rect",       "rect3",    "rectC",      "circle",
    "circle2",  "circle3", "arc",        "arc3",     "polyI",      "polyC",
    "slotCC",   "slotO",   "point",      "fillet",   "chamferS",   "trim",
    "extend",   "split",   "offset",     "mirror",   "patternC",   "patternR",
    "copyMove", "dim",     "coincident", "hv",       "parallel",   "perpendicular",
    "equal",    "tangent", "fixed",      "midpoint", "concentric", "nope"};

struct Stream : HostedEditor {
    std::mt19937 rng;
    RecordingCanvas canvas;

    explicit Stream(unsigned seed) : rng(seed) { host.painting = &canvas; }
    int roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    double unit() { return std::uniform_real_distribution<double>(0, 1)(rng); }

    // Often right on a point or a curve of the sketch, sometimes anywhere in the view.
    ScreenPoint somewhere() {
        const Sketch& s = host.sketch;
        const V2 jitter{unit() * 4 - 2, unit() * 4 - 2};
        const int k = roll(10);
        if (k < 4 && !s.points.empty())
            return host.at(s.points[size_t(roll(int(s.points.size())))].p) + jitter * (k % 2);
        const auto curves = s.allEntities();
        if (k < 7 && !curves.empty()) {
            const Curve c = *s.curve(curves[size_t(roll(int(curves.size())))]);
            const double t = unit();
            const double a = c.kind == Curve::Kind::arc ? c.a0 + c.sweep * t : 6.283 * t;
            const V2 p = c.kind == Curve::Kind::line ? c.a + (c.b - c.a) * t
                                                     : c.c + V2{std::cos(a), std::sin(a)} * c.r;
            return host.at(p) + jitter;
        }
        return {40 + unit() * 720, 40 + unit() * 520};
    }

    void queueAnswers() {
        const std::array<double, 10> odd{0, -2, 1e5, 1e300, 2.5, 0.5, 361, -1e9, 1e-9, 1};
        while (host.answers.size() < 4) {
            const int n = roll(10);  // 0: cancel, 1 or 2: odd values, else ordinary ones
            std::vector<double> a;
            if (n == 1 || n == 2)
                for (int i = 0; i < 4; ++i)
                    a.push_back(odd[size_t(roll(10))]);
            else if (n > 2)
                a = {1.0 + roll(4), unit() * 10 - 3, 1.0 + roll(3), unit() * 10 - 3};
            host.answers.push_back(a);
        }
    }

    // One event; a short name of what it was, for failure messages.
    std::string step() {
        queueAnswers();
        const int k = roll(100);
        if (k < 8) {
            const char* t = kTools[roll(int(std::size(kTools)))];
            editor.setTool(t);
            return std::string("tool ") + t;
        }
        if (k < 60) {
            const ScreenPoint p = somewhere();
            const bool taken = editor.mouseDown(p, roll(10) == 0 ? 2 : 1);
            if (taken) {
                for (int i = roll(4); i > 0; --i)
                    editor.mouseDragged(p + V2{unit() * 60 - 30, unit() * 60 - 30});
                editor.mouseUp();
            }
            return "click";
        }
        if (k < 75) {
            editor.mouseMoved(somewhere());
            return "move";
        }
        if (k < 92) {
            // Escape, Backspace, Delete, then the tool keys x, r, c, m and Ctrl+z.
            const int n = roll(8);
            const EditorKey::Code codes[] = {EditorKey::Code::escape, EditorKey::Code::backspace,
                                             EditorKey::Code::forwardDelete};
            editor.key(
                n < 3 ? EditorKey{codes[n], {}, false}
                      : EditorKey{EditorKey::Code::other, std::string(1, "xrcmz"[n - 3]), n == 7});
            return "key";
        }
        host.undoStep();
        // The window always reports the change; a stale editor state must be survivable too.
        if (roll(2)) editor.historyChanged();
        return "undo";
    }
};

TEST(EditorRandom, NoEventSequenceLeavesTheSketchInconsistent) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Stream st(seed);
        int edits = 0, maxCurves = 0;
        for (int i = 0; i < 700; ++i) {
            const Sketch before = st.host.sketch;
            const size_t depth = st.host.undo.size();
            const std::string what = st.step();
            st.editor.draw();
            const bool undone = what == "undo";
            const std::string fault = sketchFault(st.host.sketch, undone ? nullptr : &before);
            ASSERT_EQ(fault, "") << "seed " << seed << ", event " << i << " (" << what << ")";
            if (!undone) {
                ASSERT_LE(st.host.undo.size(), depth + 1) << what;
                edits += st.host.undo.size() > depth;
            }
            maxCurves = std::max(maxCurves, int(st.host.sketch.allEntities().size()));
            if (st.host.sketch.allEntities().size() > 300) {
                st.host.sketch = Sketch();  // keep every solve small
                st.host.undo.clear();
                st.editor.historyChanged();
            }
        }
        // The stream must really edit: a stream of refused clicks would prove nothing.
        EXPECT_GT(edits, 50) << seed;
        EXPECT_GT(maxCurves, 20) << seed;
    }
}

}  // namespace
}  // namespace ivo::testing
