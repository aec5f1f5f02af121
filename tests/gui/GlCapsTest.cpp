// The capability probe and the extension loaders against the real driver
// (Mesa's llvmpipe under Xvfb).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <string>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "platform/GLContext.h"

using gltest::integer;
using ::testing::HasSubstr;

namespace {

TEST(GLSniffer, FindsAnAcceleratedDriverWithEightTextureUnits) {
    platform::GLContext current = platform::currentGLContext();
    platform::GLContext shared = pellium::sharedContext();
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    ASSERT_TRUE(caps.valid);
    EXPECT_TRUE(caps.accelerated) << "llvmpipe's formats carry no slow caveat";
    EXPECT_EQ(caps.textureUnits, 8);
    EXPECT_EQ(caps.maxAnisotropy, 16);
    EXPECT_EQ(caps.colorBits, 24);
    EXPECT_GT(caps.depthBits, 0);
    EXPECT_THAT(caps.renderer.c_str(), HasSubstr("llvmpipe"));
    EXPECT_THAT(caps.vendor.c_str(), HasSubstr("Mesa"));
    EXPECT_FALSE(caps.version.empty());
    EXPECT_TRUE(caps.hasExtension("GL_ARB_vertex_buffer_object"));
    EXPECT_TRUE(caps.hasExtension("GL_ARB_multitexture"));
    EXPECT_TRUE(caps.hasExtension("GLX_ARB_create_context")) << "the window system's list is searched too";
    EXPECT_FALSE(caps.hasExtension("GL_ARB_no_such_thing"));
    EXPECT_TRUE(pellium::bgraUsable());
    // The probe's context is its own and gone again.
    EXPECT_EQ(platform::currentGLContext(), current);
    EXPECT_EQ(pellium::sharedContext(), shared);
}

TEST(GLSniffer, ASecondCallMakesNoWindow) {
    pellium::getGLSniffer();
    platform::WindowId before = platform::createHiddenGLWindow(4, 4);
    pellium::GLcaps* first = &pellium::getGLSniffer();
    platform::WindowId after = platform::createHiddenGLWindow(4, 4);
    EXPECT_EQ(after, before + 1) << "window ids count every window made";
    EXPECT_EQ(&pellium::getGLSniffer(), first);
    platform::destroyHiddenGLWindow(before);
    platform::destroyHiddenGLWindow(after);
}

TEST(GLSniffer, SwapIntervalOnlyWithSwapControl) {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    const pellium::GLcaps& caps = pellium::getGLSniffer();
    bool control = caps.hasExtension("GLX_EXT_swap_control") || caps.hasExtension("GLX_MESA_swap_control") ||
                   caps.hasExtension("GLX_SGI_swap_control");
    EXPECT_EQ(pellium::setSwapInterval(0), control);
}

TEST(GLcaps, FillsFromTheCurrentContextOnly) {
    platform::makeGLCurrent(0, nullptr);
    pellium::GLcaps none;
    none.fill();
    EXPECT_FALSE(none.valid);
    EXPECT_TRUE(none.vendor.empty());

    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    pellium::GLcaps caps;
    caps.fill();
    ASSERT_TRUE(caps.valid);
    EXPECT_EQ(caps.colorBits, integer(GL_RED_BITS) + integer(GL_GREEN_BITS) + integer(GL_BLUE_BITS));
    EXPECT_EQ(caps.depthBits, integer(GL_DEPTH_BITS));
    EXPECT_EQ(caps.alphaBits, integer(GL_ALPHA_BITS));
    EXPECT_EQ(caps.stencilBits, integer(GL_STENCIL_BITS));
    EXPECT_EQ(caps.textureUnits, integer(GL_MAX_TEXTURE_UNITS_ARB));
    EXPECT_STREQ(caps.extensions.c_str(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
    EXPECT_TRUE(caps.accelerated);
}

TEST(Loaders, FindTheTextureExtensionsAndLogThemWhenVerbose) {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    LogCapture log;
    pellium::resetExtensionLoaders();
    pellium::glVerbose = false;
    pellium::loadTextureExtensions();
    pellium::loadVBOExtensions();
    EXPECT_EQ(log.take(), "") << "quiet without verbose";

    pellium::resetExtensionLoaders();
    pellium::glVerbose = true;
    const pellium::TextureExtensions& t = pellium::loadTextureExtensions();
    EXPECT_TRUE(t.clampToEdge && t.clampToBorder && t.compression && t.s3Compression && t.anisotropicControl);
    EXPECT_EQ(log.take(),
              "Loading texture mapping extensions...\nweCanClampToEdge=1\nweCanClampToBorder=1\n"
              "weCanCompressTextures=1\nweHaveS3Compression=1\nweHaveAnisotropicControl=1\n"
              "Finished loading texture mapping extensions...\n");
    pellium::loadTextureExtensions();
    EXPECT_EQ(log.take(), "") << "searched once";
}

TEST(Loaders, FindBuffersMultitexturingAndLockedArrays) {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    pellium::resetExtensionLoaders();
    pellium::glVerbose = true;
    LogCapture log;
    const pellium::VBOEntryPoints* vbo = pellium::loadVBOExtensions();
    ASSERT_NE(vbo, nullptr);
    EXPECT_TRUE(vbo->genBuffers && vbo->deleteBuffers && vbo->bindBuffer && vbo->bufferData && vbo->bufferSubData &&
                vbo->getBufferSubData && vbo->mapBuffer && vbo->unmapBuffer && vbo->getBufferParameteriv &&
                vbo->getBufferPointerv);
    std::string text = log.take();
    EXPECT_THAT(text, HasSubstr("Loading VBO extensions...\nweHaveARBVertexBufferObjects=1\n"
                                "Finished loading VBO extensions...\nLoading multitexture extensions...\n"
                                "Finished loading multitexture extensions...\n"));
    const pellium::MultiTextureEntryPoints* mt = pellium::loadMultiTextureExtensions();
    ASSERT_NE(mt, nullptr);
    EXPECT_EQ(mt->units, 8);
    EXPECT_TRUE(mt->activeTexture && mt->clientActiveTexture && mt->multiTexCoord2f && mt->multiTexCoord2fv);
    const pellium::CVAEntryPoints* cva = pellium::loadCVAExtensions();
    ASSERT_NE(cva, nullptr);
    EXPECT_TRUE(cva->lockArrays && cva->unlockArrays);
}

TEST(Loaders, SeparateSpecularWhereTheDriverHasIt) {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
    pellium::enableSeparateSpecular();
    EXPECT_EQ(integer(GL_LIGHT_MODEL_COLOR_CONTROL), GL_SEPARATE_SPECULAR_COLOR);
}

}  // namespace
