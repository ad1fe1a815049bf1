// « Envoyer au trancheur » with real keys: the visible bodies written to a private 3MF and a
// stand-in slicer started on it, found on the PATH or chosen by the user, and what the window
// says when there is nothing to send or no program to start.
#include <filesystem>

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include "app/app_fixture.h"
#include "support/doc_builder.h"
#include "support/export_readers.h"

namespace ivo::testing {
namespace {

namespace fs = std::filesystem;

// Two boxes, the second hidden: 20 × 20 × 10 and 10 × 10 × 10.
Doc twoBoxes() {
    DocBuilder b;
    Sketch s = rectSketch(0, 0, 20, 20);
    s.plane = SketchPlane::xz();
    b.extrude(b.sketch(std::move(s)), {{10, 10}}, 10);
    Sketch t = rectSketch(40, 0, 50, 10);
    t.plane = SketchPlane::xz();
    const Id hidden = b.extrude(b.sketch(std::move(t)), {{45, 5}}, 10);
    b.doc.hidden = {hidden};
    return b.doc;
}

class SlicerGuiTest : public AppFixture {
public:
    MainController* c = nullptr;
    TempDir bin;  // the stand-in slicers
    QByteArray savedPath = qgetenv("PATH");

    void TearDown() override {
        AppFixture::TearDown();
        qputenv("PATH", savedPath);
    }
    // A slicer that writes its argument count and its arguments, one a line, to `record`
    // (whole, by a rename, so a test never reads half of it).
    std::string standIn(const std::string& name, const std::string& record) {
        const std::string path = bin.write(
            name,
            "#!/bin/sh\n{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; "
            "done; } > '" +
                record + ".part'\n/bin/mv '" + record + ".part' '" + record + "'\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    // Made active again first: a closed dialog leaves no window active on a display without a
    // window manager, and the menus' keys go to the active window.
    void sendKeys() {
        c->window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(c->window.get()));
        QTest::keyClick(c->window.get(), Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    }
    // The arguments the stand-in was started with, once it has run; the record is taken away.
    std::optional<QStringList> recorded(const std::string& record) {
        if (!QTest::qWaitFor([&] { return fs::exists(record); }, 15000)) return std::nullopt;
        QStringList lines = toQt(readAll(record)).split('\n', Qt::SkipEmptyParts);
        fs::remove(record);
        if (lines.isEmpty() || lines.takeFirst().toInt() != lines.size()) return std::nullopt;
        return lines;
    }
};

TEST_F(SlicerGuiTest, CtrlAltEStartsTheSlicerOnThePathWithAPrivate3mfOfTheVisibleBodies) {
    const std::string record = tmp.file("record");
    const std::string slicer = standIn("prusa-slicer", record);
    qputenv("PATH", QByteArray::fromStdString(bin.path()));
    // A name a shell would expand: the program and the file must reach the slicer as they are.
    c = &launchWith(twoBoxes(), "pièce $(touch x) 'a'.q3d");
    sendKeys();
    const auto args = recorded(record);
    ASSERT_TRUE(args) << c->statusText().toStdString();
    ASSERT_EQ(args->size(), 1);
    const QFileInfo file(args->front());
    EXPECT_EQ(file.fileName(), "pièce $(touch x) 'a'.3mf");
    EXPECT_TRUE(dialogs->alerts.empty());
    EXPECT_TRUE(dialogs->questions.empty());
    EXPECT_EQ(c->statusText(), "Envoyé à PrusaSlicer : pièce $(touch x) 'a'.3mf");
    // Only this user may enter the folder.
    const auto perms = fs::status(fromQt(file.absolutePath())).permissions();
    EXPECT_EQ(perms & fs::perms::all, fs::perms::owner_all);

    const auto read = readWithLib3mf(readAll(fromQt(file.absoluteFilePath())));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->objects.size(), 1u) << "the hidden box stays out";
    EXPECT_NEAR(read->objects[0].volume, shownVolume(*c), 1e-6);
    EXPECT_NEAR(read->objects[0].volume, 20 * 20 * 10, 1e-6);

    // Found once: the slicer is started again with the PATH emptied since.
    qputenv("PATH", "");
    sendKeys();
    const auto again = recorded(record);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *args);

    const std::string folder = fromQt(file.absolutePath());
    quit();
    EXPECT_FALSE(fs::exists(folder)) << "the private folder goes with the window";
}

TEST_F(SlicerGuiTest, WithNoSlicerOnThePathTheUserIsAskedToChooseOne) {
    const std::string record = tmp.file("record");
    const std::string mine = standIn("mon-trancheur", record);
    const std::string notAProgram = bin.write("notes.txt", "rien");
    qputenv("PATH", QByteArray::fromStdString(tmp.path()));  // no slicer there
    c = &launchWith(twoBoxes(), "plaque.q3d");

    sendKeys();  // refused: cancelled
    ASSERT_EQ(dialogs->questions.size(), 1u);
    EXPECT_EQ(dialogs->questions[0].message, "Aucun trancheur trouvé");

    dialogs->answer = 0;  // a file that is no program
    dialogs->filesAnswer = {toQt(notAProgram)};
    sendKeys();
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Ce fichier n'est pas un programme");
    EXPECT_FALSE(QSettings().contains("slicerPath"));

    dialogs->answer = 0;
    dialogs->filesAnswer = {toQt(mine)};
    sendKeys();
    const auto args = recorded(record);
    ASSERT_TRUE(args);
    EXPECT_EQ(QFileInfo(args->front()).fileName(), "plaque.3mf");
    EXPECT_EQ(QSettings().value("slicerPath").toString(), toQt(mine));
    EXPECT_EQ(dialogs->questions.size(), 3u);

    // The choice holds: no question the next time.
    sendKeys();
    EXPECT_TRUE(recorded(record));
    EXPECT_EQ(dialogs->questions.size(), 3u);
}

TEST_F(SlicerGuiTest, NothingVisibleAMissingProgramAndBackToDetection) {
    const std::string record = tmp.file("record");
    standIn("orca-slicer", record);
    qputenv("PATH", QByteArray::fromStdString(bin.path()));
    QSettings().setValue("slicerPath", toQt(tmp.file("parti/prusa-slicer")));
    Doc doc = twoBoxes();
    const Doc allHidden = [&] {
        Doc d = doc;
        d.hidden.push_back(d.features[1].id);
        return d;
    }();
    c = &launchWith(allHidden, "cache.q3d");
    sendKeys();
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Rien à exporter");
    EXPECT_TRUE(dialogs->questions.empty());
    quit();

    c = &launchWith(doc, "visible.q3d");
    sendKeys();  // the chosen program is gone
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Impossible de lancer le trancheur");
    EXPECT_TRUE(dialogs->alerts[0].informative.startsWith(
        "« " + toQt(tmp.file("parti/prusa-slicer")) + " » n'a pas pu être lancé."));

    dialogs->answer = 1;  // « Détection automatique »
    c->chooseSlicer();
    ASSERT_EQ(dialogs->questions.size(), 1u);
    EXPECT_EQ(dialogs->questions[0].message, "Trancheur");
    EXPECT_FALSE(QSettings().contains("slicerPath"));
    EXPECT_EQ(c->statusText(), "Trancheur trouvé : " + toQt(bin.file("orca-slicer")));
    sendKeys();
    ASSERT_TRUE(recorded(record));
    EXPECT_EQ(c->statusText(), "Envoyé à OrcaSlicer : visible.3mf");
}

}  // namespace
}  // namespace ivo::testing
