// Binary STL: an 80-byte header, a 32-bit triangle count, then 50 bytes per triangle.
#include "export/stl.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "export/le_bytes.h"

namespace ivo {
namespace {

constexpr std::string_view kHeaderText = "Ivorane 3D - export STL";
constexpr std::size_t kHeaderSize = 80;
constexpr std::uint64_t kTriangleSize = 50;

char* putVector(char* p, V3 v) {
    const V3 q = toPrinter(v);
    p = putFloat32LE(p, q.x);
    p = putFloat32LE(p, q.y);
    return putFloat32LE(p, q.z);
}

// Narrowed to a float, a double beyond its range becomes an infinity that slicers reject.
bool fitsFloat32(V3 v) {
    constexpr double most = std::numeric_limits<float>::max();
    return std::abs(v.x) <= most && std::abs(v.y) <= most && std::abs(v.z) <= most;
}

}  // namespace

std::optional<std::uint64_t> stlSize(std::uint64_t triangleCount) {
    if (triangleCount > 0xFFFFFFFFu) return std::nullopt;
    return kHeaderSize + 4 + kTriangleSize * triangleCount;
}

std::optional<std::string> stlData(const std::vector<std::vector<Tri>>& meshes,
                                   ExportFault* fault) {
    auto refuse = [&](ExportFault why) -> std::optional<std::string> {
        if (fault) *fault = why;
        return std::nullopt;
    };
    std::uint64_t count = 0;
    for (const auto& mesh : meshes) {
        count += mesh.size();
        for (const Tri& t : mesh)
            if (!fitsFloat32(t.n) || !fitsFloat32(t.a) || !fitsFloat32(t.b) || !fitsFloat32(t.c))
                return refuse(ExportFault::notFinite);
    }
    const std::optional<std::uint64_t> size = stlSize(count);
    if (!size) return refuse(ExportFault::tooLarge);

    std::string out(*size, ' ');  // the header's padding is already in place
    char* p = out.data();
    kHeaderText.copy(p, kHeaderText.size());
    p = putLE32(p + kHeaderSize, static_cast<std::uint32_t>(count));
    for (const auto& mesh : meshes) {
        for (const Tri& t : mesh) {
            // The polygon's normal, not one recomputed from possibly slivered corners.
            p = putVector(p, t.n);
            p = putVector(p, t.a);
            p = putVector(p, t.b);
            p = putVector(p, t.c);
            p = putLE16(p, 0);
        }
    }
    return out;
}

}  // namespace ivo
