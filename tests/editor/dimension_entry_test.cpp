// Sizes typed while drawing, through the window-free host: the boxes of each stage, keys
// typed into them, the positions and dimension constraints the typed values give, and the
// live values the boxes show.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

using Code = EditorKey::Code;

struct DimTest : ::testing::Test, HostedEditor {
    void click(V2 p) {
        move(p);
        HostedEditor::click(p);
    }
    bool press(Code code, bool shift = false) {
        return editor.key({code, code == Code::tab ? "\t" : "", false, shift});
    }
    void type(const std::string& text) {
        for (char ch : text)
            editor.key({Code::other, std::string(1, ch), false, false});
    }
    V2 at(Id point) const { return *host.sketch.pos(point); }
    bool pointAt(V2 p) const {
        return std::any_of(host.sketch.points.begin(), host.sketch.points.end(),
                           [&](const SPoint& q) { return (q.p - p).length() < 1e-6; });
    }
};

TEST_F(DimTest, ATypedLineIsOneUndoStepAndTheChainGoesOn) {
    // Length and angle typed, then Return; a typed length winning over a point snap 20.5 mm away.
    for (const bool snapped : {false, true}) {
        SCOPED_TRACE(snapped);
        host.sketch = Sketch();
        const Id far = snapped ? host.sketch.addPoint({-19.5, -30}) : 0;
        editor.setTool("line");
        click({-40, -30});
        move({-20, -25});
        const size_t depth = host.undo.size();
        if (snapped) {
            editor.textChanged("len", "10");
            click({-19.5, -30});
        } else {
            type("20");
            press(Code::tab);
            type("90");
            EXPECT_TRUE(press(Code::enter));
        }
        ASSERT_EQ(host.sketch.lines.size(), 1u);
        const SLine l = host.sketch.lines[0];
        if (snapped) {
            EXPECT_EQ(at(far), (V2{-19.5, -30}));
            EXPECT_NE(l.b, far);
            EXPECT_NEAR((at(l.b) - at(l.a)).length(), 10, 1e-9);
        } else {
            EXPECT_NEAR((at(l.b) - V2{-40, -10}).length(), 0, 1e-9);
            EXPECT_EQ(count(ck::vertical), 1u);  // the typed 90° holds the line
            EXPECT_EQ(host.sketch.constraints.size(), 2u);
        }
        EXPECT_EQ(host.undo.size(), depth + 1);
        EXPECT_EQ(values(ck::length), std::vector<double>{snapped ? 10.0 : 20.0});
        EXPECT_TRUE(editor.typed.empty());
        EXPECT_FALSE(editor.editingKey);
        ASSERT_TRUE(editor.firstRef);  // from the new end, with empty boxes
        EXPECT_EQ(editor.firstRef->id, l.b);
    }
}

TEST_F(DimTest, TypedValuesGiveTheShapeAndItsDimensions) {
    struct Case {
        const char* tool;
        std::vector<V2> clicks;  // the last one is replaced by the typed values
        std::vector<std::vector<std::pair<const char*, const char*>>> stages;
        std::map<std::string, std::vector<double>> dims;
    };
    const Case cases[] = {
        {"rect", {{-40, -30}, {-50, -35}}, {{{"w", "40"}}}, {{ck::length, {40}}}},
        {"rectC", {{-40, -30}, {-30, -20}}, {{{"w", "40"}, {"h", "20"}}}, {{ck::length, {40, 20}}}},
        {"circle", {{-40, -30}, {-38, -30}}, {{{"d", "10"}}}, {{ck::diameter, {10}}}},
        {"circle2", {{-40, -30}, {-30, -31}}, {{{"d", "10"}}}, {{ck::diameter, {10}}}},
        {"slotO",
         {{-40, -30}, {-20, -30}, {-30, -28}},
         {{{"len", "30"}}, {{"w", "10"}}},
         {{ck::length, {20}}, {ck::radius, {5}}}},
        {"slotCC",
         {{-40, -30}, {-20, -30}, {-30, -28}},
         {{{"len", "25"}}, {{"w", "8"}}},
         {{ck::length, {25}}, {ck::radius, {4}}}},
        {"rect3",
         {{-40, -30}, {-20, -30}, {-30, -25}},
         {{{"len", "15"}}, {{"w", "6"}}},
         {{ck::length, {15, 6}}}},
        {"arc",
         {{-40, -30}, {-35, -30}, {-40, -25}},
         {{{"r", "7"}}, {{"ang", "90"}}},
         {{ck::radius, {7}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        host.sketch = Sketch();
        editor.setTool(c.tool);
        for (size_t i = 0; i < c.clicks.size(); ++i) {
            if (i > 0) {
                for (const auto& [key, text] : c.stages[i - 1]) {
                    const auto keys = editor.fieldKeys();
                    const auto k = std::find_if(keys.begin(), keys.end(),
                                                [&](const auto& f) { return f.key == key; });
                    ASSERT_NE(k, keys.end()) << key;
                    editor.textChanged(key, text);
                }
            }
            click(c.clicks[i]);
        }
        for (const auto& [kind, expected] : c.dims)
            EXPECT_EQ(values(kind), expected) << kind;
        const Sketch& s = host.sketch;
        const std::string t = c.tool;
        if (t == "rect") {
            // The pointer lower left of the first corner: 40 mm to the left.
            EXPECT_TRUE(pointAt({-80, -35}));
        } else if (t == "rectC") {
            EXPECT_TRUE(pointAt({-20, -20}));
            EXPECT_TRUE(pointAt({-60, -40}));
        } else if (t == "circle2") {
            EXPECT_NEAR(s.circles[0].r, 5, 1e-6);
            EXPECT_NEAR((at(s.circles[0].c) - V2{-35, -30}).length(), 0, 1e-6);
        } else if (t == "slotO") {
            EXPECT_NEAR((at(s.lines[0].a) - at(s.lines[0].b)).length(), 20, 1e-6);
            EXPECT_NEAR((at(s.arcs[0].s) - at(s.arcs[0].c)).length(), 5, 1e-6);
        } else if (t == "arc") {
            EXPECT_NEAR((at(s.arcs[0].e) - V2{-40, -23}).length(), 0, 1e-6);
        }
        EXPECT_EQ(sketchFault(s), "");
    }
}

TEST_F(DimTest, TabWrapsBothWaysAndKeysGoIntoTheActiveBox) {
    editor.setTool("line");
    EXPECT_FALSE(press(Code::tab));  // no boxes before the first click
    EXPECT_FALSE(press(Code::enter));
    EXPECT_TRUE(host.sketch.lines.empty());
    click({-40, -30});
    move({-20, -25});
    const struct {
        bool shift;
        const char* key;
    } steps[] = {{false, "len"}, {false, "ang"}, {false, "len"},
                 {true, "ang"},  {true, "len"},  {true, "ang"}};
    for (const auto& s : steps) {
        press(Code::tab, s.shift);
        ASSERT_TRUE(editor.editingKey);
        EXPECT_EQ(*editor.editingKey, s.key);
        EXPECT_EQ(editor.editText, editor.fieldText(s.key));
    }
    // The focused box's text is selected: the first character replaces it. Letters are
    // text in a box, not tool keys.
    type("40/2+1,5");
    EXPECT_EQ(editor.tool(), "line");
    EXPECT_EQ(editor.typed.at("ang"), 21.5);
    press(Code::backspace);
    EXPECT_EQ(editor.typed.at("ang"), 21);
    type("x");
    EXPECT_FALSE(editor.typed.count("ang"));
    EXPECT_EQ(editor.tool(), "line");

    // Escape drops the typed values with the pending click.
    press(Code::escape);
    EXPECT_FALSE(editor.firstRef);
    EXPECT_FALSE(editor.editingKey);
    EXPECT_TRUE(editor.typed.empty());
}

TEST_F(DimTest, RefusedTextsLeaveTheValueFree) {
    editor.setTool("line");
    click({-40, -30});
    const std::string unknown = "Valeur non reconnue : « ";
    const struct {
        const char* key;
        std::string text;
        std::optional<double> value;
        std::string status;  // a part of it, or all of it when `whole`; "" for any
        bool whole;
    } cases[] = {
        {"len", "-5", std::nullopt, "supérieure à 0", false},
        {"len", "0", std::nullopt, "", false},
        {"len", "1/0", std::nullopt, unknown + "1/0 ».", true},
        {"len", "2+", std::nullopt, unknown + "2+ ».", true},
        {"len", "", std::nullopt, "", false},
        {"len", "1e300", std::nullopt, "", false},
        {"ang", "-30", -30, "", false},
        {"ang", "0", 0, "", false},
        {"len", "2,5", 2.5, "", false},
    };
    for (const auto& c : cases) {
        host.status.clear();
        editor.textChanged(c.key, c.text);
        if (c.whole) {
            EXPECT_EQ(host.status, c.status);
        } else {
            EXPECT_NE(host.status.find(c.status), std::string::npos) << c.text;
        }
        const auto it = editor.typed.find(c.key);
        EXPECT_EQ(it == editor.typed.end() ? std::nullopt : std::optional(it->second), c.value)
            << c.key << " " << c.text;
    }
}

TEST_F(DimTest, TypedWidthAndMiddleSnapShareTheClicksUndoStep) {
    const Id line = addSegment(host.sketch, {-60, -10}, {-20, -10});
    editor.setTool("rect");
    click({-40.3, -10.2});  // the first corner on the middle
    const Sketch before = host.sketch;
    const size_t depth = host.undo.size();
    const int changes = host.changes;
    editor.textChanged("w", "30");
    click({-25, 5});
    EXPECT_EQ(host.undo.size(), depth + 1);
    EXPECT_EQ(host.changes, changes + 1);
    EXPECT_EQ(values(ck::length), std::vector<double>{30});
    const auto& cs = host.sketch.constraints;
    EXPECT_TRUE(std::any_of(cs.begin(), cs.end(), [&](const SConstraint& c) {
        return c.kind == ck::midpoint && c.refs.size() == 2 && c.refs[1] == line;
    }));
    ASSERT_TRUE(host.undoStep());
    EXPECT_EQ(host.sketch, before);
}

TEST_F(DimTest, LiveValuesAreTruncatedToTwoDecimalsWithoutBinaryLoss) {
    editor.setTool("line");
    click({0, 0});  // the origin
    const struct {
        double x;
        const char* shown;
    } cases[] = {{2.3, "2,3"},   {0.57, "0,57"},    {4.35, "4,35"},
                 {1.15, "1,15"}, {12.349, "12,34"}, {12.3499, "12,34"}};
    for (const auto& c : cases) {
        editor.hover = V2{c.x, 0};
        EXPECT_EQ(editor.fieldText("len"), c.shown) << c.x;
    }
    editor.hover = V2{0, -3};
    EXPECT_EQ(editor.fieldText("ang"), "270");
    editor.textChanged("len", "7,25");
    EXPECT_EQ(editor.fieldText("len"), "7,25");
}

TEST_F(DimTest, AnEditedDimensionIsAppliedWholeOrNotAtAll) {
    const Id pinned = host.sketch.addPoint({10, 0});
    host.sketch.points.back().fixed = true;
    const Id tied = host.sketch.addLine(0, pinned);
    const Id held = host.sketch.addConstraint(ck::length, {tied}, 10);
    const Id free = addSegment(host.sketch, {0, 20}, {5, 20});
    const Id loose = host.sketch.addConstraint(ck::length, {free}, 5);
    const struct {
        Id constraint;
        const char* keys;  // '\n' Return, '\e' Escape, '\b' Backspace
        bool changes;
        const char* status;  // part of the status after the keys
        bool stillOpen;
    } cases[] = {
        {held, "20\n", false, "contredit", true},  // both ends fixed
        {loose, "abc\n", false, "non reconnue", true},
        {loose, "1/0\n", false, "non reconnue", true},
        {loose, "-3\n", false, "supérieure à 0", true},
        {loose, "0\n", false, "supérieure à 0", true},
        {loose, "1e9\n", false, "", true},  // not a number of this parser, or far too large
        {loose, "2000000\n", false, "trop grande", true},
        {loose, "12\e", false, "", false},  // typed, then left
        {loose, "5\n", false, "", false},   // the value it has: no undo step
        {loose, "4/2+1,5\n", true, "3,5", false},
        {loose, "x\b12\n", true, "12", false},  // a slip mended before Return
    };
    for (const auto& c : cases) {
        const Sketch before = host.sketch;
        const size_t depth = host.undo.size();
        host.status.clear();
        editor.editDimension(c.constraint);
        ASSERT_TRUE(editor.dimEdit) << c.keys;
        for (const char* k = c.keys; *k; ++k) {
            if (*k == '\n')
                press(Code::enter);
            else if (*k == '\e')
                press(Code::escape);
            else if (*k == '\b')
                press(Code::backspace);
            else
                type(std::string(1, *k));
        }
        EXPECT_EQ(editor.tool(), "select") << c.keys;  // letters typed were text
        EXPECT_EQ(bool(editor.dimEdit), c.stillOpen) << c.keys;
        EXPECT_NE(host.status.find(c.status), std::string::npos) << c.keys << host.status;
        EXPECT_EQ(host.undo.size(), depth + (c.changes ? 1 : 0)) << c.keys;
        if (!c.changes) {
            EXPECT_EQ(host.sketch, before) << c.keys;
        } else {
            // One Ctrl+Z gives back the sketch as it was.
            const Sketch after = host.sketch;
            ASSERT_TRUE(host.undoStep());
            EXPECT_EQ(host.sketch, before);
            host.sketch = after;
            host.undo.push_back(before);
        }
        if (editor.dimEdit) press(Code::escape);
    }
    const SLine l = *host.sketch.line(free);
    EXPECT_NEAR((at(l.b) - at(l.a)).length(), 12, 1e-6);
    EXPECT_EQ(values("length"), (std::vector<double>{10, 12}));

    // A symbol carries no value: nothing opens. A click elsewhere leaves an open edit alone.
    editor.editDimension(host.sketch.addConstraint(ck::horizontal, {free}));
    EXPECT_FALSE(editor.dimEdit);
    editor.editDimension(loose);
    type("30");
    click({-40, -40});
    EXPECT_FALSE(editor.dimEdit);
    EXPECT_EQ(values("length"), (std::vector<double>{10, 12}));
}

TEST_F(DimTest, BoxesFollowThePointerWithTheActiveOneOutlined) {
    RecordingCanvas canvas;
    host.painting = &canvas;
    editor.setTool("rect");
    editor.draw();
    EXPECT_TRUE(canvas.all("round").empty());  // none before the first click
    click({-40, -30});
    move({-30, -26});
    press(Code::tab);
    press(Code::tab);
    canvas.ops.clear();
    editor.draw();
    std::vector<Painted> boxes;
    for (const Painted& p : canvas.all("round"))
        if (p.colour == sketchColours::fieldBorder) boxes.push_back(p);
    ASSERT_EQ(boxes.size(), 2u);
    const ScreenPoint m = host.at({-30, -26});
    EXPECT_EQ(boxes[0].rect.x, m.x + 20);
    EXPECT_EQ(boxes[0].rect.y, m.y - 40);
    EXPECT_EQ(boxes[1].rect.x, boxes[0].rect.x + boxes[0].rect.w + 6);
    EXPECT_EQ(boxes[0].width, 1);
    EXPECT_EQ(boxes[1].width, 2);  // "h", reached with the second Tab
    std::vector<std::string> texts;
    for (const Painted& p : canvas.all("text"))
        texts.push_back(p.text);
    for (const char* t : {"Largeur", "10", "Hauteur", "4"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), t), texts.end()) << t;
}

}  // namespace
}  // namespace ivo::testing
