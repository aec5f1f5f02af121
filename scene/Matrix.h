// The scene's 4 x 4 transform of doubles. Points are row vectors multiplied on
// the left (p' = p x M), so the translation is the fourth row and A x B applies
// A first, then B.
//
// The kind word records what the matrix is known to be, so that products,
// inverses and point transforms of the common kinds (identity, rotation,
// rotation and translation) take short paths. Every operation sets the kind of
// its result directly; only set() and the older stream form classify values.
#pragma once

#include <cstddef>

#include "scene/Vector.h"

namespace orvel {
class DataSource;
class DataDest;
}  // namespace orvel

namespace kessa {

struct Placement;

class Matrix {
public:
    enum Kind : int {
        Identity = 0,
        Rotation = 1,             // unit, mutually orthogonal rows; no translation
        RotationTranslation = 2,  // a rotation followed by a translation
        Affine = 3,               // any 3 x 3 part, fourth column (0, 0, 0, 1)
        General = 4,              // fourth column not (0, 0, 0, 1)
    };

    Matrix() { setIdentity(); }

    void setIdentity();
    // Copies 16 values given row by row and classifies them.
    void set(const double values[16]);
    // The kind the current values have, whatever the kind word says.
    int classify() const;

    int kind() const { return kind_; }
    bool isIdentity() const;
    double operator()(int row, int col) const { return m_[row][col]; }
    const double* values() const { return &m_[0][0]; }
    Vector row(int r) const { return {m_[r][0], m_[r][1], m_[r][2]}; }
    Vector translation() const { return row(3); }

    // this = a x b; this may be either operand.
    void multiply(const Matrix& a, const Matrix& b);

    // Identity with translation v.
    void setTranslation(const Vector& v);
    // this = this x T(v).
    void translate(const Vector& v);
    // this = T(v) x this.
    void preTranslate(const Vector& v);

    // Rotation by angle degrees about axis, counter-clockwise seen from the
    // axis's tip. A non-unit axis is normalised; a zero axis gives the identity.
    void setRotation(double angle, const Vector& axis);
    // this = this x R(angle, axis).
    void rotate(double angle, const Vector& axis);
    // this = R(angle, axis) x this.
    void preRotate(double angle, const Vector& axis);

    // this = this x S(v), S being the diagonal (vx, vy, vz, 1).
    void scale(const Vector& v);
    // this = S(v) x this.
    void preScale(const Vector& v);

    // Writes the inverse into out (which may be this) and returns out. A
    // singular matrix gives the identity.
    Matrix& invert(Matrix& out) const;

    // Rotation from roll, pitch and heading in degrees; row 1 is the forward
    // direction of a camera with that pitch and heading.
    void setEuler(double roll, double pitch, double heading);
    // The same with every sine and cosine rounded to single precision, which
    // the sky and sphere drawing were built against.
    void setEulerFloat(double roll, double pitch, double heading);
    void setPlacement(const Placement& p);
    // Lengths of the three rows of the 3 x 3 part.
    void getScale(Vector& out) const;

    // out = p x M with the affine part only (the fourth column is ignored).
    static void transformPoint(Vector& out, const Vector& p, const Matrix& m) {
        const double(&a)[4][4] = m.m_;
        double x = p.x, y = p.y, z = p.z;
        out.x = x * a[0][0] + y * a[1][0] + z * a[2][0] + a[3][0];
        out.y = x * a[0][1] + y * a[1][1] + z * a[2][1] + a[3][1];
        out.z = x * a[0][2] + y * a[1][2] + z * a[2][2] + a[3][2];
    }
    // out = in x M for a homogeneous point of four values.
    static void transformPoint4(double out[4], const double in[4], const Matrix& m);

    // Transforms count points as homogeneous points (w = 1). For a general
    // matrix every result is divided by its w; for the other kinds w stays 1
    // and the work done is only what the kind needs. in and out may be the same.
    void transformPoints(const Vector* in, Vector* out, std::size_t count) const;

    // Multiplies the current GL matrix by this one (as floats). GL's column
    // layout read row by row is this row-vector layout, so no transpose.
    void multGL() const;

    // Stream form: the word 0xFFFFFFFF, the 16 values row by row, then the
    // kind as one byte (kind + 1, and 100 for a general matrix).
    void write(orvel::DataDest& out) const;
    // Reads the stream form, or the older one without the marker word and kind
    // byte (its kind is recomputed). A kind byte that claims less than the
    // values are is not trusted. Returns false, leaving the matrix as it was,
    // when the source ends or fails first.
    bool read(orvel::DataSource& in);

    // Same kind and the same 16 values.
    bool operator==(const Matrix& o) const;
    bool operator!=(const Matrix& o) const { return !(*this == o); }

private:
    void setRows3(const double r[3][3], const Vector& t, int kind);

    int kind_;
    double m_[4][4];
};

// Transforms triangles of 9 floats (three points) from begin to end by the
// affine part of m and writes the points as floats to out.
void transformTriangles(const float* begin, const float* end, float* out, const Matrix& m);

}  // namespace kessa
