// Reading exported files back as their consumers do: 3MF packages through lib3mf, the
// reference 3MF library, and binary STL through a strict parser of our own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/vec.h"

namespace ivo::testing {

struct Read3mf {
    struct Object {
        std::string name;
        std::size_t vertices = 0, triangles = 0;
        double volume = 0;
    };
    std::vector<Object> objects;
    int buildItems = 0;
};

// Nothing when lib3mf refuses the package.
std::optional<Read3mf> readWithLib3mf(std::string bytes);

// The triangles as stored (printer axes, float32 values): nothing unless the header is ours,
// the length matches the count and the attribute bytes are zero.
std::optional<std::vector<Tri>> readStl(const std::string& bytes);

}  // namespace ivo::testing
