// One cubic Bezier segment in 3D, with the table of arc lengths that lets a
// spline move along it at a steady speed. The table holds the length summed
// over 64 chords up to t = 0, 1/64, ... 63/64; it is rebuilt when asked for
// after a control point changed.
#pragma once

#include <memory>

#include "scene/Vector.h"

namespace kessa {

class Bezier {
public:
    // Four control points at the origin; the table is stale.
    Bezier();
    // The control points, staleness and start distance, and, when the
    // source's table is up to date, its length and table.
    Bezier(const Bezier& other);
    Bezier& operator=(const Bezier& other);
    ~Bezier();

    // i 0 to 3; another i is ignored.
    void setControlPoint(int i, const Vector& point);
    const Vector& controlPoint(int i) const { return points_[i & 3]; }

    // The point at parameter t and, when tangent is given, the derivative
    // with respect to t.
    void evaluate(double t, Vector& position, Vector* tangent = nullptr) const;

    // Rebuilds the table when stale.
    void update();
    bool isStale() const { return table_->stale; }
    // As of the last update.
    double length() const { return table_->length; }
    // Entry i (0 to 63): the arc length from the start to t = i / 64.
    float tableEntry(int i) const { return table_->entries[i]; }
    // The arc length of the spline before this segment, set by the spline.
    double startDistance() const { return table_->start; }
    void setStartDistance(double d) { table_->start = d; }

    // The parameter at arc length l from the segment's start, by the table
    // (brought up to date first); 0 for a NaN length.
    double parameterAt(double l);

private:
    struct LengthTable {
        bool stale = true;
        double start = 0;
        double length = 0;
        float entries[64] = {};
    };

    void copyFrom(const Bezier& other);

    std::unique_ptr<LengthTable> table_;
    Vector points_[4];
};

}  // namespace kessa
