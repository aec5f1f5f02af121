// Scene textures on GL: the shared GL texture cache, sequences that follow
// the engine clock, the black fallback, the white textures, and textured
// materials, with pictures from a reader over a map of names.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gui/gl/GLtexture.h"
#include "gui/gl/ImageReader.h"
#include "scene/Stopwatch.h"
#include "scene/StorageStats.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "scene/render/TextureInternals.h"
#include "tests/support/LogCapture.h"
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
    void put(const char* name, std::uint32_t argb, int side = 4) { reader.files[name] = solid(side, side, argb); }
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
    struct Row {
        std::vector<const char*> files;  // the first names the sequence
        float cycle;
        std::vector<std::pair<double, int>> shown;  // the engine time, the file shown
    };
    const Row rows[] = {
        // Just short of a whole cycle the product rounds up to the frame
        // count: the last frame is shown, not one past it.
        {{"wave08.gif", "wave09.gif", "wave10.gif"}, 1.5f, {{2.0, 1}, {0.2, 0}, {1.2, 2}, {1.49999999999, 2}, {-0.1, 0}}},
        // A cycle of zero lasts a hundredth of a second.
        {{"z1.gif", "z2.gif", "z3.gif"}, 0, {{0.005, 1}}},
        // The sequence ends where its digits run out: frame10 is not in it.
        {{"frame9.gif", "frame10.gif"}, 1, {{0.1, 0}, {0.5, 0}, {0.9, 0}}},
    };
    const std::uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.files[0]);
        std::map<int, GLuint> names;
        for (size_t i = 0; i < row.files.size(); ++i)
            put(row.files[i], colours[i]);
        for (const auto& s : row.shown) {
            Texture alone = file(row.files[size_t(s.second)]);
            names[s.second] = nameOf(alone);
        }
        Texture sequence = file(row.files[0]);
        sequence.setByteOption(1);
        sequence.setWordOption(row.cycle);
        for (const auto& s : row.shown) {
            setEngineTime(s.first);
            EXPECT_EQ(nameOf(sequence), names[s.second]) << s.first;
        }
        EXPECT_EQ(sequence.width(), 4);
    }
    // No digits at all: one picture, and the load ends.
    put("plain.gif", 0xFF0000FF, 2);
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
    put("there.gif", 0xFFFFFFFF);
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
    put("all.gif", 0xFF00FF00);
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
    clear();
    pellium::disableGLState(5);
    pellium::disableGLState(10);
    pellium::enableGLState(2);
    glColor4f(1, 1, 1, 1);
    t.drawQuad(10, 20);
    for (auto xy : {std::pair<int, int>{11, 21}, {23, 33}})
        EXPECT_TRUE(kessa_test::pixelNear(at(xy.first, xy.second), 0, 255, 0, 0)) << xy.first << ", " << xy.second;
    for (auto xy : {std::pair<int, int>{27, 21}, {11, 38}, {8, 21}})
        EXPECT_TRUE(kessa_test::pixelNear(at(xy.first, xy.second), 0, 0, 0, 0)) << xy.first << ", " << xy.second;
}

TEST_F(TextureGl, MaterialsBindTheirTexturesOnBothUnits) {
    put("unit0.gif", 0xFFFF0000);
    put("unit1.gif", 0xFF0000FF);
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

    // A sequence is bound again even when its material is the same.
    put("anim1.gif", 0xFFFF0000);
    put("anim2.gif", 0xFF00FF00);
    Texture second = file("anim2.gif");
    const GLuint n2 = nameOf(second);
    counted_ptr<Texture> anim(new Texture(file("anim1.gif")));
    anim->setByteOption(1);
    Material animated(Color{1, 1, 1, 1});
    animated.setTexture(anim, 0);
    Material::beginFrame();
    setEngineTime(0.1);
    animated.apply();
    setEngineTime(0.6);
    animated.apply();
    EXPECT_EQ(bound(), n2);
}
