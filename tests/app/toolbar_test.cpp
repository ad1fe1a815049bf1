// The toolbar of the real window: buttons and group menus clicked with the mouse, pins through
// menus, context menus and the customisation dialog, and the pins kept in the preferences.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/command_catalog.h"
#include "app/toolbar_pins.h"
#include "viewport/symbols.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using Ids = std::vector<std::string>;

// The visible buttons and headers, left to right.
Ids shownButtons(MainController& c) {
    std::vector<QToolButton*> found;
    for (QToolButton* b : c.toolbarStack->findChildren<QToolButton*>())
        if (b->objectName() != "groupHeader" && b->isVisibleTo(c.window.get())) found.push_back(b);
    // The scrolled groups first, then the fixed finish group at the right end.
    QWidget* strip = c.toolbarScroll->widget();
    const auto place = [&](QToolButton* b) {
        const bool scrolled = strip->isAncestorOf(b);
        return std::pair(!scrolled, b->mapTo(scrolled ? strip : b->window(), QPoint()).x());
    };
    std::sort(found.begin(), found.end(),
              [&](QToolButton* a, QToolButton* b) { return place(a) < place(b); });
    Ids ids;
    for (QToolButton* b : found)
        ids.push_back(fromQt(b->objectName()));
    return ids;
}

QToolButton* header(MainController& c, const QString& group) {
    for (QToolButton* b : c.toolbarStack->findChildren<QToolButton*>("groupHeader"))
        if (b->property("group").toString() == group && b->isVisibleTo(c.window.get())) return b;
    return nullptr;
}

// Runs the deletions the window deferred until the handled signal had returned.
void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Clicks the button as the user does, scrolling the band to it first.
void click(MainController& c, const std::string& id) {
    QToolButton* b = c.toolButtons.at(id);
    c.toolbarScroll->ensureWidgetVisible(b);
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}

QMenu* openGroupMenu(MainController& c, const QString& group) {
    QToolButton* h = header(c, group);
    if (!h) return nullptr;
    c.toolbarScroll->ensureWidgetVisible(h);
    QTest::mouseClick(h, Qt::LeftButton);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QStringList texts(QMenu* menu) {
    QStringList t;
    for (QAction* a : menu->actions())
        t << (a->isSeparator() ? "—" : a->text());
    return t;
}

// Chooses the item with the mouse; false when the menu has no such item.
bool choose(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() != text) continue;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        settle();
        return true;
    }
    return false;
}

QMenu* openContextMenu(QToolButton* b) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(10, 10), b->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(b, &e);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Opens the group's menu and chooses the item; the failure lists what the menu offered.
::testing::AssertionResult chooseIn(MainController& c, const QString& group, const QString& text) {
    QMenu* menu = openGroupMenu(c, group);
    if (!menu) return ::testing::AssertionFailure() << "no menu " << group.toStdString();
    const QStringList offered = texts(menu);
    if (choose(menu, text)) return ::testing::AssertionSuccess();
    menu->close();
    return ::testing::AssertionFailure() << offered.join("\n").toStdString();
}

void sketchOnXY(MainController& c) {
    click(c, "sketch");
    c.planeChosen(SketchPlane::xy());
    ASSERT_EQ(c.mode(), Mode::sketch);
}

struct ToolbarTest : AppFixture {
    MainController& sketching() {
        MainController& c = launch();
        sketchOnXY(c);
        return c;
    }
};

bool active(MainController& c, const std::string& id) {
    return c.toolButtons.at(id)->property("active").toBool();
}

TEST_F(ToolbarTest, EachModeShowsItsGroupsAndTheButtonsRunTheirCommands) {
    MainController& c = launch();
    EXPECT_EQ(shownButtons(c), Ids({"sketch", "extrude", "revolve", "filletF", "chamfer", "combine",
                                    "stl", "3mf", "viso", "vfit", "select3d", "selmode"}));
    EXPECT_TRUE(active(c, "select3d") && !active(c, "sketch"));
    EXPECT_EQ(c.tabRow->findChild<QLabel*>("activeWorkspace")->text(), "SOLIDE");
    EXPECT_EQ(c.toolButtons.at("sketch")->toolTip(), "Esquisse\nClic droit : retirer de la barre");
    EXPECT_FALSE(c.toolButtons.at("extrude")->icon().isNull());

    click(c, "selmode");
    EXPECT_EQ(c.selFilter, "body");
    EXPECT_EQ(c.toolButtons.at("selmode")->text(), "Corps");
    click(c, "select3d");
    EXPECT_EQ(c.statusText(),
              "Sélection : cliquez une zone d'esquisse, une face ou un corps. Maj ou Ctrl pour en "
              "ajouter. Puis Extruder (E).");
    c.viewport->setView("top");
    click(c, "viso");
    EXPECT_GT(c.viewport->camera().eyeDir().dot(V3{1, 1, 1}.normalized()), 0.5);

    click(c, "sketch");
    ASSERT_EQ(c.mode(), Mode::choosePlane);
    EXPECT_EQ(shownButtons(c), Ids({"cancelPlane"}));
    EXPECT_EQ(c.toolButtons.at("cancelPlane")->toolTip(), "Annuler (Échap)");
    EXPECT_EQ(c.toolButtons.at("cancelPlane")->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_NE(c.toolbarScroll->widget()->findChild<QLabel*>(), nullptr);
    click(c, "cancelPlane");  // the button removes itself
    EXPECT_TRUE(c.mode() == Mode::model && c.statusText().isEmpty());

    sketchOnXY(c);
    EXPECT_EQ(
        shownButtons(c),
        Ids({"line",       "rect",     "circle",        "arc3",     "polyC",        "slotCC",
             "point",      "fillet",   "chamferS",      "trim",     "extend",       "copyMove",
             "offset",     "mirror",   "patternC",      "patternR", "dim",          "coincident",
             "hv",         "parallel", "perpendicular", "equal",    "tangent",      "midpoint",
             "concentric", "fixed",    "select",        "magnet",   "construction", "delete",
             "finish"}));
    EXPECT_EQ(c.tabRow->findChild<QLabel*>("activeWorkspace")->text(), "ESQUISSE");
    EXPECT_EQ(c.toolButtons.at("finish")->toolTip(), "Terminer l'esquisse");  // nothing to unpin
    EXPECT_TRUE(active(c, "select") && active(c, "magnet") == c.magnet);

    QToolButton* rect = c.toolButtons.at("rect");
    click(c, "rect");
    EXPECT_EQ(c.activeSketchTool(), "rect");
    EXPECT_TRUE(active(c, "rect") && !active(c, "select"));
    EXPECT_EQ(c.toolButtons.at("rect"), rect);  // a tool change only restyles
    const bool wasOn = c.magnet;
    click(c, "magnet");
    EXPECT_TRUE(c.magnet != wasOn && active(c, "magnet") == c.magnet && active(c, "rect"));

    click(c, "finish");  // the button removes itself
    EXPECT_TRUE(c.mode() == Mode::model && !c.toolButtons.count("finish"));
}

TEST_F(ToolbarTest, LastVariantRemembersTheVariantsStartedFromTheMenus) {
    MainController& c = sketching();
    const std::pair<const char*, const char*> picks[] = {
        {"Arc centre", "arc"}, {"Rectangle 3 points", "rect3"}, {"Ligne (L)   📌", "line"}};
    for (const auto& [title, id] : picks) {
        ASSERT_TRUE(chooseIn(c, "CRÉER", title));
        EXPECT_EQ(c.activeSketchTool(), id);
    }
    EXPECT_TRUE(c.lastVariant.at("arc") == "arc" && c.lastVariant.at("rect") == "rect3" &&
                !c.lastVariant.count("line"));
    // The current tool is ticked in its menu.
    QMenu* menu = openGroupMenu(c, "CRÉER");
    ASSERT_TRUE(menu);
    for (QAction* a : menu->actions())
        EXPECT_EQ(a->isChecked(), a->text() == "Ligne (L)   📌") << a->text().toStdString();
    menu->close();
}

TEST_F(ToolbarTest, GroupMenusPinAndUnpinInCatalogOrder) {
    MainController& c = sketching();
    QMenu* menu = openGroupMenu(c, "MODIFIER");
    ASSERT_TRUE(menu);
    const QStringList items = texts(menu);
    EXPECT_EQ(items.mid(0, 5),
              QStringList({"Congé (F) : arrondir un coin   📌",
                           "Retirer de la barre : Congé (F) : arrondir un coin",
                           "Chanfrein : biseauter un coin   📌",
                           "Retirer de la barre : Chanfrein : biseauter un coin", "—"}));
    EXPECT_EQ(items.back(), "Personnaliser la barre d'outils…");
    ASSERT_TRUE(
        choose(menu, "Épingler dans la barre : Scinder : couper un élément à ses croisements"));
    Ids shown = shownButtons(c);
    const auto at = std::find(shown.begin(), shown.end(), "split");
    ASSERT_NE(at, shown.end());
    EXPECT_EQ(Ids(at - 1, at + 2), Ids({"extend", "split", "copyMove"}));
    EXPECT_TRUE(decodePins(QSettings().value("toolbarPins").toByteArray().toStdString())
                    ->at("sketch.MODIFIER")
                    .size() == 10);

    // Unpinning every command leaves the header, whose menu still offers them all.
    for (const char* title : {"Sélection (Échap)", "Aimant : accrochage automatique (M)",
                              "Construction (X)", "Supprimer (Suppr)"})
        ASSERT_TRUE(chooseIn(c, "OUTILS", QString("Retirer de la barre : ") + title));
    menu = openGroupMenu(c, "OUTILS");
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu).filter("Épingler dans la barre").size(), 4);
    menu->close();
    shown = shownButtons(c);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "select"), 0);
    ASSERT_NE(header(c, "OUTILS"), nullptr);
    EXPECT_EQ(header(c, "OUTILS")->text(), "OUTILS ▾");

    // The finish group has neither pin items nor the customise item.
    menu = openGroupMenu(c, "TERMINER");
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), QStringList({"Terminer l'esquisse"}));
    ASSERT_TRUE(choose(menu, "Terminer l'esquisse"));
    EXPECT_EQ(c.mode(), Mode::model);
}

TEST_F(ToolbarTest, AButtonsOwnContextMenuUnpinsIt) {
    MainController& c = sketching();
    QMenu* menu = openContextMenu(c.toolButtons.at("line"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), QStringList({"Retirer « Ligne » de la barre d'outils",
                                        "Personnaliser la barre d'outils…"}));
    ASSERT_TRUE(choose(menu, "Retirer « Ligne » de la barre d'outils"));
    EXPECT_TRUE(!c.toolButtons.count("line") && shownButtons(c).front() == "rect");

    menu = openContextMenu(c.toolButtons.at("finish"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), QStringList({"Personnaliser la barre d'outils…"}));
    menu->close();
}

TEST_F(ToolbarTest, TheCustomisationDialogPinsAndResetsItsOwnCheckboxes) {
    MainController& c = sketching();
    ASSERT_TRUE(chooseIn(c, "CRÉER", "Personnaliser la barre d'outils…"));
    QPointer<QDialog> dialog = c.customizePanel;
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    const auto box = [&](const char* name) { return dialog->findChild<QCheckBox*>(name); };
    ASSERT_TRUE(box("1|CRÉER|line") && box("1|CRÉER|rect3") && box("0|VUE|viso"));
    EXPECT_TRUE(box("1|CRÉER|line")->isChecked() && !box("1|CRÉER|rect3")->isChecked() &&
                box("0|VUE|viso")->isChecked() && !box("1|TERMINER|finish"));

    QTest::mouseClick(box("1|CRÉER|line"), Qt::LeftButton);
    QTest::mouseClick(box("1|CRÉER|rect3"), Qt::LeftButton);
    Ids shown = shownButtons(c);
    EXPECT_EQ(Ids(shown.begin(), shown.begin() + 3), Ids({"rect", "rect3", "circle"}));

    // The reset button closes its own dialog and opens a fresh one with the defaults.
    QTest::mouseClick(dialog->findChild<QPushButton*>("resetPins"), Qt::LeftButton);
    settle();
    EXPECT_FALSE(dialog);  // deleted once its click had returned
    dialog = c.customizePanel;
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(box("1|CRÉER|line")->isChecked() && !box("1|CRÉER|rect3")->isChecked());
    EXPECT_EQ(shownButtons(c).front(), "line");

    QTest::mouseClick(dialog->findChild<QPushButton*>("done"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(!dialog && !c.customizePanel);
    // Escape closes it as well.
    c.customizeToolbar();
    dialog = c.customizePanel;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    QTest::keyClick(dialog, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(c.customizePanel);
}

TEST_F(ToolbarTest, StoredPinsGetTheMagnetOnceAcrossStarts) {
    QSettings().setValue("toolbarPins", QByteArray(R"({"sketch.OUTILS":["select","delete"]})"));
    for (int start = 0; start < 2; ++start) {
        MainController& c = sketching();
        const Ids shown = shownButtons(c);
        EXPECT_EQ(Ids(shown.end() - 4, shown.end()), Ids({"select", "magnet", "delete", "finish"}))
            << start;
        EXPECT_TRUE(QSettings().value("pinMagnetAdded").toBool());
        quit();
    }
}

TEST_F(ToolbarTest, TheBandScrollsSidewaysWhenItsGroupsAreWiderThanTheWindow) {
    MainController& c = sketching();
    QApplication::processEvents();
    QScrollBar* bar = c.toolbarScroll->horizontalScrollBar();
    ASSERT_TRUE(bar->maximum() > 0 && bar->value() == 0);
    QWheelEvent wheel(QPointF(200, 20), c.toolbarScroll->viewport()->mapToGlobal(QPoint(200, 20)),
                      QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(c.toolbarScroll->viewport(), &wheel);
    const int scrolled = bar->value();
    EXPECT_GT(scrolled, 0);
    // Pinning from a menu rebuilds the band where it was.
    ASSERT_TRUE(
        chooseIn(c, "MODIFIER", "Épingler dans la barre : Copier toute l'esquisse avec décalage…"));
    EXPECT_TRUE(c.toolButtons.count("copyAll") && bar->value() == scrolled);
    // The finish button stays in sight whatever the scroll.
    const QRect finish(c.toolButtons.at("finish")->mapTo(c.window.get(), QPoint()),
                       c.toolButtons.at("finish")->size());
    EXPECT_TRUE(c.window->rect().contains(finish));
}

TEST_F(ToolbarTest, EverySymbolOfTheCatalogsHasAnIcon) {
    for (const bool sketch : {true, false})
        for (const CmdGroup& g : catalog(sketch))
            for (const auto& cmd : g.items) {
                if (!cmd) continue;
                EXPECT_TRUE(hasSymbol(toQt(cmd->symbol))) << cmd->symbol;
                EXPECT_FALSE(symbolPixmap(toQt(cmd->symbol), Qt::black, 22).isNull())
                    << cmd->symbol;
            }
    for (const char* s :
         {"pin", "pin.slash", "slider.horizontal.3", "xmark.circle", "cube.fill", "square.fill"})
        EXPECT_TRUE(hasSymbol(s)) << s;
}

}  // namespace
}  // namespace ivo::testing
