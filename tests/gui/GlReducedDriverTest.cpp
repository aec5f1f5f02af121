// The GL layer on a driver without multitexturing or buffer objects: Mesa
// told to offer only the extensions of 1997 and before, as the first
// context of this process is made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/Image.h"
#include "gui/gl/VertexArray.h"
#include "platform/GLContext.h"

using gltest::rgba;
using ::testing::HasSubstr;

namespace {

const bool oldDriver = setenv("MESA_EXTENSION_MAX_YEAR", "1997", 1) == 0;

constexpr int side = pellium::hiddenGLWindowSize;

class OldDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(oldDriver);
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        pellium::resetGLState();
    }
};

TEST_F(OldDriver, HasOneTextureUnitAndNoBuffers) {
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    ASSERT_TRUE(caps.valid);
    EXPECT_EQ(caps.textureUnits, 1);
    EXPECT_FALSE(caps.hasExtension("GL_ARB_multitexture"));
    EXPECT_FALSE(caps.hasExtension("GL_ARB_vertex_buffer_object"));
    EXPECT_EQ(pellium::loadVBOExtensions(), nullptr) << "Mesa still hands out the entry points";
    EXPECT_EQ(pellium::loadMultiTextureExtensions(), nullptr);
    EXPECT_NE(pellium::loadCVAExtensions(), nullptr);
}

TEST_F(OldDriver, MultitextureWrappersRefuse) {
    pellium::resetExtensionLoaders();
    pellium::glVerbose = true;
    LogCapture log;
    EXPECT_FALSE(pellium::selectTextureUnit(1));
    EXPECT_THAT(log.text(), HasSubstr("Not enough texture units...!\n"));
    EXPECT_FALSE(pellium::selectTextureUnit(0));
    EXPECT_FALSE(pellium::selectClientTextureUnit(1));
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0) << "nothing changed";
    const float st[2] = {0.5f, 0.5f};
    GLfloat before[4], after[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, before);
    pellium::multiTexCoord2fv(0, st);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, after);
    EXPECT_EQ(before[0], after[0]);
}

TEST_F(OldDriver, TheResetStillSwitchesTheOnlyUnitsTexturingOff) {
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    pellium::resetGLState();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

TEST_F(OldDriver, ArraysKeepDrawingFromClientMemory) {
    const float xyz[] = {8, 8, 0, 40, 8, 0, 8, 40, 0, 40, 40, 0, 50, 50, 0};
    const unsigned char c[20] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    const int list[] = {0, 1, 2, 3, 2, 1};
    pellium::VertexArray a(5);
    a.setVertices(xyz);
    a.setColors(c);
    a.setIndices(list, 6);
    EXPECT_EQ(a.makeVBO(false), 0u);
    EXPECT_EQ(a.arrayBuffer(), 0u);
    EXPECT_TRUE(a.isNarrowed()) << "narrowed before the buffers were asked for";
    const gltest::Pixels p = gltest::hiddenFrame([&] { a.draw(); });
    EXPECT_EQ(p[20 * side + 20], rgba(255, 0, 0));
    EXPECT_EQ(p[45 * side + 45], rgba(0, 0, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Without framebuffer objects nothing can be drawn off-screen: the picture
// becomes the failure's noise.
TEST_F(OldDriver, ABitmapRenderFailsIntoNoise) {
    LogCapture log;
    pellium::GLclient client;
    pellium::Image image(16, 4), noise(16, 4);
    noise.addNoise(12345);
    EXPECT_FALSE(image.renderGL(client));
    EXPECT_TRUE(std::equal(image.constPixels(), image.constPixels() + 64, noise.constPixels()));
    EXPECT_THAT(log.text(), HasSubstr("The driver has no framebuffer objects to render a bitmap in\n"));
    EXPECT_EQ(platform::currentGLContext(), nullptr);
}

}  // namespace
