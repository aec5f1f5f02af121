#include "scene/Matrix.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/Placement.h"

namespace kessa {

namespace {

// A row counts as unit length within this band of its squared length.
constexpr double unitLow = 0.9999999999999;
constexpr double unitHigh = 1.0000000000001;
// Rows whose dot product is larger than this are not orthogonal.
constexpr double orthogonalLimit = 1e-13;
constexpr double tooShort = 1e-100;
constexpr double radiansPerDegree = 3.141592653589793 * 0.005555555555555556;

constexpr unsigned streamMarker = 0xFFFFFFFF;
constexpr int generalKindByte = 100;

const double identityValues[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

bool isUnit(double s) { return s >= unitLow && s <= unitHigh; }

double dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Gauss-Jordan elimination with partial pivoting on the first n rows and
// columns of [a | inv]; inv starts as the identity and ends as the inverse.
// False when a pivot is exactly 0.
bool eliminate(double a[4][4], double inv[4][4], int n) {
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (a[pivot][col] == 0)
            return false;
        if (pivot != col)
            for (int j = 0; j < n; ++j) {
                std::swap(a[pivot][j], a[col][j]);
                std::swap(inv[pivot][j], inv[col][j]);
            }
        double k = 1.0 / a[col][col];
        for (int j = 0; j < n; ++j) {
            a[col][j] *= k;
            inv[col][j] *= k;
        }
        for (int r = 0; r < n; ++r) {
            double f = a[r][col];
            if (r == col || f == 0)
                continue;
            for (int j = 0; j < n; ++j) {
                a[r][j] -= f * a[col][j];
                inv[r][j] -= f * inv[col][j];
            }
        }
    }
    return true;
}

}  // namespace

void Matrix::setIdentity() {
    std::memcpy(m_, identityValues, sizeof m_);
    kind_ = Identity;
}

void Matrix::set(const double values[16]) {
    std::memcpy(m_, values, sizeof m_);
    kind_ = classify();
}

int Matrix::classify() const {
    if (m_[0][3] != 0 || m_[1][3] != 0 || m_[2][3] != 0 || m_[3][3] != 1)
        return General;
    if (std::memcmp(m_, identityValues, sizeof m_) == 0)
        return Identity;
    for (int r = 0; r < 3; ++r)
        if (!isUnit(dot3(m_[r], m_[r])))
            return Affine;
    // Unit rows that are not orthogonal shear: the transpose is not their
    // inverse, so such a matrix must not pass for a rotation.
    if (std::fabs(dot3(m_[0], m_[1])) > orthogonalLimit || std::fabs(dot3(m_[0], m_[2])) > orthogonalLimit ||
        std::fabs(dot3(m_[1], m_[2])) > orthogonalLimit)
        return Affine;
    if (m_[3][0] != 0 || m_[3][1] != 0 || m_[3][2] != 0)
        return RotationTranslation;
    return Rotation;
}

bool Matrix::isIdentity() const {
    // memcmp would tell -0.0 from 0.0; the values compare as numbers here.
    if (kind_ != Identity)
        return false;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m_[r][c] != identityValues[r][c])
                return false;
    return true;
}

void Matrix::setRows3(const double r[3][3], const Vector& t, int kind) {
    for (int i = 0; i < 3; ++i) {
        m_[i][0] = r[i][0];
        m_[i][1] = r[i][1];
        m_[i][2] = r[i][2];
        m_[i][3] = 0;
    }
    m_[3][0] = t.x;
    m_[3][1] = t.y;
    m_[3][2] = t.z;
    m_[3][3] = 1;
    kind_ = kind;
}

void Matrix::multiply(const Matrix& a, const Matrix& b) {
    int ka = a.kind_, kb = b.kind_;
    bool known = ka >= Identity && ka <= Affine && kb >= Identity && kb <= Affine;
    if (!known) {
        double r[4][4];
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                r[i][j] = a.m_[i][0] * b.m_[0][j] + a.m_[i][1] * b.m_[1][j] + a.m_[i][2] * b.m_[2][j] +
                          a.m_[i][3] * b.m_[3][j];
        std::memcpy(m_, r, sizeof m_);
        kind_ = General;
        return;
    }
    if (ka == Identity) {
        if (this != &b)
            *this = b;
        return;
    }
    if (kb == Identity) {
        if (this != &a)
            *this = a;
        return;
    }
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = a.m_[i][0] * b.m_[0][j] + a.m_[i][1] * b.m_[1][j] + a.m_[i][2] * b.m_[2][j];
    Vector t;
    int kind;
    if (ka == Rotation) {
        // a has no translation: the product keeps b's.
        t = b.translation();
        kind = kb;
    } else {
        const double* at = a.m_[3];
        t = Vector(at[0] * b.m_[0][0] + at[1] * b.m_[1][0] + at[2] * b.m_[2][0],
                   at[0] * b.m_[0][1] + at[1] * b.m_[1][1] + at[2] * b.m_[2][1],
                   at[0] * b.m_[0][2] + at[1] * b.m_[1][2] + at[2] * b.m_[2][2]);
        if (kb == Rotation) {
            kind = ka;
        } else {
            t += b.translation();
            kind = ka == RotationTranslation && kb == RotationTranslation ? RotationTranslation : Affine;
        }
    }
    setRows3(r, t, kind);
}

void Matrix::setTranslation(const Vector& v) {
    setIdentity();
    m_[3][0] = v.x;
    m_[3][1] = v.y;
    m_[3][2] = v.z;
    kind_ = RotationTranslation;
}

void Matrix::translate(const Vector& v) {
    if (kind_ == General) {
        // Each row moves by its own fourth-column value times v.
        for (int i = 0; i < 4; ++i) {
            m_[i][0] += m_[i][3] * v.x;
            m_[i][1] += m_[i][3] * v.y;
            m_[i][2] += m_[i][3] * v.z;
        }
        return;
    }
    m_[3][0] += v.x;
    m_[3][1] += v.y;
    m_[3][2] += v.z;
    if (kind_ == Identity || kind_ == Rotation)
        kind_ = RotationTranslation;
}

void Matrix::preTranslate(const Vector& v) {
    int columns = kind_ == General ? 4 : 3;
    for (int j = 0; j < columns; ++j)
        m_[3][j] += v.x * m_[0][j] + v.y * m_[1][j] + v.z * m_[2][j];
    if (kind_ == Identity || kind_ == Rotation)
        kind_ = RotationTranslation;
}

void Matrix::setRotation(double angle, const Vector& axis) {
    Vector a = axis;
    double s = a.lengthSquared();
    if (!isUnit(s)) {
        if (s < tooShort) {
            setIdentity();
            return;
        }
        a *= 1.0 / std::sqrt(s);
    }
    double theta = angle * radiansPerDegree;
    double c = std::cos(theta), n = std::sin(theta), t = 1 - c;
    double x = a.x, y = a.y, z = a.z;
    double r[3][3] = {
        {t * x * x + c, t * x * y + z * n, t * x * z - y * n},
        {t * x * y - z * n, t * y * y + c, t * y * z + x * n},
        {t * x * z + y * n, t * y * z - x * n, t * z * z + c},
    };
    setRows3(r, Vector(), Rotation);
}

void Matrix::rotate(double angle, const Vector& axis) {
    Matrix r;
    r.setRotation(angle, axis);
    multiply(*this, r);
}

void Matrix::preRotate(double angle, const Vector& axis) {
    Matrix r;
    r.setRotation(angle, axis);
    multiply(r, *this);
}

void Matrix::scale(const Vector& v) {
    for (int i = 0; i < 4; ++i) {
        m_[i][0] *= v.x;
        m_[i][1] *= v.y;
        m_[i][2] *= v.z;
    }
    if (kind_ != General)
        kind_ = Affine;
}

void Matrix::preScale(const Vector& v) {
    for (int j = 0; j < 4; ++j) {
        m_[0][j] *= v.x;
        m_[1][j] *= v.y;
        m_[2][j] *= v.z;
    }
    if (kind_ != General)
        kind_ = Affine;
}

Matrix& Matrix::invert(Matrix& out) const {
    switch (kind_) {
    case Identity:
        out.setIdentity();
        return out;
    case Rotation:
    case RotationTranslation: {
        // Orthonormal rows: the inverse rotation is the transpose, and the
        // translation is undone in the rotated frame.
        double r[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r[i][j] = m_[j][i];
        Vector t;
        if (kind_ == RotationTranslation) {
            const double* tr = m_[3];
            t = Vector(-dot3(tr, m_[0]), -dot3(tr, m_[1]), -dot3(tr, m_[2]));
        }
        out.setRows3(r, t, kind_);
        return out;
    }
    default:
        break;
    }
    double a[4][4], inv[4][4];
    std::memcpy(a, m_, sizeof a);
    std::memcpy(inv, identityValues, sizeof inv);
    if (kind_ == Affine) {
        // Only the 3 x 3 part needs elimination: the fourth column stays
        // exactly (0, 0, 0, 1), and the translation is undone through the
        // inverted part. Eliminating all four rows would let the translation
        // row serve as a pivot and leave rounding in the fourth column.
        if (!eliminate(a, inv, 3)) {
            out.setIdentity();
            return out;
        }
        const double* t = m_[3];
        double r[3][3];
        Vector back;
        for (int j = 0; j < 3; ++j) {
            for (int i = 0; i < 3; ++i)
                r[i][j] = inv[i][j];
            back[j] = -(t[0] * inv[0][j] + t[1] * inv[1][j] + t[2] * inv[2][j]);
        }
        out.setRows3(r, back, Affine);
        return out;
    }
    if (!eliminate(a, inv, 4)) {
        out.setIdentity();
        return out;
    }
    std::memcpy(out.m_, inv, sizeof inv);
    out.kind_ = kind_;
    return out;
}

void Matrix::setEuler(double roll, double pitch, double heading) {
    double a = roll * radiansPerDegree, b = pitch * radiansPerDegree, c = heading * radiansPerDegree;
    double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    double cc = std::cos(c), sc = std::sin(c);
    double r[3][3] = {
        {cc * ca - sc * sb * sa, cc * sb * sa + sc * ca, -cb * sa},
        {-sc * cb, cc * cb, sb},
        {sc * sb * ca + cc * sa, sc * sa - cc * sb * ca, cb * ca},
    };
    setRows3(r, Vector(), Rotation);
}

void Matrix::setEulerFloat(double roll, double pitch, double heading) {
    double a = roll * radiansPerDegree, b = pitch * radiansPerDegree, c = heading * radiansPerDegree;
    double ca = float(std::cos(a)), sa = float(std::sin(a)), cb = float(std::cos(b)), sb = float(std::sin(b));
    double cc = float(std::cos(c)), sc = float(std::sin(c));
    double r[3][3] = {
        {cc * ca - sc * sb * sa, cc * sb * sa + sc * ca, -cb * sa},
        {-sc * cb, cc * cb, sb},
        {sc * sb * ca + cc * sa, sc * sa - cc * sb * ca, cb * ca},
    };
    setRows3(r, Vector(), Rotation);
}

void Matrix::setPlacement(const Placement& p) {
    setEuler(p.roll, p.pitch, p.heading);
    if (p.scale != Vector(1, 1, 1))
        preScale(p.scale);
    translate(p.position);
}

void Matrix::getScale(Vector& out) const {
    if (kind_ == RotationTranslation) {
        out = Vector(1, 1, 1);
        return;
    }
    for (int r = 0; r < 3; ++r) {
        double length = std::sqrt(dot3(m_[r], m_[r]));
        out[r] = length < tooShort ? 1.0 : length;
    }
}

void Matrix::transformPoint4(double out[4], const double in[4], const Matrix& m) {
    double r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = in[0] * m.m_[0][j] + in[1] * m.m_[1][j] + in[2] * m.m_[2][j] + in[3] * m.m_[3][j];
    std::memcpy(out, r, sizeof r);
}

void Matrix::transformPoints(const Vector* in, Vector* out, std::size_t count) const {
    // The values are copied to locals: stores through out could alias the
    // matrix as far as the compiler knows, which would reload it per point.
    const double m00 = m_[0][0], m01 = m_[0][1], m02 = m_[0][2], m03 = m_[0][3];
    const double m10 = m_[1][0], m11 = m_[1][1], m12 = m_[1][2], m13 = m_[1][3];
    const double m20 = m_[2][0], m21 = m_[2][1], m22 = m_[2][2], m23 = m_[2][3];
    const double m30 = m_[3][0], m31 = m_[3][1], m32 = m_[3][2], m33 = m_[3][3];
    switch (kind_) {
    case Identity:
        if (in != out)
            std::memmove(static_cast<void*>(out), in, count * sizeof(Vector));
        return;
    case Rotation:
        for (std::size_t i = 0; i < count; ++i) {
            double x = in[i].x, y = in[i].y, z = in[i].z;
            out[i].x = x * m00 + y * m10 + z * m20;
            out[i].y = x * m01 + y * m11 + z * m21;
            out[i].z = x * m02 + y * m12 + z * m22;
        }
        return;
    case RotationTranslation:
    case Affine:
        for (std::size_t i = 0; i < count; ++i) {
            double x = in[i].x, y = in[i].y, z = in[i].z;
            out[i].x = x * m00 + y * m10 + z * m20 + m30;
            out[i].y = x * m01 + y * m11 + z * m21 + m31;
            out[i].z = x * m02 + y * m12 + z * m22 + m32;
        }
        return;
    default:
        for (std::size_t i = 0; i < count; ++i) {
            double x = in[i].x, y = in[i].y, z = in[i].z;
            double k = 1.0 / (x * m03 + y * m13 + z * m23 + m33);
            out[i].x = (x * m00 + y * m10 + z * m20 + m30) * k;
            out[i].y = (x * m01 + y * m11 + z * m21 + m31) * k;
            out[i].z = (x * m02 + y * m12 + z * m22 + m32) * k;
        }
        return;
    }
}

void Matrix::multGL() const {
    float f[16];
    for (int i = 0; i < 16; ++i)
        f[i] = float(values()[i]);
    glMultMatrixf(f);
}

void Matrix::write(orvel::DataDest& out) const {
    out.writeUInt32(streamMarker);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out << m_[r][c];
    out.writeByte(char(kind_ >= Identity && kind_ <= Affine ? kind_ + 1 : generalKindByte));
}

bool Matrix::read(orvel::DataSource& in) {
    unsigned first = in.readUInt32();
    Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            in >> m.m_[r][c];
    int actual = m.classify();
    int kind = actual;
    if (first == streamMarker) {
        int b = in.readByte();
        if (b < 0)
            return false;
        kind = b >= 1 && b <= 4 ? b - 1 : General;
    }
    if (!in.good())
        return false;
    // The kinds nest (each holds every narrower one), so a stored kind is
    // sound when it is at least what the values are.
    if (kind < actual) {
        orvel::debug("Matrix::read() - kind %d does not fit the values, taking %d\n", kind, actual);
        kind = actual;
    }
    m.kind_ = kind;
    *this = m;
    return true;
}

bool Matrix::operator==(const Matrix& o) const {
    if (kind_ != o.kind_)
        return false;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m_[r][c] != o.m_[r][c])
                return false;
    return true;
}

void transformTriangles(const float* begin, const float* end, float* out, const Matrix& m) {
    for (const float* p = begin; p + 9 <= end; p += 9)
        for (int k = 0; k < 3; ++k) {
            Vector v;
            Matrix::transformPoint(v, Vector(p[3 * k], p[3 * k + 1], p[3 * k + 2]), m);
            *out++ = float(v.x);
            *out++ = float(v.y);
            *out++ = float(v.z);
        }
}

}  // namespace kessa
