// The volume seen through a viewport: six planes, the eight corner points
// they are built from and the box around those corners. The viewer builds
// one from its camera; the culling walk carries a copy into each branch's
// local space and tests branch bounds against it.
#pragma once

#include "scene/Vector.h"

namespace kessa {

class Bounds;
class Matrix;
class Viewer;

class ViewFrustum {
public:
    enum Plane { nearPlane, firstColumn, firstRow, farPlane, lastColumn, lastRow };
    static constexpr unsigned allPlanes = 63;

    // A cleared frustum: both masks 0, every plane {0, 0, 0, 1}, corners and box 0.
    ViewFrustum();

    // From the viewer's pick rays through the viewport's corner pixels
    // (x, y) and (x + width - 1, y + height - 1).
    void build(Viewer& viewer, int x, int y, int width, int height);
    // This becomes source moved into another space by m (source may be this).
    // A source without planes is copied as far as its mask.
    void transform(const ViewFrustum& source, const Matrix& m);

    // True when the bounds lie wholly outside (an empty record always does).
    // mask holds one bit per plane to test (1 << Plane); the other planes
    // are taken as passed, since a branch above lies wholly inside them. The
    // active mask becomes mask less the planes the sphere lies wholly inside,
    // which are all the walk needs to test below the branch: 0 when it lies
    // wholly inside every plane tested. A mask of 0 tests nothing.
    bool test(const Bounds& bounds, unsigned mask);

    // Draws the four edges in the current colour, the near rectangle in
    // blue, the far one in yellow and the corners as blue points, for
    // debugging. A cleared frustum draws nothing.
    void drawDebug() const;

    unsigned enabledMask() const { return enabledMask_; }
    unsigned activeMask() const { return activeMask_; }
    // Plane i as {d, nx, ny, nz}: p lies outside when d + n . p > 0.
    const double* plane(int i) const { return planes_[i]; }
    // Near then far point for the viewport corners (x0, y0), (x0, y1),
    // (x1, y0), (x1, y1).
    const Vector& corner(int i) const { return corners_[i]; }
    const Vector& boxMin() const { return boxMin_; }
    const Vector& boxMax() const { return boxMax_; }

    // Tests counted since the last reset (statistics for the culling walk).
    static long testCount();
    static void resetTestCount();

private:
    void buildFromCorners();

    unsigned enabledMask_ = 0;
    double planes_[6][4];
    Vector corners_[8];
    Vector boxMin_, boxMax_;
    unsigned activeMask_ = 0;
};

}  // namespace kessa
