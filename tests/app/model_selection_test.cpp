#include "app/model_selection.h"

#include <random>

#include <gtest/gtest.h>

#include "document/evaluator.h"
#include "document/features.h"
#include "geometry/mesh.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using testing::addPolygon;
using testing::rect;

// A 20 mm box primitive (x, z in −10…10, y in 0…20) and the triangles the view would hold.
struct Scene {
    Doc doc;
    std::map<Id, std::vector<Tri>> tris;
    Id body = 0;

    Scene() {
        Primitive p = makePrimitive(doc, "box", false);
        doc.features.push_back(std::move(p.sketch));
        doc.features.push_back(std::move(p.solid));
        doc.marker = 2;
        doc.features[0].sketch->visible = false;
        refresh();
    }
    void refresh() {
        tris.clear();
        for (const Body& b : Evaluator::run(doc).bodies)
            tris[b.id] = triangles(*b.solid);
        body = tris.begin()->first;
    }
    // A sketch with a square on the plane y = height, inserted before the marker.
    Id addSketch(double height, double x0, double z0, double size) {
        Feature f(doc.newId(), fk::sketch, "Esquisse");
        f.sketch = Sketch(SketchPlane::face({0, 1, 0}, {0, height, 0}));
        const SketchPlane& pl = f.sketch->plane;
        const V2 a = pl.to2D({x0, height, z0}), b = pl.to2D({x0 + size, height, z0 + size});
        addPolygon(*f.sketch, rect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                   std::max(a.y, b.y)));
        doc.features.push_back(std::move(f));
        doc.marker = static_cast<std::int64_t>(doc.features.size());
        return doc.features.back().id;
    }
    // The item under a ray from `eye` towards `at`.
    std::optional<SelItem> pickToward(V3 eye, V3 at, const std::string& filter = "face") const {
        const V3 d = (at - eye).normalized();
        const PickScene scene{&tris, &doc.hidden, false};
        return pickItem(doc, tris, allHits(scene, eye, d, eye), eye, d, filter);
    }
};

TEST(Pick, RegionOnTheHitFaceWinsForEveryClick) {
    Scene s;
    const Id sketch = s.addSketch(20, -8, -8, 16);
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 400; ++i) {
        const V3 at{7.9 * u(rng), 20, 7.9 * u(rng)};
        const V3 eye{at.x + 80 * u(rng), 20 + 30 + 60 * (u(rng) + 1), at.z + 80 * u(rng)};
        const std::optional<SelItem> item = s.pickToward(eye, at);
        ASSERT_TRUE(item);
        ASSERT_EQ(item->kind, SelItem::Kind::profile) << "click " << i;
        EXPECT_EQ(item->id, sketch);
    }
}

TEST(Pick, WhatLiesUnderTheRay) {
    const V3 eye{3, 100, 2}, at{3, 0, 2};
    // What is done to the square sketched on y = height before the click.
    enum Spoil { none, hideSketch, suppress, afterMarker, hideBody };
    struct Case {
        const char* name;
        std::optional<double> height;  // no sketch when empty
        double x0, size;
        Spoil spoil;
        std::string filter;
        std::optional<SelItem::Kind> kind;
    };
    using K = SelItem::Kind;
    const Case cases[] = {
        {"bare face", {}, 0, 0, none, "face", K::face},
        {"body filter", {}, 0, 0, none, "body", K::body},
        {"region in front", 30, -5, 10, none, "face", K::profile},
        {"region in front, body filter", 30, -5, 10, none, "body", K::profile},
        {"region behind the face", 10, -5, 10, none, "face", K::face},
        {"region missed", 30, -9, 2, none, "face", K::face},
        {"hidden sketch", 30, -5, 10, hideSketch, "face", K::face},
        {"suppressed sketch", 30, -5, 10, suppress, "face", K::face},
        {"sketch after the marker", 30, -5, 10, afterMarker, "face", K::face},
        {"hidden body", {}, 0, 0, hideBody, "face", std::nullopt},
        {"region in empty space", -50, -5, 10, hideBody, "face", K::profile},
    };
    for (const Case& c : cases) {
        Scene s;
        if (c.spoil == hideBody) s.doc.hidden.push_back(s.body);
        if (c.height) s.addSketch(*c.height, c.x0, c.x0, c.size);
        if (c.spoil == hideSketch) s.doc.features.back().sketch->visible = false;
        if (c.spoil == suppress) s.doc.features.back().suppressed = true;
        if (c.spoil == afterMarker) --s.doc.marker;
        const std::optional<SelItem> item = s.pickToward(eye, at, c.filter);
        ASSERT_EQ(item.has_value(), c.kind.has_value()) << c.name;
        if (!item) continue;
        EXPECT_EQ(item->kind, *c.kind) << c.name;
        if (item->kind == SelItem::Kind::face) {
            EXPECT_EQ(item->id, s.body);
            EXPECT_NEAR(item->n.y, 1, 1e-9) << c.name;
            EXPECT_NEAR(item->w, 20, 1e-9) << c.name;
        }
    }
}

TEST(Pick, NearestOfTwoRegionsAndTheEarlierOnATie) {
    Scene s;
    s.doc.hidden.push_back(s.body);
    const Id low = s.addSketch(30, -5, -5, 10);
    const Id high = s.addSketch(40, -5, -5, 10);
    const Id twin = s.addSketch(40, -5, -5, 10);
    const std::optional<SelItem> item = s.pickToward({0, 100, 0}, {0, 0, 0});
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->id == high && item->id != twin);
    EXPECT_EQ(s.pickToward({0, -100, 0}, {0, 0, 0})->id, low);
}

TEST(Click, TogglesAddsAndClears) {
    Scene s;
    const SelItem top = SelItem::face(s.body, {0, 1, 0}, 20);
    const SelItem topAgain = SelItem::face(s.body, {0, 1, 0}, 20.00001);
    const SelItem side = SelItem::face(s.body, {1, 0, 0}, 10);
    const SelItem body = SelItem::body(s.body);
    struct Step {
        std::optional<SelItem> item;
        bool additive;
        size_t size;
    };
    const std::vector<Step> steps = {
        {top, false, 1},         {side, true, 2},          {body, true, 3}, {topAgain, true, 2},
        {std::nullopt, true, 2}, {side, false, 1},         {top, false, 1}, {top, false, 0},
        {side, false, 1},        {std::nullopt, false, 0},
    };
    std::vector<SelItem> selection;
    for (size_t i = 0; i < steps.size(); ++i) {
        clickItem(selection, s.doc, steps[i].item, steps[i].additive);
        EXPECT_EQ(selection.size(), steps[i].size) << "step " << i;
    }
}

TEST(Click, EqualRegionsSideBySideAreTwoItems) {
    Scene s;
    Sketch twin;
    addPolygon(twin, rect(0, 0, 10, 10));
    addPolygon(twin, rect(20, 0, 30, 10));
    Feature f(s.doc.newId(), fk::sketch, "Esquisse");
    f.sketch = twin;
    s.doc.features.push_back(f);
    std::vector<SelItem> selection;
    clickItem(selection, s.doc, SelItem::profile(f.id, {5, 5}), true);
    clickItem(selection, s.doc, SelItem::profile(f.id, {25, 5}), true);
    EXPECT_EQ(selection.size(), 2u);
    // The hover over the second region is drawn even though the first one is selected.
    const std::vector<SelItem> first{SelItem::profile(f.id, {5, 5})};
    EXPECT_EQ(
        selectionHighlights(s.doc, s.tris, first, SelItem::profile(f.id, {25, 5})).layers.size(),
        2u);
    EXPECT_EQ(
        selectionHighlights(s.doc, s.tris, first, SelItem::profile(f.id, {7, 2})).layers.size(),
        1u);
    clickItem(selection, s.doc, SelItem::profile(f.id, {8, 8}), false);
    ASSERT_EQ(selection.size(), 1u);
    EXPECT_EQ(selection[0].p, (V2{25, 5}));
}

TEST(Highlights, ItemsWhoseBodyOrSketchIsGoneDrawNothing) {
    Scene s;
    const SelectionHighlights h = selectionHighlights(
        s.doc, s.tris, {SelItem::body(999), SelItem::profile(999, {})}, std::nullopt);
    EXPECT_TRUE(h.layers.empty());
}

}  // namespace
}  // namespace ivo
