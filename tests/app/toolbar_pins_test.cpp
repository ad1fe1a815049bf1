// The command catalogs and the toolbar pins (loading, the one-time magnet, pinning order,
// unreadable preferences), without a window.
#include <gtest/gtest.h>

#include "app/command_catalog.h"
#include "app/toolbar_pins.h"

namespace ivo {
namespace {

struct MemoryStore : PinStore {
    std::optional<std::string> blob;
    bool flag = false;
    int blobWrites = 0;
    std::optional<std::string> pinsBlob() const override { return blob; }
    void setPinsBlob(const std::string& b) override {
        blob = b;
        ++blobWrites;
    }
    bool magnetAdded() const override { return flag; }
    void setMagnetAdded(bool added) override { flag = added; }
};

using Ids = std::vector<std::string>;

PinMap stored(const MemoryStore& s) {
    return s.blob ? decodePins(*s.blob).value_or(PinMap{}) : PinMap{};
}

// Every sketch command reaches the editor or the window, none falls through.
TEST(CommandCatalog, EverySketchCommandIsRouted) {
    for (const CmdGroup& g : catalog(true))
        for (const auto& c : g.items) {
            if (!c || c->id == "magnet" || c->id == "finish") continue;
            EXPECT_TRUE(isSketchTool(c->id) != isSketchCommand(c->id)) << c->id;
        }
    EXPECT_FALSE(isSketchTool("extrude"));
}

TEST(ToolbarPins, AFirstStartShowsTheDefaultsAndRecordsTheMagnetAsAdded) {
    MemoryStore store;
    ToolbarPins pins(store);
    EXPECT_EQ(pins.pins(), defaultPins());
    EXPECT_TRUE(store.flag);
    EXPECT_EQ(store.blobWrites, 0);
    EXPECT_TRUE(pins.isPinned("magnet", "OUTILS", true));
    EXPECT_FALSE(pins.isPinned("magnet", "OUTILS", false) ||  // no such solid group
                 pins.isPinned("split", "MODIFIER", true));
}

TEST(ToolbarPins, OlderPinSetsGetTheMagnetOnceAndKeepItAcrossStarts) {
    struct Case {
        const char* blob;
        Ids tools;
    } cases[] = {
        {R"({"sketch.OUTILS":["select","construction","delete"]})",
         {"select", "magnet", "construction", "delete"}},
        {R"({"sketch.OUTILS":[]})", {"magnet"}},
        {R"({"sketch.CRÉER":["line"]})", {"magnet"}},  // the key is written even so
        {R"({"sketch.OUTILS":["delete","magnet"]})", {"delete", "magnet"}},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        store.blob = c.blob;
        {
            ToolbarPins pins(store);
            EXPECT_EQ(pins.pins().at("sketch.OUTILS"), c.tools) << c.blob;
        }
        EXPECT_TRUE(store.flag);
        // A later start reads what the first one wrote.
        EXPECT_EQ(stored(store).at("sketch.OUTILS"), c.tools) << c.blob;
        ToolbarPins next(store);
        EXPECT_EQ(next.shown("OUTILS", true), c.tools) << c.blob;
        // Unpinned by the user, the magnet stays away at the next start.
        next.setPinned("magnet", "OUTILS", true, false);
        ToolbarPins third(store);
        EXPECT_FALSE(third.isPinned("magnet", "OUTILS", true)) << c.blob;
    }
}

TEST(ToolbarPins, UnreadablePinsAreIgnoredUntilTheNextChangeOverwritesThem) {
    for (const char* blob :
         {"", "pas du json", "[]", R"({"a":1})", R"({"a":[1]})", R"({"a":["x",null]})", "\"texte\"",
          R"({"sketch.OUTILS":["select"])"}) {
        MemoryStore store;
        store.blob = blob;
        ToolbarPins pins(store);
        EXPECT_EQ(pins.pins(), defaultPins()) << blob;
        EXPECT_TRUE(store.flag) << blob;
        EXPECT_EQ(*store.blob, blob);
        pins.setPinned("split", "MODIFIER", true, true);
        ASSERT_TRUE(decodePins(*store.blob)) << blob;
        EXPECT_TRUE(ToolbarPins(store).isPinned("split", "MODIFIER", true)) << blob;
    }
}

TEST(ToolbarPins, PinningKeepsTheCatalogOrderAndUnpinningRemovesEveryCopy) {
    MemoryStore store;
    ToolbarPins pins(store);
    pins.setPinned("split", "MODIFIER", true, true);
    const Ids withSplit{"fillet",   "chamferS", "trim",   "extend",   "split",
                        "copyMove", "offset",   "mirror", "patternC", "patternR"};
    EXPECT_EQ(pins.shown("MODIFIER", true), withSplit);
    pins.setPinned("split", "MODIFIER", true, true);  // already pinned: unchanged
    EXPECT_EQ(pins.shown("MODIFIER", true), withSplit);
    EXPECT_EQ(stored(store).at("sketch.MODIFIER"), withSplit);

    // Ids from elsewhere keep their place; a new pin sorts them after the known ones.
    store.blob = R"({"sketch.CRÉER":["old","point","line","point"],"solid.VUE":[]})";
    store.flag = true;
    ToolbarPins older(store);
    EXPECT_EQ(older.shown("CRÉER", true), Ids({"old", "point", "line", "point"}));
    older.setPinned("point", "CRÉER", true, false);
    EXPECT_EQ(older.shown("CRÉER", true), Ids({"old", "line"}));
    older.setPinned("circle", "CRÉER", true, true);
    EXPECT_EQ(older.shown("CRÉER", true), Ids({"line", "circle", "old"}));
    // An emptied group stays empty rather than falling back to the defaults.
    EXPECT_TRUE(older.shown("VUE", false).empty());
    EXPECT_TRUE(stored(store).at("solid.VUE").empty());  // and is written as such
    older.setPinned("vtop", "VUE", false, true);
    older.setPinned("viso", "VUE", false, true);
    EXPECT_EQ(older.shown("VUE", false), Ids({"viso", "vtop"}));
    // The finish group ignores the pins.
    older.setPinned("finish", "TERMINER", true, false);
    EXPECT_EQ(older.shown("TERMINER", true), Ids({"finish"}));

    older.reset();
    EXPECT_EQ(stored(store), defaultPins());
}

}  // namespace
}  // namespace ivo
