// Reading exported files back independently of the exporters: a bitwise CRC-32, a strict
// reader of stored ZIP archives, and 3MF packages and STL files through lib3mf, the
// reference 3MF library.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/zip.h"
#include "geometry/vec.h"

namespace ivo::testing {

// Bit by bit, without a table.
std::uint32_t crc32Bitwise(std::string_view bytes);

// The entries of a stored archive, or nothing (with the reason in `why`) unless every
// directory entry matches its local header, the parts follow each other without gaps, the
// CRCs match and the end record counts and places the directory.
std::optional<std::vector<ZipEntry>> readStoredZip(std::string_view bytes, std::string* why);

struct Read3mf {
    struct Object {
        std::string name;
        std::size_t vertices = 0, triangles = 0;
        double volume = 0;
        std::vector<std::array<std::uint32_t, 3>> tris;  // vertex indices
    };
    std::vector<Object> objects;
    int buildItems = 0;
};

// Nothing when lib3mf refuses the file; `format` is "3mf" or "stl" (lib3mf then merges the
// corners that are the same point).
std::optional<Read3mf> readWithLib3mf(std::string bytes, const char* format = "3mf");

// Why the indexed triangles are no closed 2-manifold, or "": every edge must have exactly
// two triangles, running it in opposite directions.
std::string manifoldFault(const std::vector<std::array<std::uint32_t, 3>>& tris);

}  // namespace ivo::testing
