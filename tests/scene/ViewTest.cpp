// The viewer and its view frustum, as properties: pick rays project back
// onto their pixels through the viewer's own view and projection, frustum
// tests never cull what lies inside and always cull what lies beyond a
// plane, and planes carried into a local space (mirrored or not) keep every
// point on its side; the special cases as rows.
#include <gtest/gtest.h>

#include "scene/render/Viewer.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Bounds;
using kessa::Matrix;
using kessa::PickRay;
using kessa::Viewer;
using kessa::ViewFrustum;

namespace {

constexpr double tanHalf45 = 0.41421356237309503;

// Where the viewer's view and projection put a world point, in pixels (the
// camera looks along y with z up; the projection takes GL's eye space).
Vector pixelOf(Viewer& v, const Vector& world) {
    Vector c;
    Matrix::transformPoint(c, world, v.viewMatrix());
    const double eye[4] = {c.x, c.z, -c.y, 1};
    double clip[4];
    Matrix::transformPoint4(clip, eye, v.projection());
    return Vector((clip[0] / clip[3] + 1) / 2 * v.width(), (clip[1] / clip[3] + 1) / 2 * v.height(), clip[2] / clip[3]);
}

// p's distance outside plane i (negative inside).
double side(const ViewFrustum& f, int i, const Vector& p) {
    const double* q = f.plane(i);
    return q[0] + q[1] * p.x + q[2] * p.y + q[3] * p.z;
}

// Random cameras, window sizes, aspect squeezes, fields of view, presets,
// orthographic rectangles and zooms, one viewer throughout (so that every
// cached value must follow its setter): a pick ray's ends lie on its pixel,
// at depth -1 and 1; a pixel is the world size given; a zoom keeps the point
// under its pixel.
TEST(ViewerTest, PickRaysLandOnTheirPixels) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> u(0, 1);
    Viewer v;
    for (int round = 0; round < 300; ++round) {
        const bool ortho = round % 3 == 0;
        if (ortho) {
            v.setViewPreset(round / 3 % 7);
            v.setOrthoCentre(u(random) * 10 - 5, u(random) * 10 - 5, u(random) * 10 - 5);
            v.setOrthoHalfHeight(0.5 + u(random) * 5);
        } else {
            v.setPerspective(true);
            Matrix camera;
            camera.setEuler(u(random) * 60 - 30, u(random) * 120 - 60, u(random) * 360);
            camera.translate(Vector(u(random), u(random), u(random)) * 100);
            v.setCameraMatrix(camera);
            v.setFieldOfView(20 + u(random) * 100);
        }
        v.setNearFar(0.5 + u(random), 50 + u(random) * 1000);
        v.setWindowSize(20 + int(u(random) * 500), 20 + int(u(random) * 500));
        v.setAspectScale(round % 5 ? 1 : float(0.5 + u(random)));
        for (int i = 0; i < 5; ++i) {
            const double px = u(random) * v.width(), py = u(random) * v.height();
            const PickRay ray = v.pickRay(px, py);
            const Vector a = pixelOf(v, ray.start), b = pixelOf(v, ray.end);
            ASSERT_TRUE(vectorNear(a, {px, py, ortho ? a.z : -1}, 1e-6) && vectorNear(b, {px, py, ortho ? b.z : 1}, 1e-6)) << round;
            const double d = ortho ? 1 : (ray.start - v.position()).dot(v.axis(1));
            const double across = (v.pickRay(px + 1, py).start - ray.start).length();
            EXPECT_NEAR(v.pixelSize(d), across, 1e-9 * (1 + across)) << round;
            if (ortho) {
                v.zoomAt(px, py, 0.25 + u(random) * 4);
                ASSERT_TRUE(vectorNear(v.pickRay(px, py).start, ray.start, 1e-9)) << round;
            }
        }
    }
    // Zoom factors of zero and below are ignored; in orthographic mode the
    // camera matrix is too.
    v.setViewPreset(3);
    const Matrix camera = v.cameraMatrix();
    const Vector centre = v.orthoCentre();
    v.changed = false;
    v.zoomAt(10, 10, 0);
    v.zoomAt(10, 10, -2);
    v.setCameraMatrix(Matrix());
    EXPECT_TRUE(!v.changed && v.orthoCentre() == centre && v.cameraMatrix() == camera && !v.perspective());
    v.setViewPreset(17);
    EXPECT_TRUE(v.viewPreset() == 0 && v.cameraMatrix().isIdentity());
}

TEST(ViewerTest, DefaultsClampsAndSizes) {
    Viewer v;
    EXPECT_TRUE(v.perspective() && !v.changed && v.fieldOfView() == 45 && v.nearDistance() == 1 && v.farDistance() == 1000);
    EXPECT_TRUE(v.width() == 100 && v.height() == 100 && v.settingA == 25 && v.settingB == 4 && v.axis(1) == Vector(0, 1, 0));
    EXPECT_TRUE(std::fabs(v.projection()(0, 0) - 1 / tanHalf45) < 1e-12 && v.projection().kind() == Matrix::General);
    EXPECT_TRUE(vectorNear(v.pickRay(0, 0).start, Vector(-tanHalf45, 1, -tanHalf45), 1e-12));
    // Aspect squeezes of 0.01 to 100 only.
    v.setWindowSize(300, 100);
    const std::pair<float, double> aspects[] = {{2, 1.5}, {200, 3}, {0.5f, 6}, {0.001f, 3}, {-1, 3}};
    for (auto a : aspects) {
        v.setAspectScale(a.first);
        EXPECT_DOUBLE_EQ(v.aspect(), a.second) << a.first;
    }
    // Bad sizes are logged and ignored; an equal size changes nothing.
    v.changed = false;
    LogCapture log;
    v.setWindowSize(0, 600);
    v.setWindowSize(600, -1);
    v.setWindowSize(300, 100);
    EXPECT_EQ(log.text(), "Viewer::setWindowSize() - bad sizes passed, ignored!\nViewer::setWindowSize() - bad sizes passed, ignored!\n");
    EXPECT_TRUE(v.width() == 300 && !v.changed);
    // Near and far are clamped in perspective only; equal ones give no depth scale.
    v.setNearFar(0.001, 0.5);
    EXPECT_TRUE(std::fabs(v.nearDistance() - 0.01) < 1e-9 && v.farDistance() == 1);
    v.setNearFar(5, 5);
    EXPECT_TRUE(v.projection()(2, 2) == 0 && v.projection()(3, 2) == -5);
    v.setViewPreset(0);
    v.setNearFar(-3, 0.5);
    EXPECT_TRUE(v.nearDistance() == -3 && v.farDistance() == 0.5);
    // The orthographic rectangle follows the longer side.
    double r[4];
    v.setWindowSize(200, 100);
    v.setAspectScale(1);
    v.orthoRect(r);
    EXPECT_TRUE(r[0] == -2 && r[1] == 2 && r[2] == -1 && r[3] == 1);
    v.setWindowSize(100, 400);
    v.setOrthoCentre(1, 2, 3);
    v.setOrthoHalfHeight(0.5);
    v.orthoRect(r);
    EXPECT_TRUE(r[0] == 0.5 && r[1] == 1.5 && r[2] == 0 && r[3] == 4 && v.pixelSize(3) == 3 * 0.01);
    kessa::Placement p;
    p.position = Vector(1, 2, 3);
    p.pitch = 20, p.roll = 10, p.heading = -35;
    v.setPerspective(true);
    v.setPlacement(p);
    kessa::Placement q = v.getPlacement();
    EXPECT_TRUE(vectorNear(q.position, p.position, 1e-12) && std::fabs(q.pitch - 20) + std::fabs(q.roll - 10) + std::fabs(q.heading + 35) < 1e-9);
}

// The camera stands straight behind the centre of off-centre bounds and
// looks at it; the sphere fills the view with 20 per cent to spare on the
// short side. A unit sphere, a point (ten units back) and empty bounds
// (near and far kept); orthographic framing centres the bounds, unlogged.
TEST(ViewerTest, FramingShowsTheBoundsWhole) {
    Bounds sphere = box({-1, -1, -1}, {1, 1, 1}), off = box({8, 3, -5}, {12, 7, -1});
    sphere.setSphere({0, 0, 0}, 1);
    const double d = off.radius() * 1.2 / tanHalf45;
    char offLine[64];
    std::snprintf(offLine, sizeof offLine, "Near/far=%f/%f\n", d * 0.01, d * 10);
    const struct {
        Bounds bounds;
        Vector position;
        double nearDistance, farDistance;
        const char* line;
    } rows[] = {
        {off, {10, 5 - d, -3}, d * 0.01, d * 10, offLine},
        {sphere, {0, -2.897056274847714, 0}, 0.02897056274847714, 28.97056274847714, "Near/far=0.028971/28.970563\n"},
        {box({4, 4, 4}, {4, 4, 4}), {4, -6, 4}, 0.1, 100, "Near/far=0.100000/100.000000\n"},
        {Bounds(), {0, -10, 0}, 2, 300, "Near/far=2.000000/300.000000\n"},
    };
    for (const auto& r : rows) {
        Viewer v;
        v.setNearFar(2, 300);
        LogCapture log;
        v.frameBounds(r.bounds);
        EXPECT_TRUE(vectorNear(v.position(), r.position, 1e-12) && log.text() == r.line) << r.line;
        EXPECT_TRUE(std::fabs(v.nearDistance() - r.nearDistance) < 1e-12 && std::fabs(v.farDistance() - r.farDistance) < 1e-9);
        if (&r != rows)
            continue;
        PickRay ray = v.pickRay(50, 50);
        EXPECT_NEAR((ray.end - ray.start).cross(off.centre() - ray.start).length(), 0, 1e-9);
        ViewFrustum f = v.frustum();
        Bounds wider = box(off.min(), off.max());
        wider.setSphere(off.centre(), off.radius() * 1.2);
        EXPECT_TRUE(!f.test(off, ViewFrustum::allPlanes) && f.activeMask() == 0);
        EXPECT_FALSE(f.test(wider, ViewFrustum::allPlanes));
        // It reaches past the four sides, not the near and far planes; 1.2
        // radii below the centre lies on the first row's plane.
        EXPECT_EQ(f.activeMask(), ViewFrustum::allPlanes & ~(1u << ViewFrustum::nearPlane | 1u << ViewFrustum::farPlane));
        EXPECT_NEAR(side(f, ViewFrustum::firstRow, off.centre() - Vector(0, 0, off.radius() * 1.2)), 0, 1e-9);
    }
    Viewer v;
    v.setViewPreset(2);  // camera x = world y, camera y = world -x
    Bounds b = box({-12, 1, 2}, {-8, 5, 6});
    LogCapture log;
    v.frameBounds(b);
    EXPECT_TRUE(vectorNear(v.orthoCentre(), {3, 4, 0}, 1e-12) && v.orthoHalfHeight() == b.radius() && log.text().empty());
    EXPECT_TRUE(std::fabs(v.nearDistance() - (10 - b.radius())) < 1e-12 && std::fabs(v.farDistance() - (10 + 2 * b.radius())) < 1e-12);
    ViewFrustum f = v.frustum();
    EXPECT_FALSE(f.test(b, ViewFrustum::allPlanes));
}

// Random viewers and boxes: a box with a point inside every plane (and its
// sphere, which may be tighter, as a batch's is) is never culled, one with all corners beyond one tested plane always is; the active mask
// keeps exactly the tested planes the sphere is not wholly inside. A
// viewport narrows the frustum; a cleared one tests nothing.
TEST(ViewFrustumTest, TestsAgainstTheirPlanes) {
    std::mt19937 random(4);
    std::uniform_real_distribution<double> u(0, 1);
    int culled = 0, kept = 0;
    for (int round = 0; round < 100; ++round) {
        Viewer v;
        Matrix camera;
        camera.setEuler(0, u(random) * 40 - 20, u(random) * 360);
        v.setCameraMatrix(camera);
        v.setWindowSize(50 + int(u(random) * 300), 50 + int(u(random) * 300));
        v.setNearFar(1, 200);
        if (round % 4 == 0)
            v.setViewport(int(u(random) * 20), int(u(random) * 20), 20, 30);
        ViewFrustum f = v.frustum();
        for (int i = 0; i < 40; ++i) {
            const Vector lo(u(random) * 400 - 200, u(random) * 400 - 200, u(random) * 100 - 50);
            Bounds b = box(lo, lo + Vector(u(random), u(random), u(random)) * (i % 2 ? 60 : 6));
            if (i % 3 == 0)
                b.setSphere(b.centre(), b.radius() * (0.6 + 0.4 * u(random)));
            const unsigned mask = i % 5 ? ViewFrustum::allPlanes : unsigned(u(random) * 64);
            bool inside = false, beyond = false;
            for (int k = 0; k < 1000 && !inside; ++k) {
                const Vector p = b.min() + Vector(u(random) * (b.max().x - b.min().x), u(random) * (b.max().y - b.min().y), u(random) * (b.max().z - b.min().z));
                bool in = (p - b.centre()).length() <= b.radius();
                for (int plane = 0; plane < 6; ++plane)
                    in = in && side(f, plane, p) < 0;
                inside = in;
            }
            for (int plane = 0; plane < 6; ++plane) {
                int out = 0;
                for (int k = 0; k < 8; ++k)
                    out += side(f, plane, b.corner(k)) > 0;
                beyond = beyond || (mask >> plane & 1 && out == 8);
            }
            const bool gone = f.test(b, mask);
            ASSERT_TRUE(!(gone && inside) && !(beyond && !gone)) << round << " " << i;
            culled += gone, kept += !gone;
            for (int plane = 0; plane < 6 && !gone && mask; ++plane)
                ASSERT_EQ(f.activeMask() >> plane & 1, (mask >> plane & 1) && side(f, plane, b.centre()) >= -b.radius()) << plane;
        }
    }
    EXPECT_TRUE(culled > 1000 && kept > 200);
    ViewFrustum cleared;
    EXPECT_TRUE(cleared.enabledMask() == 0 && cleared.activeMask() == 0 && cleared.corner(7) == Vector() && !cleared.test(Bounds(), 0));
    Viewer v;
    ViewFrustum whole = v.frustum();
    EXPECT_TRUE(whole.enabledMask() == ViewFrustum::allPlanes && whole.plane(0)[0] == 1 && whole.plane(0)[2] == -1) << "kept exactly";
    EXPECT_TRUE(vectorNear(whole.boxMax(), Vector(tanHalf45 * 49 / 50 * 1000, 1000, tanHalf45 * 49 / 50 * 1000), 1e-9));
    v.setViewport(50, 0, 50, 100);
    EXPECT_TRUE(v.hasViewport() && vectorNear(v.frustum().corner(0), Vector(0, 1, -tanHalf45), 1e-12));
    v.clearViewport();
    EXPECT_TRUE(vectorNear(v.frustum().corner(0), Vector(-tanHalf45, 1, -tanHalf45), 1e-12));
}

// Decided by the spheres, by the frustum's box (a sphere across the near
// plane, a box far above), or by the corners (a sphere that touches the
// near plane from outside): only the first two are counted, and empty bounds.
TEST(ViewFrustumTest, TheTestsPassesAndTheirCount) {
    ViewFrustum f = Viewer().frustum();
    Bounds touching = box({-1, -1, -1}, {1, 1, 1}), reaching = box({-1, -1, -1}, {1, 1.01, 1}), above = box({-1, -1, 2000}, {1, 1, 2001});
    touching.setSphere({0, 0, 0}, 1);
    reaching.setSphere({0, 0, 0}, 1);
    above.setSphere({0, 0.5, 0}, 1);
    ViewFrustum::resetTestCount();
    EXPECT_TRUE(!f.test(box({-1, 9, -1}, {1, 11, 1}), 0) && f.test(Bounds(), 1));
    EXPECT_TRUE(f.test(box({-1, -6, -1}, {1, -4, 1}), ViewFrustum::allPlanes) && f.test(above, ViewFrustum::allPlanes));
    EXPECT_EQ(ViewFrustum::testCount(), 3);
    EXPECT_TRUE(f.test(touching, ViewFrustum::allPlanes) && !f.test(reaching, ViewFrustum::allPlanes));
    EXPECT_EQ(ViewFrustum::testCount(), 3);
}

// Planes carried into a local space by any transform, mirrored ones too,
// and on into a level below it, keep every point on the side it has in the
// camera's space; a frustum without planes passes on only its mask.
TEST(ViewFrustumTest, PlanesFaceOutwardsInEveryLocalSpace) {
    std::mt19937 random(13);
    std::uniform_real_distribution<double> u(-1, 1);
    const ViewFrustum camera = Viewer().frustum();
    for (int round = 0; round < 200; ++round) {
        Matrix level, step, below, toLevel, stepInverse, toBelow;
        level.setRotation(u(random) * 180, Vector(u(random), u(random), u(random)));
        level.preScale(Vector(u(random) < 0 ? -1 : 1, u(random) < 0 ? -2 : 0.5, u(random) < 0 ? -1 : 3));
        level.translate(Vector(u(random), u(random), u(random)) * 20);
        step.setRotation(u(random) * 180, Vector(0, 0, 1));
        step.translate(Vector(1, -2, 3));
        below.multiply(step, level);
        level.invert(toLevel);
        step.invert(stepInverse);
        below.invert(toBelow);
        ViewFrustum inLevel, inBelow;
        inLevel.transform(camera, toLevel);
        inBelow.transform(inLevel, stepInverse);
        for (int k = 0; k < 20; ++k) {
            const Vector p(u(random) * 100, u(random) * 1200, u(random) * 100);
            Vector q, r;
            Matrix::transformPoint(q, p, toLevel);
            Matrix::transformPoint(r, p, toBelow);
            for (int i = 0; i < 6; ++i)
                ASSERT_TRUE((side(camera, i, p) > 0) == (side(inLevel, i, q) > 0) && (side(camera, i, p) > 0) == (side(inBelow, i, r) > 0))
                    << round << " plane " << i;
        }
    }
    ViewFrustum cleared, built = camera;
    Matrix m;
    m.setTranslation({1, 2, 3});
    built.transform(cleared, m);
    EXPECT_TRUE(built.enabledMask() == 0 && built.activeMask() == ViewFrustum::allPlanes && built.plane(0)[0] == 1);
}

}  // namespace
