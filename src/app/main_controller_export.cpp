// Export of the visible bodies (menu and toolbar) and of chosen bodies (their menus) to STL
// and 3MF files, written whole or not at all.
#include <algorithm>

#include <QFileInfo>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "document/file_io.h"
#include "export/export_file.h"
#include "geometry/mesh.h"

namespace ivo {

std::vector<NamedMesh> MainController::bodiesToWrite() {
    leaveEditing();
    std::vector<NamedMesh> out;
    for (const Body& b : result_.bodies)
        if (std::find(doc_.hidden.begin(), doc_.hidden.end(), b.id) == doc_.hidden.end())
            out.push_back({displayName(doc_, b), triangles(*b.solid)});
    if (out.empty()) dialogs->alert("Rien à exporter", "Aucun corps visible.");
    return out;
}

void MainController::exportSTL() {
    const std::vector<NamedMesh> bodies = bodiesToWrite();
    if (bodies.empty()) return;
    writeExport(bodies, "stl", "STL exporté : ");
}

void MainController::export3MF() {
    const std::vector<NamedMesh> bodies = bodiesToWrite();
    if (bodies.empty()) return;
    writeExport(bodies, "3mf", "3MF exporté : ");
}

void MainController::exportBodies(const std::vector<Id>& ids, const std::string& format) {
    // An open feature is closed first, so that the file holds the bodies as committed rather
    // than its live preview.
    leaveEditing();
    std::vector<NamedMesh> bodies;
    for (const Body& b : result_.bodies)
        if (std::find(ids.begin(), ids.end(), b.id) != ids.end())
            bodies.push_back({displayName(doc_, b), triangles(*b.solid)});
    if (bodies.empty()) return;
    writeExport(bodies, format == "stl" ? "stl" : "3mf", "Exporté : ");
}

void MainController::writeExport(const std::vector<NamedMesh>& meshes, const std::string& format,
                                 const std::string& status) {
    const std::string proposed = (fileURL ? documentName(fileURL) : "Modèle") + "." + format;
    const QString filter = format == "stl" ? "Fichiers STL (*.stl)" : "Fichiers 3MF (*.3mf)";
    const std::optional<QString> chosen =
        dialogs->saveFile(dialogFolder() + "/" + toQt(proposed), filter, toQt(format));
    if (!chosen || chosen->isEmpty()) return;
    const std::string path = withExtension(fromQt(*chosen), format);
    std::string reason;
    const std::optional<std::string> bytes = exportBytes(format, meshes, reason);
    if (!bytes || !writeFileAtomic(path, *bytes, reason)) {
        dialogs->alert("Export impossible", toQt(reason));
        return;
    }
    setStatus(status + fromQt(QFileInfo(toQt(path)).fileName()));
}

}  // namespace ivo
