// Three doubles: a point or a direction in the scene. The world's forward axis
// is +y and its up axis is +z.
#pragma once

#include <cmath>

namespace kessa {

struct Vector {
    double x = 0, y = 0, z = 0;

    Vector() = default;
    constexpr Vector(double xv, double yv, double zv) : x(xv), y(yv), z(zv) {}

    double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }

    Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector operator-() const { return {-x, -y, -z}; }
    Vector operator*(double s) const { return {x * s, y * s, z * s}; }
    Vector& operator+=(const Vector& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector& operator-=(const Vector& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
    bool operator==(const Vector& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Vector& o) const { return !(*this == o); }

    double dot(const Vector& o) const { return x * o.x + y * o.y + z * o.z; }
    Vector cross(const Vector& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double lengthSquared() const { return x * x + y * y + z * z; }
    double length() const { return std::sqrt(lengthSquared()); }

    // Makes v unit length and returns its old length. A vector too short to
    // have a direction (squared length at or below 1e-100) is left as it is,
    // and its squared length is returned.
    static double normalize(Vector& v);
    // As normalize, but a vector too short to have a direction becomes zero
    // and 0 is returned.
    static double normalizeOrZero(Vector& v);
    // Heading (about +z, 0 along +y, positive towards -x) and pitch (up from
    // the xy plane) of a direction, in degrees.
    static void toAngles(const Vector& dir, double* heading, double* pitch);
    static void toAnglesFloat(const Vector& dir, float* heading, float* pitch);
};

// Normalises three floats in single precision. Returns false, leaving v alone,
// when v is too short to have a direction; a vector already within 1e-6 of unit
// squared length is left alone too.
bool normalizeFloat3(float v[3]);

// A plane as four doubles: distance, then normal x, y, z. Scales all four so
// that the normal has unit length; a zero normal, or one already unit length
// in single precision, is left alone.
void normalizePlane(double p[4]);

}  // namespace kessa
