#include "scene/Spline.h"

#include <algorithm>
#include <cmath>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "scene/SceneStream.h"
#include "scene/StreamFields.h"

namespace kessa {

void Spline::setClosed(bool closed) {
    closed_ = closed;
    stale_ = true;
}

void Spline::addSegment(const Bezier& segment) {
    segments_.push_back(segment);
    stale_ = true;
}

double Spline::length() {
    // A segment edited through segment() is stale while the spline is not.
    bool stale = stale_;
    for (const Bezier& s : segments_)
        stale = stale || s.isStale();
    if (!stale)
        return total_;
    stale_ = false;
    total_ = 0;
    for (Bezier& s : segments_) {
        s.setStartDistance(total_);
        s.update();
        total_ += s.length();
    }
    return total_;
}

bool Spline::locate(double distance, int& segment, double& t) {
    if (segments_.empty())
        return false;
    double total = length();
    double d = distance;
    if (closed_) {
        // A spline of no length has no position to wrap to but its start.
        if (!(total > 0)) {
            segment = 0;
            t = 0;
            return true;
        }
        d = std::fmod(d, total);
        if (d < 0)
            d += total;
    }
    // NaN, or an infinite distance wrapped: no place on the path.
    if (std::isnan(d))
        return false;
    if (d <= 0) {
        segment = 0;
        t = 0;
        return true;
    }
    if (d >= total) {
        segment = int(segments_.size()) - 1;
        t = 1;
        return true;
    }
    // The first segment whose start is not below d; d lies in the one before.
    auto at = std::lower_bound(segments_.begin(), segments_.end(), d,
                               [](const Bezier& s, double v) { return s.startDistance() < v; });
    segment = int(at - segments_.begin()) - 1;
    Bezier& s = segments_[std::size_t(segment)];
    t = s.parameterAt(d - s.startDistance());
    return true;
}

void Spline::write(orvel::DataDest& out) const {
    stream::writeTag(out, 1);
    out << closed_;
    for (const Bezier& s : segments_) {
        stream::writeTag(out, 100);
        for (int i = 0; i < 4; ++i) {
            stream::writeTag(out, unsigned(i + 1));
            writePoint(out, s.controlPoint(i));
        }
        stream::writeTag(out, 0);
    }
    stream::writeTag(out, 0);
}

void Spline::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        if (tag == 1) {
            in >> closed_;
        } else if (tag == 100) {
            Bezier s;
            while (unsigned point = stream::nextTag(in)) {
                if (point > 4)
                    continue;
                Vector p;
                readPoint(in, p);
                s.setControlPoint(int(point - 1), p);
            }
            segments_.push_back(s);
        }
    }
    stale_ = true;
}

}  // namespace kessa
