// GL textures on Mesa's llvmpipe under Xvfb: sizes within the driver's
// limits, mipmap chains and fading, both channel orders, compression,
// parameters, the registry, and a texture drawn on a quad read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLtexture.h"
#include "gui/gl/VideoSwitches.h"
#include "platform/GLContext.h"

using gltest::levelParameter;
using gltest::levelSize;
using gltest::Size;
using gltest::rgba;
using gltest::textureFloats;
using gltest::textureParameter;
using gltest::wrapModes;
using pellium::GLtexture;
using pellium::Image;

namespace {

// A picture of varied, repeatable colours and alphas.
Image noisePicture(int w, int h, uint32_t seed, int mode = 4) {
    Image image(w, h);
    uint32_t* p = image.pixels();
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        seed = seed * 1664525u + 1013904223u;
        p[i] = seed;
    }
    image.setMode(mode);
    return image;
}

// A level as 0xAARRGGBB words, rows bottom-up, as an Image holds them.
std::vector<uint32_t> levelPixels(int level) {
    const int w = levelParameter(level, GL_TEXTURE_WIDTH);
    const int h = levelParameter(level, GL_TEXTURE_HEIGHT);
    std::vector<uint32_t> p(size_t(w) * size_t(h));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, level, GL_BGRA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

int levelCount() {
    int n = 0;
    while (n < 20 && levelParameter(n, GL_TEXTURE_WIDTH) > 0)
        ++n;
    return n;
}

class GLtextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        pellium::fullGLacceleration = true;
        GLtexture::setSizeLimit(0);
    }
    void TearDown() override {
        pellium::fullGLacceleration = true;
        GLtexture::setSizeLimit(0);
    }
};

// Uploads a picture without mipmaps.
void uploadPlain(GLtexture& t, const Image& picture) {
    t.setFilterModes(1, 0);
    t.setImage(picture);
}

}  // namespace

TEST_F(GLtextureTest, SidesBecomeThePowerOfTwoBelowWithinTheLimit) {
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    ASSERT_EQ(most, 16384) << "the driver these numbers were taken on";
    const struct {
        int limit, w, h, uploadedW, uploadedH;
    } rows[] = {{0, 300, 200, 256, 128},   {0, 1, 1, 1, 1},           {0, 2, 3, 2, 2},
                {0, 3, 1, 2, 1},           {0, 513, 1025, 512, 1024}, {0, 20000, 10, 16384, 8},
                {128, 300, 200, 128, 128}, {128, 100, 3, 64, 2}};
    for (const auto& r : rows) {
        GLtexture::setSizeLimit(r.limit);
        GLtexture t;
        uploadPlain(t, Image(r.w, r.h));
        SCOPED_TRACE(std::to_string(r.w) + " x " + std::to_string(r.h) + ", limit " + std::to_string(r.limit));
        EXPECT_EQ(levelSize(0), Size(r.uploadedW, r.uploadedH));
    }
}

TEST_F(GLtextureTest, MipmapChainRunsDownToOnePixelAndIsCounted) {
    const int before = GLtexture::count();
    const unsigned bytesBefore = GLtexture::totalSize();
    {
        GLtexture t;
        EXPECT_TRUE(t.mipmapperInfo().wantsMipmaps()) << "mipmapped unless told otherwise";
        t.setImage(noisePicture(300, 200, 1));
        EXPECT_TRUE(t.uploaded());
        EXPECT_EQ(t.width(), 300);
        EXPECT_EQ(t.height(), 200);
        ASSERT_EQ(levelCount(), 9);
        EXPECT_EQ(levelSize(7), Size(2, 1));
        EXPECT_EQ(levelSize(8), Size(1, 1));
        EXPECT_EQ(t.size(), 4u * 43691u);
        EXPECT_EQ(GLtexture::count(), before + 1);
        EXPECT_EQ(GLtexture::totalSize(), bytesBefore + 174764u);
        // Each level is the one before it halved.
        Image expected = noisePicture(300, 200, 1);
        expected.resize(256, 128);
        for (int level = 1; level < 9; ++level) {
            expected.resize(std::max(256 >> level, 1), std::max(128 >> level, 1));
            std::vector<uint32_t> p = levelPixels(level);
            ASSERT_EQ(p, std::vector<uint32_t>(expected.constPixels(), expected.constPixels() + p.size()))
                << "level " << level;
        }

        GLtexture plain;
        uploadPlain(plain, noisePicture(300, 200, 1));
        EXPECT_EQ(levelCount(), 1);
        EXPECT_EQ(plain.size(), 131072u);
        EXPECT_EQ(GLtexture::count(), before + 2);
        EXPECT_EQ(GLtexture::totalSize(), bytesBefore + 174764u + 131072u);
    }
    EXPECT_EQ(GLtexture::count(), before);
    EXPECT_EQ(GLtexture::totalSize(), bytesBefore);

    GLtexture onePixel;
    onePixel.setImage(noisePicture(1, 1, 9));
    EXPECT_EQ(levelCount(), 1);
    EXPECT_EQ(onePixel.size(), 4u);
}

TEST_F(GLtextureTest, FadingLevelsLoseAlpha) {
    GLtexture t;
    t.setFadeMipmaps();
    t.setImage(noisePicture(4, 4, 3, 3));
    EXPECT_TRUE(t.mipmapperInfo().fadeMipmaps());
    ASSERT_EQ(levelCount(), 3);
    const uint32_t alphas[3] = {102, 81, 65};
    for (int level = 0; level < 3; ++level)
        for (uint32_t p : levelPixels(level))
            ASSERT_EQ(p >> 24, alphas[level]) << "level " << level;
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8) << "fading takes alpha, even when opaque";
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(GLtextureTest, BothChannelOrdersReadBackAsTheResampledPicture) {
    const Image source = noisePicture(70, 46, 5);
    Image expected;
    expected.deepCopy(source);
    expected.resize(64, 32);
    const std::vector<uint32_t> want(expected.constPixels(), expected.constPixels() + 64 * 32);
    ASSERT_TRUE(pellium::bgraUsable());
    for (bool bgra : {true, false}) {
        pellium::fullGLacceleration = bgra;
        GLtexture t;
        uploadPlain(t, source);
        EXPECT_EQ(levelPixels(0), want) << (bgra ? "BGRA" : "RGBA");
    }
    EXPECT_EQ(source.constPixels()[0], noisePicture(70, 46, 5).constPixels()[0]) << "the caller's picture is untouched";
}

TEST_F(GLtextureTest, InternalFormatFollowsTheModeWord) {
    const GLenum formats[4] = {GL_LUMINANCE8, GL_LUMINANCE8_ALPHA8, GL_RGB8, GL_RGBA8};
    for (int mode = 0; mode <= 5; ++mode) {
        GLtexture t;
        uploadPlain(t, noisePicture(8, 8, 2, mode));
        const int components = mode < 1 ? 1 : mode > 4 ? 4 : mode;
        EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GLint(formats[components - 1])) << "mode " << mode;
    }
}

TEST_F(GLtextureTest, CompressedGreyBecomesCompressedRgbWithTheGreyInEveryChannel) {
    ASSERT_TRUE(pellium::loadTextureExtensions().compression);
    // Black and white in 4 x 4 blocks: exact even through S3 compression.
    auto white = [](int i) { return (i % 16 / 4 + i / 16 / 4) % 2 == 1; };
    Image grey(16, 16);
    for (int i = 0; i < 256; ++i)
        grey.pixels()[i] = white(i) ? 0xFF0000FFu : 0xFF000000u;  // grey in the first byte only
    grey.setMode(1);
    GLtexture t;
    t.setCompressed();
    t.setFilterModes(1, 0);
    EXPECT_TRUE(t.mipmapperInfo().compressed());
    t.setImage(grey);
    const GLint format = levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
    EXPECT_THAT(format, ::testing::AnyOf(GL_COMPRESSED_RGB_ARB, GL_COMPRESSED_RGB_S3TC_DXT1_EXT));
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 16) << "a driver that compresses keeps the size";
    std::vector<uint32_t> back = levelPixels(0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(back[size_t(i)], white(i) ? 0xFFFFFFFFu : 0xFF000000u) << "pixel " << i;
    EXPECT_GT(t.size(), 0u);
}

TEST_F(GLtextureTest, OnlyTheFirstPictureIsUploaded) {
    GLtexture t;
    uploadPlain(t, Image());
    EXPECT_FALSE(t.uploaded()) << "an empty picture is not taken";
    t.setImage(noisePicture(8, 4, 1));
    const std::vector<uint32_t> first = levelPixels(0);
    t.setImage(noisePicture(16, 16, 2));
    t.bind();
    EXPECT_EQ(t.width(), 8);
    EXPECT_EQ(levelSize(0), Size(8, 4));
    EXPECT_EQ(levelPixels(0), first);
    EXPECT_EQ(t.size(), 128u);
}

TEST_F(GLtextureTest, FilterWordsOtherThanTwoGiveNearest) {
    GLtexture t;
    t.setFilterModes(2, 1);
    t.bind();
    EXPECT_TRUE(t.created());
    EXPECT_NE(t.name(), 0u);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_FALSE(t.mipmapperInfo().wantsMipmaps());

    GLtexture defaults;
    defaults.bind();
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR) << "GL's own default stays";
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
}

TEST_F(GLtextureTest, AnisotropyChosenForTheDriver) {
    ASSERT_TRUE(pellium::loadTextureExtensions().anisotropicControl);
    GLfloat most = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
    ASSERT_GT(most, 8) << "the driver these numbers were taken on";
    for (int level : {0, 3}) {
        GLtexture t;
        t.setAnisotropy(level);
        t.bind();
        EXPECT_EQ(textureFloats(GL_TEXTURE_MAX_ANISOTROPY_EXT, 1)[0], level == 0 ? 4.0f : 3.0f);
        EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    }
    GLtexture nearest;
    nearest.setAnisotropy(0);
    nearest.setFilterModes(1, 1);
    nearest.bind();
    EXPECT_EQ(textureFloats(GL_TEXTURE_MAX_ANISOTROPY_EXT, 1)[0], 1.0f) << "no anisotropy without mipmaps";
}

TEST_F(GLtextureTest, ClampModes) {
    ASSERT_TRUE(pellium::loadTextureExtensions().clampToBorder);
    GLtexture border;
    border.setClamp(GLtexture::ClampWithBorder, 0x80FF4000u);
    border.bind();
    EXPECT_EQ(wrapModes(), Size(0x812F, 0x812F)) << "the edge mode, with the border colour set";
    EXPECT_FALSE(border.borderClampMissing());
    using ::testing::FloatEq;
    EXPECT_THAT(textureFloats(GL_TEXTURE_BORDER_COLOR, 4),
                ::testing::ElementsAre(FloatEq(0), FloatEq(64.0f / 255), FloatEq(1), FloatEq(128.0f / 255)));

    GLtexture edge;
    edge.setClamp(GLtexture::ClampToEdge, 0);
    edge.bind();
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);

    GLtexture other;
    other.setClamp(7, 0);
    other.bind();
    EXPECT_EQ(wrapModes(), Size(GL_CLAMP, GL_CLAMP));
}

TEST_F(GLtextureTest, SettersAfterTheFirstBindChangeNothing) {
    GLtexture t;
    t.setFilterModes(1, 0);
    t.bind();
    t.setClamp(GLtexture::ClampToEdge, 0);
    t.setFilterModes(1, 2);
    t.bind();
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
}

TEST_F(GLtextureTest, BindMakesAContextWhenNoneIsCurrent) {
    platform::makeGLCurrent(0, nullptr);
    ASSERT_EQ(platform::currentGLContext(), nullptr);
    GLtexture t;
    uploadPlain(t, noisePicture(4, 4, 8));
    EXPECT_NE(platform::currentGLContext(), nullptr);
    EXPECT_TRUE(t.created());
    EXPECT_TRUE(t.uploaded());
    EXPECT_EQ(glIsTexture(t.name()), GL_TRUE);
}

TEST_F(GLtextureTest, APictureGivenAfterTheContextWasLetGoReachesGL) {
    GLtexture t;
    uploadPlain(t, Image());
    t.bind();
    ASSERT_TRUE(t.created());
    // As an off-screen render leaves it: no context current.
    platform::makeGLCurrent(0, nullptr);
    ASSERT_EQ(platform::currentGLContext(), nullptr);
    const Image picture = noisePicture(64, 32, 5);
    t.setImage(picture);
    EXPECT_TRUE(t.uploaded());
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    t.bind();
    EXPECT_EQ(levelSize(0), Size(64, 32));
    const std::vector<uint32_t> back = levelPixels(0);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), picture.constPixels())) << "the picture as given";
}

TEST_F(GLtextureTest, AnErrorLeftBehindIsNotBlamedOnTheTextureButItsOwnIsLogged) {
    GLtexture t;
    t.bind();
    LogCapture log;
    glEnable(GLenum(0x1234));  // leaves "Invalid enum" pending
    t.bind();
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Its name taken over by a 1D texture: binding it as 2D fails.
    const GLuint name = t.name();
    glDeleteTextures(1, &name);
    glBindTexture(GL_TEXTURE_1D, name);
    t.bind();
    EXPECT_EQ(log.take(), "GL had an error during GLtexture::bind()\n");
    glBindTexture(GL_TEXTURE_1D, 0);

    // Left in the shared context while none is current: a first bind binds it
    // again and finds the error before its own work (the loaders binding runs,
    // which check too, are done first).
    pellium::loadMultiTextureExtensions();
    glEnable(GLenum(0x1234));
    platform::makeGLCurrent(0, nullptr);
    GLtexture fresh;
    fresh.bind();
    EXPECT_EQ(log.count("GL had an error at the start of Texture::doBind()\n"), 1) << log.text();
    EXPECT_EQ(log.count("An error occurred during Texture::doBind()\n"), 0);
}

TEST_F(GLtextureTest, DrawnOnAQuadItShowsItsColours) {
    // A 4 x 4 picture of distinct colours on a 64 x 64 quad: each texel covers 16 x 16 pixels.
    Image picture(4, 4);
    uint32_t* p = picture.pixels();
    for (int i = 0; i < 16; ++i)
        p[i] = 0xFF000000u | uint32_t(i * 16) << 16 | uint32_t(255 - i * 16) << 8 | uint32_t(i * 5);
    picture.setMode(3);
    for (bool bgra : {true, false}) {
        pellium::fullGLacceleration = bgra;
        GLtexture t;
        uploadPlain(t, picture);
        gltest::ProbeWindow w(64, 64, "texture");
        w.draw = [&](pellium::GLRenderInfo& info) {
            pellium::setPixelProjection(info);
            gltest::clearTo(0, 0, 0);
            glEnable(GL_TEXTURE_2D);
            t.bind();
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            gltest::drawTexturedQuad(0, 0, 64, 64);
            glDisable(GL_TEXTURE_2D);
        };
        w.paint();
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t texel = p[(y / 16) * 4 + x / 16];
                ASSERT_EQ(w.pixel(x, y), rgba((texel >> 16) & 0xFF, (texel >> 8) & 0xFF, texel & 0xFF))
                    << (bgra ? "BGRA" : "RGBA") << " at " << x << ", " << y;
            }
    }
}
