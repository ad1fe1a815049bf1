// CRC-32 of ISO 3309 / ITU-T V.42, as used by ZIP and PNG.
#pragma once

#include <cstdint>
#include <string_view>

namespace ivo {

// Reflected polynomial 0xEDB88320, initial value and final complement 0xFFFFFFFF; 0 for no
// bytes. Thread-safe.
std::uint32_t crc32(std::string_view bytes);

}  // namespace ivo
