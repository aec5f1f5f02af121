// Scene textures on GL: the shared GL texture cache, sequences that follow
// the engine clock, the black fallback, the white textures, and textured
// materials, with pictures from a reader over a map of names.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "gui/gl/GLdraw.h"
#include "gui/gl/GLtexture.h"
#include "gui/gl/ImageReader.h"
#include "scene/Stopwatch.h"
#include "scene/StorageStats.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "scene/render/TextureInternals.h"
#include "scene/render/Viewer.h"
#include "tests/LogCapture.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Material;
using kessa::Stopwatch;
using kessa::Texture;
using orvel::counted_ptr;
using pellium::Image;
using Color = pellium::Color;

namespace {

Image solid(int w, int h, std::uint32_t argb) {
    Image image(w, h);
    image.fill(argb);
    return image;
}

// Pictures by name; every name resolves to "/textures/" and its last part.
class MapReader : public pellium::ImageReader {
public:
    Image read(const orvel_string& name) override {
        ++reads;
        auto found = files.find(name.c_str());
        return found == files.end() ? Image() : found->second;
    }
    bool exists(const orvel_string& name) override { return files.count(name.c_str()) != 0; }
    orvel_string resolve(const orvel_string& name) override {
        std::string s = name.c_str();
        return orvel_string(("/textures/" + s.substr(s.find_last_of('\\') + 1)).c_str());
    }
    std::map<std::string, Image> files;
    int reads = 0;
};

double clockNow = 0;
double testClock() { return clockNow; }

void setEngineTime(double t) {
    Stopwatch::setTimeSource(testClock);
    clockNow = t;
    Stopwatch::tick();
}

class TextureGl : public kessa_test::SceneGl {
protected:
    void SetUp() override {
        kessa_test::SceneGl::SetUp();
        pellium::ImageReader::setCurrent(&reader);
    }
    void TearDown() override {
        pellium::ImageReader::setCurrent(nullptr);
        Stopwatch::setTimeSource(nullptr);
        kessa_test::SceneGl::TearDown();
    }
    static GLuint bound() { return GLuint(integer(GL_TEXTURE_BINDING_2D)); }
    static GLuint nameOf(Texture& t) {
        t.bind();
        return bound();
    }
    static Texture file(const char* name) {
        Texture t;
        t.setFile(orvel::FilePath(name));
        return t;
    }
    // The bound texture's level 0, each texel's bytes red, green, blue, alpha.
    static std::vector<std::uint32_t> texels() {
        int w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        std::vector<std::uint32_t> t(size_t(w) * size_t(h));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
        return t;
    }

    MapReader reader;
};

}  // namespace

TEST_F(TextureGl, EqualFilesAndOptionsShareOneGLTexture) {
    reader.files["share.gif"] = solid(8, 8, 0xFF336699);
    Texture a = file("share.gif"), b = file("share.gif"), elsewhere = file("maps\\share.gif");
    int before = pellium::GLtexture::count();
    GLuint name = nameOf(a);
    EXPECT_NE(name, 0u);
    EXPECT_EQ(nameOf(b), name);
    EXPECT_EQ(pellium::GLtexture::count(), before + 1);
    EXPECT_EQ(reader.reads, 1);
    // Resolved to the same file, it shares too.
    reader.files["maps\\share.gif"] = reader.files["share.gif"];
    EXPECT_EQ(nameOf(elsewhere), name);
    // Clamping along s needs a GL texture of its own.
    Texture clamped = file("share.gif");
    clamped.setEdgeFlagS(true);
    EXPECT_NE(nameOf(clamped), name);
    EXPECT_EQ(pellium::GLtexture::count(), before + 2);
    EXPECT_EQ(a.width(), 8);
    EXPECT_EQ(clamped.height(), 8);
}

TEST_F(TextureGl, ASequenceFollowsTheEngineClock) {
    reader.files["wave08.gif"] = solid(4, 4, 0xFFFF0000);
    reader.files["wave09.gif"] = solid(4, 4, 0xFF00FF00);
    reader.files["wave10.gif"] = solid(4, 4, 0xFF0000FF);
    Texture w8 = file("wave08.gif"), w9 = file("wave09.gif"), w10 = file("wave10.gif");
    const GLuint n8 = nameOf(w8), n9 = nameOf(w9), n10 = nameOf(w10);
    Texture waves = file("wave08.gif");
    waves.setByteOption(1);
    waves.setWordOption(1.5f);
    setEngineTime(2.0);
    EXPECT_EQ(nameOf(waves), n9);
    setEngineTime(0.2);
    EXPECT_EQ(nameOf(waves), n8);
    setEngineTime(1.2);
    EXPECT_EQ(nameOf(waves), n10);
    // Just short of a whole cycle the product rounds up to the frame count:
    // the last frame is shown, not one past it.
    setEngineTime(1.49999999999);
    EXPECT_EQ(nameOf(waves), n10);
    setEngineTime(-0.1);
    EXPECT_EQ(nameOf(waves), n8);
    EXPECT_EQ(waves.width(), 4);
}

TEST_F(TextureGl, ACycleOfZeroLastsAHundredthOfASecond) {
    reader.files["z1.gif"] = solid(4, 4, 0xFFFF0000);
    reader.files["z2.gif"] = solid(4, 4, 0xFF00FF00);
    reader.files["z3.gif"] = solid(4, 4, 0xFF0000FF);
    Texture second = file("z2.gif");
    const GLuint n2 = nameOf(second);
    Texture t = file("z1.gif");
    t.setByteOption(1);
    t.setWordOption(0);
    setEngineTime(0.005);
    EXPECT_EQ(nameOf(t), n2);
}

TEST_F(TextureGl, ASequenceEndsWhereItsDigitsRunOut) {
    reader.files["frame9.gif"] = solid(4, 4, 0xFFFF0000);
    reader.files["frame10.gif"] = solid(4, 4, 0xFF00FF00);
    reader.files["plain.gif"] = solid(2, 2, 0xFF0000FF);
    Texture nine = file("frame9.gif");
    const GLuint n9 = nameOf(nine);
    Texture t = file("frame9.gif");
    t.setByteOption(1);
    t.setWordOption(1);
    for (double time : {0.1, 0.5, 0.9}) {
        setEngineTime(time);
        EXPECT_EQ(nameOf(t), n9);
    }
    // No digits at all: one picture, and the load ends.
    Texture plain = file("plain.gif");
    plain.setByteOption(1);
    plain.bind();
    EXPECT_EQ(plain.width(), 2);
}

TEST_F(TextureGl, AMissingFileBindsTheBlackFallback) {
    Texture missing = file("nowhere.gif"), alsoMissing = file("nothere.gif");
    EXPECT_EQ(missing.width(), 16);
    EXPECT_EQ(missing.height(), 16);
    const GLuint name = nameOf(missing);
    EXPECT_EQ(nameOf(alsoMissing), name);
    for (std::uint32_t t : texels())
        ASSERT_EQ(t, 0xFF000000u);
    // Without an image reader nothing can be read: the same fallback.
    pellium::ImageReader::setCurrent(nullptr);
    reader.files["there.gif"] = solid(4, 4, 0xFFFFFFFF);
    Texture there = file("there.gif");
    EXPECT_EQ(nameOf(there), name);
}

TEST_F(TextureGl, APictureInMemory) {
    Texture t;
    t.setImage(solid(8, 4, 0xFFFFFFFF));
    EXPECT_EQ(t.width(), 8);
    EXPECT_EQ(t.height(), 4);
    const GLuint first = nameOf(t);
    EXPECT_FALSE(t.dirty());
    for (std::uint32_t texel : texels())
        ASSERT_EQ(texel, 0xFFFFFFFFu);
    // A new picture builds a new GL texture.
    t.setImage(solid(2, 2, 0xFF000000));
    EXPECT_TRUE(t.dirty());
    EXPECT_NE(nameOf(t), first);
    EXPECT_EQ(t.width(), 2);
    for (std::uint32_t texel : texels())
        ASSERT_EQ(texel, 0xFF000000u);
}

TEST_F(TextureGl, WhiteTextures) {
    const counted_ptr<Texture>& solidWhite = Texture::whiteTexture(false);
    const counted_ptr<Texture>& clear = Texture::whiteTexture(true);
    EXPECT_EQ(solidWhite, Texture::whiteTexture(false));
    EXPECT_NE(solidWhite, clear);
    EXPECT_EQ(solidWhite->name(), "whiteTextureSolid");
    EXPECT_EQ(clear->name(), "whiteTextureAlpha");
    EXPECT_EQ(solidWhite->file().str(), "");
    solidWhite->bind();
    for (std::uint32_t t : texels())
        ASSERT_EQ(t, 0xFFFFFFFFu);
    clear->bind();
    for (std::uint32_t t : texels())
        ASSERT_EQ(t >> 24, 0u);
    EXPECT_EQ(solidWhite->width(), 4);
}

TEST_F(TextureGl, BindAllLoadsEveryTexture) {
    reader.files["all.gif"] = solid(4, 4, 0xFF00FF00);
    Texture t = file("all.gif");
    t.setScale(2, 2);  // a key of its own: the file is read here
    LogCapture log;
    kessa::TextureInternals::bindAll();
    // The GL layer may log its own lines (extensions found) in between.
    std::string text = log.text();
    std::size_t white = text.find("Binding white textures...\n"), files = text.find("Loading texture files...\n");
    EXPECT_EQ(white, 0u);
    ASSERT_NE(files, std::string::npos);
    EXPECT_GT(files, white);
    EXPECT_EQ(reader.reads, 1);
    EXPECT_FALSE(t.dirty());
}

TEST_F(TextureGl, StorageStatisticsCountGLTextures) {
    Texture t;
    t.setImage(solid(16, 16, 0xFF808080));
    t.bind();
    kessa::StorageStats stats;
    kessa::getStorageStats(stats);
    EXPECT_EQ(stats.textures, pellium::GLtexture::count());
    EXPECT_EQ(stats.textureBytes, double(pellium::GLtexture::totalSize()));
    EXPECT_GT(stats.textureBytes, 0);
}

TEST_F(TextureGl, DrawQuadShowsThePicture) {
    Texture t;
    t.setImage(solid(16, 16, 0xFF00FF00));
    t.setMipmapped(false);
    pellium::GLRenderInfo i = info();
    pellium::setPixelProjection(i);
    pellium::clearBuffers(Color{0, 0, 0, 1}, 3);
    pellium::disableGLState(5);
    pellium::disableGLState(10);
    pellium::enableGLState(2);
    glColor4f(1, 1, 1, 1);
    t.drawQuad(10, 20);
    std::vector<std::uint32_t> p = pixels();
    auto at = [&p](int x, int y) { return p[size_t(y) * kessa_test::glSide + size_t(x)]; };
    EXPECT_TRUE(kessa_test::pixelNear(at(11, 21), 0, 255, 0, 0));
    EXPECT_TRUE(kessa_test::pixelNear(at(23, 33), 0, 255, 0, 0));
    EXPECT_TRUE(kessa_test::pixelNear(at(27, 21), 0, 0, 0, 0));
    EXPECT_TRUE(kessa_test::pixelNear(at(11, 38), 0, 0, 0, 0));
    EXPECT_TRUE(kessa_test::pixelNear(at(8, 21), 0, 0, 0, 0));
}

TEST_F(TextureGl, MaterialsBindTheirTexturesOnBothUnits) {
    reader.files["unit0.gif"] = solid(4, 4, 0xFFFF0000);
    reader.files["unit1.gif"] = solid(4, 4, 0xFF0000FF);
    counted_ptr<Texture> t0(new Texture(file("unit0.gif"))), t1(new Texture(file("unit1.gif")));
    const GLuint n0 = nameOf(*t0), n1 = nameOf(*t1);
    Material m(Color{1, 1, 1, 1});
    m.setTexture(t0, 0);
    m.setTexture(t1, 1);
    m.apply();
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_TRUE(on(GL_TEXTURE_2D));
    EXPECT_EQ(bound(), n0);
    pellium::selectTextureUnit(1);
    EXPECT_TRUE(on(GL_TEXTURE_2D));
    EXPECT_EQ(bound(), n1);
    pellium::selectTextureUnit(0);

    // Within a frame an equal texture is not bound again...
    Material::beginFrame();
    m.apply();
    glBindTexture(GL_TEXTURE_2D, 0);
    m.apply();
    EXPECT_EQ(bound(), 0u);
    // ...and a material without textures turns texturing off on both units.
    Material plain(Color{1, 1, 1, 1});
    plain.apply();
    EXPECT_FALSE(on(GL_TEXTURE_2D));
    pellium::selectTextureUnit(1);
    EXPECT_FALSE(on(GL_TEXTURE_2D));
    pellium::selectTextureUnit(0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
}

TEST_F(TextureGl, SequencesAreBoundAgainEvenWhenTheSame) {
    reader.files["anim1.gif"] = solid(4, 4, 0xFFFF0000);
    reader.files["anim2.gif"] = solid(4, 4, 0xFF00FF00);
    Texture second = file("anim2.gif");
    const GLuint n2 = nameOf(second);
    counted_ptr<Texture> anim(new Texture(file("anim1.gif")));
    anim->setByteOption(1);
    Material m(Color{1, 1, 1, 1});
    m.setTexture(anim, 0);
    Material::beginFrame();
    setEngineTime(0.1);
    m.apply();
    setEngineTime(0.6);
    m.apply();
    EXPECT_EQ(bound(), n2);
}

TEST_F(TextureGl, ALitFoggedTexturedQuad) {
    // A texel of (0.5, 1, 0.5) on a lit material of colour (1, 0.5, 0.25)
    // under a white light, with linear fog half-way to blue.
    counted_ptr<Texture> texture(new Texture);
    texture->setImage(solid(4, 4, 0xFF80FF80));
    texture->setMipmapped(false);
    Material m(Color{1, 0.5f, 0.25f, 1});
    m.setLighting(true);
    m.setTexture(texture, 0);

    kessa::Viewer viewer;
    viewer.setWindowSize(info());
    kessa::LightModel().apply();
    kessa::Light light;
    light.setDirection(0, -1, 0);
    light.apply(0);
    for (int i = 1; i < 8; ++i)
        glDisable(GLenum(GL_LIGHT0 + i));
    pellium::setTexEnv(1);
    Material::beginFrame();
    m.apply();
    kessa::Fog fog;
    fog.mode = kessa::Fog::linear;
    fog.end = 20;
    fog.colour = Color{0, 0, 1, 1};
    fog.apply();

    pellium::clearBuffers(Color{0, 0, 0, 1}, 3);
    pellium::disableGLState(10);
    const float normal[3] = {0, -1, 0};
    pellium::beginPrimitive(7);
    pellium::normal3fv(normal);
    pellium::texCoord2f(0, 0);
    pellium::vertex3f(-10, 10, -10);
    pellium::texCoord2f(1, 0);
    pellium::vertex3f(10, 10, -10);
    pellium::texCoord2f(1, 1);
    pellium::vertex3f(10, 10, 10);
    pellium::texCoord2f(0, 1);
    pellium::vertex3f(-10, 10, 10);
    pellium::endPrimitive();
    std::uint32_t centre = pixels()[size_t(kessa_test::glSide / 2) * kessa_test::glSide + kessa_test::glSide / 2];
    // Lit (1, 0.5, 0.25), textured to (0.5, 0.5, 0.125), fogged half-way to blue.
    EXPECT_TRUE(kessa_test::pixelNear(centre, 64, 64, 143, 4));
}
