// Printing aids in the window: the overhang tint from the « Affichage » menu, its threshold
// and its live preview, and « Envoyer au trancheur » with a stand-in slicer that records how
// it was started.
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMenuBar>

#include "app/app_fixture.h"
#include "app/feature_inspector.h"
#include "support/doc_builder.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

// A 20 mm block on the XZ plane (y 0…20) with a tunnel 8 wide and 8 high cut through its
// foot along z: the tunnel's ceiling looks down from 8 mm up.
Doc tunnelDoc() {
    DocBuilder b;
    Sketch block = rectSketch(-10, -10, 10, 10);
    block.plane = SketchPlane::xz();
    b.extrude(b.sketch(std::move(block)), {{0, 0}}, 20);
    Sketch arch = rectSketch(-4, 0, 4, 8);
    arch.plane.o = {0, 0, -15};
    b.extrude(b.sketch(std::move(arch)), {{0, 4}}, 30, op::cut);
    return b.doc;
}

// A 20 × 20 × 10 block whose lower rim is chamfered by 3 mm at 45°.
Doc chamferedDoc() {
    DocBuilder b;
    Sketch s = rectSketch(-10, -10, 10, 10);
    s.plane = SketchPlane::xz();
    const Id ex = b.extrude(b.sketch(std::move(s)), {{0, 0}}, 10);
    b.fillet(ex, "bottom", 3, true);
    return b.doc;
}

class PrintGuiTest : public AppFixture {
public:
    MainController* c = nullptr;

    void start(const Doc& doc) {
        c = &launchWith(doc);
        lookFromBelow();
    }
    void lookFromBelow() {
        c->viewport->setDirection(V3{0.35, -1, 0.5}.normalized());
        c->viewport->fit();
    }
    // Opens the menu from the menu bar and clicks its item, with the mouse.
    void clickMenuItem(const QString& title, const QString& item) {
        QMenu* m = menuOf(*c, title);
        QAction* action = itemOf(m, item);
        ASSERT_TRUE(m && action) << item.toStdString();
        QMenuBar* bar = c->window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(m->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return m->isVisible(); }, 5000));
        QTest::mouseClick(m, Qt::LeftButton, {}, m->actionGeometry(action).center());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m->isVisible(); }, 5000));
    }
    // Pixels of the view in the overhang tint: far redder than the bodies' grey-blue, the
    // grid and the thin red axis.
    int tintedPixels() {
        QApplication::processEvents();
        const QImage image = c->viewport->grabFramebuffer();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor p = image.pixelColor(x, y);
                if (p.red() - p.green() > 60 && p.red() - p.blue() > 60) ++n;
            }
        return n;
    }
};

TEST_F(PrintGuiTest, TheMenuItemTintsTheCeilingOfATunnelAndIsRememberedAcrossARestart) {
    start(tunnelDoc());
    EXPECT_FALSE(menuItem(*c, "Affichage", "Surplombs")->isChecked());
    const int before = tintedPixels();
    EXPECT_LT(before, 1500);  // the X axis at most

    clickMenuItem("Affichage", "Surplombs");
    EXPECT_TRUE(c->overhangsShown);
    EXPECT_TRUE(QSettings().value("overhangs").toBool());
    EXPECT_EQ(c->viewport->overhangs(), 45.0);
    EXPECT_TRUE(menuItem(*c, "Affichage", "Surplombs")->isChecked());
    const int shown = tintedPixels();
    EXPECT_GT(shown, before + 5000) << "the ceiling is tinted";
    EXPECT_EQ(c->statusText(),
              "Surplombs : faces tournées vers le bas de plus de 45° sous l'horizontale.");

    // A restart shows it again without being asked; a threshold edited by hand beyond a
    // quarter turn, which would tint nothing, gives way to the default.
    quit();
    QSettings().setValue("overhangAngle", 400);
    c = &launch();
    EXPECT_TRUE(c->overhangsShown);
    EXPECT_EQ(c->viewport->overhangs(), 45.0);
    EXPECT_TRUE(menuItem(*c, "Affichage", "Surplombs")->isChecked());
    lookFromBelow();
    EXPECT_GT(tintedPixels(), before + 5000);

    clickMenuItem("Affichage", "Surplombs");
    EXPECT_FALSE(c->overhangsShown);
    EXPECT_FALSE(QSettings().value("overhangs").toBool());
    EXPECT_FALSE(c->viewport->overhangs());
    EXPECT_LT(tintedPixels(), 1500);
}

TEST_F(PrintGuiTest, TheAngleDialogSetsTheThresholdAndRefusesAnglesBeyondAQuarterTurn) {
    start(chamferedDoc());
    // At the default 45°, a 45° chamfer prints without support.
    clickMenuItem("Affichage", "Surplombs");
    EXPECT_LT(tintedPixels(), 1500);

    dialogs->numbers = {{30}, {120}, {-5}, {}};
    clickMenuItem("Affichage", "Angle de surplomb…");
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(dialogs->numberPrompts[0].title, "Angle de surplomb");
    EXPECT_EQ(dialogs->numberPrompts[0].values, std::vector<double>{45});
    EXPECT_EQ(c->viewport->overhangs(), 30.0);
    EXPECT_EQ(QSettings().value("overhangAngle").toDouble(), 30.0);
    const int tinted = tintedPixels();
    EXPECT_GT(tinted, 5000) << "the chamfer is steeper than 30°";

    for (int i = 0; i < 2; ++i) {
        clickMenuItem("Affichage", "Angle de surplomb…");
        ASSERT_EQ(dialogs->alerts.size(), size_t(i + 1));
        EXPECT_EQ(dialogs->alerts.back().message, "Angle de surplomb impossible");
        EXPECT_EQ(dialogs->alerts.back().informative, "L'angle doit être compris entre 0 et 90°.");
    }
    clickMenuItem("Affichage", "Angle de surplomb…");  // cancelled
    EXPECT_EQ(dialogs->numberPrompts.back().values, std::vector<double>{30});
    EXPECT_EQ(c->viewport->overhangs(), 30.0);
    EXPECT_EQ(QSettings().value("overhangAngle").toDouble(), 30.0);
    EXPECT_EQ(tintedPixels(), tinted);
}

}  // namespace
}  // namespace ivo::testing
