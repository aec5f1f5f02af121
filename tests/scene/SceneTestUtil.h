// Comparisons shared by the scene tests.
#pragma once

#include <gtest/gtest.h>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/Vector.h"

namespace kessa_test {

inline ::testing::AssertionResult vectorNear(const kessa::Vector& a, const kessa::Vector& b, double tolerance) {
    if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", "
                                         << b.y << ", " << b.z << ")";
}

inline ::testing::AssertionResult valuesNear(const kessa::Matrix& a, const double b[16], double tolerance) {
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(a.values()[i] - b[i]) <= tolerance))
            return ::testing::AssertionFailure()
                   << "value " << i << " (row " << i / 4 << ", col " << i % 4 << "): " << a.values()[i] << " vs "
                   << b[i];
    return ::testing::AssertionSuccess();
}

inline kessa::Bounds box(const kessa::Vector& min, const kessa::Vector& max) {
    kessa::Bounds b;
    b.set(min, max);
    return b;
}

// The box alone: unions carry spheres of their own.
inline ::testing::AssertionResult boxIs(const kessa::Bounds& b, const kessa::Vector& min, const kessa::Vector& max) {
    if (b.valid() && b.min() == min && b.max() == max)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "valid " << b.valid() << " (" << b.min().x << ", " << b.min().y << ", "
                                         << b.min().z << ") - (" << b.max().x << ", " << b.max().y << ", "
                                         << b.max().z << ")";
}

// The full 4 x 4 product, computed plainly.
inline void fullProduct(const kessa::Matrix& a, const kessa::Matrix& b, double out[16]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = a(i, 0) * b(0, j) + a(i, 1) * b(1, j) + a(i, 2) * b(2, j) + a(i, 3) * b(3, j);
}

}  // namespace kessa_test
