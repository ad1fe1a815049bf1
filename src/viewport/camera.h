// The orbit camera as plain maths: eye placement from four numbers, look-at and perspective
// matrices, projection to view points (origin bottom-left, y up) with a depth in [0, 1], view
// rays, and the navigation operations. The widget that owns the numbers is in viewport.h.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "geometry/vec.h"
#include "sketch/sketch.h"

namespace ivo {

// A 4×4 matrix of doubles, column-major (m[col * 4 + row]) as OpenGL reads it.
struct Mat4 {
    std::array<double, 16> m{};

    static Mat4 identity();
    double& at(int row, int col) { return m[col * 4 + row]; }
    double at(int row, int col) const { return m[col * 4 + row]; }
    friend Mat4 operator*(const Mat4& a, const Mat4& b);
    // The point p with w = 1, before the division by w: (x, y, z, w).
    std::array<double, 4> apply(V3 p) const;
    std::array<float, 16> toFloat() const;
};

// Camera axes for a look-at with world up (0, 1, 0): forward points at the target.
struct CameraAxes {
    V3 forward, right, up;
};

struct Camera {
    static constexpr double fovY = 0.5235987755982988;  // 30°
    static constexpr double tanHalfFov = 0.2679491924311227;
    static constexpr double zNear = 0.5;
    static constexpr double zFar = 200000;
    // Orbiting stops 0.001 rad short of the poles so the look-at never degenerates.
    static constexpr double pitchLimit = 1.5697963267948967;
    // The top view sits a hair beyond the orbit clamp; the next orbit step clamps it back.
    static constexpr double topPitch = 1.5702963267948966;
    static constexpr double orbitRate = 0.008;  // radians per view unit
    static constexpr double minDist = 1;
    static constexpr double maxDist = 50000;
    static constexpr double wheelStep = 0.88;

    V3 target;
    double dist = 260;
    double yaw = 0.7;
    double pitch = 0.5;
    // View size in view units.
    double width = 1;
    double height = 1;

    // Unit vector from the target towards the camera.
    V3 eyeDir() const;
    V3 position() const { return target + eyeDir() * dist; }
    CameraAxes axes() const;

    Mat4 view() const;
    // Perspective with the fixed depth range (zNear, zFar) unless another is given.
    Mat4 projection() const { return projection(zNear, zFar); }
    Mat4 projection(double nearZ, double farZ) const;

    // View point (x, y) and depth in [0, 1] (0 on the near plane, 1 on the far plane);
    // nothing for a point in the camera's own plane.
    std::optional<V3> projectDepth(V3 q) const;
    // Nothing when the depth falls outside [0, 1] (behind the camera, nearer than the near
    // plane or beyond the far plane).
    std::optional<V2> project(V3 q) const;
    // The model point at view point (x, y) and depth z in [0, 1].
    V3 unproject(V3 viewPoint) const;
    // Origin on the near plane under p, unit direction into the scene.
    std::pair<V3, V3> ray(V2 p) const;

    // Near and far distances for drawing: far just beyond everything, near as far out as it
    // can be without cutting into the content (bodies, shown planes) and no nearer than
    // zNear. The depth buffer's resolution grows with the near distance; only ground grid
    // lines very close to the camera may be cut.
    std::pair<double, double> depthRange(const Box3& content, const Box3& everything) const;

    // Pointer deltas in view units (y up).
    void orbit(double dx, double dy);
    void pan(double dx, double dy);
    // Scales the distance by k (kept within [minDist, maxDist]) about the point under p on
    // the plane through the target facing the camera, so that point stays under p.
    void zoom(double k, V2 p);
    // "top", "front", "right"; any other name gives the isometric view.
    void setView(const std::string& name);
    // Looks at the target from direction d (from the target towards the camera).
    void setDirection(V3 d);
    // Looks straight at the plane and drops the target onto it.
    void look(const SketchPlane& plane);
    // Frames the box; an empty or point-sized box resets to the initial target and distance.
    void fit(const Box3& box);
};

// One wheel step: in for a positive vertical delta, out for a negative one.
double wheelFactor(double verticalDelta);
// A pinch of the given magnification (positive spreads the fingers).
double pinchFactor(double magnification);

}  // namespace ivo
