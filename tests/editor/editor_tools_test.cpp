// Tools through the window-free host: refusals leave the sketch and the history alone, answers
// out of range, pending state across clicks, warnings outliving the routine status.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

struct ToolsTest : ::testing::Test, HostedEditor {
    RecordingCanvas canvas;

    void SetUp() override { host.painting = &canvas; }
    void clicks(const std::string& tool, const std::vector<V2>& ps) {
        editor.setTool(tool);
        for (V2 p : ps)
            click(p);
    }
    // From `start` with an empty history, the tool clicked at `ps` with these prompt answers.
    void run(const Sketch& start, const char* tool, const std::vector<V2>& ps,
             const std::vector<std::vector<double>>& answers) {
        host.sketch = start;
        host.undo.clear();
        host.answers.assign(answers.begin(), answers.end());
        clicks(tool, ps);
    }
    void escape() { editor.key({EditorKey::Code::escape, {}, false}); }
};

TEST_F(ToolsTest, RefusedOrEmptyOperationsPushNoUndoStep) {
    addPolygon(host.sketch, {{0, 0}, {20, 0}, {20, 10}, {0, 10}});
    const Sketch start = host.sketch;
    const std::string tooBig = "Réseau trop grand : au plus 2500 exemplaires.",
                      aligned = "Les trois points sont alignés.";
    const struct {
        const char* tool;
        std::vector<V2> at;
        std::vector<std::vector<double>> answers;
        std::string status;  // "": any
    } cases[] = {
        {"trim", {{30, 30}}, {}, ""},  // nothing under the pointer
        {"extend", {{10, 0}}, {}, "Rien à atteindre dans cette direction."},
        {"split", {{10, 0}}, {}, "Cet élément ne croise rien."},
        {"fillet", {{10, 0}}, {}, "Cliquez exactement sur un coin (point) entre deux lignes."},
        {"fillet", {{0, 0}}, {{}}, ""},  // cancelled prompt
        {"fillet",
         {{0, 0}},
         {{50}},
         "Congé impossible ici (il faut un coin entre deux lignes assez longues)."},
        {"offset", {{10, 0}}, {{-50}}, "Décalage impossible avec cette distance."},
        {"patternR", {{10, 0}}, {{1, 5, 1, 5}}, ""},  // 1 × 1: nothing to copy
        {"patternR", {{10, 0}}, {{1e5, 5, 1e5, 5}}, tooBig},
        {"patternR", {{10, 0}}, {{1e300, 5, 2, 5}}, tooBig},
        {"copyMove", {{10, 0}}, {{0, 0, 3}}, "Décalage nul : rien à faire."},
        {"copyMove", {{10, 0}}, {{5, 0, 1e12}}, "Trop de copies : au plus 1000."},
        {"circle2", {{30, 30}, {30, 30}}, {}, ""},  // a double click on one spot
        {"slotCC", {{30, 30}, {30, 30}}, {}, ""},   // no second centre on the first
        {"line", {{0, 0}, {0, 0}}, {}, ""},         // the same existing point twice
        {"rect", {{30, 30}, {30, 50}}, {}, ""},     // same x
        {"slotO", {{30, 30}, {40, 30}, {35, 35}}, {}, "Rainure trop courte pour cette largeur."},
        {"circle3", {{30, 30}, {40, 30}, {50, 30}}, {}, aligned},
        {"parallel", {{10, 0}, {10, 0}}, {}, ""},  // the same line twice
        {"fixed", {{0, 0}}, {}, ""},               // the origin (corner at 0, 0)
        {"tangent", {{10, 0}, {20, 5}}, {}, ""},   // two lines
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        run(start, c.tool, c.at, c.answers);
        EXPECT_EQ(host.sketch, start);
        EXPECT_TRUE(host.undo.empty());
        if (!c.status.empty()) {
            EXPECT_EQ(host.status, c.status);
        }
    }
}

TEST_F(ToolsTest, EditingToolsChangeTheSketchInOneStepAndRememberTheirAnswers) {
    // A 20 × 10 rectangle from (10, 10), a line crossing its right side, and an axis at x = 0.
    addPolygon(host.sketch, {{10, 10}, {30, 10}, {30, 20}, {10, 20}});
    addSegment(host.sketch, {25, 15}, {40, 15});
    addSegment(host.sketch, {0, -30}, {0, 50}, true);
    const Sketch start = host.sketch;
    const struct {
        const char* tool;
        std::vector<V2> at;
        std::vector<std::vector<double>> answers;
        size_t lines, arcs;
    } cases[] = {
        {"fillet", {{10, 10}}, {{3}}, 6, 1},
        {"chamferS", {{10, 10}}, {{3}}, 7, 0},
        {"split", {{35, 15}}, {}, 7, 0},
        {"extend", {{26, 15}}, {}, 6, 0},
        {"offset", {{20, 10}}, {{1}}, 10, 0},
        {"mirror", {{0, 0}, {20, 10}}, {}, 10, 0},
        {"patternR", {{20, 10}}, {{2, 30, 1, 0}}, 10, 0},
        {"copyMove", {{20, 10}}, {{0, 40, 2}}, 14, 0},
        {"copyMove", {{20, 10}}, {{0, 40, 0}}, 6, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        run(start, c.tool, c.at, c.answers);
        EXPECT_EQ(host.sketch.lines.size(), c.lines);
        EXPECT_EQ(host.sketch.arcs.size(), c.arcs);
        EXPECT_EQ(host.undo.size(), 1u);
        EXPECT_EQ(sketchFault(host.sketch, &start), "");
        host.undoStep();
        EXPECT_EQ(host.sketch, start);
    }
    const EditorMemory& m = host.mem;
    EXPECT_EQ((std::vector<double>{m.lastFilletRadius, m.lastChamfer, m.lastOffset, m.lastDY,
                                   double(m.lastCopies)}),
              (std::vector<double>{3, 3, 1, 40, 0}));
    host.answers = {{100, 0, 1}};
    editor.copyAll();
    EXPECT_EQ(host.sketch.lines.size(), 2 * start.lines.size());
    run(start, "copyMove", {{20, 10}}, {{0, 40, 0}});
    EXPECT_NEAR(host.sketch.pos(host.sketch.lines[0].a)->y, 50, 1e-6);
}

TEST_F(ToolsTest, DeleteOnTheOriginKeepsItsConstraints) {
    clicks("rectC", {{0, 0}, {10, 5}});  // centred on the origin by a midpoint constraint
    ASSERT_EQ(count(ck::midpoint), 1u);
    const size_t depth = host.undo.size();
    editor.setTool("select");
    click({0, 0});
    ASSERT_EQ(editor.selected, Id(0));
    editor.key({EditorKey::Code::forwardDelete, {}, false});
    EXPECT_EQ(count(ck::midpoint), 1u);
    EXPECT_EQ(host.undo.size(), depth);
}

TEST_F(ToolsTest, PatternCountsRoundHalvesAwayAndClamp) {
    addCircle(host.sketch, {10, 0}, 2);
    const Sketch start = host.sketch;
    for (const auto& [answer, used, circles] :
         {std::tuple{1.0, 2, 2u}, {2.5, 3, 3u}, {1000.0, 360, 360u}}) {
        run(start, "patternC", {{0, 0}, {12, 0}}, {{answer}});  // about the origin
        EXPECT_EQ(host.mem.patternCount, used);
        EXPECT_EQ(host.sketch.circles.size(), circles) << answer;
    }
}

TEST_F(ToolsTest, DimensionKeepsItsFirstPointUntilASecondPointAndDropsItAfterThePrompt) {
    clicks("line", {{0, 0}, {10, 0}});
    escape();
    editor.setTool("dim");
    click({10, 0});  // the line's end
    ASSERT_TRUE(editor.firstRef);
    click({30, 30});  // empty space keeps the first point
    EXPECT_TRUE(editor.firstRef);
    host.answers = {{}};  // cancelled
    click({0, 0});
    EXPECT_FALSE(editor.firstRef);
    EXPECT_EQ(count(ck::distance), 0u);
    click({10, 0});
    host.answers = {{12}};
    click({0, 0});
    ASSERT_EQ(count(ck::distance), 1u);
    EXPECT_NEAR((*host.sketch.pos(host.sketch.lines[0].b) - *host.sketch.pos(0)).length(), 12,
                1e-6);
    host.answers = {{-3}};  // refused: nothing added
    click({6, 0});
    EXPECT_EQ(count(ck::length), 0u);
}

TEST_F(ToolsTest, AContradictionWarningOutlivesThePreviewOfTheSameChain) {
    // Two fixed points 0.6 mm apart in y, held level: every solve fails.
    Sketch& k = host.sketch;
    k.points.push_back({k.newId(), {0, 10}, true});
    k.points.push_back({k.newId(), {40, 10.6}, true});
    k.freePoints = std::vector<Id>{1, 2};
    k.addConstraint(ck::hpoints, {1, 2});
    clicks("line", {{60, 30}, {80, 35}});
    ASSERT_TRUE(editor.firstRef);  // the chain goes on from the new end
    EXPECT_EQ(host.status, SketchEditor::contradiction);
    move({90, 40});
    editor.draw();
    EXPECT_EQ(host.status, SketchEditor::contradiction);
}

TEST_F(ToolsTest, PolygonAroundAClickAtTheMiddleOfASide) {
    host.answers = {{6}};
    clicks("polyC", {{5, 5}, {15, 5}});
    const Sketch& s = host.sketch;
    ASSERT_EQ(s.lines.size(), 6u);
    const V2 o = *s.pos(s.circles[0].c);
    bool onASide = false;  // the click is the middle of a side
    for (const SLine& l : s.lines) {
        EXPECT_NEAR((*s.pos(l.a) - o).length(), 10 / std::cos(pi / 6), 1e-6);
        onASide = onASide || ((*s.pos(l.a) + *s.pos(l.b)) / 2 - V2{15, 5}).length() < 1e-6;
    }
    EXPECT_TRUE(onASide);
}

}  // namespace
}  // namespace ivo::testing
