// Textures and GL text on a driver without BGRA uploads, texture
// compression, S3 compression, edge or border clamping and anisotropic
// filtering: Mesa told to hide those extensions as this process makes its
// first context.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLfont.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/GLtexture.h"
#include "gui/gl/VideoSwitches.h"

using gltest::levelParameter;
using gltest::textureParameter;
using pellium::GLtexture;
using pellium::Image;
using ::testing::HasSubstr;

namespace {

const bool plainDriver =
    setenv("MESA_EXTENSION_OVERRIDE",
           "-GL_EXT_bgra -GL_ARB_texture_compression -GL_EXT_texture_compression_s3tc -GL_EXT_texture_edge_clamp "
           "-GL_SGIS_texture_edge_clamp -GL_ARB_texture_border_clamp -GL_EXT_texture_filter_anisotropic",
           1) == 0;

class PlainDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plainDriver);
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        pellium::fullGLacceleration = true;
        const pellium::TextureExtensions& can = pellium::loadTextureExtensions();
        ASSERT_FALSE(can.compression || can.s3Compression || can.clampToEdge || can.clampToBorder ||
                     can.anisotropicControl)
            << "Mesa did not take the override";
        ASSERT_FALSE(pellium::bgraUsable());
    }
};

}  // namespace

TEST_F(PlainDriver, WithoutBgraThePixelsAreSwappedAndStillReadBack) {
    Image picture(8, 8);
    uint32_t* p = picture.pixels();
    for (int i = 0; i < 64; ++i)
        p[i] = 0xFF000000u | uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(3 * i);
    GLtexture t;
    t.setFilterModes(1, 0);
    t.setImage(picture);
    std::vector<uint32_t> back(64);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, std::vector<uint32_t>(p, p + 64));
}

TEST_F(PlainDriver, CompressionFallsBackToTheComponentCountAtHalfSize) {
    Image picture(16, 8);
    picture.fill(0xFF336699u);
    picture.setMode(3);
    GLtexture t;
    t.setCompressed();
    t.setFilterModes(1, 0);
    t.setImage(picture);
    EXPECT_EQ(gltest::levelSize(0), gltest::Size(8, 4));
    EXPECT_THAT(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), ::testing::AnyOf(3, GL_RGB));
    EXPECT_EQ(t.size(), 8u * 4u * 4u);

    GLtexture small;
    small.setCompressed();
    small.setFilterModes(1, 0);
    small.setImage(Image(2, 16));
    EXPECT_EQ(gltest::levelSize(0), gltest::Size(2, 16)) << "not halved while a side is 2 or less";
}

TEST_F(PlainDriver, ClampingFallsBackToPlainClamp) {
    GLtexture edge;
    edge.setClamp(GLtexture::ClampToEdge, 0);
    edge.bind();
    EXPECT_EQ(gltest::wrapModes(), gltest::Size(GL_CLAMP, GL_CLAMP));
    EXPECT_FALSE(edge.borderClampMissing());

    GLtexture border;
    border.setClamp(GLtexture::ClampWithBorder, 0xFFFFFFFFu);
    border.bind();
    EXPECT_TRUE(border.borderClampMissing());
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(gltest::textureFloats(GL_TEXTURE_BORDER_COLOR, 1)[0], 0.0f) << "no border colour set";
}

TEST_F(PlainDriver, AnisotropyIsLeftAloneAndFadingStillForcesTrilinear) {
    GLtexture t;
    t.setAnisotropy(0);
    t.bind();
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    GLtexture fading;
    fading.setAnisotropy(0);
    fading.setFadeMipmaps();
    fading.bind();
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(PlainDriver, GlyphsGoUpAsFourBitLuminanceAndAlphaAndStillShow) {
    ASSERT_FALSE(pellium::getGLSniffer().hasExtension("GL_EXT_texture_compression_s3tc"));
    LogCapture log;
    pellium::GLfont font(pellium::FontKey(125, 14, 0), 32, 126, false);
    gltest::ProbeWindow w(96, 32, "plain text");
    w.draw = [&](pellium::GLRenderInfo& info) {
        gltest::clearTo(0, 0, 0);
        pellium::setBlendMode(1, 0);
        font.drawString(info, 4, 6, "Kalvora", 0xFFFFFFFFu);
    };
    const gltest::Pixels& frame = w.paint();
    ASSERT_NE(font.textureName(), 0u);
    glBindTexture(GL_TEXTURE_2D, font.textureName());
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE4_ALPHA4);
    EXPECT_THAT(log.text(), ::testing::Not(HasSubstr("internal format didn't match")));
    glBindTexture(GL_TEXTURE_2D, 0);
    // Glyph pixels are white and lie inside the string's box; nothing else is drawn.
    const gltest::Spread s = gltest::spread(frame, 96, gltest::rgba(0, 0, 0), gltest::rgba(255, 255, 255), 4, 6,
                                            4 + font.stringWidth("Kalvora"), 6 + font.height() + font.descent());
    EXPECT_GT(s.lit, 40);
    EXPECT_EQ(s.stray, 0);
}
