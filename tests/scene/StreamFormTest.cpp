#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "tests/support/LogCapture.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::Vector;

namespace {

using Bytes = std::vector<unsigned char>;

template <class T>
Bytes written(const T& value, bool swap = false) {
    orvel::MemoryDataDest out;
    out.swap = swap;
    value.write(out);
    return Bytes(out.data(), out.data() + out.size());
}

void appendDouble(Bytes& b, double v) {
    unsigned char raw[8];
    std::memcpy(raw, &v, 8);
    b.insert(b.end(), raw, raw + 8);
}

void appendWord(Bytes& b, unsigned v) {
    for (int i = 0; i < 4; ++i)
        b.push_back((v >> (8 * i)) & 0xFF);
}

Bytes matrixBytes(unsigned first, const double values[16]) {
    Bytes b;
    appendWord(b, first);
    for (int i = 0; i < 16; ++i)
        appendDouble(b, values[i]);
    return b;
}

Matrix sample(int kind) {
    Matrix m;
    if (kind >= Matrix::Rotation)
        m.setEuler(10, -20, 130);
    if (kind >= Matrix::RotationTranslation)
        m.translate(Vector(1, 2, 3));
    if (kind >= Matrix::Affine)
        m.scale(Vector(2, 2, 0.5));
    if (kind == Matrix::General) {
        const double values[16] = {1, 0, 0, 0.5, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1};
        m.set(values);
    }
    return m;
}

TEST(MatrixStreamTest, IdentityAndKindBytes) {
    Bytes b = written(Matrix());
    ASSERT_EQ(b.size(), 133u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), Bytes(4, 0xFF));
    const Bytes one = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 12), one);
    EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 20), Bytes(8, 0));
    const int kindBytes[5] = {1, 2, 3, 4, 100};
    for (int kind = 0; kind < 5; ++kind)
        EXPECT_EQ(written(sample(kind)).back(), kindBytes[kind]) << kind;
}

TEST(MatrixStreamTest, RoundTripKeepsValuesAndKind) {
    for (bool swap : {false, true})
        for (int kind = 0; kind < 5; ++kind) {
            Matrix m = sample(kind);
            ASSERT_EQ(m.kind(), kind);
            Bytes b = written(m, swap);
            orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
            in.swap = swap;
            Matrix back = sample((kind + 1) % 5);
            EXPECT_TRUE(back.read(in));
            EXPECT_EQ(back, m) << kind;
            EXPECT_EQ(in.bytesRemaining(), 0u);
        }
    // A kind wider than the values is kept: a uniform scale of 1 is still
    // flagged affine by the operation that made it.
    Matrix m;
    m.scale(Vector(1, 1, 1));
    ASSERT_EQ(m.kind(), Matrix::Affine);
    Bytes b = written(m);
    orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
    Matrix back;
    ASSERT_TRUE(back.read(in));
    EXPECT_EQ(back.kind(), Matrix::Affine);
}

TEST(MatrixStreamTest, UnknownKindByteMeansGeneral) {
    Bytes b = written(sample(Matrix::Rotation));
    b.back() = 7;
    orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
    Matrix back;
    ASSERT_TRUE(back.read(in));
    EXPECT_EQ(back.kind(), Matrix::General);
    EXPECT_TRUE(back != sample(Matrix::Rotation));
}

TEST(MatrixStreamTest, OlderFormIsClassified) {
    Matrix r = sample(Matrix::RotationTranslation);
    Bytes b = matrixBytes(0, r.values());
    ASSERT_EQ(b.size(), 132u);
    b.push_back(0x55);  // the next field of the stream, not a kind byte
    orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
    Matrix back;
    ASSERT_TRUE(back.read(in));
    EXPECT_EQ(back.kind(), Matrix::RotationTranslation);
    EXPECT_EQ(back, r);
    EXPECT_EQ(in.readByte(), 0x55);

    const double scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    Bytes s = matrixBytes(12345, scale);
    orvel::MemoryDataSource in2(s.data(), unsigned(s.size()), false);
    ASSERT_TRUE(back.read(in2));
    EXPECT_EQ(back.kind(), Matrix::Affine);
}

TEST(MatrixStreamTest, AKindNarrowerThanTheValuesIsCorrected) {
    const double scale[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 1, 1, 1};
    Bytes b = matrixBytes(0xFFFFFFFF, scale);
    b.push_back(2);  // claims a rotation
    LogCapture log;
    orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
    Matrix back;
    ASSERT_TRUE(back.read(in));
    EXPECT_EQ(back.kind(), Matrix::Affine);
    EXPECT_EQ(log.text(), "Matrix::read() - kind 1 does not fit the values, taking 3\n");
    // Its inverse is then a true inverse, not a transpose.
    Matrix inverse, product;
    back.invert(inverse);
    product.multiply(back, inverse);
    EXPECT_NEAR(product(0, 0), 1, 1e-15);
    EXPECT_NEAR(product(3, 0), 0, 1e-15);
}

TEST(MatrixStreamTest, TruncatedStreamLeavesTheMatrixAlone) {
    Bytes b = written(sample(Matrix::Affine));
    Matrix before = sample(Matrix::Rotation);
    for (std::size_t n = 0; n < b.size(); ++n) {
        orvel::MemoryDataSource in(b.data(), unsigned(n), false);
        Matrix m = before;
        EXPECT_FALSE(m.read(in)) << n;
        EXPECT_EQ(m, before) << n;
    }
    orvel::MemoryDataSource failed;
    Matrix m = before;
    EXPECT_FALSE(m.read(failed));
    EXPECT_EQ(m, before);
}

TEST(BoundsStreamTest, Bytes) {
    Bounds b;
    b.set(Vector(0, 0, 0), Vector(2, 2, 2));
    Bytes w = written(b);
    ASSERT_EQ(w.size(), 83u);
    EXPECT_EQ(w[0], 1);
    EXPECT_EQ(w[49], 2);
    EXPECT_EQ(w[82], 0);
    double radius;
    std::memcpy(&radius, &w[74], 8);
    EXPECT_EQ(radius, b.radius());
    EXPECT_EQ(written(Bounds()), Bytes{0});
}

TEST(BoundsStreamTest, RoundTrip) {
    Bounds b;
    b.set(Vector(-1, -2, -3), Vector(4, 5, 6));
    for (bool explicitSphere : {false, true}) {
        if (explicitSphere)
            b.setSphere(Vector(1, 1, 1), 3.5);
        Bytes w = written(b);
        orvel::MemoryDataSource in(w.data(), unsigned(w.size()), false);
        Bounds back;
        EXPECT_TRUE(back.read(in));
        EXPECT_EQ(back.min(), b.min());
        EXPECT_EQ(back.max(), b.max());
        EXPECT_EQ(back.centre(), b.centre());
        EXPECT_EQ(back.radius(), b.radius());
        EXPECT_EQ(back.radiusSquared(), b.radius() * b.radius());
        // The sphere is always read back as the record's own.
        EXPECT_TRUE(back.hasSphere());
        // An empty record empties what it is read into.
        Bytes none = written(Bounds());
        orvel::MemoryDataSource empty(none.data(), unsigned(none.size()), false);
        EXPECT_TRUE(back.read(empty));
        EXPECT_FALSE(back.valid());
    }
}

TEST(BoundsStreamTest, UnknownTagsArePassedOverAndSphereNeedsABox) {
    Bytes w = {9, 2};
    for (double v : {5.0, 5.0, 5.0, 1.0})
        appendDouble(w, v);  // a sphere before any box: ignored
    w.push_back(1);
    for (double v : {0.0, 0.0, 0.0, 2.0, 2.0, 2.0})
        appendDouble(w, v);
    w.push_back(0);
    w.push_back(0x77);
    orvel::MemoryDataSource in(w.data(), unsigned(w.size()), false);
    Bounds b;
    EXPECT_TRUE(b.read(in));
    EXPECT_TRUE(b.valid());
    EXPECT_FALSE(b.hasSphere());
    EXPECT_EQ(b.centre(), Vector(1, 1, 1));
    EXPECT_EQ(in.readByte(), 0x77);
}

TEST(BoundsStreamTest, TruncatedBlockKeepsWhatWasWhole) {
    Bounds b;
    b.set(Vector(-1, -1, -1), Vector(1, 1, 1));
    b.setSphere(Vector(0, 0, 0), 1);
    Bytes w = written(b);
    for (std::size_t n = 0; n < w.size(); ++n) {
        orvel::MemoryDataSource in(w.data(), unsigned(n), false);
        Bounds back;
        EXPECT_FALSE(back.read(in)) << n;
        EXPECT_EQ(back.valid(), n >= 49) << n;
        EXPECT_EQ(back.hasSphere(), n >= 82) << n;
    }
}

// Random and mutated bytes: every read ends, and what it gives is consistent.
TEST(StreamFormFuzzTest, RandomAndMutatedInput) {
    std::mt19937 rng(2024);
    Bounds sphere;
    sphere.set(Vector(-1, -2, -3), Vector(3, 2, 1));
    sphere.setSphere(Vector(1, 0, -1), 2);
    Bytes valid = written(sample(Matrix::RotationTranslation));
    Bytes validBounds = written(sphere);
    valid.insert(valid.end(), validBounds.begin(), validBounds.end());
    LogCapture log;
    for (int round = 0; round < 20000; ++round) {
        Bytes b;
        if (round % 2) {
            b = valid;
            int flips = 1 + rng() % 8;
            for (int f = 0; f < flips; ++f)
                b[rng() % b.size()] = static_cast<unsigned char>(rng());
            b.resize(rng() % (b.size() + 1));
        } else {
            b.resize(rng() % 300);
            for (unsigned char& c : b)
                c = static_cast<unsigned char>(rng() % 4 == 0 ? rng() % 3 : rng());
        }
        orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
        Matrix m;
        if (m.read(in)) {
            ASSERT_GE(m.kind(), Matrix::Identity);
            ASSERT_LE(m.kind(), Matrix::General);
            ASSERT_GE(m.kind(), m.classify());
        } else {
            ASSERT_TRUE(m.isIdentity());
        }
        Bounds bounds;
        bounds.read(in);
        ASSERT_TRUE(bounds.valid() || !bounds.hasSphere());
    }
}

}  // namespace
