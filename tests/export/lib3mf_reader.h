// Reads a 3MF package with lib3mf, the reference 3MF library, into plain values.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ivo::testing {

struct Read3mfObject {
    std::string name;
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<unsigned, 3>> triangles;
    double volume() const;  // signed, from the triangles
};

struct Read3mf {
    std::vector<Read3mfObject> objects;  // mesh objects in resource order
    int buildItems = 0;
    int warnings = 0;
};

// Nothing when lib3mf refuses the package; `error` then holds its error code.
std::optional<Read3mf> readWithLib3mf(const std::string& bytes, std::string* error);

}  // namespace ivo::testing
