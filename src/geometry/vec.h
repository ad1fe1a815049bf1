// Plane and space vectors, placement frames, boxes and output triangles: the value types
// every geometric routine shares. Loop routines live in loops.h.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace ivo {

struct V2 {
    double x = 0, y = 0;

    friend V2 operator+(V2 a, V2 b) { return {a.x + b.x, a.y + b.y}; }
    friend V2 operator-(V2 a, V2 b) { return {a.x - b.x, a.y - b.y}; }
    friend V2 operator-(V2 a) { return {-a.x, -a.y}; }
    friend V2 operator*(V2 a, double s) { return {a.x * s, a.y * s}; }
    friend V2 operator*(double s, V2 a) { return {a.x * s, a.y * s}; }
    friend V2 operator/(V2 a, double s) { return {a.x / s, a.y / s}; }
    friend bool operator==(V2, V2) = default;  // exact; geometry compares with a tolerance

    double length() const { return std::sqrt(x * x + y * y); }
    // Zero below 1e-12 so that callers never divide by a vanishing length.
    V2 normalized() const {
        const double l = length();
        return l > 1e-12 ? V2{x / l, y / l} : V2{};
    }
    V2 perpLeft() const { return {-y, x}; }
    double dot(V2 o) const { return x * o.x + y * o.y; }
    // Positive when o lies counter-clockwise of this vector.
    double cross(V2 o) const { return x * o.y - y * o.x; }
};

struct V3 {
    double x = 0, y = 0, z = 0;

    friend V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
    friend V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
    friend V3 operator*(double s, V3 a) { return {a.x * s, a.y * s, a.z * s}; }
    friend V3 operator/(V3 a, double s) { return {a.x / s, a.y / s, a.z / s}; }
    friend bool operator==(V3, V3) = default;

    double length() const { return std::sqrt(x * x + y * y + z * z); }
    V3 normalized() const {
        const double l = length();
        return l > 1e-12 ? V3{x / l, y / l, z / l} : V3{};
    }
    double dot(V3 o) const { return x * o.x + y * o.y + z * o.z; }
    V3 cross(V3 o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
};

// A placement: sketch point (u, v) at height w lies at o + u·x + v·y + w·n.
struct Frame {
    V3 o, x{1, 0, 0}, y{0, 1, 0}, n{0, 0, 1};

    V3 p(V2 uv, double w = 0) const { return o + x * uv.x + y * uv.y + n * w; }
    friend bool operator==(const Frame&, const Frame&) = default;
};

struct Box3 {
    static constexpr double inf = std::numeric_limits<double>::infinity();
    V3 lo{inf, inf, inf};
    V3 hi{-inf, -inf, -inf};

    void add(V3 p) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    bool isEmpty() const { return hi.x < lo.x; }
    // Boxes closer than 1e-6 along every axis overlap, so touching solids take the full
    // boolean path instead of being concatenated.
    bool overlaps(const Box3& o) const {
        constexpr double tol = 1e-6;
        if (hi.x < o.lo.x - tol || o.hi.x < lo.x - tol) return false;
        if (hi.y < o.lo.y - tol || o.hi.y < lo.y - tol) return false;
        if (hi.z < o.lo.z - tol || o.hi.z < lo.z - tol) return false;
        return true;
    }
    V3 center() const { return (lo + hi) / 2; }
    double radius() const { return (hi - lo).length() / 2; }
};

// One output triangle, counter-clockwise about n; n comes from the source polygon.
struct Tri {
    V3 a, b, c, n;
    friend bool operator==(const Tri&, const Tri&) = default;
};

}  // namespace ivo
