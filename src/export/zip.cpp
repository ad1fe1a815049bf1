// Stored ZIP archives: local headers with the data, then the central directory and its end
// record. No data descriptors, no 64-bit extension, no compression.
#include "export/zip.h"

#include "export/crc32.h"
#include "export/le_bytes.h"

namespace ivo {
namespace {

constexpr std::uint64_t kLocalHeaderSize = 30;
constexpr std::uint64_t kDirectoryHeaderSize = 46;
constexpr std::uint64_t kEndRecordSize = 22;
constexpr std::uint64_t kMaxField32 = 0xFFFFFFFEu;
constexpr std::uint64_t kMaxField16 = 0xFFFFu;
// 1 January 2026, MS-DOS date: (year − 1980) << 9 | month << 5 | day.
constexpr std::uint16_t kDate = 0x5C21;

// The 26 bytes a local header and its directory entry have in common, from the version
// needed to the extra field's length.
void appendSharedFields(std::string& out, std::uint32_t crc, std::uint32_t size,
                        std::uint16_t nameLength) {
    appendLE16(out, 20);  // version needed
    appendLE16(out, 0);   // flags
    appendLE16(out, 0);   // stored
    appendLE16(out, 0);   // time
    appendLE16(out, kDate);
    appendLE32(out, crc);
    appendLE32(out, size);  // compressed
    appendLE32(out, size);  // uncompressed
    appendLE16(out, nameLength);
    appendLE16(out, 0);  // extra length
}

}  // namespace

std::optional<std::uint64_t> zipStoredSize(const std::vector<ZipEntrySize>& entries) {
    if (entries.size() > kMaxField16) return std::nullopt;
    std::uint64_t offset = 0, directory = 0;
    for (const ZipEntrySize& e : entries) {
        if (e.name > kMaxField16 || e.data > kMaxField32 || offset > kMaxField32)
            return std::nullopt;
        offset += kLocalHeaderSize + e.name + e.data;
        directory += kDirectoryHeaderSize + e.name;
    }
    if (offset > kMaxField32 || directory > kMaxField32) return std::nullopt;
    return offset + directory + kEndRecordSize;
}

std::optional<std::string> zipStored(const std::vector<ZipEntry>& entries) {
    std::vector<ZipEntrySize> sizes;
    sizes.reserve(entries.size());
    for (const ZipEntry& e : entries)
        sizes.push_back({e.name.size(), e.data.size()});
    const std::optional<std::uint64_t> total = zipStoredSize(sizes);
    if (!total) return std::nullopt;

    std::string out, directory;
    out.reserve(*total);
    for (const ZipEntry& e : entries) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(e.data);
        const auto size = static_cast<std::uint32_t>(e.data.size());
        const auto nameLength = static_cast<std::uint16_t>(e.name.size());

        appendLE32(out, 0x04034B50u);
        appendSharedFields(out, crc, size, nameLength);
        out += e.name;
        out += e.data;

        appendLE32(directory, 0x02014B50u);
        appendLE16(directory, 20);  // version made by
        appendSharedFields(directory, crc, size, nameLength);
        appendLE16(directory, 0);  // comment length
        appendLE16(directory, 0);  // disk number start
        appendLE16(directory, 0);  // internal attributes
        appendLE32(directory, 0);  // external attributes
        appendLE32(directory, offset);
        directory += e.name;
    }

    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    const auto count = static_cast<std::uint16_t>(entries.size());
    out += directory;
    appendLE32(out, 0x06054B50u);
    appendLE16(out, 0);  // this disk
    appendLE16(out, 0);  // disk with the directory
    appendLE16(out, count);
    appendLE16(out, count);
    appendLE32(out, static_cast<std::uint32_t>(directory.size()));
    appendLE32(out, directoryOffset);
    appendLE16(out, 0);  // comment length
    return out;
}

}  // namespace ivo
