#include "scene/render/ViewFrustum.h"

#include <cstdint>

#include "gui/gl/GLdraw.h"
#include "gui/gl/GLstate.h"
#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

long tests = 0;
constexpr double huge = 1e300;

void setPlane(double p[4], const Vector& normal, const Vector& point) {
    p[0] = -normal.dot(point);
    p[1] = normal.x;
    p[2] = normal.y;
    p[3] = normal.z;
    normalizePlane(p);
}

double side(const double p[4], const Vector& v) { return p[0] + p[1] * v.x + p[2] * v.y + p[3] * v.z; }

// Whether f holds for a plane of mask, trying them in order. A full mask
// (the frame's first tests) takes the six planes in a row; below a branch
// that straddles a plane or two, only their bits are visited.
template <class F>
bool anyPlane(unsigned mask, F&& f) {
    if (mask == ViewFrustum::allPlanes) {
        for (int i = 0; i < 6; ++i)
            if (f(i))
                return true;
        return false;
    }
    for (unsigned bits = mask; bits; bits &= bits - 1)
        if (f(__builtin_ctz(bits)))
            return true;
    return false;
}

}  // namespace

ViewFrustum::ViewFrustum() {
    for (double* p : planes_) {
        p[0] = p[1] = p[2] = 0;
        p[3] = 1;
    }
}

long ViewFrustum::testCount() { return tests; }

void ViewFrustum::resetTestCount() { tests = 0; }

void ViewFrustum::build(Viewer& viewer, int x, int y, int width, int height) {
    enabledMask_ = activeMask_ = allPlanes;
    const int xs[2] = {x, x + width - 1}, ys[2] = {y, y + height - 1};
    for (int i = 0; i < 4; ++i) {
        PickRay ray = viewer.pickRay(xs[i >> 1], ys[i & 1]);
        corners_[2 * i] = ray.start;
        corners_[2 * i + 1] = ray.end;
    }
    buildFromCorners();
}

void ViewFrustum::transform(const ViewFrustum& source, const Matrix& m) {
    enabledMask_ = source.enabledMask_;
    if (enabledMask_ == 0)
        return;
    activeMask_ = enabledMask_;
    for (int i = 0; i < 8; ++i)
        Matrix::transformPoint(corners_[i], source.corners_[i], m);
    buildFromCorners();
}

void ViewFrustum::buildFromCorners() {
    boxMin_ = Vector(huge, huge, huge);
    boxMax_ = Vector(-huge, -huge, -huge);
    for (const Vector& c : corners_)
        for (int a = 0; a < 3; ++a) {
            if (c[a] < boxMin_[a])
                boxMin_[a] = c[a];
            if (c[a] > boxMax_[a])
                boxMax_[a] = c[a];
        }
    // Near and far points of the corners (x0, y0), (x0, y1), (x1, y0), (x1, y1).
    const Vector &n00 = corners_[0], &f00 = corners_[1], &n01 = corners_[2], &f01 = corners_[3];
    const Vector &n10 = corners_[4], &f10 = corners_[5], &n11 = corners_[6], &f11 = corners_[7];
    setPlane(planes_[nearPlane], (n10 - n00).cross(n01 - n00), n00);
    setPlane(planes_[firstColumn], (n01 - n00).cross(f00 - n00), n00);
    setPlane(planes_[firstRow], (f00 - n00).cross(n10 - n00), n00);
    setPlane(planes_[farPlane], (f10 - f11).cross(f01 - f11), f11);
    setPlane(planes_[lastColumn], (n11 - f11).cross(f10 - f11), f11);
    setPlane(planes_[lastRow], (f01 - f11).cross(n11 - f11), f11);
    // Corners moved through a mirror (a mirrored instance or joint, an odd
    // number of them on the way down, or a mirrored camera) turn the other
    // way round, and so does every cross product: the planes would face
    // inwards and cull everything in view. The near corners lie inside the
    // far plane whatever the handedness.
    if (side(planes_[farPlane], n00) > 0)
        for (double* p : planes_)
            for (int k = 0; k < 4; ++k)
                p[k] = -p[k];
}

bool ViewFrustum::test(const Bounds& bounds, unsigned mask) {
    mask &= allPlanes;
    if (mask == 0)
        return false;
    ++tests;
    if (!bounds.valid())
        return true;

    // The sphere decides most cases. Only the planes in the mask are tested:
    // the others hold a branch above this one wholly inside, and with it
    // everything below it. Most spheres tested lie outside, so which planes
    // they cross is sorted out only for those that pass.
    const double cx = bounds.centre().x, cy = bounds.centre().y, cz = bounds.centre().z, r = bounds.radius();
    double s[6];
    if (anyPlane(mask, [&](int i) {
            const double* p = planes_[i];
            s[i] = p[0] + p[1] * cx + p[2] * cy + p[3] * cz;
            return s[i] > r;
        }))
        return true;
    // Below this branch only the planes it is not wholly inside need a test.
    unsigned crossing = 0;
    bool centreOutside = false;
    anyPlane(mask, [&](int i) {
        crossing |= unsigned(!(s[i] < -r)) << i;
        centreOutside = centreOutside || !(s[i] < 0);
        return false;
    });
    activeMask_ = crossing;
    if (crossing == 0 || !centreOutside)
        return false;

    const Vector &lo = bounds.min(), &hi = bounds.max();
    if (boxMin_.z > hi.z || boxMax_.z < lo.z || boxMin_.x > hi.x || boxMax_.x < lo.x || boxMin_.y > hi.y ||
        boxMax_.y < lo.y)
        return true;
    --tests;

    // Culled when all eight box corners lie outside one plane.
    Vector corners[8];
    for (int k = 0; k < 8; ++k)
        corners[k] = bounds.corner(k);
    return anyPlane(mask, [&](int i) {
        for (const Vector& corner : corners)
            if (side(planes_[i], corner) < 0)
                return false;
        return true;
    });
}

void ViewFrustum::drawDebug() const {
    if (enabledMask_ == 0)
        return;
    constexpr int points = 0, lines = 1, lineLoop = 3;
    constexpr std::uint32_t blue = 0xFFFF0000, yellow = 0xFF00FFFF;  // bytes red, green, blue, alpha
    // Around a rectangle: (x0, y0), (x0, y1), (x1, y1), (x1, y0).
    constexpr int loop[4] = {0, 1, 3, 2};
    pellium::beginPrimitive(lines);
    for (int i = 0; i < 4; ++i) {
        pellium::vertex3dv(&corners_[2 * i].x);
        pellium::vertex3dv(&corners_[2 * i + 1].x);
    }
    pellium::endPrimitive();
    for (int far = 0; far < 2; ++far) {
        pellium::color4ub(far ? yellow : blue);
        pellium::beginPrimitive(lineLoop);
        for (int i : loop)
            pellium::vertex3dv(&corners_[2 * i + far].x);
        pellium::endPrimitive();
    }
    pellium::pointSize(3);
    pellium::color4ub(blue);
    pellium::beginPrimitive(points);
    for (const Vector& c : corners_)
        pellium::vertex3dv(&c.x);
    pellium::endPrimitive();
    pellium::pointSize(1);
}

}  // namespace kessa
