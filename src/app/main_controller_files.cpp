// Opening and saving .q3d files, the question about unsaved changes, and the list of
// recently used files.
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "app/recent_files.h"
#include "document/doc_json.h"
#include "document/file_io.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

const QString kFilter = "Modèles Ivorane 3D (*.q3d)";

}  // namespace

QString MainController::dialogFolder() const {
    // Not the working directory, which for a desktop launch is wherever the launcher was.
    return fileURL ? QFileInfo(toQt(*fileURL)).absolutePath() : QDir::homePath();
}

void MainController::openDocument() {
    leaveEditing();
    for (const QString& path : dialogs->openFiles(dialogFolder(), kFilter))
        open(fromQt(path));
}

bool MainController::open(const std::string& path) {
    const std::string wanted = standardizedPath(path);
    if (fileURL && standardizedPath(*fileURL) == wanted) return true;
    for (size_t i = 0; i < tabs.size(); ++i) {
        if (i != activeTab && tabs[i].fileURL && standardizedPath(*tabs[i].fileURL) == wanted) {
            switchToTab(i);
            return true;
        }
    }

    std::string reason;
    std::optional<Doc> decoded;
    if (const auto text = readFile(path, kMaxDocumentBytes, reason))
        decoded = decodeDoc(*text, reason);
    if (!decoded) {
        dialogs->alert("Impossible d'ouvrir ce fichier",
                       "Ce n'est pas un modèle Ivorane 3D valide.", toQt(path + " : " + reason));
        return false;
    }

    leaveEditing();
    DocTab tab = DocTab::blank();
    tab.doc = std::move(*decoded);
    tab.fileURL = wanted;
    if (currentIsBlank()) {
        tab.uid = tabs[activeTab].uid;
        tabs[activeTab] = std::move(tab);
    } else {
        tabs[activeTab] = captureTab();
        tabs.push_back(std::move(tab));
        activeTab = tabs.size() - 1;
    }
    loadTab(tabs[activeTab]);
    addRecentFile(toQt(wanted));
    viewport->fit();
    autosaveNow();
    return true;
}

bool MainController::saveDocument() {
    return fileURL ? write(*fileURL) : saveDocumentAs();
}

bool MainController::saveDocumentAs() {
    const QString name = toQt(fileURL ? documentName(fileURL) : std::string("Modèle")) + ".q3d";
    const QString proposed = dialogFolder() + "/" + name;
    const std::optional<QString> chosen = dialogs->saveFile(proposed, kFilter, "q3d");
    if (!chosen || chosen->isEmpty()) return false;
    return write(fromQt(*chosen));
}

bool MainController::write(const std::string& path) {
    std::string reason;
    const std::optional<std::string> text = encodeDocFile(doc_, reason);
    const std::string bytes = text.value_or("");
    // Written beside the target and renamed over it: a failure leaves the old file whole.
    QSaveFile f(toQt(path));
    QString error;
    if (!text) {
        error = toQt(reason);  // a file the reader would refuse is not written
    } else if (!f.open(QIODevice::WriteOnly)) {
        error = f.errorString();
    } else if (f.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
               static_cast<qint64>(bytes.size())) {
        error = f.errorString();  // the temporary file is discarded with `f`
    } else if (!f.commit()) {
        error = f.errorString();
    }
    if (!error.isNull()) {
        dialogs->alert("Enregistrement impossible", error);
        return false;
    }
    fileURL = standardizedPath(path);
    dirty = false;
    addRecentFile(toQt(*fileURL));
    updateTitle();
    setStatus("Enregistré : " + fromQt(QFileInfo(toQt(path)).fileName()));
    scheduleStripRebuild();  // the browser's first row is the document's name
    autosaveNow();
    return true;
}

bool MainController::confirmDiscard() {
    if (!dirty) return true;
    const int answer =
        dialogs->ask(toQt("Enregistrer les modifications de « " + documentName(fileURL) + " » ?"),
                     "Sinon, les modifications de ce modèle seront perdues.",
                     {"Enregistrer", "Ne pas enregistrer", "Annuler"});
    switch (answer) {
        case 0: return fileURL ? write(*fileURL) : saveDocumentAs();
        case 1: return true;
        default: return false;
    }
}

}  // namespace ivo
