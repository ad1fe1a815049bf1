// Finding the user's slicer: the usual program names of the common slicers, looked for in the
// folders of a search path. Window-free; the window starts the program (main_controller_print.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ivo {

struct KnownSlicer {
    const char* program;  // file name as packages and downloads install it
    const char* label;    // as the slicer names itself
};
// In order of preference; a slicer's several spellings follow each other.
const std::vector<KnownSlicer>& knownSlicers();

// Whether `path` names a regular file (links followed) that this user may execute.
bool isRunnableFile(const std::string& path);

// The full path of the first known slicer present in `searchPath` (folders separated by ':',
// as the PATH variable): slicers in their order of preference, each looked up in the folders
// in their order. Empty and relative entries are skipped: a program found through them would
// depend on the folder the application was started from. Nothing when none is found.
std::optional<std::string> findSlicer(std::string_view searchPath);

// How the window names a slicer program: the label of a known one, else its file name.
std::string slicerLabel(const std::string& program);

}  // namespace ivo
