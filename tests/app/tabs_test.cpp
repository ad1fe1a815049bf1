// Tab titles and the tab bar's geometry.
#include "app/tabs.h"

#include <gtest/gtest.h>

namespace ivo {
namespace {

TEST(Tabs, TitleIsTheFileNameWithoutExtensionAndMarksUnsavedChanges) {
    EXPECT_EQ(tabTitle(std::nullopt, false), "Sans titre");
    EXPECT_EQ(tabTitle(std::nullopt, true), "Sans titre \u2022");
    EXPECT_EQ(tabTitle("/home/a/équerre.v2.q3d", false), "équerre.v2");
    EXPECT_EQ(tabTitle("/home/a.b/plaque", true), "plaque \u2022");
    EXPECT_EQ(documentName(std::string("/x/.cache")), ".cache");
}

TEST(Tabs, TabWidthStaysBetween110And230) {
    EXPECT_DOUBLE_EQ(tabBarGeometry(1, 1280).w, 230);
    EXPECT_DOUBLE_EQ(tabBarGeometry(40, 1280).w, 110);
    EXPECT_DOUBLE_EQ(tabBarGeometry(8, 1260).w, 150);  // (1260 − 60) / 8
    // A very narrow bar counts as 200 points.
    EXPECT_DOUBLE_EQ(tabBarGeometry(1, 10).w, 200);
    EXPECT_DOUBLE_EQ(tabBarGeometry(0, 1280).w, 230);
}

TEST(Tabs, ItemsFollowEachOtherWithThePlusButtonLast) {
    const TabBarGeometry g = tabBarGeometry(3, 1000);
    EXPECT_DOUBLE_EQ(g.tabX(0), 8);
    EXPECT_DOUBLE_EQ(g.tabX(2), 8 + 2 * g.w);
    EXPECT_DOUBLE_EQ(g.plusX, 8 + 3 * g.w + 4);
}

TEST(Tabs, BlankTabsHaveTheStartCameraAndDistinctIdentities) {
    const DocTab a = DocTab::blank(), b = DocTab::blank();
    EXPECT_NE(a.uid, b.uid);
    EXPECT_EQ(a.dist, 260);
    EXPECT_DOUBLE_EQ(a.yaw, 0.7853981633974483);
    EXPECT_EQ(a.pitch, 0.6);
    EXPECT_TRUE(a.doc.features.empty());
    EXPECT_FALSE(a.fileURL || a.dirty);
}

}  // namespace
}  // namespace ivo
