#include "scene/Placement.h"

#include "scene/Matrix.h"

namespace kessa {

namespace {

constexpr double degreesPerRadian = 180.0 / 3.141592653589793;
constexpr double radiansPerDegree = 3.141592653589793 / 180.0;

bool nearOne(double s) { return s > 0.9999999999999 && s < 1.0000000000001; }

// Rounding can push a unit value just past 1, where asin and acos have no answer.
double clampUnit(double v) { return v > 1 ? 1 : v < -1 ? -1 : v; }

}  // namespace

void Placement::setFromMatrix(const Matrix& m) {
    position = m.translation();
    m.getScale(scale);
    double r[3][3];
    bool unscaled = m.kind() != Matrix::RotationTranslation && nearOne(scale.x) && nearOne(scale.y) &&
                    nearOne(scale.z);
    if (unscaled)
        scale = Vector(1, 1, 1);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = unscaled ? m(i, j) : m(i, j) / scale[i];
    pitch = std::asin(clampUnit(r[1][2]));
    if (std::fabs(std::cos(pitch)) < 0.0001) {
        roll = 0;
        heading = std::acos(clampUnit(r[0][0]));
    } else {
        roll = std::atan2(-r[0][2], r[2][2]);
        heading = std::atan2(-r[1][0], r[1][1]);
    }
    pitch *= degreesPerRadian;
    roll *= degreesPerRadian;
    heading *= degreesPerRadian;
}

void Placement::direction(Vector& out) const {
    double h = heading * radiansPerDegree, p = pitch * radiansPerDegree;
    out = Vector(-std::sin(h) * std::cos(p), std::cos(h) * std::cos(p), std::sin(p));
}

}  // namespace kessa
