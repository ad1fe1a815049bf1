#include "support/export_readers.h"

#include <cstring>

namespace ivo::testing {

std::uint32_t crc32Bitwise(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::optional<std::vector<ZipEntry>> readStoredZip(std::string_view b, std::string* why) {
    const auto fail = [&](const char* reason) {
        *why = reason;
        return std::nullopt;
    };
    const auto le = [&](std::size_t at, int size) {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(b[at + i]);
        return v;
    };
    if (b.size() < 22) return fail("shorter than the end record");
    const std::size_t end = b.size() - 22;
    const std::uint32_t count = le(end + 8, 2), dirOffset = le(end + 16, 4);
    if (le(end, 4) != 0x06054B50u || le(end + 4, 4) != 0 || le(end + 10, 2) != count ||
        le(end + 20, 2) != 0 || std::uint64_t{dirOffset} + le(end + 12, 4) != end)
        return fail("end record");

    std::vector<ZipEntry> files;
    std::size_t dir = dirOffset, local = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (dir + 46 > end || le(dir, 4) != 0x02014B50u || le(dir + 4, 2) != 20)
            return fail("directory entry");
        const std::uint32_t nameLength = le(dir + 28, 2), size = le(dir + 20, 4);
        // Version needed to extra length: 20, no flags, stored, 00:00 on 1 January 2026.
        if (std::memcmp(b.data() + dir + 6, "\x14\0\0\0\0\0\0\0\x21\x5C", 10) != 0 ||
            le(dir + 24, 4) != size || le(dir + 30, 4) != 0 || le(dir + 34, 4) != 0 ||
            le(dir + 38, 4) != 0 || le(dir + 42, 4) != local || dir + 46 + nameLength > end)
            return fail("directory entry fields");
        const std::size_t data = local + 30 + nameLength;
        if (data + size > dirOffset || le(local, 4) != 0x04034B50u ||
            std::memcmp(b.data() + local + 4, b.data() + dir + 6, 26) != 0 ||
            b.substr(local + 30, nameLength) != b.substr(dir + 46, nameLength))
            return fail("local header differs from its directory entry");
        if (crc32Bitwise(b.substr(data, size)) != le(dir + 16, 4)) return fail("CRC");
        files.push_back(
            {std::string(b.substr(dir + 46, nameLength)), std::string(b.substr(data, size))});
        local = data + size;
        dir += 46 + nameLength;
    }
    if (local != dirOffset || dir != end) return fail("gaps between the parts");
    return files;
}

}  // namespace ivo::testing
