// Independent checks of the exporters' output: a bitwise CRC-32 and a strict reader of
// stored ZIP archives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/zip.h"

namespace ivo::testing {

// Bit by bit, without a table.
std::uint32_t crc32Bitwise(std::string_view bytes);

// The entries of a stored archive, or nothing (with the reason in `why`) unless every
// directory entry matches its local header, the parts follow each other without gaps, the
// CRCs match and the end record counts and places the directory.
std::optional<std::vector<ZipEntry>> readStoredZip(std::string_view bytes, std::string* why);

}  // namespace ivo::testing
