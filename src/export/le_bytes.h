// Little-endian integer and float fields written into a byte buffer, independent of the
// host's byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

namespace ivo {

// Writes at p and returns the position after the field.
inline char* putLE16(char* p, std::uint16_t v) {
    p[0] = static_cast<char>(v & 0xFFu);
    p[1] = static_cast<char>(v >> 8);
    return p + 2;
}

inline char* putLE32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
    return p + 4;
}

// IEEE 754 single precision, narrowed from the double.
inline char* putFloat32LE(char* p, double v) {
    return putLE32(p, std::bit_cast<std::uint32_t>(static_cast<float>(v)));
}

inline void appendLE16(std::string& out, std::uint16_t v) {
    char b[2];
    out.append(b, putLE16(b, v));
}

inline void appendLE32(std::string& out, std::uint32_t v) {
    char b[4];
    out.append(b, putLE32(b, v));
}

}  // namespace ivo
