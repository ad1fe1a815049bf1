// Opening and saving models, and the session that brings the tabs back, through the real
// application.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include "app/app_fixture.h"
#include "app/recent_files.h"
#include "app/session.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using FilesTest = AppFixture;
using SessionTest = AppFixture;

std::optional<Session> readSession(const QString& path) {
    const QByteArray b = AppFixture::readBytes(path);
    std::string reason;
    return decodeSession(std::string_view(b.constData(), static_cast<size_t>(b.size())), reason);
}

TEST_F(FilesTest, OpeningASampleShowsItsBodiesInTheView) {
    MainController& c = launch({toQt(example("plaque_percee.q3d"))});
    ASSERT_EQ(c.tabs.size(), 1u);  // the blank start tab was replaced
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — plaque_percee[*]");
    EXPECT_FALSE(c.dirty);
    EXPECT_FALSE(c.result().bodies.empty());
    ASSERT_FALSE(c.viewport->bodyTris.empty());
    EXPECT_FALSE(c.viewport->bodyTris.begin()->second.empty());
}

TEST_F(FilesTest, AFileAlreadyOpenOnlySwitchesToItsTab) {
    const std::string a = example("bouton.q3d"), b = example("equerre.q3d");
    MainController& c = launch({toQt(a)});
    c.newTab();
    ASSERT_TRUE(c.open(b));  // replaces the new blank tab
    ASSERT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.activeTab, 1u);

    ASSERT_TRUE(c.open(tmp.path() + "/./sub/../bouton.q3d"));
    EXPECT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.activeTab, 0u);
    EXPECT_EQ(c.fileURL, a);
    // The active tab's own file: nothing to do, and success.
    ASSERT_TRUE(c.open(a));
    EXPECT_EQ(c.tabs.size(), 2u);
    EXPECT_TRUE(dialogs->alerts.empty());
}

TEST_F(FilesTest, AModifiedTabIsNotReplacedByAnOpenedFile) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    ASSERT_TRUE(c.open(example("bouton.q3d")));
    ASSERT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.tabs[0].doc.features.size(), 1u);
    EXPECT_TRUE(c.tabs[0].dirty);
    EXPECT_EQ(recentFiles().value(0), toQt(tmp.file("bouton.q3d")));
}

TEST_F(FilesTest, UnreadableOrMalformedFilesAreRefusedAndChangeNothing) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    const Doc before = c.doc();
    writeBytes(toQt(tmp.file("faux.q3d")), "{\"version\": 1, \"features\": 3}");
    writeBytes(toQt(tmp.file("vide.q3d")), "");
    const std::string paths[] = {tmp.file("absent.q3d"), tmp.file("faux.q3d"), tmp.file("vide.q3d"),
                                 tmp.path()};
    for (const std::string& p : paths) {
        EXPECT_FALSE(c.open(p)) << p;
        ASSERT_FALSE(dialogs->alerts.empty());
        EXPECT_EQ(dialogs->alerts.back().message, "Impossible d'ouvrir ce fichier");
        EXPECT_EQ(dialogs->alerts.back().informative, "Ce n'est pas un modèle Ivorane 3D valide.");
    }
    EXPECT_EQ(dialogs->alerts.size(), 4u);
    EXPECT_EQ(c.tabs.size(), 1u);
    EXPECT_EQ(c.doc(), before);
    EXPECT_EQ(c.mode(), Mode::sketch);  // not even the sketch being edited was left
}

TEST_F(FilesTest, SaveAsWritesTheModelAndClearsTheUnsavedMark) {
    MainController& c = launch();
    c.startSketch(SketchPlane::yz());
    const std::string path = tmp.file("nouveau.q3d");
    dialogs->saveAnswers = {toQt(path)};
    ASSERT_TRUE(c.saveDocument());
    EXPECT_EQ(dialogs->proposedNames.at(0), "Modèle.q3d");
    EXPECT_FALSE(c.dirty);
    EXPECT_EQ(c.fileURL, path);
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — nouveau[*]");
    EXPECT_FALSE(c.window->isWindowModified());
    EXPECT_EQ(c.undoStack.size(), 1u);  // saving keeps the history
    const QByteArray written = readBytes(toQt(path));
    std::string reason;
    const auto back = decodeDoc(
        std::string_view(written.constData(), static_cast<size_t>(written.size())), reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(*back, c.doc());

    // A cancelled save dialog saves nothing and reports it.
    c.startSketch(SketchPlane::xy());
    EXPECT_FALSE(c.saveDocumentAs());
    EXPECT_TRUE(c.dirty);
}

TEST_F(FilesTest, ASaveThatCannotBeWrittenAlertsAndKeepsTheTabUnsaved) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    // A regular file where a folder should be: refused even for the superuser.
    writeBytes(toQt(tmp.file("fichier")), "x");
    EXPECT_FALSE(c.write(tmp.file("fichier") + "/modele.q3d"));
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Enregistrement impossible");
    EXPECT_FALSE(dialogs->alerts[0].informative.isEmpty());
    EXPECT_TRUE(c.dirty);
    EXPECT_FALSE(c.fileURL);
    EXPECT_EQ(c.tabTitle(0), "Sans titre \u2022");
}

TEST_F(FilesTest, ASaveIntoAReadOnlyFolderAlertsAndKeepsTheTabUnsaved) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    const std::string dir = tmp.file("lecture-seule");
    ::mkdir(dir.c_str(), 0555);
    dialogs->saveAnswers = {toQt(dir + "/modele.q3d")};
    EXPECT_FALSE(c.saveDocument());
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Enregistrement impossible");
    EXPECT_FALSE(dialogs->alerts[0].informative.isEmpty());
    EXPECT_TRUE(c.dirty);
    EXPECT_FALSE(QFile::exists(toQt(dir + "/modele.q3d")));
}

TEST_F(SessionTest, AChangeIsWrittenWithinAboutASecondAndRestoredAtTheNextStart) {
    MainController& c = launch({toQt(example("bouton.q3d"))});
    c.newTab();
    c.startSketch(SketchPlane::xz());
    // No tab switch, save or quit writes it: only the delayed autosave.
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const auto s = readSession(sessionFile());
            return s && s->tabs.size() == 2 && s->tabs[1].dirty;
        },
        5000));
    const auto s = readSession(sessionFile());
    EXPECT_EQ(s->active, 1);
    EXPECT_EQ(s->tabs[0].file, tmp.file("bouton.q3d"));
    EXPECT_EQ(s->tabs[1].doc.features.at(0).name, "Esquisse1");

    // A killed process never ran its quit code: start again without it.
    delegate.reset();
    MainController& again = launch();
    ASSERT_EQ(again.tabs.size(), 2u);
    EXPECT_EQ(again.activeTab, 1u);
    EXPECT_EQ(again.doc().features.at(0).name, "Esquisse1");
    EXPECT_TRUE(again.dirty);
    EXPECT_EQ(again.tabTitle(1), "Sans titre \u2022");
    EXPECT_EQ(again.tabTitle(0), "bouton");
    EXPECT_TRUE(again.undoStack.empty());  // history is not kept across starts
    EXPECT_EQ(again.mode(), Mode::model);
}

TEST_F(SessionTest, QuittingWritesEveryTabAndFilesGivenAtLaunchOpenAfterIt) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    quit();
    MainController& again = launch({toQt(example("equerre.q3d"))});
    ASSERT_EQ(again.tabs.size(), 2u);  // the restored unsaved tab is not blank
    EXPECT_EQ(again.activeTab, 1u);
    EXPECT_EQ(again.fileURL, tmp.file("equerre.q3d"));
    EXPECT_EQ(again.tabs[0].doc.features.size(), 1u);
    // A restored unsaved tab still asks before closing.
    again.closeTab(0);
    EXPECT_EQ(dialogs->questions.size(), 1u);
}

TEST_F(SessionTest, AnActiveIndexOutOfRangeSelectsTheNearestTab) {
    Doc one;
    one.features.emplace_back(one.newId(), fk::sketch, "Seule");
    for (const auto& [active, expected] : {std::pair{7, 1u}, std::pair{-2, 0u}}) {
        writeBytes(sessionFile(),
                   QByteArray::fromStdString(encodeSession(
                       {{{Doc(), std::nullopt, false}, {one, std::nullopt, true}}, active})));
        MainController& c = launch();
        EXPECT_EQ(c.tabs.size(), 2u);
        EXPECT_EQ(c.activeTab, expected);
        EXPECT_EQ(c.doc().features.size(), expected);
        delegate.reset();
    }
}

TEST_F(SessionTest, TheOldSingleDocumentFormRestoresOneTab) {
    Doc d;
    d.features.emplace_back(d.newId(), fk::sketch, "Ancienne");
    writeBytes(sessionFile(), QByteArray::fromStdString("{\"doc\":" + encodeDoc(d, false) +
                                                        ",\"file\":\"/nulle/part.q3d\","
                                                        "\"dirty\":true}"));
    MainController& c = launch();
    ASSERT_EQ(c.tabs.size(), 1u);
    EXPECT_EQ(c.doc().features.at(0).name, "Ancienne");
    EXPECT_EQ(c.fileURL, "/nulle/part.q3d");
    EXPECT_TRUE(c.dirty);
}

TEST_F(SessionTest, ACorruptSessionIsMovedAsideAndAStartBeginsBlank) {
    const QByteArray corrupt = "{\"tabs\":[{\"doc\":{\"version\":1,\"featu";
    writeBytes(sessionFile(), corrupt);
    MainController& c = launch();
    EXPECT_EQ(c.tabs.size(), 1u);
    EXPECT_TRUE(c.currentIsBlank());
    EXPECT_TRUE(dialogs->alerts.empty());  // no message

    const QStringList aside = QDir(dataDir()).entryList({"session.json.illisible-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readBytes(dataDir() + "/" + aside[0]), corrupt);
    // The next autosave writes a new session beside the kept copy.
    c.autosaveNow();
    EXPECT_TRUE(readSession(sessionFile()));
    EXPECT_EQ(readBytes(dataDir() + "/" + aside[0]), corrupt);

    // A second corrupt session does not replace the first kept copy.
    delegate.reset();
    writeBytes(sessionFile(), "[]");
    launch();
    EXPECT_EQ(QDir(dataDir()).entryList({"session.json.illisible-*"}, QDir::Files).size(), 2);
}

TEST_F(SessionTest, NoSessionFileKeepsTheBlankTabAndWritesNothing) {
    MainController& c = launch();
    EXPECT_TRUE(c.currentIsBlank());
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — Sans titre[*]");
    EXPECT_EQ(c.statusText(),
              "Bienvenue ! Cliquez sur « Esquisse » pour commencer, puis choisissez un plan.");
    EXPECT_TRUE(QDir(dataDir()).entryList(QDir::Files).isEmpty());
}

}  // namespace
}  // namespace ivo::testing
