// The viewer's projection and view in GL (with the z-up turn), checked
// against its own pick rays, and its debug drawing read back as pixels.
#include <gtest/gtest.h>

#include "scene/Matrix.h"
#include "scene/render/Viewer.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Matrix;
using kessa::PickRay;
using kessa::Vector;
using kessa::Viewer;
using kessa_test::glSide;

namespace {

class ViewerGl : public kessa_test::SceneGl {
protected:
    // Where GL's current matrices put a world point in the window, in pixels.
    void project(const Vector& p, double& px, double& py) {
        std::array<float, 16> mv = matrix(GL_MODELVIEW_MATRIX), pr = matrix(GL_PROJECTION_MATRIX);
        double eye[4], clip[4];
        for (int i = 0; i < 4; ++i)
            eye[i] = p.x * mv[i] + p.y * mv[4 + i] + p.z * mv[8 + i] + mv[12 + i];
        for (int i = 0; i < 4; ++i)
            clip[i] = eye[0] * pr[i] + eye[1] * pr[4 + i] + eye[2] * pr[8 + i] + eye[3] * pr[12 + i];
        px = (clip[0] / clip[3] + 1) / 2 * glSide;
        py = (clip[1] / clip[3] + 1) / 2 * glSide;
    }
    void expectRaysMeetTheirPixels(Viewer& v) {
        for (double px : {0.0, 10.0, 32.0, 63.0})
            for (double py : {0.0, 20.0, 50.0}) {
                PickRay ray = v.pickRay(px, py);
                for (const Vector& p : {ray.start, ray.end, (ray.start + ray.end) * 0.5}) {
                    double x, y;
                    project(p, x, y);
                    EXPECT_NEAR(x, px, 1e-3);
                    EXPECT_NEAR(y, py, 1e-3);
                }
            }
    }
};

}  // namespace

TEST_F(ViewerGl, PerspectiveProjectionMatchesThePickRays) {
    Viewer v;
    Matrix camera;
    camera.setEuler(15, -20, 130);
    camera.translate(Vector(4, -7, 2));
    v.setCameraMatrix(camera);
    v.setNearFar(0.5, 80);
    v.setWindowSize(info());
    const Matrix& p = v.projection();
    std::array<float, 16> gl = matrix(GL_PROJECTION_MATRIX);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(gl[i], p.values()[i], 1e-5) << i;
    expectRaysMeetTheirPixels(v);
}

TEST_F(ViewerGl, OrthographicProjectionMatchesThePickRays) {
    Viewer v;
    v.setViewPreset(5);
    v.setOrthoCentre(2, -1, 0);
    v.setOrthoHalfHeight(3);
    v.setNearFar(-50, 50);
    v.setWindowSize(info());
    expectRaysMeetTheirPixels(v);
}

TEST_F(ViewerGl, ABadSizeKeepsTheOldProjection) {
    Viewer v;
    v.setWindowSize(200, 100);
    pellium::GLRenderInfo bad;
    bad.width = 0;
    bad.height = 600;
    LogCapture log;
    v.setWindowSize(bad);
    EXPECT_EQ(log.text(), "Viewer::setWindowSize() - bad sizes passed, ignored!\n");
    EXPECT_NEAR(matrix(GL_PROJECTION_MATRIX)[0], 2.414213562373095 / 2, 1e-6);
}

TEST_F(ViewerGl, ViewportOutline) {
    Viewer v;
    clear();
    v.drawViewportOutline(info());
    EXPECT_EQ(count(0, 0, 0), glSide * glSide) << "nothing without an explicit viewport";

    v.setViewport(8, 10, 48, 40);
    v.drawViewportOutline(info());
    for (auto xy : {std::pair<int, int>{8, 10}, {55, 10}, {55, 49}, {8, 49}, {30, 10}, {8, 30}})
        EXPECT_TRUE(kessa_test::pixelNear(at(xy.first, xy.second), 255, 127, 127, 2)) << xy.first << ", " << xy.second;
    EXPECT_EQ(at(30, 30) & 0xFFFFFF, 0u);
    EXPECT_EQ(at(7, 10) & 0xFFFFFF, 0u);
    EXPECT_EQ(at(56, 10) & 0xFFFFFF, 0u);
    // The viewer's own projection is back, and depth testing with it.
    EXPECT_NEAR(matrix(GL_PROJECTION_MATRIX)[0], 2.414213562373095, 1e-6);
    EXPECT_TRUE(on(GL_DEPTH_TEST));
}

TEST_F(ViewerGl, FrustumDebugDrawing) {
    Viewer watched;
    watched.setNearFar(1, 10);
    const kessa::ViewFrustum frustum = watched.frustum();
    Viewer watcher;
    watcher.setWindowSize(glSide, glSide);
    Matrix camera;
    camera.setTranslation(Vector(0, -20, 0));
    watcher.setCameraMatrix(camera);
    watcher.setWindowSize(info());
    clear();
    pellium::disableGLState(5);
    glColor4f(1, 1, 1, 1);
    frustum.drawDebug();
    EXPECT_FLOAT_EQ(floats(GL_POINT_SIZE)[0], 1);
    EXPECT_GT(count(255, 255, 0), 40);  // the far rectangle, about 21 pixels a side
    EXPECT_GT(count(0, 0, 255), 4);     // the small near rectangle and the corner points
    EXPECT_GT(count(255, 255, 255), 10);  // the edges
    kessa::ViewFrustum cleared;
    clear();
    cleared.drawDebug();
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
}
