// Materials, lights, fog, the viewer and scene textures on GL, read back
// from GL state and from the pixels of a quad in front of the camera.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <map>

#include "gui/gl/GLtexture.h"
#include "gui/gl/ImageReader.h"
#include "scene/StorageStats.h"
#include "scene/Stopwatch.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Texture.h"
#include "scene/render/TextureInternals.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Fog;
using kessa::Light;
using kessa::Material;
using kessa::Matrix;
using kessa::Texture;
using kessa::Viewer;
using orvel::counted_ptr;
using Color = pellium::Color;

namespace {

using RenderGl = SceneGl;

// What a material decides in GL, as far as it matters for the material:
// the lit colours only while lit without colour material, the current
// colour only while unlit.
std::vector<float> state(const Material& m) {
    std::vector<float> s = {float(glIsEnabled(GL_LIGHTING)), float(glIsEnabled(GL_COLOR_MATERIAL)),
                            float(gltest::integer(GL_SHADE_MODEL)), float(glIsEnabled(GL_TEXTURE_GEN_S))};
    auto add = [&s](const std::vector<float>& v) { s.insert(s.end(), v.begin(), v.end()); };
    std::vector<float> light(4);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, light.data());
    add(light);
    for (GLenum name : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION, GL_SHININESS})
        if (m.colourMaterial() ? name == GL_SPECULAR || name == GL_EMISSION : m.lighting()) {
            std::vector<float> v(4);
            glGetMaterialfv(GL_FRONT, name, v.data());
            add(v);
        }
    if (!m.lighting() && !m.colourMaterial())
        add(gltest::floats(GL_CURRENT_COLOR, 4));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    s.push_back(m.sphereMap() ? float(mode) : 0);
    return s;
}

// GL as a frame finds it: the default state, a light applied, a colour.
void freshGL() {
    pellium::resetGLState();
    Material::forgetAppliedState();
    Light l;
    l.setColour(Color{0.9f, 0.8f, 0.7f, 1});
    l.apply(0);
    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
}

Material made(const Color& c, bool lit, void (*more)(Material&)) {
    Material m(c);
    m.setLighting(lit);
    more(m);
    return m;
}

// From any material to any other, the incremental apply leaves GL as a
// full one does, among materials that differ in every switch the cache
// keeps (transparent black is drawn white on both paths).
TEST_F(RenderGl, IncrementalApplyEndsWhereAFullApplyDoes) {
    const Material list[] = {
        made({1, 0.5f, 0.25f, 0.5f}, true, [](Material& m) { m.setSpecular(Color{0.5f, 0.5f, 0.5f, 1}), m.setShininess(0.25f); }),
        made({0.2f, 0.4f, 0.6f, 1}, true, [](Material& m) { m.setEmission(Color{0.1f, 0, 0, 1}), m.setSmoothShading(false); }),
        made({0.25f, 0.5f, 0.75f, 1}, false, [](Material&) {}),
        made({0, 0, 0, 0}, false, [](Material& m) { m.setAlpha(0); }),
        made({1, 1, 1, 1}, true, [](Material& m) { m.setColourMaterial(true); }),
        made({0.8f, 0.8f, 0.9f, 1}, true, [](Material& m) { m.setSphereMap(true); }),
        made({1, 0, 0, 1}, false, [](Material& m) { m.setSmoothShading(false), m.setSphereMap(true); })};
    for (const Material& from : list)
        for (const Material& to : list) {
            freshGL();
            Material::beginFrame();
            from.apply();
            to.apply();
            std::vector<float> incremental = state(to);
            freshGL();
            to.apply();
            EXPECT_EQ(incremental, state(to)) << "from " << &from - list << " to " << &to - list;
        }
    freshGL();
    list[3].apply();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), {1, 1, 1, 1}));
    list[0].apply();
    EXPECT_TRUE(near4(materialv(GL_AMBIENT), {0.2f, 0.1f, 0.05f, 1}) && near4(materialv(GL_DIFFUSE), {0.8f, 0.4f, 0.2f, 1}));
    EXPECT_FLOAT_EQ(materialv(GL_SHININESS)[0], 32);
    list[4].apply();
    EXPECT_EQ(gltest::integer(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
    glColor4f(0.5f, 0.25f, 0.125f, 1);
    EXPECT_TRUE(near4(materialv(GL_DIFFUSE), {0.5f, 0.25f, 0.125f, 1}) && near4(lightv(GL_LIGHT0, GL_DIFFUSE), {0, 0, 0, 0}));
}

// Within a frame an equal material makes no GL call; a reset of the GL
// layer's state (as when the context is bound anew), forgetting the
// applied state, or applying without beginFrame make the next apply full;
// beginFrame applies the default only when the state is unknown.
TEST_F(RenderGl, TheAppliedStateCache) {
    Material m(Color{0.5f, 0.5f, 0.5f, 1});
    m.setLighting(true);
    m.setSmoothShading(false);
    counted_ptr<Material> shared = Material::share(m);
    Material::beginFrame();
    shared->apply();
    glDisable(GL_LIGHTING);  // behind the cache's back
    glShadeModel(GL_SMOOTH);
    shared->apply();
    Material(m).apply();
    EXPECT_TRUE(!on(GL_LIGHTING) && gltest::integer(GL_SHADE_MODEL) == GL_SMOOTH);
    Material other(m);
    other.setDiffuse(Color{0.3f, 0.3f, 0.3f, 1});
    other.apply();
    EXPECT_TRUE(near4(materialv(GL_DIFFUSE), {0.3f, 0.3f, 0.3f, 1}));
    pellium::resetGLState();
    EXPECT_FALSE(on(GL_LIGHTING));
    m.apply();
    EXPECT_TRUE(on(GL_LIGHTING) && gltest::integer(GL_SHADE_MODEL) == GL_FLAT && near4(materialv(GL_DIFFUSE), {0.4f, 0.4f, 0.4f, 1}));
    glShadeModel(GL_SMOOTH);
    m.apply();
    EXPECT_EQ(gltest::integer(GL_SHADE_MODEL), GL_SMOOTH) << "the same frame goes on incrementally";
    Material::forgetAppliedState();
    m.apply();
    glShadeModel(GL_SMOOTH);
    pellium::invalidateGLStateCache();
    m.apply();
    EXPECT_EQ(gltest::integer(GL_SHADE_MODEL), GL_FLAT) << "without beginFrame every apply is full";
    Material::forgetAppliedState();
    Material::beginFrame();
    EXPECT_TRUE(!on(GL_LIGHTING) && near4(floats(GL_CURRENT_COLOR), {1, 1, 1, 1}));
    glColor4f(0, 0, 1, 1);
    Material::beginFrame();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), {0, 0, 1, 1}));
}

// Lights go to eye space (world z is eye y, world y is eye -z), leave the
// modelview as it was, and only indices 0 to 7 are lights; a light with the
// view stays in the world; the light model and each fog mode send only what
// they use, and nothing with fog switched off.
TEST_F(RenderGl, LightsTheLightModelAndFog) {
    constexpr float r3 = 0.57735026918962573f;
    Light l, other;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    l.setColour(Color{0.5f, 0.25f, 1, 0.5f});
    l.apply(2);
    EXPECT_TRUE(near4(lightv(GL_LIGHT2, GL_POSITION), {r3, r3, r3, 0}) && near4(lightv(GL_LIGHT2, GL_SPECULAR), {0.5f, 0.25f, 1, 1}));
    EXPECT_TRUE(on(GL_LIGHT2) && Light::lastAppliedColour().red == 0.5f && gltest::floats(GL_MODELVIEW_MATRIX, 16)[12] == 5);
    glLoadIdentity();
    l.setKind(Light::positional);
    l.setPosition(1, 2, 3);
    l.apply(1);
    EXPECT_TRUE(near4(lightv(GL_LIGHT1, GL_POSITION), {1, 3, -2, 1}) && lightv(GL_LIGHT1, GL_LINEAR_ATTENUATION)[0] == 0.2f);
    glDisable(GL_LIGHT6);
    other.setColour(Color{0.1f, 0.2f, 0.3f, 1});
    for (int index : {8, -1, 100})
        other.apply(index);
    EXPECT_TRUE(Light::lastAppliedColour().red == 0.5f && !on(GL_LIGHT6));
    Viewer viewer;
    Matrix camera;
    camera.setRotation(90, kessa::Vector(0, 0, 1));  // looking along world -x
    camera.translate(kessa::Vector(10, 0, 0));
    viewer.setCameraMatrix(camera);
    l.setKind(Light::directional);
    l.setDirection(-1, 0, 0);  // towards the light: straight ahead
    l.applyWithView(viewer, 0);
    EXPECT_TRUE(near4(lightv(GL_LIGHT0, GL_POSITION), {0, 0, -1, 0}));
    l.setKind(Light::positional);
    l.setPosition(10, 0, 5);  // the camera's own position, 5 up
    l.applyWithView(viewer, 0);
    EXPECT_TRUE(near4(lightv(GL_LIGHT0, GL_POSITION), {0, 5, 0, 1}));
    kessa::LightModel custom, single;
    custom.setAmbient(Color{0.1f, 0.2f, 0.3f, 0.4f});
    custom.setLocalViewer(true);
    single.setSeparateSpecular(false);
    custom.apply();
    EXPECT_TRUE(near4(floats(GL_LIGHT_MODEL_AMBIENT), {0.1f, 0.2f, 0.3f, 0.4f}) && gltest::integer(GL_LIGHT_MODEL_LOCAL_VIEWER));
    single.apply();
    EXPECT_TRUE(gltest::integer(GL_LIGHT_MODEL_COLOR_CONTROL) == GL_SINGLE_COLOR && !gltest::integer(GL_LIGHT_MODEL_LOCAL_VIEWER));
    const struct {
        int mode;
        GLint glMode;
        std::vector<float> startEndDensity;
    } rows[] = {{Fog::linear, GL_LINEAR, {5, 50, 0.75f}}, {Fog::exponential, GL_EXP, {3, 4, 0.25f}}, {Fog::squaredExponential, GL_EXP2, {3, 4, 0.25f}}};
    for (const auto& row : rows) {
        glFogf(GL_FOG_START, 3);
        glFogf(GL_FOG_END, 4);
        glFogf(GL_FOG_DENSITY, 0.75f);
        Fog fog;
        fog.mode = row.mode, fog.start = 5, fog.end = 50, fog.density = 0.25f;
        fog.colour = Color{0.25f, 0.5f, 0.75f, 0};
        fog.apply();
        EXPECT_TRUE(on(GL_FOG) && gltest::integer(GL_FOG_MODE) == row.glMode && near4(floats(GL_FOG_COLOR), {0.25f, 0.5f, 0.75f, 1}));
        const std::vector<float> sent = {floats(GL_FOG_START)[0], floats(GL_FOG_END)[0], floats(GL_FOG_DENSITY)[0]};
        EXPECT_EQ(sent, row.startEndDensity) << row.mode;
    }
    Fog().apply();
    EXPECT_FALSE(on(GL_FOG));
    pellium::fogEnabled = false;
    Fog red;
    red.mode = Fog::linear;
    red.colour = Color{1, 0, 0, 1};
    red.apply();
    EXPECT_TRUE(!on(GL_FOG) && gltest::integer(GL_FOG_MODE) == GL_EXP2 && near4(floats(GL_FOG_COLOR), {0.25f, 0.5f, 0.75f, 1}));
    glEnable(GL_FOG);
    pellium::invalidateGLStateCache();
    Fog().apply();
    EXPECT_TRUE(on(GL_FOG)) << "with fog switched off nothing changes";
}

// A lit, fogged, textured quad 10 units ahead filling the view: the pixel
// in its middle has the colour material, light, texture and fog give it.
TEST_F(RenderGl, ALitQuadHasTheColourTheStateGivesIt) {
    Viewer viewer;
    viewer.setWindowSize(info());
    kessa::LightModel().apply();
    for (int i = 1; i < 8; ++i)
        glDisable(GLenum(GL_LIGHT0 + i));
    pellium::Image white(4, 4);
    white.fill(0xFF80FF80);
    counted_ptr<Texture> texture(new Texture);
    texture->setImage(white);
    texture->setMipmapped(false);
    const struct {
        Color light, material, emission, fog;
        bool lit, textured;
        int r, g, b, tolerance;
    } rows[] = {
        // Ambient 0.2 and diffuse 0.8 of the colour, each times the light.
        {{1, 0.5f, 1, 1}, {0.5f, 0.25f, 1, 1}, {0, 0, 0, 1}, {}, true, false, 128, 32, 255, 2},
        // Half of that and half of the green fog.
        {{1, 0.5f, 1, 1}, {0.5f, 0.25f, 1, 1}, {0, 0, 0, 1}, {0, 1, 0, 0}, true, false, 64, 143, 128, 3},
        {{1, 0.5f, 1, 1}, {0.5f, 0.25f, 1, 1}, {0.25f, 0.5f, 0, 1}, {}, true, false, 191, 159, 255, 2},
        {{1, 0.5f, 1, 1}, {0.2f, 0.4f, 0.6f, 1}, {0, 0, 0, 1}, {}, false, false, 51, 102, 153, 1},
        // Lit (1, 0.5, 0.25), textured with (0.5, 1, 0.5), fogged half-way to blue.
        {{1, 1, 1, 1}, {1, 0.5f, 0.25f, 1}, {0, 0, 0, 1}, {0, 0, 1, 1}, true, true, 64, 64, 143, 4},
    };
    for (const auto& r : rows) {
        Light light;
        light.setDirection(0, -1, 0);  // from behind the camera
        light.setColour(r.light);
        light.apply(0);
        Material m(r.material);
        m.setLighting(r.lit);
        m.setEmission(r.emission);
        if (r.textured)
            m.setTexture(texture, 0);
        pellium::setTexEnv(1);
        Material::beginFrame();
        m.apply();
        Fog fog;
        fog.mode = r.fog.red + r.fog.green + r.fog.blue > 0 ? Fog::linear : Fog::off;
        fog.end = 20;  // half-way at the quad
        fog.colour = r.fog;
        fog.apply();
        clear();
        pellium::disableGLState(10);
        drawQuad({10, -10, 10, -10, 10});
        EXPECT_TRUE(pixelNear(middle(), r.r, r.g, r.b, r.tolerance)) << &r - rows;
        Fog().apply();
    }
}

// The viewer loads its projection and its view (turned for z up) into GL; a
// bad size keeps the old projection; the viewport outline and the
// frustum's debug drawing; multGL and the bounds' debug drawing.
TEST_F(RenderGl, TheViewerAndDebugDrawing) {
    Viewer v;
    Matrix camera;
    camera.setEuler(15, -20, 130);
    camera.translate(kessa::Vector(4, -7, 2));
    v.setCameraMatrix(camera);
    v.setNearFar(0.5, 80);
    v.setWindowSize(info());
    const std::vector<float> projection = gltest::floats(GL_PROJECTION_MATRIX, 16), view = gltest::floats(GL_MODELVIEW_MATRIX, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(projection[i], v.projection().values()[i], 1e-5) << i;
    const kessa::Vector p(3, 1, -2), turned = [&] {
        kessa::Vector c;
        Matrix::transformPoint(c, p, v.viewMatrix());
        return kessa::Vector(c.x, c.z, -c.y);
    }();
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(p.x * view[i] + p.y * view[4 + i] + p.z * view[8 + i] + view[12 + i], turned[i], 1e-4) << i;
    pellium::GLRenderInfo bad;
    bad.width = 0, bad.height = 600;
    LogCapture log;
    v.setWindowSize(bad);
    EXPECT_TRUE(log.text() == "Viewer::setWindowSize() - bad sizes passed, ignored!\n" && gltest::floats(GL_PROJECTION_MATRIX, 1)[0] == projection[0]);
    clear();
    v.drawViewportOutline(info());
    EXPECT_EQ(count(0, 0, 0), glSide * glSide) << "nothing without an explicit viewport";
    v.setViewport(8, 10, 48, 40);
    v.drawViewportOutline(info());
    for (auto xy : {std::pair<int, int>{8, 10}, {55, 10}, {55, 49}, {8, 49}, {30, 10}})
        EXPECT_TRUE(pixelNear(at(xy.first, xy.second), 255, 127, 127, 2)) << xy.first << ", " << xy.second;
    EXPECT_TRUE(pixelNear(at(30, 30), 0, 0, 0) && pixelNear(at(7, 10), 0, 0, 0) && pixelNear(at(56, 10), 0, 0, 0));
    EXPECT_TRUE(on(GL_DEPTH_TEST) && std::fabs(gltest::floats(GL_PROJECTION_MATRIX, 1)[0] - projection[0]) < 1e-6);
    Viewer watched, watcher;
    watched.setNearFar(1, 10);
    camera.setTranslation(kessa::Vector(0, -20, 0));
    watcher.setCameraMatrix(camera);
    watcher.setWindowSize(info());
    clear();
    pellium::disableGLState(5);
    glColor4f(1, 1, 1, 1);
    watched.frustum().drawDebug();
    EXPECT_TRUE(gltest::floats(GL_POINT_SIZE, 1)[0] == 1 && count(255, 255, 0) > 40 && count(0, 0, 255) > 4 && count(255, 255, 255) > 10);
    clear();
    kessa::ViewFrustum().drawDebug();
    kessa::Bounds().draw();
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
    // Seen straight along z over -1..1: a matrix is loaded as laid out, the
    // last multiplied on applies first; the box's edges and three circles.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    Matrix a, b, ab;
    a.setEuler(10, 20, 30);
    a.translate(kessa::Vector(0.1, 0.2, 0.3));
    b.setRotation(40, kessa::Vector(1, 1, 0));
    b.multGL();
    a.multGL();
    ab.multiply(a, b);
    const std::vector<float> gl = gltest::floats(GL_MODELVIEW_MATRIX, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(gl[i], ab.values()[i], 1e-6) << i;
    glLoadIdentity();
    glColor3f(1, 1, 1);
    kessa_test::box({-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5}).draw();
    auto litNear = [](const gltest::Pixels& px, double x, double y) {
        const int cx = int((x + 1) / 2 * glSide), cy = int((y + 1) / 2 * glSide);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (cx + dx >= 0 && cx + dx < glSide && cy + dy >= 0 && cy + dy < glSide && (px[size_t(cy + dy) * glSide + size_t(cx + dx)] & 0xFF) > 128)
                    return true;
        return false;
    };
    const gltest::Pixels px = pixels();
    const double r = std::sqrt(0.75);
    for (auto xy : {std::pair<double, double>{-0.5, 0.25}, {0.3, 0.5}, {0, r}, {-r, 0}, {-0.7, 0}, {0, 0.7}})
        EXPECT_TRUE(litNear(px, xy.first, xy.second)) << xy.first << ", " << xy.second;
    EXPECT_TRUE(!litNear(px, -0.3, -0.3) && !litNear(px, -0.95, 0.95));
}

// Pictures by name; every name resolves to "/textures/" and its last part.
class MapReader : public pellium::ImageReader {
public:
    pellium::Image read(const orvel_string& name) override {
        ++reads;
        auto found = files.find(name.c_str());
        return found == files.end() ? pellium::Image() : found->second;
    }
    bool exists(const orvel_string& name) override { return files.count(name.c_str()) != 0; }
    orvel_string resolve(const orvel_string& name) override {
        std::string s = name.c_str();
        return orvel_string(("/textures/" + s.substr(s.find_last_of('\\') + 1)).c_str());
    }
    void put(const char* name, std::uint32_t argb, int side = 4) {
        files[name] = pellium::Image(side, side);
        files[name].fill(argb);
    }
    std::map<std::string, pellium::Image> files;
    int reads = 0;
};

double clockNow = 0;

void setEngineTime(double t) {
    kessa::Stopwatch::setTimeSource([] { return clockNow; });
    clockNow = t;
    kessa::Stopwatch::tick();
}

class TextureGl : public SceneGl {
protected:
    void SetUp() override {
        SceneGl::SetUp();
        pellium::ImageReader::setCurrent(&reader);
    }
    void TearDown() override {
        pellium::ImageReader::setCurrent(nullptr);
        kessa::Stopwatch::setTimeSource(nullptr);
        SceneGl::TearDown();
    }
    static GLuint bound() { return GLuint(gltest::integer(GL_TEXTURE_BINDING_2D)); }
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
    static std::set<std::uint32_t> texels() {
        const gltest::Size size = gltest::levelSize(0);
        std::vector<std::uint32_t> t(size_t(size.first) * size_t(size.second));
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
        return std::set<std::uint32_t>(t.begin(), t.end());
    }
    MapReader reader;
};

// Textures of files that resolve the same with the same options share one
// GL texture and one read; clamping needs one of its own; a missing file
// (also without a reader) binds the black fallback; a picture in memory
// builds a new GL texture when it changes; the white textures; bindAll
// loads every texture; the statistics count the GL textures.
TEST_F(TextureGl, SharingFallbacksPicturesAndWhite) {
    reader.put("share.gif", 0xFF336699, 8);
    reader.files["maps\\share.gif"] = reader.files["share.gif"];
    Texture a = file("share.gif"), b = file("share.gif"), elsewhere = file("maps\\share.gif"), clamped = file("share.gif");
    clamped.setEdgeFlagS(true);
    const int before = pellium::GLtexture::count();
    const GLuint name = nameOf(a);
    EXPECT_TRUE(name != 0 && nameOf(b) == name && nameOf(elsewhere) == name && nameOf(clamped) != name && reader.reads == 2);
    EXPECT_TRUE(pellium::GLtexture::count() == before + 2 && a.width() == 8 && clamped.height() == 8);
    Texture missing = file("nowhere.gif"), alsoMissing = file("nothere.gif"), there = file("there.gif");
    const GLuint black = nameOf(missing);
    EXPECT_TRUE(missing.width() == 16 && missing.height() == 16 && nameOf(alsoMissing) == black && texels() == std::set<std::uint32_t>{0xFF000000u});
    pellium::ImageReader::setCurrent(nullptr);
    reader.put("there.gif", 0xFFFFFFFF);
    EXPECT_EQ(nameOf(there), black);
    pellium::ImageReader::setCurrent(&reader);
    Texture t;
    pellium::Image white(8, 4), dark(2, 2);
    white.fill(0xFFFFFFFF);
    dark.fill(0xFF000000);
    t.setImage(white);
    const GLuint first = nameOf(t);
    EXPECT_TRUE(!t.dirty() && t.width() == 8 && texels() == std::set<std::uint32_t>{0xFFFFFFFFu});
    t.setImage(dark);
    EXPECT_TRUE(t.dirty() && nameOf(t) != first && t.width() == 2 && texels() == std::set<std::uint32_t>{0xFF000000u});
    const counted_ptr<Texture>& solid = Texture::whiteTexture(false);
    const counted_ptr<Texture>& clear = Texture::whiteTexture(true);
    EXPECT_TRUE(solid == Texture::whiteTexture(false) && solid != clear && solid->name() == "whiteTextureSolid" && clear->name() == "whiteTextureAlpha");
    EXPECT_TRUE(nameOf(*solid) && texels() == std::set<std::uint32_t>{0xFFFFFFFFu} && solid->width() == 4 && solid->file().str() == "");
    clear->bind();
    for (std::uint32_t texel : texels())
        EXPECT_EQ(texel >> 24, 0u);
    reader.put("all.gif", 0xFF00FF00, 16);
    Texture all = file("all.gif");
    all.setScale(2, 2);  // a key of its own: the file is read here
    LogCapture log;
    const int reads = reader.reads;
    kessa::TextureInternals::bindAll();
    const std::string text = log.text();  // the GL layer may log its own lines in between
    EXPECT_TRUE(text.find("Binding white textures...\n") == 0 && text.find("Loading texture files...\n") != std::string::npos);
    EXPECT_TRUE(reader.reads == reads + 1 && !all.dirty());
    kessa::StorageStats stats;
    kessa::getStorageStats(stats);
    EXPECT_TRUE(stats.textures == pellium::GLtexture::count() && stats.textureBytes == double(pellium::GLtexture::totalSize()));
    // drawQuad shows the picture where asked.
    pellium::GLRenderInfo i = info();
    pellium::setPixelProjection(i);
    SceneGl::clear();
    pellium::disableGLState(5);
    pellium::disableGLState(10);
    pellium::enableGLState(2);
    glColor4f(1, 1, 1, 1);
    Texture green;
    green.setImage(reader.files["all.gif"]);
    green.setMipmapped(false);
    green.drawQuad(10, 20);
    EXPECT_TRUE(pixelNear(at(11, 21), 0, 255, 0) && pixelNear(at(23, 33), 0, 255, 0));
    EXPECT_TRUE(pixelNear(at(27, 21), 0, 0, 0) && pixelNear(at(11, 38), 0, 0, 0) && pixelNear(at(8, 21), 0, 0, 0));
}

// A numbered sequence shows the frame the engine clock gives: just short
// of a whole cycle the last frame, not one past it; a cycle of zero lasts a
// hundredth of a second; the sequence ends where its digits run out, and a
// name without digits is one picture.
TEST_F(TextureGl, ASequenceFollowsTheEngineClock) {
    const struct {
        std::vector<const char*> files;  // the first names the sequence
        float cycle;
        std::vector<std::pair<double, int>> shown;  // the engine time, the file shown
    } rows[] = {
        {{"wave08.gif", "wave09.gif", "wave10.gif"}, 1.5f, {{2.0, 1}, {0.2, 0}, {1.2, 2}, {1.49999999999, 2}, {-0.1, 0}}},
        {{"z1.gif", "z2.gif", "z3.gif"}, 0, {{0.005, 1}}},
        {{"frame9.gif", "frame10.gif"}, 1, {{0.1, 0}, {0.5, 0}, {0.9, 0}}},
        {{"plain.gif"}, 1, {{0.5, 0}}},
    };
    const std::uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (const auto& row : rows) {
        std::map<int, GLuint> names;
        for (size_t i = 0; i < row.files.size(); ++i) {
            reader.put(row.files[i], colours[i]);
            Texture alone = file(row.files[i]);
            names[int(i)] = nameOf(alone);
        }
        Texture sequence = file(row.files[0]);
        sequence.setByteOption(1);
        sequence.setWordOption(row.cycle);
        for (const auto& s : row.shown) {
            setEngineTime(s.first);
            EXPECT_EQ(nameOf(sequence), names[s.second]) << row.files[0] << " at " << s.first;
        }
        EXPECT_EQ(sequence.width(), 4);
    }
}

// A material binds its textures on both units; within a frame an equal
// texture is not bound again, unless it is a sequence; a material without
// textures turns texturing off on both units.
TEST_F(TextureGl, MaterialsBindTheirTexturesOnBothUnits) {
    for (const char* name : {"unit0.gif", "anim1.gif"})
        reader.put(name, 0xFFFF0000);
    for (const char* name : {"unit1.gif", "anim2.gif"})
        reader.put(name, 0xFF0000FF);
    counted_ptr<Texture> t0(new Texture(file("unit0.gif"))), t1(new Texture(file("unit1.gif"))), anim(new Texture(file("anim1.gif")));
    Texture second = file("anim2.gif");
    const GLuint n0 = nameOf(*t0), n1 = nameOf(*t1), n2 = nameOf(second);
    Material m(Color{1, 1, 1, 1}), plain(Color{1, 1, 1, 1}), animated(Color{1, 1, 1, 1});
    m.setTexture(t0, 0);
    m.setTexture(t1, 1);
    m.apply();
    EXPECT_TRUE(gltest::integer(GL_ACTIVE_TEXTURE) == GL_TEXTURE0 && on(GL_TEXTURE_2D) && bound() == n0);
    pellium::selectTextureUnit(1);
    EXPECT_TRUE(on(GL_TEXTURE_2D) && bound() == n1);
    pellium::selectTextureUnit(0);
    Material::beginFrame();
    m.apply();
    glBindTexture(GL_TEXTURE_2D, 0);
    m.apply();
    EXPECT_EQ(bound(), 0u);
    plain.apply();
    pellium::selectTextureUnit(1);
    EXPECT_FALSE(on(GL_TEXTURE_2D));
    pellium::selectTextureUnit(0);
    EXPECT_TRUE(!on(GL_TEXTURE_2D) && gltest::integer(GL_ACTIVE_TEXTURE) == GL_TEXTURE0);
    anim->setByteOption(1);
    animated.setTexture(anim, 0);
    Material::beginFrame();
    setEngineTime(0.1);
    animated.apply();
    setEngineTime(0.6);
    animated.apply();
    EXPECT_EQ(bound(), n2);
}

}  // namespace
