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
    Id sketch, ext1, ext2, fillet, other;
    explicit Model(std::int64_t marker = 5) {
        sketch = b.sketch(rectSketch(0, 0, 20, 10));
        ext1 = b.extrude(sketch, {{5, 5}}, 5);
        ext2 = b.extrude(sketch, {{5, 5}}, -3, op::join);
        b.feature(ext2).extrude->target = ext1;
        fillet = b.fillet(ext2, "top", 1);
        other = b.sketch(rectSketch(30, 0, 40, 10));
        b.doc.marker = marker;
    }
};

TEST(TimelineEdit, DependantsFollowEveryReferenceThroughBodiesAndFeatures) {
    Model m;
    const Doc& d = m.b.doc;
    EXPECT_EQ(dependants(d, 0), (std::vector<size_t>{1, 2, 3}));  // fillet via Extrusion2
    EXPECT_EQ(dependants(d, 1), (std::vector<size_t>{2, 3}));     // Extrusion2 targets its body
    EXPECT_EQ(dependants(d, 2), (std::vector<size_t>{3}));
    EXPECT_TRUE(dependants(d, 3).empty());
    EXPECT_TRUE(dependants(d, 4).empty());
    EXPECT_TRUE(dependants(d, 99).empty());

    DocBuilder c;
    const Id s = c.sketch(rectSketch(0, 0, 1, 1));
    const Id a = c.extrude(s, {{0.5, 0.5}}, 1);
    const Id t = c.extrude(s, {{0.5, 0.5}}, 2);
    c.combine(a, t, op::cut);
    c.remove(a);
    EXPECT_EQ(dependants(c.doc, 1), (std::vector<size_t>{3, 4}));  // combine target, removal
    EXPECT_EQ(dependants(c.doc, 2), (std::vector<size_t>{3}));     // combine tool
}

TEST(TimelineEdit, DeletingMovesTheMarkerBackByTheRemovedFeaturesBeforeIt) {
    struct Case {
        size_t index;
        bool withDependants;
        std::int64_t marker, markerAfter;
        std::vector<std::string> left;
    };
    const std::vector<Case> cases{
        {0, false, 5, 4, {"Extrusion1", "Extrusion2", "Congé1", "Esquisse2"}},
        {0, true, 5, 1, {"Esquisse2"}},
        {0, true, 2, 0, {"Esquisse2"}},  // two of the four stood before the marker
        {2, true, 3, 2, {"Esquisse1", "Extrusion1", "Esquisse2"}},
        {4, false, 5, 4, {"Esquisse1", "Extrusion1", "Extrusion2", "Congé1"}},
        {3, false, 0, 0, {"Esquisse1", "Extrusion1", "Extrusion2", "Esquisse2"}},
    };
    for (const Case& c : cases) {
        Model m(c.marker);
        ASSERT_TRUE(deleteFeature(m.b.doc, c.index, c.withDependants)) << c.index;
        EXPECT_EQ(namesOf(m.b.doc), c.left) << c.index << " " << c.withDependants;
        EXPECT_EQ(m.b.doc.marker, c.markerAfter) << c.index << " " << c.withDependants;
    }
    Model m;
    const Doc before = m.b.doc;
    EXPECT_FALSE(deleteFeature(m.b.doc, 5, true));
    EXPECT_EQ(m.b.doc, before);
}

TEST(TimelineEdit, DeletingWithDependantsLeavesNoFeatureNamingAMissingOne) {
    Model m;
    ASSERT_TRUE(deleteFeature(m.b.doc, 1, true));
    EXPECT_TRUE(Evaluator::run(m.b.doc).errors.empty());
    Model alone;
    ASSERT_TRUE(deleteFeature(alone.b.doc, 0, false));  // the user chose to keep them
    const EvalResult r = Evaluator::run(alone.b.doc);
    EXPECT_EQ(r.errors, (std::set<Id>{alone.ext1, alone.ext2}));
    EXPECT_TRUE(r.bodies.empty());
    EXPECT_EQ(r.messages.at(alone.ext1), evalmsg::noSketch);
}

TEST(TimelineEdit, BlankNamesAreRefusedAndTheOldNameKept) {
    Model m;
    for (const char* blank : {"", " ", "\t \n"}) {
        EXPECT_FALSE(renameFeature(m.b.doc, 0, blank));
        EXPECT_FALSE(renameBody(m.b.doc, m.ext1, blank));
    }
    EXPECT_EQ(m.b.doc.features[0].name, "Esquisse1");
    EXPECT_FALSE(m.b.doc.bodyNames.has_value());
    EXPECT_FALSE(renameFeature(m.b.doc, 9, "Base"));

    EXPECT_TRUE(renameFeature(m.b.doc, 0, "  Profil de base "));
    EXPECT_EQ(m.b.doc.features[0].name, "Profil de base");
    EXPECT_TRUE(renameBody(m.b.doc, m.ext1, "Support"));
    EXPECT_EQ(displayName(m.b.doc, Evaluator::run(m.b.doc).bodies.at(0)), "Support");
}

TEST(TimelineEdit, VisibilityTogglesRoundTrip) {
    Model m;
    EXPECT_TRUE(toggleBodyHidden(m.b.doc, m.ext1));
    EXPECT_EQ(m.b.doc.hidden, (std::vector<Id>{m.ext1}));
    EXPECT_FALSE(toggleBodyHidden(m.b.doc, m.ext1));
    EXPECT_TRUE(m.b.doc.hidden.empty());

    EXPECT_TRUE(toggleSketchVisible(m.b.doc, 4));
    EXPECT_FALSE(m.b.doc.features[4].sketch->visible);
    EXPECT_TRUE(toggleSketchVisible(m.b.doc, 4));
    EXPECT_TRUE(m.b.doc.features[4].sketch->visible);
    EXPECT_FALSE(toggleSketchVisible(m.b.doc, 1));  // an extrusion has no sketch to show
    EXPECT_FALSE(toggleSketchVisible(m.b.doc, 7));
}

TEST(TimelineEdit, ABodyIsRemovedByANewStepAtTheMarker) {
    Model m(3);
    const size_t at = insertBodyRemoval(m.b.doc, m.ext1, "Corps 1");
    EXPECT_EQ(at, 3u);
    EXPECT_EQ(m.b.doc.marker, 4);
    const Feature& f = m.b.doc.features[at];
    EXPECT_EQ(f.kind, fk::remove);
    EXPECT_EQ(f.name, "Supprimer Corps 1");
    EXPECT_EQ(f.removeBody, m.ext1);
    EXPECT_TRUE(Evaluator::run(m.b.doc).bodies.empty());

    Model out(99);  // a marker beyond the end counts as the end
    EXPECT_EQ(insertBodyRemoval(out.b.doc, out.ext1, "X"), 5u);
    EXPECT_EQ(out.b.doc.marker, 6);
}

TEST(TimelineEdit, DuplicatedSketchesGoAtTheMarkerMoved) {
    Model m(2);
    const std::optional<size_t> at = duplicateSketch(m.b.doc, 0, 30, 0, 5);
    ASSERT_EQ(at, 2u);
    EXPECT_EQ(m.b.doc.marker, 3);
    const Feature& copy = m.b.doc.features[*at];
    EXPECT_EQ(copy.name, "Esquisse1 (copie)");
    EXPECT_EQ(copy.kind, fk::sketch);
    EXPECT_NE(copy.id, m.sketch);
    EXPECT_EQ(*copy.sketch, *m.b.doc.features[0].sketch->duplicated(30, 0, 5));

    const Doc before = m.b.doc;
    EXPECT_FALSE(duplicateSketch(m.b.doc, 1, 1, 1, 0));  // an extrusion
    EXPECT_FALSE(duplicateSketch(m.b.doc, 0, 1e300, 0, 0));
    EXPECT_EQ(m.b.doc, before);
}

}  // namespace
}  // namespace ivo
