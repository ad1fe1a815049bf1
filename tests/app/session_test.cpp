// The session file's two forms, round trips and refusals, without a window.
#include "app/session.h"

#include <gtest/gtest.h>

#include "document/doc_json.h"

namespace ivo {
namespace {

Doc docWithSketch(const std::string& name) {
    Doc d;
    Feature f(d.newId(), fk::sketch, name);
    f.sketch = Sketch(SketchPlane::xz());
    d.features.push_back(f);
    d.marker = 1;
    return d;
}

TEST(Session, RoundTripKeepsTabsFilesDirtyFlagsAndActive) {
    Session s;
    s.tabs.push_back({docWithSketch("Esquisse1"), "/tmp/a é.q3d", false});
    s.tabs.push_back({Doc(), std::nullopt, true});
    s.active = 1;
    const std::string text = encodeSession(s);
    std::string reason;
    const auto back = decodeSession(text, reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(*back, s);
    // A tab without a file has no "file" key at all (never null).
    EXPECT_EQ(text.find("null"), std::string::npos);
    EXPECT_EQ(text.rfind("\"file\""), text.find("\"file\""));
}

TEST(Session, KeysAreWrittenInTheirDocumentedOrder) {
    const std::string text = encodeSession({{{Doc(), "/m.q3d", true}}, 0});
    EXPECT_LT(text.find("\"tabs\""), text.find("\"active\""));
    EXPECT_LT(text.find("\"doc\""), text.find("\"file\""));
    EXPECT_LT(text.find("\"file\""), text.find("\"dirty\""));
}

TEST(Session, OldSingleDocumentFormGivesOneActiveTab) {
    const std::string doc = encodeDoc(docWithSketch("Ancienne"), false);
    std::string reason;
    const auto s =
        decodeSession("{\"doc\":" + doc + ",\"file\":\"/x/y.q3d\",\"dirty\":true}", reason);
    ASSERT_TRUE(s) << reason;
    ASSERT_EQ(s->tabs.size(), 1u);
    EXPECT_EQ(s->tabs[0].doc.features.at(0).name, "Ancienne");
    EXPECT_EQ(s->tabs[0].file, "/x/y.q3d");
    EXPECT_TRUE(s->tabs[0].dirty);
    EXPECT_EQ(activeIndex(*s), 0u);
}

TEST(Session, ActiveOutOfRangeIsClampedToTheNearestTab) {
    Session s{{{Doc(), std::nullopt, false}, {Doc(), std::nullopt, false}}, 7};
    EXPECT_EQ(activeIndex(s), 1u);
    s.active = -3;
    EXPECT_EQ(activeIndex(s), 0u);
    std::string reason;
    const auto back = decodeSession(encodeSession({s.tabs, 9}), reason);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->active, 9);  // kept as written; clamping is the reader's choice
}

TEST(Session, RefusesWhatRestoresNoTab) {
    const std::string good = encodeDoc(Doc(), false);
    const char* const bad[] = {
        "",
        "{",
        "[]",
        "{\"tabs\":[],\"active\":0}",
        "{\"tabs\":[{\"doc\":{},\"dirty\":false}],\"active\":0}",
        "{\"tabs\":\"x\",\"active\":0}",
        "{\"doc\":null,\"dirty\":false}",
    };
    for (const char* text : bad) {
        std::string reason;
        EXPECT_FALSE(decodeSession(text, reason)) << text;
        EXPECT_FALSE(reason.empty()) << text;
    }
    // A current-form file with one broken tab is refused whole, with the tab located.
    std::string reason;
    const std::string oneBad = "{\"tabs\":[{\"doc\":" + good +
                               ",\"dirty\":false},{\"doc\":" + good +
                               ",\"dirty\":3}],\"active\":0}";
    EXPECT_FALSE(decodeSession(oneBad, reason));
    EXPECT_NE(reason.find("tabs[1]"), std::string::npos) << reason;
}

}  // namespace
}  // namespace ivo
