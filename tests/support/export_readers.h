// Independent readers of the files the exporters write: a binary STL parser and a strict
// reader of stored ZIP archives, with a bitwise CRC-32 to check them against.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ivo::testing {

// Bit by bit, without a table.
std::uint32_t crc32Bitwise(std::string_view bytes);

struct StlTriangle {
    std::array<float, 3> n, a, b, c;
    std::uint16_t attributes = 0;
};

struct StlFile {
    std::string header;  // 80 bytes
    std::vector<StlTriangle> tris;
};

// Nothing unless the length is exactly 84 bytes plus 50 per counted triangle.
std::optional<StlFile> readStl(std::string_view bytes);

// Signed volume of the STL's triangles.
double stlVolume(const StlFile& stl);

struct ZipFile {
    std::string name, data;
};

// The entries of a stored archive, checked field by field: every local header agrees with
// its directory entry, the offsets chain without gaps, the CRC matches, the end record
// counts and places the directory. Nothing on any disagreement; `why` tells which.
std::optional<std::vector<ZipFile>> readStoredZip(std::string_view bytes, std::string* why);

}  // namespace ivo::testing
