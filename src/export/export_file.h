// The bytes of an export in the format the user chose, and the file name it is written under.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/three_mf.h"

namespace ivo {

// "stl" gives one binary STL of every mesh, any other format a 3MF package with one named
// object per mesh. Nothing, with a French reason, when the writer refuses the meshes.
std::optional<std::string> exportBytes(const std::string& format,
                                       const std::vector<NamedMesh>& meshes, std::string& reason);

// `path` ending with "." + `extension`: unchanged when it already does (in any case), else
// with it appended. Slicers recognise files by that ending, and file dialogs do not always
// add it to a typed name.
std::string withExtension(const std::string& path, const std::string& extension);

}  // namespace ivo
