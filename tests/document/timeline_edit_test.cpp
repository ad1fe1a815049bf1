#include "document/timeline_edit.h"

#include <gtest/gtest.h>

#include "document/evaluator.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

std::vector<std::string> namesOf(const Doc& doc) {
    std::vector<std::string> out;
    for (const Feature& f : doc.features)
        out.push_back(f.name);
    return out;
}

// Esquisse1, Extrusion1 (new body), Extrusion2 (joined into Extrusion1's body), Congé1 on
// Extrusion2, Esquisse2 unrelated; marker at `marker`.
struct Model {
    DocBuilder b;
    Id sketch = b.sketch(rectSketch(0, 0, 20, 10)), ext1 = b.extrude(sketch, {{5, 5}}, 5),
       ext2 = b.extrude(sketch, {{5, 5}}, -3, op::join), fillet = b.fillet(ext2, "top", 1),
       other = b.sketch(rectSketch(30, 0, 40, 10));
    Doc& doc = b.doc;
    explicit Model(std::int64_t marker = 5) {
        b.feature(ext2).extrude->target = ext1;
        doc.marker = marker;
    }
};

TEST(TimelineEdit, DependantsFollowEveryReferenceThroughBodiesAndFeatures) {
    Model m;
    const std::vector<std::vector<size_t>> want{{1, 2, 3}, {2, 3}, {3}, {}, {}};
    for (size_t i = 0; i < want.size(); ++i)  // the fillet via Extrusion2, which targets a body
        EXPECT_EQ(dependants(m.doc, i), want[i]) << i;
    EXPECT_TRUE(dependants(m.doc, 99).empty());
    DocBuilder c;
    const Id s = c.sketch(rectSketch(0, 0, 1, 1));
    const Id a = c.extrude(s, {{0.5, 0.5}}, 1), t = c.extrude(s, {{0.5, 0.5}}, 2);
    c.combine(a, t, op::cut);
    c.remove(a);
    EXPECT_EQ(dependants(c.doc, 1), (std::vector<size_t>{3, 4}));  // combine target, removal
    EXPECT_EQ(dependants(c.doc, 2), (std::vector<size_t>{3}));     // combine tool
}

TEST(TimelineEdit, DeletingMovesTheMarkerBackByTheRemovedFeaturesBeforeIt) {
    const struct {
        size_t index;
        bool withDependants;
        std::int64_t marker, markerAfter;
        std::vector<std::string> left;
    } cases[] = {
        {0, false, 5, 4, {"Extrusion1", "Extrusion2", "Congé1", "Esquisse2"}},
        {0, true, 2, 0, {"Esquisse2"}},  // two of the four stood before the marker
        {2, true, 3, 2, {"Esquisse1", "Extrusion1", "Esquisse2"}},
        {3, false, 0, 0, {"Esquisse1", "Extrusion1", "Extrusion2", "Esquisse2"}},
    };
    for (const auto& c : cases) {
        Model m(c.marker);
        ASSERT_TRUE(deleteFeature(m.doc, c.index, c.withDependants)) << c.index;
        EXPECT_EQ(namesOf(m.doc), c.left) << c.index << " " << c.withDependants;
        EXPECT_EQ(m.doc.marker, c.markerAfter) << c.index << " " << c.withDependants;
    }
    Model m;
    const Doc before = m.doc;
    EXPECT_FALSE(deleteFeature(m.doc, 5, true));
    EXPECT_EQ(m.doc, before);
    // With its dependants nothing names a missing feature.
    ASSERT_TRUE(deleteFeature(m.doc, 1, true));
    EXPECT_TRUE(Evaluator::run(m.doc).errors.empty());
}

TEST(TimelineEdit, RenamesRefuseBlanksAndTogglesRefuseWhatIsNoSketch) {
    Model m;
    for (const char* blank : {"", " ", "\t \n"})
        EXPECT_FALSE(renameFeature(m.doc, 0, blank) || renameBody(m.doc, m.ext1, blank));
    EXPECT_FALSE(renameFeature(m.doc, 9, "Base"));
    EXPECT_TRUE(m.doc.features[0].name == "Esquisse1" && !m.doc.bodyNames);
    EXPECT_TRUE(renameFeature(m.doc, 0, "  Profil de base "));
    EXPECT_EQ(m.doc.features[0].name, "Profil de base");
    EXPECT_TRUE(renameBody(m.doc, m.ext1, "Support"));
    EXPECT_EQ(displayName(m.doc, Evaluator::run(m.doc).bodies.at(0)), "Support");

    EXPECT_FALSE(toggleSketchVisible(m.doc, 1) || toggleSketchVisible(m.doc, 7));
}

// Removals and copies at the marker with their names: timeline_browser_test.
TEST(TimelineEdit, DuplicatedSketchesAreOffsetCopiesAndAbsurdOffsetsAreRefused) {
    Model d(2);
    ASSERT_EQ(duplicateSketch(d.doc, 0, 30, 0, 5), 2u);
    const Feature& copy = d.doc.features[2];
    EXPECT_NE(copy.id, d.sketch);
    EXPECT_EQ(*copy.sketch, *d.doc.features[0].sketch->duplicated(30, 0, 5));
    const Doc before = d.doc;
    EXPECT_FALSE(duplicateSketch(d.doc, 1, 1, 1, 0));  // an extrusion
    EXPECT_FALSE(duplicateSketch(d.doc, 0, 1e300, 0, 0));
    EXPECT_EQ(d.doc, before);
}

}  // namespace
}  // namespace ivo
