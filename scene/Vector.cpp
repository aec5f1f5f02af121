#include "scene/Vector.h"

namespace kessa {

namespace {

constexpr double tooShort = 1e-100;
constexpr double degreesPerRadian = 180.0 / 3.141592653589793;

}  // namespace

double Vector::normalize(Vector& v) {
    double s = v.lengthSquared();
    if (s <= tooShort)
        return s;
    double length = std::sqrt(s);
    v = Vector(v.x / length, v.y / length, v.z / length);
    return length;
}

double Vector::normalizeOrZero(Vector& v) {
    double s = v.lengthSquared();
    if (s <= tooShort) {
        v = Vector();
        return 0;
    }
    double length = std::sqrt(s);
    v = Vector(v.x / length, v.y / length, v.z / length);
    return length;
}

void Vector::toAngles(const Vector& dir, double* heading, double* pitch) {
    *heading = std::atan2(-dir.x, dir.y) * degreesPerRadian;
    *pitch = std::atan2(dir.z, std::sqrt(dir.x * dir.x + dir.y * dir.y)) * degreesPerRadian;
}

void Vector::toAnglesFloat(const Vector& dir, float* heading, float* pitch) {
    double h, p;
    toAngles(dir, &h, &p);
    *heading = float(h);
    *pitch = float(p);
}

bool normalizeFloat3(float v[3]) {
    float s = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (s > 0.999999 && s < 1.000001)
        return true;
    if (s <= 1e-18)
        return false;
    float k = 1.0f / std::sqrt(s);
    v[0] *= k;
    v[1] *= k;
    v[2] *= k;
    return true;
}

void normalizePlane(double p[4]) {
    double s = p[1] * p[1] + p[2] * p[2] + p[3] * p[3];
    double rounded = float(s);
    if (s == 0 || (rounded >= 0.9999990000000025 && rounded <= 1.0000009999999975))
        return;
    double k = 1.0 / std::sqrt(s);
    for (int i = 0; i < 4; ++i)
        p[i] *= k;
}

}  // namespace kessa
