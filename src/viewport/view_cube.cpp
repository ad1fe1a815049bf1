// View cube geometry: an orthographic image of a unit cube turned like the model.
#include "viewport/view_cube.h"

#include <algorithm>
#include <cmath>

#include "geometry/loops.h"

namespace ivo {

ViewRect cubeRect(double viewWidth, double viewHeight) {
    return {viewWidth - 120, viewHeight - 120, 100, 100};
}

ViewRect homeRect(const ViewRect& cube) {
    return {cube.x - 4, cube.maxY() - 18, 18, 18};
}

CubeBasis cubeBasis(V3 eye) {
    const V3 right = V3{0, 1, 0}.cross(eye).normalized();
    return {right, eye.cross(right).normalized()};
}

std::vector<CubeFace> cubePolys(V3 eye, V2 center) {
    struct Def {
        V3 n;
        const char* label;
    };
    static constexpr Def defs[] = {
        {{0, 1, 0}, "HAUT"},     {{0, -1, 0}, "BAS"},   {{0, 0, 1}, "AVANT"},
        {{0, 0, -1}, "ARRIÈRE"}, {{1, 0, 0}, "DROITE"}, {{-1, 0, 0}, "GAUCHE"},
    };
    const CubeBasis basis = cubeBasis(eye);
    std::vector<CubeFace> faces;
    for (const Def& def : defs) {
        const double depth = eye.dot(def.n);
        if (depth <= 0.02) continue;
        const V3 n = def.n;
        const V3 a = std::abs(n.y) > 0.5 ? V3{1, 0, 0} : V3{0, 1, 0};
        const V3 b = n.cross(a);
        const V3 corners3[4] = {n + a + b, n - a + b, n - a - b, n + a - b};
        CubeFace face{n, def.label, {}, depth};
        for (int i = 0; i < 4; ++i)
            face.corners[i] = center + basis.map(corners3[i]) * 27;
        faces.push_back(face);
    }
    std::stable_sort(faces.begin(), faces.end(),
                     [](const CubeFace& x, const CubeFace& y) { return x.depth < y.depth; });
    return faces;
}

CubeClick cubeClick(V2 p, V3 eye, double viewWidth, double viewHeight) {
    const ViewRect cube = cubeRect(viewWidth, viewHeight);
    if (homeRect(cube).contains(p)) return {CubeClick::Kind::home, {}};
    if (!cube.contains(p)) return {};
    const std::vector<CubeFace> faces = cubePolys(eye, cube.center());
    for (auto it = faces.rbegin(); it != faces.rend(); ++it)
        if (pointInPolygon(p, Loop(it->corners.begin(), it->corners.end())))
            return {CubeClick::Kind::face, it->n};
    return {CubeClick::Kind::consumed, {}};
}

}  // namespace ivo
