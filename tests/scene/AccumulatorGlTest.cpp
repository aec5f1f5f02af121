// The render accumulator's passes, read back from the frame buffer: what is
// drawn over what tells the order. The default viewer looks along +y from the
// origin with z up; a quad 10 units ahead and 20 wide fills the view.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BunchTestUtil.h"
#include "gui/EventQueue.h"
#include "gui/gl/Image.h"
#include "gui/gl/VideoSwitches.h"
#include "platform/Windows.h"
#include "scene/GeoBunch.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Material.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Renderable.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::GeoBunch;
using kessa::RenderAccumulator;
using kessa::Viewer;
using kessa_test::pixelNear;
using kessa_test::Rect;
using Color = pellium::Color;

namespace {

enum { depthTestState = 5, faceCullingState = 10 };

// Names of what was drawn, in order.
std::vector<std::string> drawn;

constexpr Rect full{10, -10, 10, -10, 10};
constexpr Rect centre{10, -1, 1, -1, 1};
constexpr Rect left{10, -10, 0, -10, 10};
constexpr Rect right{10, 0, 10, -10, 10};
constexpr Rect nearLeft{5, -10, 0, -10, 10};
const Color red{1, 0, 0, 1}, halfGreen{0, 1, 0, 0.5f}, white{1, 1, 1, 1};

class Quad : public kessa::Renderable {
public:
    Quad(const char* name, const Rect& r, const Color& c, bool depthTest = true)
        : name_(name), r_(r), c_(c), depthTest_(depthTest) {}
    void draw(pellium::GLRenderInfo&) override {
        drawn.push_back(name_);
        pellium::disableGLState(faceCullingState);
        if (!depthTest_)
            pellium::disableGLState(depthTestState);
        pellium::color4f(c_.red, c_.green, c_.blue, c_.alpha);
        kessa_test::drawQuad(r_);
        pellium::enableGLState(depthTestState);
    }

private:
    const char* name_;
    Rect r_;
    Color c_;
    bool depthTest_;
};

// Fills the view with blue from nearer than the scene, and records the state
// it was called in.
class BlueSky : public RenderAccumulator::SkyRenderer {
public:
    void renderSky(pellium::GLRenderInfo&, Viewer& viewer) override {
        seen = &viewer;
        glGetFloatv(GL_DEPTH_RANGE, range);
        GLboolean mask = GL_TRUE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        depthWrites = mask == GL_TRUE;
        Quad("sky", Rect{5, -10, 10, -10, 10}, Color{0, 0, 1, 1}).draw(context);
    }
    Viewer* seen = nullptr;
    float range[2] = {0, 0};
    bool depthWrites = true;
    pellium::GLRenderInfo context;
};

// A quad batch facing the camera (counter-clockwise as seen from it).
orvel::ref_ptr<GeoBunch> quadBunch(const Rect& r) {
    orvel::ref_ptr<GeoBunch> b(new GeoBunch);
    b->setVertexData(kessa_test::positions({{r.x0, r.y, r.z0}, {r.x1, r.y, r.z0}, {r.x0, r.y, r.z1}, {r.x1, r.y, r.z1}}),
                     true);
    b->setStripData(kessa_test::strips({4}));
    return b;
}

// A texture of one colour, packed as 0xAARRGGBB.
orvel::counted_ptr<kessa::Texture> plainTexture(std::uint32_t rgba) {
    pellium::Image image(4, 4);
    image.fill(rgba);
    orvel::counted_ptr<kessa::Texture> t(new kessa::Texture);
    t->setImage(image);
    t->setMipmapped(false);
    return t;
}

orvel::counted_ptr<kessa::Material> shared(const Color& c, void (*more)(kessa::Material&)) {
    kessa::Material m(c);
    more(m);
    return kessa::Material::share(m);
}

// Fog so thick that a surface 10 units away takes its colour.
kessa::Fog solidFog(const Color& c) {
    kessa::Fog f;
    f.mode = kessa::Fog::exponential;
    f.density = 100;
    f.colour = c;
    return f;
}

// Each test starts gathering its first frame with the viewer set.
class AccumulatorGl : public kessa_test::SceneGl {
protected:
    void SetUp() override {
        kessa_test::SceneGl::SetUp();
        next();
    }
    void TearDown() override {
        pellium::fullGLacceleration = true;
        kessa_test::SceneGl::TearDown();
    }
    void frame() { acc.render(context); }
    // A clear buffer, and the viewer for the frame to gather next.
    void next() {
        clear();
        drawn.clear();
        acc.setViewer(&viewer);
    }
    // Gathers a renderable under an override state (none for 0).
    void addUnder(unsigned state, Quad& q, bool blended) {
        acc.pushOverrideState(state);
        acc.add(&q, nullptr, blended);
        acc.popOverrideState();
    }

    Viewer viewer;
    RenderAccumulator acc;
    pellium::GLRenderInfo context = info();
};

}  // namespace

// ---- frames and the sky ----

TEST_F(AccumulatorGl, AnEmptyFrameTouchesNoStateButEnds) {
    glEnable(GL_BLEND);
    glDepthRange(0.25, 0.75);
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.pushTransparency(0.5f);
    frame();
    EXPECT_TRUE(on(GL_BLEND));
    EXPECT_TRUE(kessa_test::near4(floats(GL_DEPTH_RANGE), 0.25f, 0.75f, 0, 0));
    // Nothing of it reaches the next frame.
    EXPECT_EQ(acc.viewer(), nullptr);
    EXPECT_EQ(acc.overrideState(), 0u);
    EXPECT_EQ(acc.transparency(), 1.0f);
    glDisable(GL_BLEND);
    glDepthRange(0, 1);
}

TEST_F(AccumulatorGl, TheSkyLiesBehindEverything) {
    BlueSky sky;
    Quad redQuad("red", centre, red);
    // A frame of only a sky is drawn.
    acc.setSkyRenderer(&sky);
    frame();
    EXPECT_TRUE(pixelNear(middle(), 0, 0, 255, 0));

    next();
    sky.seen = nullptr;
    acc.setSkyRenderer(&sky);
    acc.add(&redQuad, nullptr, false);
    frame();
    EXPECT_EQ(sky.seen, &viewer);
    EXPECT_FLOAT_EQ(sky.range[0], 0.9999f);
    EXPECT_FLOAT_EQ(sky.range[1], 1.0f);
    EXPECT_FALSE(sky.depthWrites);
    EXPECT_TRUE(pixelNear(middle(), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(2, 2), 0, 0, 255, 0));
    EXPECT_TRUE(kessa_test::near4(floats(GL_DEPTH_RANGE), 0, 1, 0, 0));
    // The sky is for one frame.
    next();
    sky.seen = nullptr;
    acc.add(&redQuad, nullptr, false);
    frame();
    EXPECT_EQ(sky.seen, nullptr);
    EXPECT_TRUE(pixelNear(at(2, 2), 0, 0, 0, 0));
}

TEST_F(AccumulatorGl, WithoutAViewerTheSkyIsSkippedAndTheRestDrawn) {
    LogCapture log;
    BlueSky sky;
    Quad redQuad("red", centre, red);
    acc.setViewer(nullptr);
    // The default viewer's camera is this one's; the projection is left as it is.
    viewer.setWindowSize(context);
    acc.setSkyRenderer(&sky);
    acc.add(&redQuad, nullptr, false);
    frame();
    EXPECT_EQ(log.take(), "RenderAccumulator::renderSky(). Error: You didn't set a Viewer...\n");
    EXPECT_EQ(sky.seen, nullptr);
    EXPECT_TRUE(pixelNear(middle(), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(2, 2), 0, 0, 0, 0));
}

// ---- the order of the passes ----

TEST_F(AccumulatorGl, SolidThenOrderedThenBlendedWhateverTheOrderAdded) {
    Quad green("green", full, halfGreen);
    Quad blue("blue", full, Color{0, 0, 1, 1}, false);
    Quad redQuad("red", full, red, false);
    acc.add(&green, nullptr, true);
    addUnder(RenderAccumulator::ordered, blue, false);
    acc.add(&redQuad, nullptr, false);
    frame();
    EXPECT_EQ(drawn, (std::vector<std::string>{"red", "blue", "green"}));
    EXPECT_TRUE(pixelNear(middle(), 0, 128, 128, 2));
}

TEST_F(AccumulatorGl, BlendedItemsAreDrawnInTheOrderAddedNotByDepth) {
    Quad nearQuad("near", nearLeft, Color{1, 0, 0, 0.5f});
    Quad farQuad("far", full, halfGreen);
    acc.add(&nearQuad, nullptr, true);
    acc.add(&farQuad, nullptr, true);
    frame();
    // The near quad wrote its depth first: the far one is hidden behind it.
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 0, 0, 2));
    EXPECT_TRUE(pixelNear(at(48, 32), 0, 128, 0, 2));

    next();
    acc.add(&farQuad, nullptr, true);
    acc.add(&nearQuad, nullptr, true);
    frame();
    EXPECT_EQ(drawn, (std::vector<std::string>{"far", "near"}));
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 64, 0, 2));
}

TEST_F(AccumulatorGl, NoDepthWriteLetsLaterItemsThrough) {
    Quad nearQuad("near", nearLeft, red);
    Quad farQuad("far", full, halfGreen);
    acc.pushOverrideState(RenderAccumulator::ordered);
    addUnder(RenderAccumulator::noDepthWrite, nearQuad, false);
    acc.popOverrideState();
    acc.add(&farQuad, nullptr, true);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 128, 0, 2));
    // Depth writes are on again after the frame.
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE);
}

// ---- fading ----

TEST_F(AccumulatorGl, FadedItemsTakeTheirAlphaFromTheFadingTexel) {
    Quad whiteQuad("white", full, white);
    const struct {
        float alpha, s, t;
        bool accelerated;
        int grey;
    } rows[] = {{0.5f, 0.96875f, 0.46875f, true, 127},
                {0.25f, 0.96875f, 0.21875f, true, 63},
                // Without full acceleration faded items are only blended.
                {0.5f, 0.96875f, 0.46875f, false, 255}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.alpha << (row.accelerated ? "" : ", unaccelerated"));
        float st[2];
        RenderAccumulator::fadeTexCoord(row.alpha, st);
        EXPECT_FLOAT_EQ(st[0], row.s);
        EXPECT_FLOAT_EQ(st[1], row.t);
        pellium::fullGLacceleration = row.accelerated;
        next();
        acc.pushTransparency(row.alpha);
        acc.add(&whiteQuad, nullptr, false);
        ASSERT_EQ(acc.itemCount(RenderAccumulator::bunches), 1);
        frame();
        EXPECT_TRUE(pixelNear(middle(), row.grey, row.grey, row.grey, 1));
        // The fading unit is off again.
        ASSERT_TRUE(pellium::selectTextureUnit(2));
        EXPECT_FALSE(on(GL_TEXTURE_2D));
        pellium::selectTextureUnit(0);
    }
}

// ---- batches ----

TEST_F(AccumulatorGl, BatchesSharingGeometryAreDrawnNewestFirstGroupByGroup) {
    // Items at one place: the one drawn first wins the depth test, and its
    // fog tells which it was.
    orvel::ref_ptr<GeoBunch> x = quadBunch(left), y = quadBunch(full);
    kessa::Fog redFog = solidFog(red), blueFog = solidFog(Color{0, 0, 1, 1}), greenFog = solidFog(Color{0, 1, 0, 1});
    auto add = [&](GeoBunch* b, kessa::Fog* fog) {
        acc.pushFog(fog);
        acc.addBunch(b, nullptr);
        acc.popFog();
    };
    add(x.get(), &redFog);
    add(x.get(), &blueFog);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidStuff), 2);
    EXPECT_EQ(acc.item(RenderAccumulator::solidStuff, 1).next, 0);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 0, 0, 255, 1));
    EXPECT_TRUE(pixelNear(at(48, 32), 0, 0, 0, 0));

    // Groups come in the reverse order of their first item.
    next();
    add(x.get(), &redFog);
    add(y.get(), &greenFog);
    add(x.get(), &blueFog);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 0, 255, 0, 1));
    EXPECT_TRUE(pixelNear(at(48, 32), 0, 255, 0, 1));
}

TEST_F(AccumulatorGl, EachItemOfAGroupShowsItsOwnAnimationFrame) {
    orvel::ref_ptr<GeoBunch> b = quadBunch(left);
    GeoBunch::FrameList frames;
    frames.push_back(kessa_test::frame({{-10, 10, -10}, {0, 10, -10}, {-10, 10, 10}, {0, 10, 10}}));
    frames.push_back(kessa_test::frame({{0, 10, -10}, {10, 10, -10}, {0, 10, 10}, {10, 10, 10}}));
    b->setAnimation(frames);
    for (int i : {0, 1}) {
        acc.pushAnimation(RenderAccumulator::animationValue(i));
        acc.addBunch(b.get(), nullptr);
        acc.popAnimation();
    }
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 255, 255, 255, 0));
    EXPECT_TRUE(pixelNear(at(48, 32), 255, 255, 255, 0));
}

TEST_F(AccumulatorGl, TheCullingByteDecidesWhetherBackFacesShow) {
    // Seen from behind: the camera turned round to look along -y.
    kessa::Matrix turned;
    turned.setRotation(180, kessa::Vector(0, 0, 1));
    viewer.setCameraMatrix(turned);
    orvel::ref_ptr<GeoBunch> b = quadBunch(Rect{-10, -10, 10, -10, 10});
    acc.addBunch(b.get(), nullptr);
    frame();
    EXPECT_TRUE(pixelNear(middle(), 0, 0, 0, 0));
    b->material().first = 0;
    next();
    acc.addBunch(b.get(), nullptr);
    frame();
    EXPECT_TRUE(pixelNear(middle(), 255, 255, 255, 0));
}

TEST_F(AccumulatorGl, BlendedAndFadedBatchesComeLast) {
    orvel::ref_ptr<GeoBunch> b = quadBunch(full);
    Quad redQuad("red", full, red, false);
    acc.pushTransparency(0.5f);
    acc.addBunch(b.get(), nullptr);
    acc.popTransparency();
    acc.add(&redQuad, nullptr, false);
    ASSERT_EQ(acc.itemCount(RenderAccumulator::bunches), 1);
    frame();
    // Half white over red.
    EXPECT_TRUE(pixelNear(middle(), 255, 127, 127, 1));
}

// ---- the keys that hide passes ----

TEST_F(AccumulatorGl, LeftCtrlHidesOrderedItemsAndLeftShiftBlendedOnes) {
    Quad redQuad("red", left, red);
    Quad green("green", right, Color{0, 1, 0, 1});
    const struct {
        int key;
        int modifier;
        bool redShown, greenShown;
    } rows[] = {{platform::KeyLeftControl, pellium::Key::LeftCtrl, false, true},
                {platform::KeyLeftShift, pellium::Key::LeftShift, true, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        platform::Message m;
        m.type = platform::MessageType::KeyDown;
        m.key = row.key;
        platform::injectMessage(m);
        ASSERT_TRUE(pellium::isModifierDown(row.modifier));
        next();
        addUnder(RenderAccumulator::ordered, redQuad, false);
        acc.add(&green, nullptr, true);
        frame();
        m.type = platform::MessageType::KeyUp;
        platform::injectMessage(m);
        EXPECT_FALSE(pellium::isModifierDown(row.modifier));
        EXPECT_TRUE(pixelNear(at(16, 32), row.redShown ? 255 : 0, 0, 0, 0));
        EXPECT_TRUE(pixelNear(at(48, 32), 0, row.greenShown ? 255 : 0, 0, 0));
    }
}

// ---- the materials' applied state across renderables and frames ----

// Draws in a corner with a texture of its own, bound on unit 0 and left
// switched on, as GL text or a heads-up quad may.
struct TexturedCorner : kessa::Renderable {
    orvel::counted_ptr<kessa::Texture> texture = plainTexture(0xFF00FF00);
    void draw(pellium::GLRenderInfo&) override {
        pellium::selectTextureUnit(0);
        pellium::enableGLState(2);
        texture->bind();
        kessa_test::drawQuad(Rect{5, -2.1f, -1.7f, 1.7f, 2.1f});
    }
};

// A batch drawn after a renderable, with the material of a batch drawn
// before it, shows its own texture, not the renderable's.
TEST_F(AccumulatorGl, ARenderableLeavesNothingOfItsOwnToTheBatchesAfterIt) {
    orvel::counted_ptr<kessa::Material> redTextured =
        shared(white, [](kessa::Material& m) { m.setTexture(plainTexture(0xFFFF0000), 0); });
    orvel::ref_ptr<GeoBunch> before = quadBunch(left), after = quadBunch(right);
    before->material().setMaterial(redTextured);
    after->material().setMaterial(redTextured);
    TexturedCorner corner;
    acc.addBunch(before.get(), nullptr);
    acc.add(&corner, nullptr, false);
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.addBunch(after.get(), nullptr);
    acc.popOverrideState();
    frame();
    EXPECT_TRUE(pixelNear(at(16, 24), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(48, 24), 255, 0, 0, 0));
    EXPECT_TRUE(pixelNear(at(2, 61), 0, 255, 0, 0));
}

// Colour material takes light 0's diffuse colour; whatever material ended a
// frame, the next frame's lit quad gets the light in full.
TEST_F(AccumulatorGl, ALitQuadLooksTheSameWhateverMaterialEndedTheFrameBefore) {
    kessa::LightModel().apply();
    kessa::Light light;
    light.setDirection(0, -1, 0);
    light.setColour(Color{1, 0.5f, 1, 1});
    light.apply(0);
    for (int i = 1; i < 8; ++i)
        glDisable(GLenum(GL_LIGHT0 + i));
    orvel::ref_ptr<GeoBunch> lit = quadBunch(full);
    const GeoBunch::Float3 towardsCamera{0, -1, 0};
    lit->setNormalData(kessa_test::makeStream<GeoBunch::normal_data>(
        {towardsCamera, towardsCamera, towardsCamera, towardsCamera}));
    lit->material().setMaterial(shared(Color{0.5f, 0.25f, 1, 1}, [](kessa::Material& m) { m.setLighting(true); }));
    const struct {
        const char* name;
        void (*more)(kessa::Material&);
    } rows[] = {
        {"lit", [](kessa::Material& m) { m.setLighting(true); }},
        {"unlit", [](kessa::Material&) {}},
        {"colour material", [](kessa::Material& m) { m.setColourMaterial(true); }},
        {"textured", [](kessa::Material& m) { m.setTexture(plainTexture(0xFF00FF00), 0); }},
        {"sphere-mapped", [](kessa::Material& m) { m.setSphereMap(true); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        orvel::ref_ptr<GeoBunch> last = quadBunch(centre);
        last->material().setMaterial(shared(Color{0.2f, 0.6f, 0.4f, 1}, row.more));
        acc.addBunch(last.get(), nullptr);
        frame();
        next();
        acc.addBunch(lit.get(), nullptr);
        frame();
        // Ambient 0.2 and diffuse 0.8 of (0.5, 0.25, 1), times the light.
        EXPECT_TRUE(pixelNear(middle(), 128, 32, 255, 2));
        next();
    }
}
