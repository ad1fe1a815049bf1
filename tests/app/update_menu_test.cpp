// The updater inside the window: its menu items, the offer's message box and the cancel
// button of the status line.
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/update_host.h"
#include "updater/local_site.h"

namespace ivo::testing {
namespace {

using UpdateMenuTest = AppFixture;

QAction* menuItem(MainController& c, const QString& menu, const QString& item) {
    for (QAction* m : c.window->menuBar()->actions())
        if (m->text() == menu && m->menu())
            for (QAction* a : m->menu()->actions())
                if (a->text() == item) return a;
    return nullptr;
}

TEST_F(UpdateMenuTest, MenuItemsCheckByHandAndChangeTheAddress) {
    LocalSite site;
    MainController& c = launch();
    const Updater::Config& config = c.updater->config();
    site.at("/maj/version.json") = {
        200, "{\"version\": \"x\", \"build\": " + QByteArray::number(qint64(config.currentBuild)) +
                 ", \"url\": \"a.tar.xz\"}"};
    QSettings().setValue("updateURL", site.address("/maj/"));

    // What a check or an address answer says is tabled in tests/updater/updater_test.cpp.
    QAction* check = menuItem(c, "Ivorane 3D", "Rechercher les mises à jour…");
    ASSERT_TRUE(check && check->isEnabled());
    check->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->alerts.empty(); }, 30000));
    EXPECT_EQ(dialogs->alerts[0].message, "Ivorane 3D est à jour");

    QAction* address = menuItem(c, "Ivorane 3D", "Adresse des mises à jour…");
    ASSERT_TRUE(address);
    dialogs->textAnswer = " " + site.address("/ailleurs") + " ";
    address->trigger();
    ASSERT_EQ(dialogs->prompts.size(), 1u);
    EXPECT_EQ(dialogs->prompts[0].second, site.address("/maj/"));
    EXPECT_EQ(QSettings().value("updateURL").toString(), site.address("/ailleurs"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs->alerts.size() == 2; }, 30000));
    EXPECT_EQ(site.count("/ailleurs/version.json"), 1);
}

TEST_F(UpdateMenuTest, OfferShowsNotesAsPlainText) {
    MainController& c = launch();
    QtDialogs real(c.window.get());
    QString shown;
    bool plain = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text().contains("<b>")) {
                shown = label->text();
                plain = plain && label->textFormat() == Qt::PlainText;
            }
        }
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "Plus tard") QTest::mouseClick(b, Qt::LeftButton);
    });
    const int choice = real.ask("Mise à jour disponible : Ivorane 3D 2.0",
                                "Vous avez la version 1.0.\n\n<b>x</b>\n\nVos modèles…",
                                {"Mettre à jour et relancer", "Plus tard"});
    EXPECT_EQ(choice, 1);
    EXPECT_TRUE(shown.contains("<b>x</b>") && plain);
}

TEST_F(UpdateMenuTest, StatusLineOffersACancelButtonDuringTheDownload) {
    MainController& c = launch();
    auto* host = dynamic_cast<ControllerUpdateHost*>(c.updaterHost.get());
    ASSERT_TRUE(host);
    int cancelled = 0;
    host->showCancel([&] { ++cancelled; });
    host->setStatus("Téléchargement de la mise à jour 2.0… 40 %");
    QToolButton* button = host->cancelButton();
    ASSERT_TRUE(button->isVisible());
    EXPECT_TRUE(c.statusLabel->geometry().intersects(button->geometry()));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(c.statusText(), "Téléchargement de la mise à jour 2.0… 40 %");
    host->showCancel({});
    EXPECT_FALSE(button->isVisible());
}

}  // namespace
}  // namespace ivo::testing
