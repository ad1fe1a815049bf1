// Reading exported files back as their consumers do: 3MF packages through lib3mf, the
// reference 3MF library, and binary STL through a strict parser of our own.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

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

// Normal and corners of each triangle, read back as a slicer reads them: nothing unless the
// header is ours and the length matches the count.
using StlTriangle = std::array<std::array<float, 3>, 4>;
std::optional<std::vector<StlTriangle>> readStl(const std::string& bytes);

// Signed volume of STL triangles (corners 1..3), in mm³.
double stlVolume(const std::vector<StlTriangle>& tris);

}  // namespace ivo::testing
