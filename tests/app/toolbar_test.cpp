// The toolbar of the real window: buttons and group menus clicked with the mouse, pins through
// menus, context menus and the customisation dialog. Which commands each group shows and in
// what order is tabled in toolbar_pins_test.cpp; here the band follows it.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/command_catalog.h"
#include "app/toolbar_pins.h"
#include "viewport/symbols.h"

namespace ivo::testing {
namespace {

using Ids = std::vector<std::string>;
using std::tuple;

// The visible buttons, left to right: the scrolled groups, then the fixed finish group.
Ids shownButtons(MainController& c) {
    std::vector<QToolButton*> found;
    for (QToolButton* b : c.toolbarStack->findChildren<QToolButton*>())
        if (b->objectName() != "groupHeader" && b->isVisibleTo(c.window.get())) found.push_back(b);
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

// Clicks the button as the user does, scrolling the band to it first.
void click(MainController& c, QToolButton* b) {
    c.toolbarScroll->ensureWidgetVisible(b);
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}
void click(MainController& c, const std::string& id) {
    click(c, c.toolButtons.at(id));
}

QMenu* groupMenu(MainController& c, const QString& group) {
    QToolButton* h = header(c, group);
    if (!h) return nullptr;
    click(c, h);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

bool active(MainController& c, const std::string& id) {
    return c.toolButtons.at(id)->property("active").toBool();
}

struct ToolbarTest : AppFixture {
    MainController& sketching() {
        MainController& c = launch();
        click(c, "sketch");
        c.planeChosen(SketchPlane::xy());
        EXPECT_EQ(c.mode(), Mode::sketch);
        return c;
    }
};

TEST_F(ToolbarTest, EachModeShowsItsGroupsAndTheButtonsRunTheirCommands) {
    MainController& c = launch();
    Ids shown = shownButtons(c);
    EXPECT_EQ(tuple(shown.front(), shown.back()), tuple("sketch", "selmode"));
    EXPECT_TRUE(active(c, "select3d") && !active(c, "sketch"));
    EXPECT_EQ(c.tabRow->findChild<QLabel*>("activeWorkspace")->text(), "SOLIDE");
    click(c, "selmode");
    EXPECT_EQ(c.selFilter, "body");
    EXPECT_EQ(c.toolButtons.at("selmode")->text(), "Corps");
    c.viewport->setView("top");
    click(c, "viso");
    EXPECT_GT(c.viewport->camera().eyeDir().dot(V3{1, 1, 1}.normalized()), 0.5);

    click(c, "sketch");
    ASSERT_EQ(c.mode(), Mode::choosePlane);
    EXPECT_EQ(shownButtons(c), Ids({"cancelPlane"}));
    click(c, "cancelPlane");  // the button removes itself
    EXPECT_TRUE(c.mode() == Mode::model && c.statusText().isEmpty());

    click(c, "sketch");
    c.planeChosen(SketchPlane::xy());
    shown = shownButtons(c);
    EXPECT_EQ(tuple(shown.front(), shown.back()), tuple("line", "finish"));
    EXPECT_EQ(c.tabRow->findChild<QLabel*>("activeWorkspace")->text(), "ESQUISSE");
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

// A variant chosen in its menu is started and recalled (the recall by key is in
// editor_gui_test.cpp); the current tool is ticked in its menu.
TEST_F(ToolbarTest, AVariantChosenInItsMenuIsRememberedAndTicked) {
    MainController& c = sketching();
    ASSERT_TRUE(chooseIn(groupMenu(c, "CRÉER"), "Rectangle 3 points"));
    EXPECT_EQ(c.activeSketchTool(), "rect3");
    EXPECT_EQ(c.lastVariant.at("rect"), "rect3");
    QMenu* menu = groupMenu(c, "CRÉER");
    ASSERT_TRUE(menu);
    for (QAction* a : menu->actions())
        EXPECT_EQ(a->isChecked(), a->text() == "Rectangle 3 points") << a->text().toStdString();
    menu->close();
}

TEST_F(ToolbarTest, MenusPinAndUnpinAndEmptyGroupsKeepTheirHeader) {
    MainController& c = sketching();
    ASSERT_TRUE(chooseIn(groupMenu(c, "MODIFIER"),
                         "Épingler dans la barre : Scinder : couper un élément à ses croisements"));
    Ids shown = shownButtons(c);
    const auto at = std::find(shown.begin(), shown.end(), "split");
    ASSERT_NE(at, shown.end());
    EXPECT_EQ(Ids(at - 1, at + 2), Ids({"extend", "split", "copyMove"}));
    EXPECT_EQ(decodePins(QSettings().value("toolbarPins").toByteArray().toStdString())
                  ->at("sketch.MODIFIER")
                  .size(),
              10u);

    // Unpinning every command leaves the header, whose menu still offers them all.
    for (const char* title : {"Sélection (Échap)", "Aimant : accrochage automatique (M)",
                              "Construction (X)", "Supprimer (Suppr)"})
        ASSERT_TRUE(chooseIn(groupMenu(c, "OUTILS"), QString("Retirer de la barre : ") + title));
    QMenu* menu = groupMenu(c, "OUTILS");
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu).filter("Épingler dans la barre").size(), 4);
    menu->close();
    shown = shownButtons(c);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "select"), 0);
    ASSERT_NE(header(c, "OUTILS"), nullptr);

    // A button's own menu unpins it; the finish group has no pin items.
    ASSERT_TRUE(chooseIn(contextMenuOf(c.toolButtons.at("line")),
                         "Retirer « Ligne » de la barre d'outils"));
    EXPECT_TRUE(!c.toolButtons.count("line") && shownButtons(c).front() == "rect");
    menu = contextMenuOf(c.toolButtons.at("finish"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), QStringList({"Personnaliser la barre d'outils…"}));
    menu->close();
    menu = groupMenu(c, "TERMINER");
    ASSERT_TRUE(menu);
    EXPECT_EQ(texts(menu), QStringList({"Terminer l'esquisse"}));
    ASSERT_TRUE(chooseIn(menu, "Terminer l'esquisse"));
    EXPECT_EQ(c.mode(), Mode::model);
}

TEST_F(ToolbarTest, TheCustomisationDialogPinsAndResetsItsOwnCheckboxes) {
    MainController& c = sketching();
    ASSERT_TRUE(chooseIn(groupMenu(c, "CRÉER"), "Personnaliser la barre d'outils…"));
    QPointer<QDialog> dialog = c.customizePanel;
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    const auto box = [&](const char* name) { return dialog->findChild<QCheckBox*>(name); };
    ASSERT_TRUE(box("1|CRÉER|line") && box("1|CRÉER|rect3") && box("0|VUE|viso"));
    EXPECT_TRUE(box("1|CRÉER|line")->isChecked() && !box("1|CRÉER|rect3")->isChecked() &&
                box("0|VUE|viso")->isChecked() && !box("1|TERMINER|finish"));
    QTest::mouseClick(box("1|CRÉER|line"), Qt::LeftButton);
    QTest::mouseClick(box("1|CRÉER|rect3"), Qt::LeftButton);
    const Ids shown = shownButtons(c);
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
    c.customizeToolbar();  // Escape closes it as well
    dialog = c.customizePanel;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    QTest::keyClick(dialog, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(c.customizePanel);
}

TEST_F(ToolbarTest, TheBandScrollsSidewaysAndAPinKeepsItsScroll) {
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
    ASSERT_TRUE(chooseIn(groupMenu(c, "MODIFIER"),
                         "Épingler dans la barre : Copier toute l'esquisse avec décalage…"));
    EXPECT_TRUE(c.toolButtons.count("copyAll") && bar->value() == scrolled);
    // The finish button stays in sight whatever the scroll.
    const QRect finish(c.toolButtons.at("finish")->mapTo(c.window.get(), QPoint()),
                       c.toolButtons.at("finish")->size());
    EXPECT_TRUE(c.window->rect().contains(finish));
}

TEST_F(ToolbarTest, EverySymbolOfTheCatalogsHasAnIcon) {
    for (const bool sketch : {true, false})
        for (const CmdGroup& g : catalog(sketch))
            for (const auto& cmd : g.items)
                EXPECT_TRUE(!cmd || (hasSymbol(toQt(cmd->symbol)) &&
                                     !symbolPixmap(toQt(cmd->symbol), Qt::black, 22).isNull()))
                    << cmd->symbol;
    for (const char* s :
         {"pin", "pin.slash", "slider.horizontal.3", "xmark.circle", "cube.fill", "square.fill"})
        EXPECT_TRUE(hasSymbol(s)) << s;
}

}  // namespace
}  // namespace ivo::testing
