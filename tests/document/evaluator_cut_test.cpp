// A cut without a target goes through every body with one tool, which the last body cut
// may take over: each body must come out as when it is cut on its own.
#include <gtest/gtest.h>

#include <numbers>

#include "document/evaluator.h"
#include "support/doc_builder.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

TEST(EvaluatorCut, OneToolCutsEveryBodyAsIfEachWereCutAlone) {
    // Three plates side by side, with two holes drilled through each.
    DocBuilder all, each;
    std::vector<Id> plates;
    for (DocBuilder* b : {&all, &each}) {
        plates.clear();
        for (int i = 0; i < 3; ++i)
            plates.push_back(b->extrude(b->sketch(rectSketch(20.0 * i, 0, 20.0 * i + 10, 10)),
                                        {{20.0 * i + 1, 1}}, 4));
    }
    Sketch circles(SketchPlane{"Face", {0, 0, 4}, {1, 0, 0}, {0, 0, 1}});
    std::vector<V2> centres;
    for (int i = 0; i < 3; ++i)
        for (double y : {3.0, 7.0}) {
            centres.push_back({20.0 * i + 5, y});
            addCircle(circles, centres.back(), 1.5);
        }
    all.extrude(all.sketch(circles), centres, -4, op::cut);
    const Id sketch = each.sketch(circles);
    for (Id plate : plates) {
        each.extrude(sketch, centres, -4, op::cut);
        each.doc.features.back().extrude->target = plate;
    }

    const EvalResult cutAll = Evaluator::run(all.doc), cutEach = Evaluator::run(each.doc);
    ASSERT_EQ(cutAll.bodies.size(), 3u);
    ASSERT_EQ(cutEach.bodies.size(), 3u);
    EXPECT_TRUE(cutAll.errors.empty());
    for (size_t i = 0; i < 3; ++i) {
        const Solid& s = *cutAll.bodies[i].solid;
        EXPECT_EQ(s, *cutEach.bodies[i].solid) << i;
        // Two holes went through: each a polygon inscribed in its circle, so smaller than
        // the circle and larger than the square inscribed in it.
        EXPECT_GT(signedVolume(s), 400 - 2 * std::numbers::pi * 1.5 * 1.5 * 4) << i;
        EXPECT_LT(signedVolume(s), 400 - 2 * 2 * 1.5 * 1.5 * 4) << i;
    }
}

}  // namespace
}  // namespace ivo
