// Sizes typed while drawing, through the window-free host: the boxes of each stage, keys typed
// into them, the shapes and dimensions the values give, and a dimension edited in place.
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
    // Types `text`: '\t' Tab, '\n' Return, '\e' Escape, '\b' Backspace; what the last key did.
    bool keys(const std::string& text) {
        bool taken = false;
        for (char ch : text) {
            const Code codes[] = {Code::tab, Code::enter, Code::escape, Code::backspace};
            const auto i = std::string("\t\n\e\b").find(ch);
            taken = i == std::string::npos ? editor.key({Code::other, {ch}, false, false})
                                           : press(codes[i]);
        }
        return taken;
    }
    V2 at(Id point) const { return *host.sketch.pos(point); }
    bool pointAt(V2 p) const {
        return std::any_of(host.sketch.points.begin(), host.sketch.points.end(),
                           [&](const SPoint& q) { return (q.p - p).length() < 1e-6; });
    }
};

// A typed length wins over a point snap 20.5 mm away; the line is one undo step and the chain
// goes on from its new end with empty boxes.
TEST_F(DimTest, ATypedLengthWinsOverASnapAndTheChainGoesOn) {
    const Id far = host.sketch.addPoint({-19.5, -30});
    editor.setTool("line");
    click({-40, -30});
    move({-20, -25});
    const size_t depth = host.undo.size();
    editor.textChanged("len", "10");
    click({-19.5, -30});
    ASSERT_EQ(host.sketch.lines.size(), 1u);
    const SLine l = host.sketch.lines[0];
    EXPECT_EQ(at(far), (V2{-19.5, -30}));
    EXPECT_NE(l.b, far);
    EXPECT_NEAR((at(l.b) - at(l.a)).length(), 10, 1e-9);
    EXPECT_EQ(host.undo.size(), depth + 1);
    EXPECT_EQ(values(ck::length), std::vector<double>{10.0});
    EXPECT_TRUE(editor.typed.empty());
    EXPECT_FALSE(editor.editingKey);
    ASSERT_TRUE(editor.firstRef);
    EXPECT_EQ(editor.firstRef->id, l.b);
}

TEST_F(DimTest, TypedValuesGiveTheShapeAndItsDimensions) {
    using Texts = std::vector<std::pair<const char*, const char*>>;
    struct Case {
        const char* tool;
        std::vector<V2> clicks;     // the last ones are replaced by the typed values
        std::vector<Texts> stages;  // the texts typed before each click past the first
        std::map<std::string, std::vector<double>> dims;
        std::vector<V2> points;  // points the typed values put there
        double r = 0;            // the circle's radius, 0: no circle
    };
    const Case cases[] = {
        // The pointer lower left of the first corner: 40 mm to the left.
        {"rect", {{-40, -30}, {-50, -35}}, {{{"w", "40"}}}, {{ck::length, {40}}}, {{-80, -35}}},
        {"rectC",
         {{-40, -30}, {-30, -20}},
         {{{"w", "40"}, {"h", "20"}}},
         {{ck::length, {40, 20}}},
         {{-20, -20}, {-60, -40}}},
        {"circle2",
         {{-40, -30}, {-30, -31}},
         {{{"d", "10"}}},
         {{ck::diameter, {10}}},
         {{-35, -30}},
         5},
        // 30 mm overall: the centres 5 mm in from the ends, the sides 20 mm long.
        {"slotO",
         {{-40, -30}, {-20, -30}, {-30, -28}},
         {{{"len", "30"}}, {{"w", "10"}}},
         {{ck::length, {20}}, {ck::radius, {5}}},
         {{-35, -30}, {-15, -30}, {-35, -25}, {-15, -25}}},
        {"arc",
         {{-40, -30}, {-35, -30}, {-40, -25}},
         {{{"r", "7"}}, {{"ang", "90"}}},
         {{ck::radius, {7}}},
         {{-40, -23}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        host.sketch = Sketch();
        editor.setTool(c.tool);
        click(c.clicks[0]);
        for (size_t i = 1; i < c.clicks.size(); ++i) {
            for (const auto& [key, text] : c.stages[i - 1])
                editor.textChanged(key, text);
            click(c.clicks[i]);
        }
        for (const auto& [kind, expected] : c.dims)
            EXPECT_EQ(values(kind), expected) << kind;
        for (V2 p : c.points)
            EXPECT_TRUE(pointAt(p)) << p.x << ", " << p.y;
        if (c.r) {
            EXPECT_NEAR(host.sketch.circles[0].r, c.r, 1e-6);
        }
        EXPECT_EQ(sketchFault(host.sketch), "");
    }
}

TEST_F(DimTest, BacktabWrapsAndKeysGoIntoTheActiveBox) {
    editor.setTool("line");
    EXPECT_FALSE(press(Code::tab));  // no boxes before the first click
    click({-40, -30});
    move({-20, -25});
    press(Code::tab);
    press(Code::tab, true);  // Backtab wraps round to the last box
    EXPECT_EQ(editor.editingKey.value_or("none"), "ang");
    EXPECT_EQ(editor.editText, editor.fieldText("ang"));
    // The box's text is selected, so the first character replaces it; letters are text, not tools.
    keys("40/2+1,5");
    EXPECT_EQ(editor.tool(), "line");
    EXPECT_EQ(editor.typed.at("ang"), 21.5);
    keys("x");
    EXPECT_FALSE(editor.typed.count("ang"));
    EXPECT_EQ(editor.tool(), "line");
    // An angle may be negative; a length must be a number above 0.
    editor.textChanged("ang", "-30");
    EXPECT_EQ(editor.typed.at("ang"), -30);
    for (const char* refused : {"-5", "1/0"}) {
        editor.textChanged("len", refused);
        EXPECT_FALSE(editor.typed.count("len")) << refused;
    }
    // Escape drops the typed values with the pending click.
    keys("\e");
    EXPECT_FALSE(editor.firstRef);
    EXPECT_FALSE(editor.editingKey);
    EXPECT_TRUE(editor.typed.empty());
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
        const char* keys;
        bool changes;
        const char* status;  // part of the status after the keys
        bool stillOpen;
    } cases[] = {
        {held, "20\n", false, "contredit", true},  // both ends fixed
        {loose, "abc\n", false, "non reconnue", true},
        {loose, "-3\n", false, "supérieure à 0", true},
        {loose, "2000000\n", false, "trop grande", true},
        {loose, "12\e", false, "", false},      // typed, then left
        {loose, "5\n", false, "", false},       // the value it has: no undo step
        {loose, "x\b12\n", true, "12", false},  // a slip mended before Return
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        const Sketch before = host.sketch;
        const size_t depth = host.undo.size();
        host.status.clear();
        editor.editDimension(c.constraint);
        ASSERT_TRUE(editor.dimEdit);
        keys(c.keys);
        EXPECT_EQ(editor.tool(), "select");  // letters typed were text
        EXPECT_EQ(bool(editor.dimEdit), c.stillOpen);
        EXPECT_NE(host.status.find(c.status), std::string::npos) << host.status;
        EXPECT_EQ(host.undo.size(), depth + (c.changes ? 1 : 0));
        // One Ctrl+Z gives back the sketch as it was.
        EXPECT_EQ(c.changes && !host.undo.empty() ? host.undo.back() : host.sketch, before);
        if (editor.dimEdit) keys("\e");
    }
    const SLine l = *host.sketch.line(free);
    EXPECT_NEAR((at(l.b) - at(l.a)).length(), 12, 1e-6);
    EXPECT_EQ(values("length"), (std::vector<double>{10, 12}));

    // A symbol carries no value: nothing opens. A click elsewhere leaves an open edit alone.
    editor.editDimension(host.sketch.addConstraint(ck::horizontal, {free}));
    EXPECT_FALSE(editor.dimEdit);
    editor.editDimension(loose);
    keys("30");
    click({-40, -40});
    EXPECT_FALSE(editor.dimEdit);
    EXPECT_EQ(values("length"), (std::vector<double>{10, 12}));
}

}  // namespace
}  // namespace ivo::testing
