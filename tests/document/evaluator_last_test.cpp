// The bodies of a run's last feature are made flat and put in blocks only when a feature
// after it cuts them again: moving the marker, appending features after an edit of the
// last one, every operation as the last, all give the results of a run from scratch.
#include <gtest/gtest.h>

#include "document/evaluator.h"
#include "support/doc_builder.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A plate, then features of each operation through circles of a sketch on its top face.
Doc model(const std::string& lastOp) {
    DocBuilder b;
    b.extrude(b.sketch(rectSketch(0, 0, 60, 20)), {{1, 1}}, 5);
    Sketch circles(SketchPlane{"Face", {0, 0, 5}, {1, 0, 0}, {0, 0, 1}});
    for (int i = 0; i < 5; ++i)
        addCircle(circles, {6.0 + 12 * i, 10}, 3);
    const Id s = b.sketch(std::move(circles));
    b.extrude(s, {{6, 10}, {18, 10}}, -3, op::cut);
    b.extrude(s, {{30, 10}}, 4, op::join);
    b.extrude(s, {{42, 10}, {54, 10}}, -8, lastOp);
    return b.doc;
}

TEST(EvaluatorLast, IncrementalRunsAroundTheLastFeatureMatchRunsFromScratch) {
    for (const char* lastOp : {op::cut, op::join, op::intersect, op::newBody}) {
        SCOPED_TRACE(lastOp);
        Doc doc = model(lastOp);
        const auto n = static_cast<std::int64_t>(doc.features.size());
        Evaluation ev;
        auto check = [&](std::optional<std::int64_t> upTo) {
            const EvalResult r = ev.run(doc, upTo);
            ASSERT_TRUE(r.errors.empty());
            EXPECT_EQ(r, Evaluator::run(doc, upTo));
        };
        check(std::nullopt);
        // The marker back and forth: each feature in turn the last, then not.
        for (std::int64_t k = n; k >= 2; --k)
            check(k);
        check(std::nullopt);
        // An edit of the last feature, then one after it, then features appended.
        doc.features.back().extrude->distance *= 1.5;
        check(std::nullopt);
        doc.features[3].extrude->distance = -2;
        check(std::nullopt);
        DocBuilder more;
        more.doc = doc;
        const Id circles = doc.features[2].id;
        more.extrude(circles, {{54, 10}}, -5, op::cut);
        more.extrude(circles, {{18, 10}}, 6, op::join);
        doc = more.doc;
        check(std::nullopt);
        check(n);
        check(std::nullopt);
    }
}

}  // namespace
}  // namespace ivo
