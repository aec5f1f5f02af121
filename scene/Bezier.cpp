#include "scene/Bezier.h"

#include <algorithm>

namespace kessa {

Bezier::Bezier() : table_(std::make_unique<LengthTable>()) {}

Bezier::Bezier(const Bezier& other) : table_(std::make_unique<LengthTable>()) { copyFrom(other); }

Bezier& Bezier::operator=(const Bezier& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

Bezier::~Bezier() = default;

void Bezier::copyFrom(const Bezier& other) {
    for (int i = 0; i < 4; ++i)
        points_[i] = other.points_[i];
    table_->stale = other.table_->stale;
    table_->start = other.table_->start;
    if (!other.table_->stale) {
        table_->length = other.table_->length;
        std::copy(other.table_->entries, other.table_->entries + 64, table_->entries);
    }
}

void Bezier::setControlPoint(int i, const Vector& point) {
    if (i < 0 || i > 3)
        return;
    points_[i] = point;
    table_->stale = true;
}

void Bezier::evaluate(double t, Vector& position, Vector* tangent) const {
    const Vector &p0 = points_[0], &p1 = points_[1], &p2 = points_[2], &p3 = points_[3];
    double s = 1 - t;
    position = p0 * (s * s * s) + p1 * (3 * s * s * t) + p2 * (3 * s * t * t) + p3 * (t * t * t);
    if (tangent)
        *tangent = (p1 - p0) * (3 * s * s) + (p2 - p1) * (6 * s * t) + (p3 - p2) * (3 * t * t);
}

void Bezier::update() {
    LengthTable& table = *table_;
    if (!table.stale)
        return;
    table.stale = false;
    table.length = 0;
    // Forward differencing with h = 1/64 steps the cubic exactly with three
    // additions per step.
    const double h = 0.015625, h2 = 0.000244140625, h3 = 3.814697265625e-6;
    const Vector &p0 = points_[0], &p1 = points_[1], &p2 = points_[2], &p3 = points_[3];
    Vector a2 = p0 * 3 - p1 * 6 + p2 * 3;
    Vector a3 = p3 - p0 + (p1 - p2) * 3;
    Vector d1 = (p1 - p0) * (3 * h) + a2 * h2 + a3 * h3;
    Vector d2 = a2 * (2 * h2) + a3 * (6 * h3);
    Vector d3 = a3 * (6 * h3);
    for (int i = 0; i < 64; ++i) {
        table.entries[i] = float(table.length);
        table.length += d1.length();
        d1 += d2;
        d2 += d3;
    }
}

double Bezier::parameterAt(double l) {
    update();
    const LengthTable& table = *table_;
    // NaN too: the search below needs an entry under l.
    if (!(l > 0))
        return 0;
    if (l >= table.length)
        return 1;
    // Entry 0 is 0 and below l, so k is at least 1.
    int k = int(std::lower_bound(table.entries, table.entries + 64, l) - table.entries);
    double lo = table.entries[k - 1];
    double hi = k == 64 ? table.length : table.entries[k];
    return ((k - 1) + (l - lo) / (hi - lo)) / 64;
}

}  // namespace kessa
