// A path of cubic Bezier segments evaluated by arc length, so that an
// animation can move an object along it at a steady speed. A closed spline
// wraps distances around its total length. Splines are stored with the
// animation engines that own them.
#pragma once

#include <vector>

#include "scene/Bezier.h"

namespace orvel {
class DataSource;
class DataDest;
}  // namespace orvel

namespace kessa {

class Spline {
public:
    Spline() = default;

    void setClosed(bool closed);
    bool closed() const { return closed_; }
    // Appends a copy of the segment.
    void addSegment(const Bezier& segment);
    int segmentCount() const { return int(segments_.size()); }
    Bezier& segment(int i) { return segments_[std::size_t(i)]; }

    // The total arc length, with every stale table rebuilt first; 0 without
    // segments.
    double length();
    // The segment and parameter at an arc-length distance: before the start
    // the first segment at 0, past the end the last at 1; a closed spline
    // takes the distance modulo its length, and one of no length gives the
    // first segment at 0. False, with nothing set, for a spline without
    // segments and for a distance that names no place: NaN, or infinite on
    // a closed spline.
    bool locate(double distance, int& segment, double& t);

    // A tagged block: 1 the closed byte, 100 per segment a block of its
    // control points under 1 to 4 (three doubles each), 0.
    void write(orvel::DataDest& out) const;
    // Appends the segments read; the spline is stale once the block ends.
    void read(orvel::DataSource& in);

private:
    bool closed_ = false;
    std::vector<Bezier> segments_;
    bool stale_ = true;
    double total_ = 0;
};

}  // namespace kessa
