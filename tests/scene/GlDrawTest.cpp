// Matrix::multGL and Bounds::draw against the toolkit's shared GL context
// (under Xvfb in the test command), read back from the frame buffer.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "gui/gl/GLcontext.h"
#include "scene/Bounds.h"
#include "scene/Matrix.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::Vector;

namespace {

// With no GL window open, the context lives on a hidden window of this size.
constexpr int side = pellium::hiddenGLWindowSize;

class GlDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        glViewport(0, 0, side, side);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glPointSize(1);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
    }

    std::vector<unsigned char> pixels() {
        std::vector<unsigned char> p(side * side);
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, side, side, GL_RED, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    // Whether any pixel within one of (x, y) is lit (lines may fall on either
    // side of a pixel boundary).
    static bool litNear(const std::vector<unsigned char>& p, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int px = x + dx, py = y + dy;
                if (px >= 0 && px < side && py >= 0 && py < side && p[py * side + px] > 128)
                    return true;
            }
        return false;
    }
    // World coordinate -1..1 to pixel.
    static int pixel(double v) { return int((v + 1) / 2 * side); }
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
    std::vector<unsigned char> p = pixels();
    EXPECT_TRUE(litNear(p, pixel(0.5), pixel(-0.5)));
    EXPECT_FALSE(litNear(p, pixel(0), pixel(0)));
}

TEST_F(GlDrawTest, BoundsDrawsBoxAndCircles) {
    Bounds b;
    b.set(Vector(-0.5, -0.5, -0.5), Vector(0.5, 0.5, 0.5));
    b.draw();
    std::vector<unsigned char> p = pixels();
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
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GlDrawTest, EmptyBoundsDrawNothing) {
    Bounds b;
    b.draw();
    b.set(Vector(0, 0, 0), Vector(1, 1, 1));
    b.clear();
    b.draw();
    for (unsigned char v : pixels())
        ASSERT_EQ(v, 0);
}

}  // namespace
