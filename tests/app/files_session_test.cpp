// Opening and saving models, and the session that brings the tabs back, through the real
// application.
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_fixture.h"
#include "app/recent_files.h"
#include "app/session.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using FilesTest = AppFixture;
using SessionTest = AppFixture;

std::optional<Session> readSession() {
    std::string reason;
    return decodeSession(readAll(AppFixture::sessionFile()), reason);
}

QStringList setAside() {
    return QDir(toQt(AppFixture::dataDir())).entryList({"session.json.illisible-*"}, QDir::Files);
}

TEST_F(FilesTest, OpenedFilesReplaceABlankTabOrSwitchToTheirOwn) {
    const std::string a = example("plaque_percee.q3d"), b = example("bouton.q3d");
    MainController& c = launch({a});
    ASSERT_EQ(c.tabs.size(), 1u);  // the blank start tab was replaced
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — plaque_percee[*]");
    EXPECT_FALSE(c.dirty);
    EXPECT_FALSE(c.result().bodies.empty());
    ASSERT_FALSE(c.viewport->bodyTris.empty());
    EXPECT_FALSE(c.viewport->bodyTris.begin()->second.empty());

    c.newTab();
    ASSERT_TRUE(c.open(b));  // replaces the new blank tab
    ASSERT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.activeTab, 1u);
    ASSERT_TRUE(c.open(tmp.path() + "/./sub/../plaque_percee.q3d"));
    EXPECT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.activeTab, 0u);
    EXPECT_EQ(c.fileURL, a);
    ASSERT_TRUE(c.open(a));  // the active tab's own file: nothing to do, and success
    EXPECT_EQ(c.tabs.size(), 2u);
    EXPECT_TRUE(dialogs->alerts.empty());

    // A modified tab is not replaced.
    c.newTab();
    c.startSketch(SketchPlane::xy());
    ASSERT_TRUE(c.open(example("equerre.q3d")));
    ASSERT_EQ(c.tabs.size(), 4u);
    EXPECT_EQ(c.tabs[2].doc.features.size(), 1u);
    EXPECT_TRUE(c.tabs[2].dirty);
    EXPECT_EQ(recentFiles().value(0), toQt(tmp.file("equerre.q3d")));
}

TEST_F(FilesTest, UnreadableOrMalformedFilesAreRefusedAndChangeNothing) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    const Doc before = c.doc();
    const std::string paths[] = {tmp.file("absent.q3d"),
                                 tmp.write("faux.q3d", "{\"version\": 1, \"features\": 3}"),
                                 tmp.write("vide.q3d", ""), tmp.path()};
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

TEST_F(FilesTest, ASaveWritesTheModelOrAlertsAndKeepsTheTabUnsaved) {
    MainController& c = launch();
    c.startSketch(SketchPlane::yz());
    const std::string readOnly = tmp.file("lecture-seule");
    ::mkdir(readOnly.c_str(), 0555);
    // A regular file where a folder should be is refused even for the superuser; a read-only
    // folder is not.
    std::vector<std::string> targets{tmp.write("fichier", "x") + "/modele.q3d"};
    if (::geteuid() != 0) targets.push_back(readOnly + "/modele.q3d");
    for (const std::string& target : targets) {
        dialogs->alerts.clear();
        dialogs->savePath = toQt(target);
        EXPECT_FALSE(c.saveDocument()) << target;
        ASSERT_EQ(dialogs->alerts.size(), 1u);
        EXPECT_EQ(dialogs->alerts[0].message, "Enregistrement impossible");
        EXPECT_FALSE(dialogs->alerts[0].informative.isEmpty());
        EXPECT_TRUE(c.dirty);
        EXPECT_FALSE(c.fileURL);
        EXPECT_EQ(c.tabTitle(0), "Sans titre \u2022");
        EXPECT_FALSE(std::filesystem::exists(target));
    }

    const std::string path = tmp.file("nouveau.q3d");
    dialogs->savePath = toQt(path);
    ASSERT_TRUE(c.saveDocument());
    EXPECT_EQ(dialogs->proposedNames.back(), "Modèle.q3d");
    EXPECT_FALSE(c.dirty);
    EXPECT_EQ(c.fileURL, path);
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — nouveau[*]");
    EXPECT_FALSE(c.window->isWindowModified());
    EXPECT_EQ(c.undoStack.size(), 1u);  // saving keeps the history
    std::string reason;
    const auto back = decodeDoc(readAll(path), reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(*back, c.doc());
    // A cancelled save dialog saves nothing and reports it.
    c.startSketch(SketchPlane::xy());
    EXPECT_FALSE(c.saveDocumentAs());
    EXPECT_TRUE(c.dirty);
}

TEST_F(SessionTest, AChangeIsWrittenWithinAboutASecondAndRestoredAtTheNextStart) {
    MainController& c = launch({example("bouton.q3d")});
    c.newTab();
    c.startSketch(SketchPlane::xz());
    // No tab switch, save or quit writes it: only the delayed autosave.
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const auto s = readSession();
            return s && s->tabs.size() == 2 && s->tabs[1].dirty;
        },
        5000));
    const auto s = readSession();
    EXPECT_EQ(s->active, 1);
    EXPECT_EQ(s->tabs[0].file, tmp.file("bouton.q3d"));
    EXPECT_EQ(s->tabs[1].doc.features.at(0).name, "Esquisse1");

    quit(false);  // a killed process never runs its quit code
    MainController& again = launch();
    ASSERT_EQ(again.tabs.size(), 2u);
    EXPECT_EQ(again.activeTab, 1u);
    EXPECT_EQ(again.doc().features.at(0).name, "Esquisse1");
    EXPECT_TRUE(again.dirty);
    EXPECT_EQ(again.tabTitle(1), "Sans titre \u2022");
    EXPECT_EQ(again.tabTitle(0), "bouton");
    EXPECT_TRUE(again.undoStack.empty());  // history is not kept across starts
    EXPECT_EQ(again.mode(), Mode::model);

    // Quitting writes every tab at once; files given at launch open after them.
    again.startSketch(SketchPlane::xy());
    quit();
    MainController& third = launch({example("equerre.q3d")});
    ASSERT_EQ(third.tabs.size(), 3u);
    EXPECT_EQ(third.activeTab, 2u);
    EXPECT_EQ(third.fileURL, tmp.file("equerre.q3d"));
    EXPECT_EQ(third.tabs[1].doc.features.size(), 2u);
    third.closeTab(1);  // a restored unsaved tab still asks before closing
    EXPECT_EQ(dialogs->questions.size(), 1u);
}

TEST_F(SessionTest, OldFormsAndActiveIndicesOutOfRangeAreRestored) {
    Doc one;
    one.features.emplace_back(one.newId(), fk::sketch, "Seule");
    for (const auto& [active, expected] : {std::pair{7, 1u}, std::pair{-2, 0u}}) {
        writeSession(
            encodeSession({{{Doc(), std::nullopt, false}, {one, std::nullopt, true}}, active}));
        MainController& c = launch();
        EXPECT_EQ(c.tabs.size(), 2u);
        EXPECT_EQ(c.activeTab, expected) << active;
        EXPECT_EQ(c.doc().features.size(), expected) << active;
        quit(false);
    }
    // The old single-document form gives one tab.
    writeSession("{\"doc\":" + encodeDoc(one, false) +
                 ",\"file\":\"/nulle/part.q3d\",\"dirty\":true}");
    MainController& c = launch();
    ASSERT_EQ(c.tabs.size(), 1u);
    EXPECT_EQ(c.doc().features.at(0).name, "Seule");
    EXPECT_EQ(c.fileURL, "/nulle/part.q3d");
    EXPECT_TRUE(c.dirty);
}

TEST_F(SessionTest, ACorruptSessionIsMovedAsideAndAStartBeginsBlank) {
    const std::string corrupt = "{\"tabs\":[{\"doc\":{\"version\":1,\"featu";
    writeSession(corrupt);
    MainController& c = launch();
    EXPECT_EQ(c.tabs.size(), 1u);
    EXPECT_TRUE(c.currentIsBlank());
    EXPECT_TRUE(dialogs->alerts.empty());  // no message
    const QStringList aside = setAside();
    ASSERT_EQ(aside.size(), 1);
    const std::string kept = dataDir() + "/" + fromQt(aside[0]);
    EXPECT_EQ(readAll(kept), corrupt);
    // The next autosave writes a new session beside the kept copy.
    c.autosaveNow();
    EXPECT_TRUE(readSession());
    EXPECT_EQ(readAll(kept), corrupt);

    // A second corrupt session does not replace the first kept copy.
    quit(false);
    writeSession("[]");
    launch();
    EXPECT_EQ(setAside().size(), 2);
}

}  // namespace
}  // namespace ivo::testing
