// A ZIP archive writer that stores entries without compression.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ivo {

struct ZipEntry {
    std::string name;  // UTF-8
    std::string data;
};

// The archive of the entries, stored, in the given order; nothing when the entries exceed
// the classic format (more than 65 535 entries, a name longer than 65 535 bytes, sizes or
// offsets beyond 32 bits), which is never written corrupt.
std::optional<std::string> zipStored(const std::vector<ZipEntry>& entries);

}  // namespace ivo
