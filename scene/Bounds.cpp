#include "scene/Bounds.h"

#include <GL/gl.h>

#include <algorithm>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "scene/Matrix.h"
#include "scene/StreamFields.h"

namespace kessa {

namespace {

unsigned long transforms = 0;
constexpr double huge = 1e300;
constexpr int circleSegments = 32;

enum Tag : unsigned { endTag = 0, boxTag = 1, sphereTag = 2 };

}  // namespace

void Bounds::clear() {
    valid_ = hasSphere_ = false;
    radius_ = radiusSquared_ = 1;
}

void Bounds::deriveSphere() {
    centre_ = (min_ + max_) * 0.5;
    radiusSquared_ = (centre_ - min_).lengthSquared();
    radius_ = std::sqrt(radiusSquared_);
    hasSphere_ = false;
}

void Bounds::set(const Vector& min, const Vector& max) {
    min_ = min;
    max_ = max;
    valid_ = true;
    deriveSphere();
}

void Bounds::setSphere(const Vector& centre, double radius) {
    if (!valid_)
        return;
    centre_ = centre;
    radius_ = radius;
    radiusSquared_ = radius * radius;
    hasSphere_ = true;
}

void Bounds::setTransformed(const Bounds& other, const Matrix& m) {
    if (!other.valid_) {
        *this = Bounds();
        return;
    }
    ++transforms;
    Vector lo, hi;
    if (m.kind() == Matrix::Identity) {
        for (int j = 0; j < 3; ++j) {
            lo[j] = std::min(other.min_[j], other.max_[j]);
            hi[j] = std::max(other.min_[j], other.max_[j]);
        }
        set(lo, hi);
        return;
    }
    // Each output coordinate is a sum of one term per input axis, so its
    // smallest value over the eight corners takes the smaller term on every
    // axis. Summed in the same order as a corner's transform, and rounding
    // being monotonic, this gives exactly the extreme corners' values.
    for (int j = 0; j < 3; ++j) {
        double a0 = other.min_.x * m(0, j), b0 = other.max_.x * m(0, j);
        double a1 = other.min_.y * m(1, j), b1 = other.max_.y * m(1, j);
        double a2 = other.min_.z * m(2, j), b2 = other.max_.z * m(2, j);
        lo[j] = std::min(a0, b0) + std::min(a1, b1) + std::min(a2, b2) + m(3, j);
        hi[j] = std::max(a0, b0) + std::max(a1, b1) + std::max(a2, b2) + m(3, j);
    }
    set(lo, hi);
}

void Bounds::extend(const Bounds& other) {
    if (!other.valid_)
        return;
    if (!valid_) {
        *this = other;
        return;
    }
    for (int i = 0; i < 3; ++i) {
        min_[i] = std::min(min_[i], other.min_[i]);
        max_[i] = std::max(max_[i], other.max_[i]);
    }
    Vector between = other.centre_ - centre_;
    double d = between.length();
    if (d == 0) {
        radius_ = std::max(radius_, other.radius_);
    } else if (d + other.radius_ <= radius_) {
        // other's sphere is inside this one.
    } else if (d + radius_ < other.radius_) {
        centre_ = other.centre_;
        radius_ = other.radius_;
    } else {
        Vector u = between * (1.0 / d);
        Vector near = centre_ - u * radius_;
        Vector far = other.centre_ + u * other.radius_;
        centre_ = (near + far) * 0.5;
        radius_ = (centre_ - near).length();
    }
    radiusSquared_ = radius_ * radius_;
    valid_ = hasSphere_ = true;
}

bool Bounds::extendWithMargin(const Bounds& other, double fraction) {
    if (!other.valid_)
        return false;
    if (!valid_) {
        min_ = Vector(huge, huge, huge);
        max_ = Vector(-huge, -huge, -huge);
        valid_ = true;
    }
    bool moved = false;
    for (int i = 0; i < 3; ++i) {
        double margin = fraction * (other.max_[i] - other.min_[i]);
        if (other.min_[i] < min_[i]) {
            min_[i] = other.min_[i] - margin;
            moved = true;
        }
        if (other.max_[i] > max_[i]) {
            max_[i] = other.max_[i] + margin;
            moved = true;
        }
    }
    if (moved)
        deriveSphere();
    return moved;
}

bool Bounds::intersects(const Bounds& other) const {
    if (!valid_ || !other.valid_)
        return false;
    for (int i = 0; i < 3; ++i)
        if (max_[i] < other.min_[i] || min_[i] > other.max_[i])
            return false;
    if (hasSphere_ && other.hasSphere_) {
        double reach = radius_ + other.radius_;
        return (other.centre_ - centre_).lengthSquared() <= reach * reach;
    }
    return true;
}

void Bounds::draw() const {
    if (!valid_)
        return;
    Vector c[8];
    for (int i = 0; i < 8; ++i)
        c[i] = corner(i);
    // The max-z face, the min-z face, then the four edges between them.
    const int loops[2][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}};
    for (const auto& loop : loops) {
        glBegin(GL_LINE_LOOP);
        for (int i : loop)
            glVertex3d(c[i].x, c[i].y, c[i].z);
        glEnd();
    }
    glBegin(GL_LINES);
    for (int i = 0; i < 4; ++i) {
        glVertex3d(c[i].x, c[i].y, c[i].z);
        glVertex3d(c[i + 4].x, c[i + 4].y, c[i + 4].z);
    }
    glEnd();

    static const struct Circle {
        double cosine[circleSegments], sine[circleSegments];
        Circle() {
            for (int i = 0; i < circleSegments; ++i) {
                cosine[i] = std::cos(i * 3.141592653589793 / 16);
                sine[i] = std::sin(i * 3.141592653589793 / 16);
            }
        }
    } circle;
    for (int plane = 0; plane < 3; ++plane) {
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < circleSegments; ++i) {
            double a = radius_ * circle.cosine[i], b = radius_ * circle.sine[i];
            Vector p = plane == 0 ? Vector(a, b, 0) : plane == 1 ? Vector(a, 0, b) : Vector(0, a, b);
            p += centre_;
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
    }
}

void Bounds::write(orvel::DataDest& out) const {
    if (valid_) {
        out.writeCompact(boxTag);
        writePoint(writePoint(out, min_), max_);
        out.writeCompact(sphereTag);
        writePoint(out, centre_) << radius_;
    }
    out.writeCompact(endTag);
}

bool Bounds::read(orvel::DataSource& in) {
    *this = Bounds();
    while (in.good()) {
        unsigned tag = in.readCompact();
        if (in.fail())
            break;
        if (tag == endTag)
            return true;
        if (tag == boxTag) {
            Vector min, max;
            readPoint(readPoint(in, min), max);
            if (!in.fail())
                set(min, max);
        } else if (tag == sphereTag) {
            Vector centre;
            double radius = 0;
            readPoint(in, centre) >> radius;
            if (!in.fail())
                setSphere(centre, radius);
        }
    }
    return false;
}

unsigned long Bounds::transformCount() { return transforms; }

bool Bounds::operator==(const Bounds& o) const {
    if (valid_ != o.valid_)
        return false;
    if (!valid_)
        return true;
    return min_ == o.min_ && max_ == o.max_ && centre_ == o.centre_ && radius_ == o.radius_ &&
           radiusSquared_ == o.radiusSquared_ && hasSphere_ == o.hasSphere_;
}

}  // namespace kessa
