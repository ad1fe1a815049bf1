// The cap triangles a sketch's regions keep between runs: an edit of the sketch, or of what
// treats the caps, gives the solids of the edited document, never those of the old outline.
#include <gtest/gtest.h>

#include <cmath>

#include "document/evaluator.h"
#include "support/doc_builder.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

double volume(const EvalResult& r) {
    double v = 0;
    for (const Body& b : r.bodies)
        v += signedVolume(*b.solid);
    return v;
}

struct Model {
    DocBuilder b;
    Id sketch = 0, circle = 0, pad = 0, turn = 0;
};

// Two circles of one sketch: one padded by 5, the other turned a quarter about the y axis.
Model model() {
    Model m;
    Sketch s;
    m.circle = addCircle(s, {20, 10}, 4);
    addCircle(s, {40, 10}, 3);
    m.sketch = m.b.sketch(std::move(s));
    m.pad = m.b.extrude(m.sketch, {{20, 10}}, 5);
    m.turn = m.b.revolve(m.sketch, {{40, 10}}, -2, 90);
    return m;
}

Sketch& sketchOf(Model& m) {
    return *m.b.feature(m.sketch).sketch;
}

TEST(EvaluatorCaps, EditsAreNotServedTheTrianglesOfTheOldOutline) {
    struct Edit {
        const char* name;
        void (*apply)(Model&);
    };
    const Edit edits[] = {
        {"radius of the padded circle",
         [](Model& m) {
             for (SCircle& c : sketchOf(m).circles)
                 if (c.id == m.circle) c.r = 6;
         }},
        {"centres moved away from the axis",
         [](Model& m) {
             for (SPoint& p : sketchOf(m).points)
                 if (p.id != 0) p.p.x += 2.5;
             for (Feature& f : m.b.doc.features) {
                 if (f.extrude)
                     for (V2& q : f.extrude->picks)
                         q.x += 2.5;
                 if (f.revolve)
                     for (V2& q : f.revolve->picks)
                         q.x += 2.5;
             }
         }},
        {"a round on the pad", [](Model& m) { m.b.fillet(m.pad, "both", 1); }},
        {"a chamfer on top", [](Model& m) { m.b.fillet(m.pad, "top", 1.5, true); }},
        {"distance and angle", [](Model& m) {
             m.b.feature(m.pad).extrude->distance = -8;
             m.b.feature(m.turn).revolve->angle = 200;
         }}};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.name);
        Model m = model();
        Evaluation ev;
        const EvalResult before = ev.run(m.b.doc);
        ASSERT_EQ(before.bodies.size(), 2u);
        e.apply(m);
        const EvalResult after = ev.run(m.b.doc);
        EXPECT_EQ(after, Evaluator::run(m.b.doc));
        EXPECT_NE(volume(after), volume(before));
        // The pad of a plain outline is a prism, whose volume its region gives.
        if (std::string(e.name) == "radius of the padded circle") {
            const std::vector<Region> r = Evaluator::pickRegions(sketchOf(m), {{20, 10}});
            ASSERT_EQ(r.size(), 1u);
            EXPECT_NEAR(signedVolume(*after.bodies.at(0).solid), std::abs(r[0].area()) * 5, 1e-6);
        }
    }
}

}  // namespace
}  // namespace ivo
