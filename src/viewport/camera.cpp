// Camera placement, matrices and navigation. Eye space has the camera at the origin looking
// down −z, x to the right and y up, as OpenGL expects.
#include "viewport/camera.h"

#include <cmath>

namespace ivo {

Mat4 Mat4::identity() {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        r.at(i, i) = 1;
    return r;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += a.at(row, k) * b.at(k, col);
            r.at(row, col) = s;
        }
    return r;
}

std::array<double, 4> Mat4::apply(V3 p) const {
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        r[row] = at(row, 0) * p.x + at(row, 1) * p.y + at(row, 2) * p.z + at(row, 3);
    return r;
}

std::array<float, 16> Mat4::toFloat() const {
    std::array<float, 16> r{};
    for (size_t i = 0; i < 16; ++i)
        r[i] = static_cast<float>(m[i]);
    return r;
}

V3 Camera::eyeDir() const {
    return {std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
}

CameraAxes Camera::axes() const {
    const V3 f = (-eyeDir()).normalized();
    const V3 r = f.cross({0, 1, 0}).normalized();
    const V3 u = r.cross(f).normalized();
    return {f, r, u};
}

Mat4 Camera::view() const {
    const CameraAxes a = axes();
    const V3 eye = position();
    Mat4 v = Mat4::identity();
    const V3 rows[3] = {a.right, a.up, -a.forward};
    for (int i = 0; i < 3; ++i) {
        v.at(i, 0) = rows[i].x;
        v.at(i, 1) = rows[i].y;
        v.at(i, 2) = rows[i].z;
        v.at(i, 3) = -rows[i].dot(eye);
    }
    return v;
}

Mat4 Camera::projection(double nearZ, double farZ) const {
    const double aspect = std::max(width, 1.0) / std::max(height, 1.0);
    const double f = 1 / tanHalfFov;
    Mat4 p;
    p.at(0, 0) = f / aspect;
    p.at(1, 1) = f;
    p.at(2, 2) = -(farZ + nearZ) / (farZ - nearZ);
    p.at(2, 3) = -2 * farZ * nearZ / (farZ - nearZ);
    p.at(3, 2) = -1;
    return p;
}

std::optional<V3> Camera::projectDepth(V3 q) const {
    const std::array<double, 4> c = (projection() * view()).apply(q);
    if (std::abs(c[3]) < 1e-300) return std::nullopt;
    const double nx = c[0] / c[3], ny = c[1] / c[3], nz = c[2] / c[3];
    return V3{(nx + 1) / 2 * width, (ny + 1) / 2 * height, (nz + 1) / 2};
}

std::optional<V2> Camera::project(V3 q) const {
    const std::optional<V3> p = projectDepth(q);
    if (!p || !(p->z >= 0 && p->z <= 1)) return std::nullopt;
    return V2{p->x, p->y};
}

V3 Camera::unproject(V3 vp) const {
    // Inverts the perspective depth analytically: ndc z = (A·ze + B) / −ze.
    const double a = -(zFar + zNear) / (zFar - zNear);
    const double b = -2 * zFar * zNear / (zFar - zNear);
    const double nz = vp.z * 2 - 1;
    const double ze = -b / (nz + a);  // negative: in front of the camera
    const double aspect = std::max(width, 1.0) / std::max(height, 1.0);
    const double nx = vp.x / std::max(width, 1.0) * 2 - 1;
    const double ny = vp.y / std::max(height, 1.0) * 2 - 1;
    const double xe = nx * -ze * tanHalfFov * aspect;
    const double ye = ny * -ze * tanHalfFov;
    const CameraAxes ax = axes();
    return position() + ax.right * xe + ax.up * ye - ax.forward * ze;
}

std::pair<V3, V3> Camera::ray(V2 p) const {
    const V3 nearP = unproject({p.x, p.y, 0});
    const V3 farP = unproject({p.x, p.y, 1});
    return {nearP, (farP - nearP).normalized()};
}

namespace {

// Smallest and largest distance of the box's corners along the view direction.
std::pair<double, double> depthSpan(const Camera& c, const Box3& box) {
    const V3 eye = c.position(), forward = c.axes().forward;
    double lo = Box3::inf, hi = -Box3::inf;
    for (int i = 0; i < 8; ++i) {
        const V3 corner{i & 1 ? box.hi.x : box.lo.x, i & 2 ? box.hi.y : box.lo.y,
                        i & 4 ? box.hi.z : box.lo.z};
        const double z = (corner - eye).dot(forward);
        lo = std::min(lo, z);
        hi = std::max(hi, z);
    }
    return {lo, hi};
}

}  // namespace

std::pair<double, double> Camera::depthRange(const Box3& content, const Box3& everything) const {
    double nearest = dist;
    if (!content.isEmpty()) nearest = std::min(nearest, depthSpan(*this, content).first);
    const double nearZ = std::max(zNear, nearest * 0.1);
    double farZ = nearZ * 2;
    if (!everything.isEmpty()) {
        const auto [lo, hi] = depthSpan(*this, everything);
        farZ = std::max(farZ, hi + 0.01 * (hi - lo) + 1);
    }
    return {nearZ, std::min(farZ, zFar)};
}

void Camera::orbit(double dx, double dy) {
    yaw -= dx * orbitRate;
    pitch = std::clamp(pitch - dy * orbitRate, -pitchLimit, pitchLimit);
}

void Camera::pan(double dx, double dy) {
    const CameraAxes a = axes();
    const double s = 2 * dist * tanHalfFov / std::max(height, 1.0);
    target = target - a.right * (dx * s) - a.up * (dy * s);
}

void Camera::zoom(double k, V2 p) {
    const auto [nearP, d] = ray(p);
    const V3 f = (target - nearP).normalized();
    // A ray grazing the target plane divides by the guard instead of zero.
    const double t = f.dot(target - nearP) / std::max(f.dot(d), 1e-9);
    const V3 hit = nearP + d * t;
    const double newDist = std::max(std::min(k * dist, maxDist), minDist);
    target = hit + (target - hit) * (newDist / dist);
    dist = newDist;
}

void Camera::setView(const std::string& name) {
    constexpr double halfPi = 1.5707963267948966;
    if (name == "top") {
        yaw = 0;
        pitch = topPitch;
    } else if (name == "front") {
        yaw = 0;
        pitch = 0;
    } else if (name == "right") {
        yaw = halfPi;
        pitch = 0;
    } else {
        yaw = halfPi / 2;
        pitch = 0.6;
    }
}

void Camera::setDirection(V3 d) {
    pitch = std::asin(std::clamp(d.y, -1.0, 1.0));
    if (std::abs(pitch) > pitchLimit) pitch = pitch > 0 ? topPitch : -topPitch;
    yaw = std::abs(d.x) + std::abs(d.z) < 1e-6 ? 0 : std::atan2(d.x, d.z);
}

void Camera::look(const SketchPlane& plane) {
    setDirection(plane.n);
    target = target - plane.n * plane.n.dot(target - plane.o);
}

void Camera::fit(const Box3& box) {
    if (!box.isEmpty() && box.radius() >= 1e-6) {
        target = box.center();
        dist = std::max(box.radius() / tanHalfFov * 1.15, 20.0);
    } else {
        target = {};
        dist = 260;
    }
}

double wheelFactor(double verticalDelta) {
    // A purely horizontal wheel tilt carries no zoom direction.
    if (verticalDelta == 0) return 1;
    return verticalDelta > 0 ? Camera::wheelStep : 1 / Camera::wheelStep;
}

double pinchFactor(double magnification) {
    return std::max(1 - magnification, 0.2);
}

}  // namespace ivo
