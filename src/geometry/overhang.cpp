// Overhang flags of a body's triangles.
#include "geometry/overhang.h"

#include <cmath>
#include <numbers>

#include "geometry/mesh.h"

namespace ivo {
namespace {

// Normals come from planes fitted through rounded corners: a face built at exactly the
// threshold (a 45° chamfer) must not flicker between the two sides of it.
constexpr double kSlopeTolerance = 1e-6;

}  // namespace

bool validOverhangAngle(double angleDeg) {
    return std::isfinite(angleDeg) && angleDeg >= 0 && angleDeg <= 90;
}

std::vector<std::uint8_t> overhangFlags(const std::vector<Tri>& tris, double angleDeg) {
    std::vector<std::uint8_t> flags(tris.size(), 0);
    if (tris.empty()) return flags;
    double lowest = tris.front().a.y;
    for (const Tri& t : tris)
        lowest = std::min({lowest, t.a.y, t.b.y, t.c.y});
    const double limit = -std::sin(angleDeg * std::numbers::pi / 180) - kSlopeTolerance;
    // Corners closer than the mesh weld are one corner, so the same distance tells a face on
    // the lowest level.
    const auto onBed = [&](const Tri& t) {
        return t.n.y < -1 + kSlopeTolerance && t.a.y - lowest <= kMeshWeld &&
               t.b.y - lowest <= kMeshWeld && t.c.y - lowest <= kMeshWeld;
    };
    for (size_t i = 0; i < tris.size(); ++i) {
        const Tri& t = tris[i];
        flags[i] = t.n.y < limit && !onBed(t) ? 1 : 0;
    }
    return flags;
}

}  // namespace ivo
