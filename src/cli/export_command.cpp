// q3d export: the visible bodies (or the chosen ones) of a model as binary STL or 3MF.
#include <algorithm>

#include "cli/commands.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "export/stl.h"
#include "export/three_mf.h"
#include "geometry/mesh.h"

namespace ivo::cli {
namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

}  // namespace

int exportModel(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.files.size() != 1) return usage(err, "export attend exactement un fichier.");
    if (!o.output)
        return usage(err, "export attend le fichier de sortie : -o SORTIE.stl ou SORTIE.3mf");
    const std::string ext = lowerExtension(*o.output);
    if (ext != ".stl" && ext != ".3mf")
        return usage(err, "format de sortie inconnu : " + *o.output +
                              " (l'extension doit être .stl ou .3mf).");
    const auto doc = loadModel(o.files[0], err);
    if (!doc) return 1;
    const EvalResult result = Evaluator::run(*doc, o.upTo);

    std::vector<const Body*> chosen;
    if (o.bodies.empty()) {
        for (const Body& b : result.bodies)
            if (std::find(doc->hidden.begin(), doc->hidden.end(), b.id) == doc->hidden.end())
                chosen.push_back(&b);
    } else {
        for (Id id : o.bodies) {
            const auto it = std::find_if(result.bodies.begin(), result.bodies.end(),
                                         [&](const Body& b) { return b.id == id; });
            if (it == result.bodies.end()) {
                err << shown(o.files[0]) << " : aucun corps d'identifiant " << id << ".\n";
                return 1;
            }
            if (std::find(chosen.begin(), chosen.end(), &*it) == chosen.end())
                chosen.push_back(&*it);
        }
    }
    if (chosen.empty()) {
        err << "Rien à exporter : Aucun corps visible.\n";
        return 1;
    }

    std::vector<NamedMesh> meshes;
    size_t triangleCount = 0;
    for (const Body* b : chosen) {
        meshes.push_back({displayName(*doc, *b), triangles(*b->solid)});
        triangleCount += meshes.back().tris.size();
    }
    std::optional<std::string> bytes;
    ExportFault fault = ExportFault::tooLarge;
    if (ext == ".stl") {
        std::vector<std::vector<Tri>> plain;
        for (NamedMesh& m : meshes)
            plain.push_back(std::move(m.tris));
        bytes = stlData(plain, &fault);
    } else {
        bytes = threeMFData(meshes, &fault);
    }
    if (!bytes) {
        err << shown(*o.output) << " : Enregistrement impossible ("
            << (fault == ExportFault::tooLarge
                    ? "modèle trop volumineux pour ce format"
                    : "une coordonnée est infinie ou trop grande pour ce format")
            << ").\n";
        return 1;
    }
    std::string reason;
    if (!writeFileAtomic(*o.output, *bytes, reason)) {
        err << shown(*o.output) << " : Enregistrement impossible (" << shown(reason) << ").\n";
        return 1;
    }
    out << shown(*o.output) << " : " << chosen.size() << " corps, " << triangleCount
        << (triangleCount >= 2 ? " triangles, " : " triangle, ") << bytes->size()
        << (bytes->size() >= 2 ? " octets" : " octet") << " (" << (ext == ".stl" ? "STL" : "3MF")
        << ")\n";
    return 0;
}

}  // namespace ivo::cli
