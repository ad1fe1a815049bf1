// The known slicers and their lookup in a search path.
#include "app/slicer.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace ivo {

const std::vector<KnownSlicer>& knownSlicers() {
    static const std::vector<KnownSlicer> slicers = {
        {"prusa-slicer", "PrusaSlicer"}, {"PrusaSlicer", "PrusaSlicer"},
        {"orca-slicer", "OrcaSlicer"},   {"OrcaSlicer", "OrcaSlicer"},
        {"superslicer", "SuperSlicer"},  {"SuperSlicer", "SuperSlicer"},
        {"cura", "UltiMaker Cura"},      {"UltiMaker-Cura", "UltiMaker Cura"},
    };
    return slicers;
}

bool isRunnableFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findSlicer(std::string_view searchPath) {
    std::vector<std::string_view> folders;
    for (size_t start = 0; start <= searchPath.size();) {
        const size_t colon = std::min(searchPath.find(':', start), searchPath.size());
        const std::string_view folder = searchPath.substr(start, colon - start);
        if (!folder.empty() && folder.front() == '/') folders.push_back(folder);
        start = colon + 1;
    }
    for (const KnownSlicer& s : knownSlicers())
        for (std::string_view folder : folders) {
            std::string candidate(folder);
            if (candidate.back() != '/') candidate += '/';
            candidate += s.program;
            if (isRunnableFile(candidate)) return candidate;
        }
    return std::nullopt;
}

std::string slicerLabel(const std::string& program) {
    const size_t slash = program.find_last_of('/');
    const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    for (const KnownSlicer& s : knownSlicers())
        if (name == s.program) return s.label;
    return name;
}

}  // namespace ivo
