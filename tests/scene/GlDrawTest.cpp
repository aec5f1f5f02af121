// Matrix::multGL and Bounds::draw in the shared GL context, read back from
// the frame buffer.
#include <gtest/gtest.h>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::Vector;
using kessa_test::glSide;

namespace {

// White on black, seen straight along z over -1..1.
class GlDrawTest : public kessa_test::SceneGl {
protected:
    void SetUp() override {
        kessa_test::SceneGl::SetUp();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        pellium::disableGLState(5);
        glPointSize(1);
        clear();
        glColor3f(1, 1, 1);
    }
    // Whether any pixel within one of (x, y) is lit (lines may fall on either
    // side of a pixel boundary).
    static bool litNear(const std::vector<std::uint32_t>& p, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int px = x + dx, py = y + dy;
                if (px >= 0 && px < glSide && py >= 0 && py < glSide && (p[py * glSide + px] & 0xFF) > 128)
                    return true;
            }
        return false;
    }
    // World coordinate -1..1 to pixel.
    static int pixel(double v) { return int((v + 1) / 2 * glSide); }
};

TEST_F(GlDrawTest, MultGLUsesTheLayoutAsItIs) {
    Matrix a, b, ab;
    a.setEuler(10, 20, 30);
    a.translate(Vector(1, 2, 3));
    b.setRotation(40, Vector(1, 1, 0));
    b.scale(Vector(2, 1, 0.5));
    a.multGL();
    double gl[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, gl);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(gl[i], double(float(a.values()[i]))) << i;
    // GL applies the last matrix multiplied on first: b, then a.
    b.multGL();
    glGetDoublev(GL_MODELVIEW_MATRIX, gl);
    ab.multiply(b, a);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(gl[i], ab.values()[i], 1e-5) << i;
}

TEST_F(GlDrawTest, MultGLMovesWhatIsDrawn) {
    Matrix m;
    m.setTranslation(Vector(0.5, -0.5, 0));
    m.multGL();
    glPointSize(3);
    glBegin(GL_POINTS);
    glVertex3d(0, 0, 0);
    glEnd();
    std::vector<std::uint32_t> p = pixels();
    EXPECT_TRUE(litNear(p, pixel(0.5), pixel(-0.5)));
    EXPECT_FALSE(litNear(p, pixel(0), pixel(0)));
}

TEST_F(GlDrawTest, BoundsDrawsBoxAndCircles) {
    Bounds b;
    b.set(Vector(-0.5, -0.5, -0.5), Vector(0.5, 0.5, 0.5));
    b.draw();
    std::vector<std::uint32_t> p = pixels();
    double r = b.radius();  // sqrt(0.75)
    // Box edges seen end-on along z.
    EXPECT_TRUE(litNear(p, pixel(-0.5), pixel(0.25)));
    EXPECT_TRUE(litNear(p, pixel(0.5), pixel(-0.25)));
    EXPECT_TRUE(litNear(p, pixel(0.3), pixel(0.5)));
    // The XY circle, and the XZ and YZ circles seen edge-on as lines.
    EXPECT_TRUE(litNear(p, pixel(0), pixel(r)));
    EXPECT_TRUE(litNear(p, pixel(-r), pixel(0)));
    EXPECT_TRUE(litNear(p, pixel(-0.7), pixel(0)));
    EXPECT_TRUE(litNear(p, pixel(0), pixel(0.7)));
    // Away from every line.
    EXPECT_FALSE(litNear(p, pixel(-0.3), pixel(-0.3)));
    EXPECT_FALSE(litNear(p, pixel(-0.95), pixel(0.95)));
}

TEST_F(GlDrawTest, EmptyBoundsDrawNothing) {
    Bounds b;
    b.draw();
    b.set(Vector(0, 0, 0), Vector(1, 1, 1));
    b.clear();
    b.draw();
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
}

}  // namespace
