// The bounding record every branch, object, batch and collision volume
// carries: an axis-aligned box and a bounding sphere. The sphere is either
// derived from the box or, after setSphere or a union, kept on its own
// (hasSphere), which makes it a tighter fit than the box's.
#pragma once

#include "scene/Vector.h"

namespace orvel {
class DataSource;
class DataDest;
}  // namespace orvel

namespace kessa {

class Matrix;

class Bounds {
public:
    // An empty record.
    Bounds() = default;

    // Empties the record; the box and centre keep their old values.
    void clear();
    // The box from min to max, with the sphere around it.
    void set(const Vector& min, const Vector& max);
    // An explicit sphere; ignored while the record is empty.
    void setSphere(const Vector& centre, double radius);
    // The box around other's box moved by m (affine part), with the sphere
    // around that box. other may be this record.
    void setTransformed(const Bounds& other, const Matrix& m);
    // Grows this record to hold other: the union of the boxes and the
    // smallest sphere around both spheres.
    void extend(const Bounds& other);
    // Grows the box to hold other's box with some room to spare: a side that
    // has to move goes past other's side by fraction times other's size along
    // that axis. Returns whether the box moved.
    bool extendWithMargin(const Bounds& other, double fraction);
    // Whether the boxes overlap and, when both records carry their own
    // spheres, the spheres too.
    bool intersects(const Bounds& other) const;

    bool valid() const { return valid_; }
    bool hasSphere() const { return hasSphere_; }
    const Vector& min() const { return min_; }
    const Vector& max() const { return max_; }
    const Vector& centre() const { return centre_; }
    double radius() const { return radius_; }
    double radiusSquared() const { return radiusSquared_; }
    // Box corner i (0..7): x from min when bit 0 of i is set (else from
    // max), y from min when bit 1 is set, z from min when i is 4 or more.
    // Computed when asked: a cache of all eight would make the record three
    // times larger, and culling walks these records by the hundred thousand.
    Vector corner(int i) const {
        return Vector(i & 1 ? min_.x : max_.x, i & 2 ? min_.y : max_.y, i & 4 ? min_.z : max_.z);
    }

    // Draws a non-empty record with GL lines: the box's twelve edges, and the
    // sphere as three circles through its centre parallel to the XY, XZ and
    // YZ planes.
    void draw() const;

    // Stream form, a tagged block: for a non-empty record tag 1 with the box
    // and tag 2 with the centre and radius, then tag 0.
    void write(orvel::DataDest& out) const;
    // Reads a block into an emptied record; unknown tags are passed over.
    // Returns false when the source ended or failed before tag 0 (what was
    // read whole until then is kept).
    bool read(orvel::DataSource& in);

    // Number of setTransformed calls on non-empty records in this process.
    static unsigned long transformCount();

    // Same emptiness, box, sphere and sphere flag.
    bool operator==(const Bounds& o) const;
    bool operator!=(const Bounds& o) const { return !(*this == o); }

private:
    void deriveSphere();

    // The sphere and the flags first: the culling walk reads them for every
    // branch, the box only for the few whose sphere crosses a plane.
    Vector centre_;
    double radius_ = 1, radiusSquared_ = 1;
    bool valid_ = false;
    bool hasSphere_ = false;
    Vector min_, max_;
};

}  // namespace kessa
