// A ZIP archive writer that stores entries without compression.
#pragma once

#include <cstdint>
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

// Byte lengths of one entry, to check an archive's layout without holding its bytes.
struct ZipEntrySize {
    std::uint64_t name = 0;
    std::uint64_t data = 0;
};

// The archive's total length when entries of these lengths fit the classic format, nothing
// otherwise. Sizes, offsets and the directory's size and offset must stay below 0xFFFFFFFF,
// which readers take as the mark of a 64-bit extension this writer does not produce.
std::optional<std::uint64_t> zipStoredSize(const std::vector<ZipEntrySize>& entries);

}  // namespace ivo
