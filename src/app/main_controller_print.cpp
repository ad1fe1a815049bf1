// Printing aids: the overhang tint of the view with its threshold, and the visible bodies
// handed to the user's slicer as a 3MF file in a private folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/slicer.h"
#include "document/file_io.h"
#include "export/export_file.h"
#include "geometry/overhang.h"
#include "input/parse_num.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

const char* const kSlicerKey = "slicerPath";

QString overhangStatus(double angle) {
    return "Surplombs : faces tournées vers le bas de plus de " + toQt(fmt(angle)) +
           "° sous l'horizontale.";
}

}  // namespace

void MainController::loadPrintPreferences() {
    QSettings settings;
    const double angle = settings.value("overhangAngle", kDefaultOverhangAngle).toDouble();
    // A hand-edited or foreign value falls back to the default rather than hiding everything.
    overhangAngle = validOverhangAngle(angle) ? angle : kDefaultOverhangAngle;
    overhangsShown = settings.value("overhangs", false).toBool();
    viewport->setOverhangs(overhangsShown ? std::optional(overhangAngle) : std::nullopt);
}

void MainController::setOverhangsShown(bool on) {
    overhangsShown = on;
    QSettings().setValue("overhangs", on);
    viewport->setOverhangs(on ? std::optional(overhangAngle) : std::nullopt);
    setStatus(on ? fromQt(overhangStatus(overhangAngle)) : "Surplombs masqués.");
}

void MainController::askOverhangAngle() {
    const auto answer = dialogs->askNumbers(
        "Angle de surplomb",
        "Les faces tournées vers le bas de plus de cet angle sous l'horizontale sont teintées "
        "(0 : toutes celles qui regardent vers le bas, 90 : aucune).",
        {"Angle (°)"}, {overhangAngle});
    if (!answer || answer->empty()) return;
    const double angle = answer->front();
    if (!validOverhangAngle(angle)) {
        dialogs->alert("Angle de surplomb impossible", "L'angle doit être compris entre 0 et 90°.");
        return;
    }
    overhangAngle = angle;
    QSettings().setValue("overhangAngle", angle);
    // Setting the threshold is asking to see it.
    setOverhangsShown(true);
}

QString MainController::slicerProgram() {
    const QString chosen = QSettings().value(kSlicerKey).toString();
    if (!chosen.isEmpty()) return chosen;
    if (!detectedSlicer) {
        if (const auto found = findSlicer(qgetenv("PATH").toStdString()))
            detectedSlicer = toQt(*found);
    }
    return detectedSlicer.value_or(QString());
}

bool MainController::pickSlicerFile() {
    const QString current = slicerProgram();
    const QString folder = current.isEmpty() ? "/usr/bin" : QFileInfo(current).absolutePath();
    const QStringList files = dialogs->openFiles(folder, "Tous les fichiers (*)");
    if (files.isEmpty()) return false;
    const QString program = QFileInfo(files.front()).absoluteFilePath();
    if (!isRunnableFile(fromQt(program))) {
        dialogs->alert("Ce fichier n'est pas un programme",
                       "« " + QFileInfo(program).fileName() +
                           " » ne peut pas être lancé : choisissez le programme du trancheur.");
        return false;
    }
    QSettings().setValue(kSlicerKey, program);
    setStatus("Trancheur : " + slicerLabel(fromQt(program)) + " (" + fromQt(program) + ")");
    return true;
}

void MainController::chooseSlicer() {
    const bool chosen = !QSettings().value(kSlicerKey).toString().isEmpty();
    const QString program = slicerProgram();
    const QString now = program.isEmpty()
                            ? QString("Aucun trancheur connu n'a été trouvé dans le PATH.")
                            : "Trancheur utilisé : " + toQt(slicerLabel(fromQt(program))) + " (" +
                                  program +
                                  (chosen ? "), choisi par vous." : "), trouvé dans le PATH.");
    const int answer = dialogs->ask("Trancheur", now,
                                    {"Choisir un programme…", "Détection automatique", "Annuler"});
    if (answer == 0) {
        pickSlicerFile();
    } else if (answer == 1) {
        QSettings().remove(kSlicerKey);
        detectedSlicer.reset();
        const QString found = slicerProgram();
        setStatus(found.isEmpty() ? "Aucun trancheur trouvé dans le PATH."
                                  : "Trancheur trouvé : " + fromQt(found));
    }
}

void MainController::sendToSlicer() {
    const std::vector<NamedMesh> bodies = bodiesToWrite();
    if (bodies.empty()) return;
    QString program = slicerProgram();
    if (program.isEmpty()) {
        const int answer = dialogs->ask(
            "Aucun trancheur trouvé",
            "Aucun des trancheurs habituels (PrusaSlicer, OrcaSlicer, SuperSlicer, UltiMaker "
            "Cura) n'est installé dans le PATH. Choisissez le programme de votre trancheur.",
            {"Choisir le trancheur…", "Annuler"});
        if (answer != 0 || !pickSlicerFile()) return;
        program = slicerProgram();
    }

    if (!slicerFolder) {
        // Made by mkdtemp: only this user may enter it, and its name cannot be foreseen.
        slicerFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/ivorane3d-XXXXXX");
        if (!slicerFolder->isValid()) {
            dialogs->alert("Envoi impossible", "Le dossier temporaire n'a pas pu être créé : " +
                                                   slicerFolder->errorString());
            slicerFolder.reset();
            return;
        }
        QFile::setPermissions(slicerFolder->path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    std::string name = fileURL ? documentName(fileURL) : "Modèle";
    for (char& ch : name)
        if (ch == '/') ch = '_';
    const std::string path = fromQt(slicerFolder->path()) + "/" + name + ".3mf";
    std::string reason;
    const std::optional<std::string> bytes = exportBytes("3mf", bodies, reason);
    if (!bytes || !writeFileAtomic(path, *bytes, reason)) {
        dialogs->alert("Envoi impossible", toQt(reason));
        return;
    }
    // No shell: the program and the file are separate arguments, whatever their characters.
    // Started in the home folder: the private folder goes away when the window quits, while
    // the slicer may still be running.
    if (!QProcess::startDetached(program, {toQt(path)}, QDir::homePath())) {
        detectedSlicer.reset();  // looked for again next time: it may have been removed
        dialogs->alert("Impossible de lancer le trancheur",
                       "« " + program +
                           " » n'a pas pu être lancé. Choisissez un autre programme avec "
                           "« Choisir le trancheur… » dans le menu Fichier.");
        return;
    }
    setStatus("Envoyé à " + slicerLabel(fromQt(program)) + " : " + name + ".3mf");
}

}  // namespace ivo
