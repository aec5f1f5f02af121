// The viewer's projections, pick rays, zoom, framing and clamps, against
// values worked out by hand from the formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/Bounds.h"
#include "scene/render/Viewer.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::PickRay;
using kessa::Vector;
using kessa::Viewer;
using kessa::ViewFrustum;
using kessa_test::vectorNear;

namespace {

constexpr double tanHalf45 = 0.41421356237309503;

// The distance from a point to the inside of every plane: negative inside.
double worstSide(const ViewFrustum& f, const Vector& p) {
    double worst = -1e300;
    for (int i = 0; i < 6; ++i) {
        const double* q = f.plane(i);
        worst = std::max(worst, q[0] + q[1] * p.x + q[2] * p.y + q[3] * p.z);
    }
    return worst;
}

}  // namespace

TEST(ViewerTest, StartsInPerspectiveWithTheDefaults) {
    Viewer v;
    EXPECT_TRUE(v.perspective());
    EXPECT_FALSE(v.changed);
    EXPECT_EQ(v.viewPreset(), 0);
    EXPECT_EQ(v.fieldOfView(), 45);
    EXPECT_EQ(v.nearDistance(), 1);
    EXPECT_EQ(v.farDistance(), 1000);
    EXPECT_EQ(v.width(), 100);
    EXPECT_EQ(v.height(), 100);
    EXPECT_EQ(v.aspect(), 1);
    EXPECT_TRUE(v.cameraMatrix().isIdentity());
    EXPECT_TRUE(v.viewMatrix().isIdentity());
    EXPECT_EQ(v.settingA, 25);
    EXPECT_EQ(v.settingB, 4);
    EXPECT_EQ(v.axis(1), Vector(0, 1, 0));
}

TEST(ViewerTest, PerspectiveProjectionOfTheDefaultViewer) {
    Viewer v;
    const Matrix& p = v.projection();
    const double expected[16] = {2.414213562373095, 0, 0, 0, 0, 2.414213562373095, 0, 0,
                                 0, 0, -1.002002002002002, -1, 0, 0, -2.002002002002002, 0};
    EXPECT_TRUE(kessa_test::valuesNear(p, expected, 1e-12));
    EXPECT_EQ(p.kind(), Matrix::General);
    EXPECT_NEAR(v.pixelSize(1), 0.008284271247461901, 1e-15);
    EXPECT_NEAR(v.pixelSize(10), 0.08284271247461901, 1e-14);
    // Equal near and far give no depth scale.
    v.setNearFar(5, 5);
    EXPECT_EQ(v.projection()(2, 2), 0);
    EXPECT_EQ(v.projection()(3, 2), -5);
}

TEST(ViewerTest, PickRaysThroughPixels) {
    Viewer v;
    PickRay centre = v.pickRay(50, 50);
    EXPECT_TRUE(vectorNear(centre.start, Vector(0, 1, 0), 1e-12));
    EXPECT_TRUE(vectorNear(centre.end, Vector(0, 1000, 0), 1e-9));
    PickRay corner = v.pickRay(0, 0);
    EXPECT_TRUE(vectorNear(corner.start, Vector(-tanHalf45, 1, -tanHalf45), 1e-12));
    EXPECT_TRUE(vectorNear(corner.end, Vector(-tanHalf45 * 1000, 1000, -tanHalf45 * 1000), 1e-9));
    // A wide window widens x only.
    v.setWindowSize(200, 100);
    EXPECT_TRUE(vectorNear(v.pickRay(200, 100).start, Vector(2 * tanHalf45, 1, tanHalf45), 1e-12));
}

TEST(ViewerTest, PickRayAtTheCentreFollowsTheCameraForwardAxis) {
    Viewer v;
    Matrix camera;
    camera.setEuler(10, 25, 70);
    camera.translate(Vector(3, -4, 5));
    v.setCameraMatrix(camera);
    PickRay ray = v.pickRay(50, 50);
    Vector forward = camera.row(1);
    EXPECT_TRUE(vectorNear(ray.start, Vector(3, -4, 5) + forward, 1e-12));
    EXPECT_TRUE(vectorNear(ray.end, Vector(3, -4, 5) + forward * 1000, 1e-9));
    EXPECT_TRUE(vectorNear(v.axis(1), forward, 0));
    EXPECT_TRUE(vectorNear(v.position(), Vector(3, -4, 5), 0));
}

TEST(ViewerTest, OrthographicRectangleFollowsTheLongerSide) {
    Viewer v;
    v.setViewPreset(0);
    EXPECT_FALSE(v.perspective());
    v.setWindowSize(200, 100);
    double r[4];
    v.orthoRect(r);
    EXPECT_EQ(r[0], -2);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(r[2], -1);
    EXPECT_EQ(r[3], 1);
    v.setWindowSize(100, 400);
    v.setOrthoCentre(1, 2, 3);
    v.setOrthoHalfHeight(0.5);
    v.orthoRect(r);
    EXPECT_EQ(r[0], 0.5);
    EXPECT_EQ(r[1], 1.5);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(r[3], 4);
    EXPECT_EQ(v.pixelSize(3), 3 * 0.01);
}

TEST(ViewerTest, OrthographicProjectionAndPickRay) {
    Viewer v;
    v.setViewPreset(0);
    v.setWindowSize(200, 100);
    v.setOrthoCentre(1, 0.5, 0);
    v.setNearFar(2, 10);
    const Matrix& p = v.projection();
    // The rectangle is (-1, 3, -0.5, 1.5).
    EXPECT_DOUBLE_EQ(p(0, 0), 0.5);
    EXPECT_DOUBLE_EQ(p(1, 1), 1);
    EXPECT_DOUBLE_EQ(p(2, 2), -0.25);
    EXPECT_DOUBLE_EQ(p(3, 0), -0.5);
    EXPECT_DOUBLE_EQ(p(3, 1), -0.5);
    EXPECT_DOUBLE_EQ(p(3, 2), 0.25);
    EXPECT_DOUBLE_EQ(p(3, 3), 1);
    PickRay ray = v.pickRay(50, 25);
    EXPECT_TRUE(vectorNear(ray.start, Vector(0, 2, 0), 1e-12));
    EXPECT_TRUE(vectorNear(ray.end, Vector(0, 10, 0), 1e-12));
}

TEST(ViewerTest, ViewPresetsTurnTheCamera) {
    Viewer v;
    v.setViewPreset(2);
    EXPECT_FALSE(v.perspective());
    EXPECT_EQ(v.viewPreset(), 2);
    Vector p;
    Matrix::transformPoint(p, Vector(1, 0, 0), v.cameraMatrix());
    EXPECT_TRUE(vectorNear(p, Vector(0, 1, 0), 1e-15));
    Matrix::transformPoint(p, Vector(0, 1, 0), v.viewMatrix());
    EXPECT_TRUE(vectorNear(p, Vector(1, 0, 0), 1e-15));
    v.setViewPreset(4);
    Matrix::transformPoint(p, Vector(0, 1, 0), v.cameraMatrix());
    EXPECT_TRUE(vectorNear(p, Vector(0, 0, -1), 1e-15));
    v.setViewPreset(1);
    Matrix::transformPoint(p, Vector(0, 1, 0), v.cameraMatrix());
    EXPECT_TRUE(vectorNear(p, Vector(0, -1, 0), 1e-15));
    v.setViewPreset(17);
    EXPECT_EQ(v.viewPreset(), 0);
    EXPECT_TRUE(v.cameraMatrix().isIdentity());
}

TEST(ViewerTest, ZoomKeepsThePointUnderThePixel) {
    Viewer v;
    v.setViewPreset(0);
    v.setWindowSize(200, 100);
    v.zoomAt(150, 50, 0.5);
    EXPECT_EQ(v.orthoHalfHeight(), 0.5);
    EXPECT_TRUE(vectorNear(v.orthoCentre(), Vector(0.5, 0, 0), 1e-15));
    // The world point under pixel (150, 50) is still x = 1.
    EXPECT_TRUE(vectorNear(v.pickRay(150, 50).start, Vector(1, 1, 0), 1e-15));
    v.zoomAt(10, 90, 3);
    EXPECT_TRUE(vectorNear(v.pickRay(10, 90).start, Vector(-0.4, 1, 0.4), 1e-12));
    // Factors of zero and below are ignored.
    Vector centre = v.orthoCentre();
    double half = v.orthoHalfHeight();
    v.changed = false;
    v.zoomAt(10, 10, 0);
    v.zoomAt(10, 10, -2);
    EXPECT_EQ(v.orthoHalfHeight(), half);
    EXPECT_EQ(v.orthoCentre(), centre);
    EXPECT_FALSE(v.changed);
}

TEST(ViewerTest, FramesOffCentreBoundsWhole) {
    Viewer v;
    Bounds b;
    b.set(Vector(8, 3, -5), Vector(12, 7, -1));
    LogCapture log;
    v.frameBounds(b);
    const double r = b.radius(), d = r * 1.2 / tanHalf45;
    // The camera stands straight behind the centre and looks at it.
    EXPECT_TRUE(vectorNear(v.position(), Vector(10, 5 - d, -3), 1e-12));
    PickRay ray = v.pickRay(50, 50);
    Vector dir = ray.end - ray.start;
    EXPECT_NEAR(dir.cross(b.centre() - ray.start).length(), 0, 1e-9);
    EXPECT_NEAR(v.nearDistance(), d * 0.01, 1e-12);
    EXPECT_NEAR(v.farDistance(), d * 10, 1e-9);
    char line[64];
    std::snprintf(line, sizeof line, "Near/far=%f/%f\n", d * 0.01, d * 10);
    EXPECT_EQ(log.text(), line);

    // The sphere fills the view with 20 per cent to spare on the short side.
    ViewFrustum f = v.frustum();
    EXPECT_FALSE(f.test(b, ViewFrustum::allPlanes));
    EXPECT_EQ(f.activeMask(), 0u);
    Bounds wider;
    wider.set(b.min(), b.max());
    wider.setSphere(b.centre(), r * 1.2);
    EXPECT_FALSE(f.test(wider, ViewFrustum::allPlanes));
    // It reaches past the four sides, not the near and far planes.
    EXPECT_EQ(f.activeMask(), ViewFrustum::allPlanes & ~(1u << ViewFrustum::nearPlane | 1u << ViewFrustum::farPlane));
    // 1.2 radii below the centre lies on the first row's plane.
    EXPECT_NEAR(worstSide(f, b.centre() - Vector(0, 0, r * 1.2)), 0, 1e-9);
}

// A unit sphere, a point (ten units back) and empty bounds (near and far
// kept).
TEST(ViewerTest, FramingSmallAndEmptyBounds) {
    Bounds sphere, point;
    sphere.set(Vector(-1, -1, -1), Vector(1, 1, 1));
    sphere.setSphere(Vector(0, 0, 0), 1);
    point.set(Vector(4, 4, 4), Vector(4, 4, 4));
    struct Row {
        Bounds bounds;
        Vector position;
        double nearDistance, farDistance;
        const char* line;
    } rows[] = {
        {sphere, {0, -2.897056274847714, 0}, 0.02897056274847714, 28.97056274847714, "Near/far=0.028971/28.970563\n"},
        {point, {4, -6, 4}, 0.1, 100, "Near/far=0.100000/100.000000\n"},
        {Bounds(), {0, -10, 0}, 2, 300, "Near/far=2.000000/300.000000\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        Viewer v;
        v.setNearFar(2, 300);
        LogCapture log;
        v.frameBounds(r.bounds);
        EXPECT_TRUE(vectorNear(v.position(), r.position, 1e-12));
        EXPECT_NEAR(v.nearDistance(), r.nearDistance, 1e-15);
        EXPECT_NEAR(v.farDistance(), r.farDistance, 1e-12);
        EXPECT_EQ(log.text(), r.line);
    }
}

TEST(ViewerTest, OrthographicFramingCentresTheBoundsWithoutALogLine) {
    Viewer v;
    v.setViewPreset(2);  // camera x = world y, camera y = world -x
    Bounds b;
    b.set(Vector(-12, 1, 2), Vector(-8, 5, 6));
    LogCapture log;
    v.frameBounds(b);
    const double r = b.radius();
    EXPECT_TRUE(vectorNear(v.orthoCentre(), Vector(3, 4, 0), 1e-12));
    EXPECT_EQ(v.orthoHalfHeight(), r);
    EXPECT_NEAR(v.nearDistance(), 10 - r, 1e-12);
    EXPECT_NEAR(v.farDistance(), 10 + 2 * r, 1e-12);
    EXPECT_EQ(log.text(), "");
    ViewFrustum f = v.frustum();
    EXPECT_FALSE(f.test(b, ViewFrustum::allPlanes));
}

TEST(ViewerTest, NearAndFarAreClampedOnlyInPerspective) {
    Viewer v;
    v.setNearFar(0.001, 0.5);
    EXPECT_NEAR(v.nearDistance(), 0.01, 1e-9);
    EXPECT_EQ(v.farDistance(), 1);
    v.setViewPreset(0);
    v.setNearFar(0.001, 0.5);
    EXPECT_EQ(v.nearDistance(), 0.001);
    EXPECT_EQ(v.farDistance(), 0.5);
    v.setNearFar(-3, -1);
    EXPECT_EQ(v.nearDistance(), -3);
}

TEST(ViewerTest, AspectScale) {
    Viewer v;
    v.setWindowSize(300, 100);
    v.setAspectScale(2);
    EXPECT_DOUBLE_EQ(v.aspect(), 1.5);
    EXPECT_DOUBLE_EQ(v.projection()(0, 0), 2.414213562373095 / 1.5);
    v.setAspectScale(200);
    EXPECT_EQ(v.aspect(), 3);
    v.setAspectScale(0.5f);
    EXPECT_EQ(v.aspect(), 6);
    v.setAspectScale(0.001f);
    EXPECT_EQ(v.aspect(), 3);
    v.setAspectScale(-1);
    EXPECT_EQ(v.aspect(), 3);
}

TEST(ViewerTest, CameraMatrixIsIgnoredInOrthographicMode) {
    Viewer v;
    v.setViewPreset(3);
    Matrix before = v.cameraMatrix();
    v.changed = false;
    Matrix m;
    m.setTranslation(Vector(5, 5, 5));
    v.setCameraMatrix(m);
    EXPECT_EQ(v.cameraMatrix(), before);
    EXPECT_FALSE(v.changed);
}

TEST(ViewerTest, BadWindowSizesAreLoggedAndIgnoredAndEqualOnesChangeNothing) {
    Viewer v;
    v.setWindowSize(400, 300);
    v.changed = false;
    LogCapture log;
    v.setWindowSize(0, 600);
    v.setWindowSize(600, -1);
    EXPECT_EQ(log.text(),
              "Viewer::setWindowSize() - bad sizes passed, ignored!\n"
              "Viewer::setWindowSize() - bad sizes passed, ignored!\n");
    EXPECT_EQ(v.width(), 400);
    EXPECT_EQ(v.height(), 300);
    EXPECT_FALSE(v.changed);
    EXPECT_DOUBLE_EQ(v.projection()(0, 0), 2.414213562373095 * 0.75);
    // An equal size changes nothing; a new one does.
    v.setWindowSize(400, 300);
    EXPECT_FALSE(v.changed);
    v.setWindowSize(480, 300);
    EXPECT_TRUE(v.changed);
    EXPECT_DOUBLE_EQ(v.aspect(), 1.6);
}

TEST(ViewerTest, CachedValuesFollowTheirSetters) {
    Viewer v;
    double m0 = v.projection()(0, 0);
    ViewFrustum before = v.frustum();
    Matrix camera;
    camera.setTranslation(Vector(0, -50, 0));
    v.setCameraMatrix(camera);
    EXPECT_EQ(v.projection()(0, 0), m0);
    // The near plane moved with the camera.
    EXPECT_NEAR(v.frustum().plane(ViewFrustum::nearPlane)[0], before.plane(ViewFrustum::nearPlane)[0] - 50, 1e-12);
    v.setFieldOfView(90);
    EXPECT_NEAR(v.projection()(0, 0), 1, 1e-15);
    EXPECT_NEAR(v.pixelSize(1), 0.02, 1e-15);
    EXPECT_NEAR(v.frustum().plane(ViewFrustum::firstColumn)[1], -std::sqrt(0.5), 1e-12);
}

TEST(ViewerTest, PlacementRoundTrip) {
    Viewer v;
    kessa::Placement p;
    p.position = Vector(1, 2, 3);
    p.pitch = 20;
    p.roll = 10;
    p.heading = -35;
    v.setPlacement(p);
    kessa::Placement q = v.getPlacement();
    EXPECT_TRUE(vectorNear(q.position, p.position, 1e-12));
    EXPECT_NEAR(q.pitch, 20, 1e-9);
    EXPECT_NEAR(q.roll, 10, 1e-9);
    EXPECT_NEAR(q.heading, -35, 1e-9);
}

TEST(ViewerTest, AnExplicitViewportNarrowsTheFrustum) {
    Viewer v;
    v.setViewport(50, 0, 50, 100);
    EXPECT_TRUE(v.hasViewport());
    const ViewFrustum& f = v.frustum();
    // The first column now runs through the window's centre.
    EXPECT_TRUE(vectorNear(f.corner(0), Vector(0, 1, -tanHalf45), 1e-12));
    EXPECT_NEAR(f.plane(ViewFrustum::firstColumn)[1], -1, 1e-12);
    v.clearViewport();
    EXPECT_TRUE(vectorNear(v.frustum().corner(0), Vector(-tanHalf45, 1, -tanHalf45), 1e-12));
}
