// A transform told the way a camera is placed: a position, three angles in
// degrees and a scale per axis.
#pragma once

#include "scene/Vector.h"

namespace kessa {

class Matrix;

struct Placement {
    Vector position;
    double pitch = 0, roll = 0, heading = 0;
    Vector scale{1, 1, 1};

    // Takes the matrix apart. Near pitch +-90 the roll is 0 and the heading
    // comes from the first row alone (its sign is lost there).
    void setFromMatrix(const Matrix& m);
    // Unit forward direction for the heading and pitch.
    void direction(Vector& out) const;
};

}  // namespace kessa
