#include "support/export_readers.h"

#include <bit>
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

namespace {

std::uint32_t le(std::string_view b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

float f32(std::string_view b, std::size_t at) {
    return std::bit_cast<float>(le(b, at, 4));
}

std::array<float, 3> vec3(std::string_view b, std::size_t at) {
    return {f32(b, at), f32(b, at + 4), f32(b, at + 8)};
}

}  // namespace

std::optional<StlFile> readStl(std::string_view bytes) {
    if (bytes.size() < 84) return std::nullopt;
    const std::uint64_t count = le(bytes, 80, 4);
    if (bytes.size() != 84 + 50 * count) return std::nullopt;
    StlFile stl{std::string(bytes.substr(0, 80)), {}};
    for (std::size_t i = 0, at = 84; i < count; ++i, at += 50) {
        stl.tris.push_back({vec3(bytes, at), vec3(bytes, at + 12), vec3(bytes, at + 24),
                            vec3(bytes, at + 36),
                            static_cast<std::uint16_t>(le(bytes, at + 48, 2))});
    }
    return stl;
}

double stlVolume(const StlFile& stl) {
    double v = 0;
    for (const StlTriangle& t : stl.tris) {
        const double ax = t.a[0], ay = t.a[1], az = t.a[2];
        const double bx = t.b[0], by = t.b[1], bz = t.b[2];
        const double cx = t.c[0], cy = t.c[1], cz = t.c[2];
        v += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    }
    return v / 6;
}

std::optional<std::vector<ZipFile>> readStoredZip(std::string_view b, std::string* why) {
    const auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (b.size() < 22) return fail("shorter than the end record");
    const std::size_t end = b.size() - 22;
    if (le(b, end, 4) != 0x06054B50u) return fail("no end record at the end");
    if (le(b, end + 4, 2) != 0 || le(b, end + 6, 2) != 0) return fail("disk numbers");
    const std::uint32_t count = le(b, end + 8, 2);
    if (le(b, end + 10, 2) != count) return fail("entry counts differ");
    const std::uint32_t dirSize = le(b, end + 12, 4), dirOffset = le(b, end + 16, 4);
    if (le(b, end + 20, 2) != 0) return fail("comment");
    if (std::uint64_t{dirOffset} + dirSize != end) return fail("directory not before the end");

    std::vector<ZipFile> files;
    std::size_t dir = dirOffset, local = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (dir + 46 > end || le(b, dir, 4) != 0x02014B50u) return fail("directory entry");
        const std::uint32_t nameLength = le(b, dir + 28, 2);
        if (le(b, dir + 4, 2) != 20 || le(b, dir + 6, 2) != 20 || le(b, dir + 8, 2) != 0 ||
            le(b, dir + 10, 2) != 0 || le(b, dir + 12, 2) != 0 || le(b, dir + 14, 2) != 0x5C21 ||
            le(b, dir + 30, 2) != 0 || le(b, dir + 32, 2) != 0 || le(b, dir + 34, 2) != 0 ||
            le(b, dir + 36, 2) != 0 || le(b, dir + 38, 4) != 0)
            return fail("directory entry fields");
        const std::uint32_t crc = le(b, dir + 16, 4), size = le(b, dir + 20, 4);
        if (le(b, dir + 24, 4) != size) return fail("directory sizes differ");
        if (le(b, dir + 42, 4) != local) return fail("local header not where the last ended");
        if (dir + 46 + nameLength > end) return fail("directory name");
        const std::string_view name = b.substr(dir + 46, nameLength);

        if (local + 30 > dirOffset || le(b, local, 4) != 0x04034B50u) return fail("local header");
        if (std::memcmp(b.data() + local + 4, b.data() + dir + 6, 26) != 0)
            return fail("local header differs from its directory entry");
        const std::size_t data = local + 30 + nameLength;
        if (data + size > dirOffset) return fail("data overruns the directory");
        if (b.substr(local + 30, nameLength) != name) return fail("local name differs");
        const std::string_view bytes = b.substr(data, size);
        if (crc32Bitwise(bytes) != crc) return fail("CRC");
        files.push_back({std::string(name), std::string(bytes)});
        local = data + size;
        dir += 46 + nameLength;
    }
    if (local != dirOffset || dir != end) return fail("gaps between the parts");
    return files;
}

}  // namespace ivo::testing
