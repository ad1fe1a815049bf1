// Extrusion of a region between two heights, with rounded or bevelled cap edges made of
// inset levels, and revolution of a region about an axis of its plane.
#include "geometry/extrude.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace ivo {
namespace {

// The outer loop cleaned and counter-clockwise, then the holes of at least 3 points,
// cleaned and clockwise; nothing when the outer loop has fewer than 3 points.
std::vector<Loop> normalizedLoops(const Region& region) {
    std::vector<Loop> loops{cleanLoop(region.outer)};
    if (loops[0].size() < 3) return {};
    if (polyArea(loops[0]) < 0) std::reverse(loops[0].begin(), loops[0].end());
    for (const Loop& hole : region.holes) {
        Loop h = cleanLoop(hole);
        if (h.size() < 3) continue;
        if (polyArea(h) > 0) std::reverse(h.begin(), h.end());
        loops.push_back(std::move(h));
    }
    return loops;
}

bool finite(V3 p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool finite(const Frame& f) {
    return finite(f.o) && finite(f.x) && finite(f.y) && finite(f.n);
}

void addPolygon(Solid& out, std::initializer_list<V3> pts, PolyBatch* batch = nullptr) {
    if (auto p = CPoly::fit(pts.begin(), pts.size(), batch)) out.push_back(std::move(*p));
}

std::vector<Tri2> capTriangles(const std::vector<Loop>& loops) {
    return triangulate(loops[0], std::vector<Loop>(loops.begin() + 1, loops.end()));
}

// A cap from triangles: facing along their lifted winding, or against it when `reversed`.
template <class Lift>
void addCap(Solid& out, const std::vector<Tri2>& tris, bool reversed, Lift lift,
            PolyBatch* batch = nullptr) {
    for (const Tri2& t : tris) {
        const V3 a = lift(t[0]), b = lift(t[1]), c = lift(t[2]);
        if (reversed)
            addPolygon(out, {a, c, b}, batch);
        else
            addPolygon(out, {a, b, c}, batch);
    }
}

struct Level {
    double z, inset;
};

// The heights and insets from the lower cap edge to the upper one. A treated edge is a
// run of steps + 1 levels: a quarter circle of radius r for a round, a straight bevel for
// a chamfer.
std::vector<Level> levels(double lo, double hi, double loR, double hiR, bool chamfer) {
    const int steps = chamfer ? 1 : 6;
    std::vector<Level> all;
    if (loR <= 1e-9) {
        all.push_back({lo, 0});
    } else {
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps, a = t * std::numbers::pi / 2;
            all.push_back(chamfer ? Level{lo + loR * t, loR * (1 - t)}
                                  : Level{lo + loR - loR * std::cos(a), loR - loR * std::sin(a)});
        }
    }
    if (hiR <= 1e-9) {
        all.push_back({hi, 0});
    } else {
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps, a = t * std::numbers::pi / 2;
            all.push_back(chamfer ? Level{hi - hiR + hiR * t, hiR * t}
                                  : Level{hi - hiR + hiR * std::sin(a), hiR - hiR * std::cos(a)});
        }
    }
    std::vector<Level> kept;
    for (const Level& l : all)
        if (kept.empty() || std::abs(l.z - kept.back().z) > 1e-9) kept.push_back(l);
    return kept;
}

}  // namespace

std::vector<Tri2> regionCaps(const Region& region) {
    const std::vector<Loop> loops = normalizedLoops(region);
    return loops.empty() ? std::vector<Tri2>{} : capTriangles(loops);
}

Solid extrudeRegion(const Region& region, const Frame& frame, double z0, double z1, double loR,
                    double hiR, bool chamfer, const std::vector<Tri2>* caps) {
    if (!std::isfinite(z0) || !std::isfinite(z1) || !finite(frame)) return {};
    const double lo = std::min(z0, z1), hi = std::max(z0, z1);
    if (!(hi - lo >= 1e-9)) return {};
    // Negative and NaN radii count as 0; an infinite one takes the whole allowance.
    loR = loR > 0 ? loR : 0;
    hiR = hiR > 0 ? hiR : 0;
    if (std::isinf(loR) || std::isinf(hiR)) {
        loR = std::isinf(loR);
        hiR = std::isinf(hiR);
    }
    const double room = 0.98 * (hi - lo);
    if (loR + hiR > room) {
        const double f = room / (loR + hiR);
        loR *= f;
        hiR *= f;
    }
    const std::vector<Level> lv = levels(lo, hi, loR, hiR, chamfer);
    const std::vector<Loop> loops = normalizedLoops(region);
    if (lv.size() < 2 || loops.empty()) return {};

    // Point i of a loop corresponds to point i at every level.
    std::vector<std::vector<Loop>> at(lv.size());
    for (size_t k = 0; k < lv.size(); ++k)
        for (const Loop& l : loops)
            at[k].push_back(offsetLoop(l, lv[k].inset));
    // A cap whose outline is the region's own takes the region's triangles; one inset by a
    // treated edge is triangulated here. Without treated edges both caps have the same
    // outline, and so the same triangles.
    std::vector<Tri2> own[2];
    auto trianglesOf = [&](const std::vector<Loop>& outline,
                           std::vector<Tri2>& mine) -> const std::vector<Tri2>& {
        if (caps && outline == loops) return *caps;
        mine = capTriangles(outline);
        return mine;
    };
    const std::vector<Tri2>& bottom = trianglesOf(at.front(), own[0]);
    // A region without area (a loop folded onto a line) would give walls around nothing.
    if (bottom.empty()) return {};
    const std::vector<Tri2>& top =
        at.back() == at.front() ? bottom : trianglesOf(at.back(), own[1]);
    size_t walls = 0;
    for (const Loop& l : at.front())
        walls += l.size();
    auto flatAt = [&](size_t k) { return std::abs(lv[k].inset - lv[k + 1].inset) < 1e-12; };
    // The points of the walls in one allocation, and those of each cap in another: the
    // polygons of each are made together and mostly dropped together (a cut keeps the
    // walls of a hole through a plate, and loses both of its caps).
    size_t wallPolys = 0, wallPoints = 0;
    for (size_t k = 0; k + 1 < lv.size(); ++k) {
        wallPolys += flatAt(k) ? walls : 2 * walls;
        wallPoints += flatAt(k) ? 4 * walls : 6 * walls;
    }
    PolyBatch wallBatch(wallPolys, wallPoints);
    PolyBatch bottomBatch(bottom.size(), 3 * bottom.size());
    PolyBatch topBatch(top.size(), 3 * top.size());
    Solid out;
    out.reserve(walls * 2 * (lv.size() - 1) + bottom.size() + top.size());
    for (size_t k = 0; k + 1 < lv.size(); ++k) {
        const double za = lv[k].z, zb = lv[k + 1].z;
        const bool flat = flatAt(k);
        for (size_t l = 0; l < loops.size(); ++l) {
            const Loop &la = at[k][l], &lb = at[k + 1][l];
            for (size_t i = 0; i < la.size(); ++i) {
                const size_t j = i + 1 == la.size() ? 0 : i + 1;
                const V3 A = frame.p(la[i], za), B = frame.p(la[j], za);
                const V3 C = frame.p(lb[j], zb), D = frame.p(lb[i], zb);
                if (flat) {
                    addPolygon(out, {A, B, C, D}, &wallBatch);
                } else {
                    // Between different insets the quad may twist: two triangles stay flat.
                    addPolygon(out, {A, B, C}, &wallBatch);
                    addPolygon(out, {A, C, D}, &wallBatch);
                }
            }
        }
    }
    const double zLo = lv.front().z, zHi = lv.back().z;
    addCap(
        out, bottom, true, [&](V2 p) { return frame.p(p, zLo); }, &bottomBatch);
    addCap(
        out, top, false, [&](V2 p) { return frame.p(p, zHi); }, &topBatch);
    return orientOutward(std::move(out));
}

Solid revolveRegion(const Region& region, const Frame& frame, V2 axisP, V2 axisD, double angleDeg,
                    const std::vector<Tri2>* caps) {
    if (!std::isfinite(angleDeg) || !finite(frame)) return {};
    // Beyond a full turn the sweep only passes over itself again; without the clamp an
    // angle of 1e9° would ask for 2e8 segments.
    angleDeg = std::clamp(angleDeg, -360.0, 360.0);
    const double theta = angleDeg * std::numbers::pi / 180;
    if (std::abs(theta) < 1e-6) return {};
    const int n = std::max(4, int(std::abs(angleDeg) / 360 * 72));
    const V3 A = frame.p(axisP, 0);
    const V3 k = (frame.p(axisP + axisD.normalized(), 0) - A).normalized();
    if (k.length() < 0.5) return {};
    const std::vector<Loop> loops = normalizedLoops(region);
    if (loops.empty()) return {};
    std::vector<Tri2> own;
    if (!caps) {
        own = capTriangles(loops);
        caps = &own;
    }
    if (caps->empty()) return {};  // no area: the sweep would enclose nothing
    const bool full = std::abs(angleDeg) >= 359.999;

    // Angle of each ring of points: the last ring of a full turn is the first one, and the
    // last of a partial turn is exactly θ, so that walls meet caps point for point.
    std::vector<double> phi(n + 1);
    for (int s = 0; s < n; ++s)
        phi[s] = theta * s / n;
    phi[n] = full ? 0 : theta;
    auto R = [&](V2 p, double a) { return rotateAround(frame.p(p, 0), A, k, a); };

    Solid out;
    size_t walls = 0;
    for (const Loop& loop : loops)
        walls += loop.size();
    out.reserve(walls * size_t(n) + (full ? 0 : 2 * caps->size()));
    std::vector<V3> rings;  // ring s of a loop: its points turned by phi[s]
    for (const Loop& loop : loops) {
        const size_t m = loop.size();
        rings.clear();
        for (int s = 0; s <= n; ++s)
            for (V2 p : loop)
                rings.push_back(R(p, phi[s]));
        for (size_t i = 0; i < m; ++i) {
            const size_t j = i + 1 == m ? 0 : i + 1;
            for (int s = 0; s < n; ++s) {
                const V3* r0 = &rings[s * m];
                const V3* r1 = r0 + m;
                // Faces touching the axis lose their repeated points here.
                addPolygon(out, {r0[i], r0[j], r1[j], r1[i]});
            }
        }
    }
    if (!full) {
        addCap(out, *caps, true, [&](V2 p) { return R(p, phi[0]); });
        addCap(out, *caps, false, [&](V2 p) { return R(p, phi[n]); });
    }
    return orientOutward(std::move(out));
}

V3 rotateAround(V3 p, V3 c, V3 k, double angle) {
    const V3 v = p - c;
    const double cs = std::cos(angle), sn = std::sin(angle);
    return c + v * cs + k.cross(v) * sn + k * (k.dot(v) * (1 - cs));
}

}  // namespace ivo
