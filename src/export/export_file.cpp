// Export bytes by format, and the export file's ending.
#include "export/export_file.h"

#include "export/stl.h"

namespace ivo {
namespace {

std::string faultText(ExportFault fault) {
    switch (fault) {
        case ExportFault::tooLarge: return "le modèle dépasse les limites du format de fichier";
        case ExportFault::notFinite: return "une coordonnée du modèle n'est pas un nombre fini";
    }
    return "erreur inconnue";
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<std::string> exportBytes(const std::string& format,
                                       const std::vector<NamedMesh>& meshes, std::string& reason) {
    ExportFault fault = ExportFault::tooLarge;
    std::optional<std::string> bytes;
    if (format == "stl") {
        std::vector<std::vector<Tri>> lists;
        lists.reserve(meshes.size());
        for (const NamedMesh& m : meshes)
            lists.push_back(m.tris);
        bytes = stlData(lists, &fault);
    } else {
        bytes = threeMFData(meshes, &fault);
    }
    if (!bytes) reason = faultText(fault);
    return bytes;
}

std::string withExtension(const std::string& path, const std::string& extension) {
    const std::string ending = "." + extension;
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (path.size() - nameStart > ending.size()) {
        bool same = true;
        const size_t at = path.size() - ending.size();
        for (size_t i = 0; i < ending.size() && same; ++i)
            same = lower(path[at + i]) == lower(ending[i]);
        if (same) return path;
    }
    return path + ending;
}

}  // namespace ivo
