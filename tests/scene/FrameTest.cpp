// Frames drawn for real (llvmpipe under Xvfb): batches compiled into buffer
// objects, from client arrays and without acceleration light the same
// pixels; the render accumulator's passes, read back (what is drawn over
// what tells the order); a streamed database drawn where the viewer puts it.
// The default viewer looks along +y from the origin with z up; a quad 10
// units ahead and 20 wide fills the view.
#include <gtest/gtest.h>

#include "gui/ErrorStage.h"
#include "gui/EventQueue.h"
#include "gui/gl/VertexArray.h"
#include "gui/gl/VideoSwitches.h"
#include "platform/Windows.h"
#include "scene/Database.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"
#include "scene/render/BoxRenderList.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Renderable.h"
#include "scene/render/Texture.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "scene/BunchCallbacks.h"
#include "scene/BunchHolder.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"

using namespace kessa;
using namespace kessa_test;
using gltest::rgba;
using Color = pellium::Color;

namespace {

const GeoBunch::Color4 red4{255, 0, 0, 255}, green4{0, 255, 0, 255}, blue4{0, 0, 255, 255}, yellow4{255, 255, 0, 255};

// In pixels: a red triangle as a strip of 3, a green rectangle as a fan of
// 4 and a blue plain triangle, counter-clockwise (culling stays on), as
// strips or plain triangles over the vertices or over indices (the
// vertices stored in reverse, so that list entries differ from vertex
// numbers); only the strip and the fan when every index is in them.
std::unique_ptr<GeoBunch> shapes(bool strip, bool indexed, bool textured = false, bool allInStrips = false) {
    const GeoBunch::Float3 points[10] = {{4, 4, 0}, {20, 4, 0}, {4, 20, 0}, {30, 4, 0}, {58, 4, 0}, {58, 20, 0}, {30, 20, 0}, {4, 36, 0}, {28, 36, 0}, {16, 58, 0}};
    const GeoBunch::Color4 colours[10] = {red4, red4, red4, green4, green4, green4, green4, blue4, blue4, blue4};
    const GeoBunch::Float2 coords[10] = {{0, 0}, {1, 0}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {0.5f, 1}};
    std::vector<unsigned> order = {0, 1, 2, 3, 4, 5, 3, 5, 6, 7, 8, 9};
    if (strip)
        order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    auto b = std::make_unique<GeoBunch>();
    orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
    orvel::ref_ptr<GeoBunch::color_data> c(new GeoBunch::color_data);
    orvel::ref_ptr<GeoBunch::texcoord_data> t(new GeoBunch::texcoord_data);
    orvel::ref_ptr<GeoBunch::index_data> list(new GeoBunch::index_data);
    for (unsigned k = 0; k < (indexed ? 10 : unsigned(order.size())); ++k) {
        const unsigned i = indexed ? 9 - k : order[k];
        v->push_back(points[i]), c->push_back(colours[i]), t->push_back(coords[i]);
    }
    for (unsigned i : order)
        if (!allInStrips || i < 7)
            list->push_back(9 - i);
    b->setVertexData(v, true);
    b->setColorData(c);
    if (textured)
        b->setTexcoordData(t, 0);
    if (strip)
        b->setStripData(strips({3, -4}));
    if (indexed)
        b->setIndexData(list);
    return b;
}

// A branch hook that records the progress word it is called under and does
// what the test asks to the batch.
class Hook : public BunchCallbacks {
public:
    void processBunch(GeoBunch& bunch) override {
        stages.push_back(pellium::errorStageCode);
        if (change)
            change(bunch);
    }
    std::vector<std::uint32_t> stages;
    std::function<void(GeoBunch&)> change;
};

class Holder : public BunchHolder {
public:
    Holder() { object.attach(std::make_unique<GroupBranch>()); }
    const Branch& holderBranch() const override { return *object.root(); }
    BunchCallbacks* bunchCallbacks() const override { return hook.get(); }
    void forgetBunch(GeoBunch*) override {}
    Object object;
    orvel::ref_ptr<Hook> hook{new Hook};
};

class BunchRendering : public gltest::GlFrameTest {
protected:
    static gltest::Pixels frameOf(GeoBunch& b) {
        return frame([&] { b.internals().render(); });
    }
    // A batch from make drawn compiled into buffer objects, and another from
    // client arrays: both show the same pixels, again when drawn again.
    static gltest::Pixels bothWays(const std::function<std::unique_ptr<GeoBunch>()>& make,
                                   const std::function<gltest::Pixels(GeoBunch&)>& draw = frameOf) {
        auto compiled = make();
        const gltest::Pixels a = draw(*compiled);
        EXPECT_TRUE(compiled->internals().vertexArray() && compiled->internals().vertexArray()->arrayBuffer() != 0);
        pellium::fullGLacceleration = false;
        auto client = make();
        EXPECT_TRUE(draw(*client) == a && !client->internals().vertexArray() && client->internals().compiled());
        pellium::fullGLacceleration = true;
        EXPECT_TRUE(draw(*compiled) == a && draw(*client) == a) << "drawn again";
        return a;
    }
    Holder holder;
};

// Every layout, and a textured batch, draws the same pixels compiled and
// from client arrays; non-indexed triangles after the strips draw.
TEST_F(BunchRendering, EveryLayoutDrawsTheSamePixelsBothWays) {
    for (int layout = 0; layout < 5; ++layout) {
        const gltest::Pixels p = bothWays([layout] { return shapes(layout % 2 == 0, layout >= 2, false, layout == 4); });
        EXPECT_TRUE(gltest::probesMatch(p, glSide, {{8, 8, rgba(255, 0, 0)}, {50, 12, rgba(0, 255, 0)}, {16, 42, layout == 4 ? rgba(0, 0, 0) : rgba(0, 0, 255)},
                                                    {40, 50, rgba(0, 0, 0)}})) << layout;
    }
    const std::uint32_t texels[2] = {0xFFFFFFFF, 0xFF404040};
    const GLuint texture = gltest::makeTexture(2, 1, texels);
    auto textured = [&](GeoBunch& b) {
        return frame([&] {
            pellium::enableGLState(2);
            glBindTexture(GL_TEXTURE_2D, texture);
            b.internals().render();
            pellium::disableGLState(2);
        });
    };
    EXPECT_NE(bothWays([] { return shapes(true, true, true); }, textured), frameOf(*shapes(true, true, true))) << "the texture shows";
    glDeleteTextures(1, &texture);
    // Client arrays leave only the vertex array on, and texture unit 0 active.
    pellium::fullGLacceleration = false;
    auto b = shapes(true, true, true);
    b->setNormalData(streamOf<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));
    b->setTexcoordData(b->internals().texCoords(0), 1);
    pellium::selectClientTextureUnit(1);
    frameOf(*b);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY) && !glIsEnabled(GL_COLOR_ARRAY) && !glIsEnabled(GL_NORMAL_ARRAY) && gltest::integer(GL_CLIENT_ACTIVE_TEXTURE) == GL_TEXTURE0);
    for (int unit = 1; unit >= 0; --unit) {
        pellium::selectClientTextureUnit(unit);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << unit;
    }
}

// One triangle is drawn from client arrays even when accelerated; without
// acceleration no batch gets a vertex array, and the switch counts only for
// batches compiled afterwards; an invalid batch draws nothing and is not
// compiled; one found invalid at its first draw is logged once and skipped;
// GL errors at the start and during a draw are logged and drawing goes on.
TEST_F(BunchRendering, CompilingSwitchesAndFaults) {
    GeoBunch one;
    one.setVertexData(positions({{4, 36, 0}, {28, 36, 0}, {16, 58, 0}}), true);
    one.setColorData(streamOf<GeoBunch::color_data>({yellow4, yellow4, yellow4}));
    EXPECT_TRUE(gltest::pixelAt(frameOf(one), glSide, 16, 42) == rgba(255, 255, 0) && one.internals().compiled() && !one.internals().vertexArray());
    EXPECT_EQ(pellium::errorStageCode, 30305u);
    pellium::fullGLacceleration = false;
    auto b = shapes(true, false);
    frameOf(*b);
    pellium::fullGLacceleration = true;
    frameOf(*b);
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
    b->internals().releaseVertexArray();
    EXPECT_FALSE(b->internals().compiled());
    frameOf(*b);
    EXPECT_TRUE(b->internals().vertexArray() && pellium::errorStageCode >= 30401u) << "the vertex array drew last";
    pellium::fullGLacceleration = false;
    b->internals().releaseVertexArray();
    frameOf(*b);
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
    pellium::fullGLacceleration = true;
    LogCapture log;
    auto bad = shapes(true, true);
    bad->setIndexData(indices({0, 1, 2, 3, 4, 5, 99}));
    EXPECT_FALSE(bad->internals().verify());
    EXPECT_TRUE(gltest::countOther(frameOf(*bad), rgba(0, 0, 0)) == 0 && !bad->internals().compiled() && !bad->internals().vertexArray());
    auto late = shapes(true, false);
    late->vertexDataSlot() = row(10);
    log.take();
    frameOf(*late);
    frameOf(*late);
    EXPECT_EQ(log.take(), "GeoBunchInternals::verify() - vertices isn't set properly\n");
    EXPECT_TRUE(late->internals().compiled() && !late->internals().vertexArray());
    glEnable(GLenum(0x7FFF));
    EXPECT_EQ(gltest::pixelAt(frameOf(*shapes(true, false)), glSide, 8, 8), rgba(255, 0, 0));
    EXPECT_EQ(log.take(), "GL had an error at the start of GeoBunchInternals::render()\n");
    // A hook that leaves a GL error behind runs before the vertex array is
    // built (which finds the error first) and before the draw.
    holder.hook->change = [](GeoBunch&) { glEnable(GLenum(0x7FFF)); };
    auto c = shapes(true, false);
    c->internals().setOwnerBranch(&holder);
    EXPECT_EQ(gltest::pixelAt(frameOf(*c), glSide, 8, 8), rgba(255, 0, 0));
    EXPECT_EQ(log.take(), "GL had an error at the start of makeVBO()\nGL had an error during GeoBunchInternals::render()\n");
    c->internals().setOwnerBranch(nullptr);
}

// Colours and normals a hook changes reach the buffer objects on that
// frame (the hook runs at compile, then at each draw); a compiled animated
// batch moves, as from client arrays.
TEST_F(BunchRendering, HooksAndAnimationReachACompiledBatch) {
    auto b = shapes(true, true);
    b->internals().setOwnerBranch(&holder);
    EXPECT_EQ(gltest::pixelAt(frameOf(*b), glSide, 8, 8), rgba(255, 0, 0));
    EXPECT_EQ(holder.hook->stages, (std::vector<std::uint32_t>{30301, 30302}));
    holder.hook->change = [](GeoBunch& bunch) {
        for (GeoBunch::Color4& c : *bunch.internals().colors())
            c = yellow4;
        bunch.addFlags(GeoBunch::dirtyColors);
    };
    const gltest::Pixels second = frameOf(*b);
    EXPECT_TRUE(b->flags() == unsigned(GeoBunch::dirtyColors) && gltest::probesMatch(second, glSide, {{8, 8, rgba(255, 255, 0)}, {50, 12, rgba(255, 255, 0)}}));
    pellium::fullGLacceleration = false;
    auto client = shapes(true, true);
    client->internals().setOwnerBranch(&holder);
    EXPECT_EQ(frameOf(*client), second);
    pellium::fullGLacceleration = true;
    auto lit = shapes(true, false);
    lit->setColorData(nullptr);
    orvel::ref_ptr<GeoBunch::normal_data> normals(new GeoBunch::normal_data);
    for (int i = 0; i < lit->vertexCount(); ++i)
        normals->push_back({0, 0, 1});
    lit->setNormalData(normals);
    lit->internals().setOwnerBranch(&holder);
    holder.hook->change = nullptr;
    auto drawLit = [&] {
        return gltest::pixelAt(frame([&] {
            pellium::enableGLState(0);
            glEnable(GL_LIGHT0);
            lit->internals().render();
            glDisable(GL_LIGHT0);
            pellium::disableGLState(0);
        }), glSide, 8, 8) & 0xFF;
    };
    EXPECT_GT(drawLit(), 150u);
    holder.hook->change = [](GeoBunch& bunch) {
        for (GeoBunch::Float3& n : *bunch.internals().normals())
            n = {0, 0, -1};
        bunch.addFlags(GeoBunch::dirtyNormals);
    };
    EXPECT_LT(drawLit(), 60u) << "normals turned away from the light";
    lit->internals().setOwnerBranch(nullptr), b->internals().setOwnerBranch(nullptr), client->internals().setOwnerBranch(nullptr);
    GeoBunch::Frame rest, raised;
    const std::unique_ptr<GeoBunch> still = shapes(true, false);
    for (const GeoBunch::Float3& p : *still->internals().vertices())
        rest.push_back(p), raised.push_back({p.x, p.y + 4, p.z});
    for (bool accelerated : {true, false}) {
        pellium::fullGLacceleration = accelerated;
        auto moving = shapes(true, false);
        moving->setAnimation({rest, raised});
        EXPECT_TRUE(gltest::probesMatch(frameOf(*moving), glSide, {{8, 5, rgba(255, 0, 0)}, {6, 19, rgba(0, 0, 0)}}));
        moving->internals().animate(1);
        EXPECT_TRUE(gltest::probesMatch(frameOf(*moving), glSide, {{8, 5, rgba(0, 0, 0)}, {6, 19, rgba(255, 0, 0)}})) << accelerated;
    }
}

// A batch changed through a setter after it was drawn is checked again
// before GL reads it, compiled or drawn from client arrays: a change that
// leaves the strips, indices or vertex count asking for more than a stream
// holds is logged once and draws nothing (it was drawn past its arrays),
// until a sound stream puts it right; a sound change shows at once.
TEST_F(BunchRendering, SettersAfterTheFirstDrawAreChecked) {
    using Change = std::function<void(GeoBunch&)>;
    auto colours = [](unsigned n, GeoBunch::Color4 c) {
        orvel::ref_ptr<GeoBunch::color_data> s(new GeoBunch::color_data);
        for (unsigned i = 0; i < n; ++i)
            s->push_back(c);
        return s;
    };
    const struct Row {
        const char* what;
        Change change;
        const char* logged;
        Change mend;
    } rows[] = {
        {"strips far past the vertices", [](GeoBunch& b) { b.setStripData(strips({3, 20000000})); }, "strips need 20000003 vertices but there are 10\n",
         [](GeoBunch& b) { b.setStripData(strips({3, -4})); }},
        {"vertices past the colours", [](GeoBunch& b) { b.setVertexData(row(300), false); }, "colors has fewer entries than vertices\n", nullptr},
        {"an index past the vertices", [](GeoBunch& b) { b.setIndexData(indices({0, 1, 2, 3, 4, 5, 6, 7, 8, 99})); }, "Index out of range\n\n",
         [](GeoBunch& b) { b.setIndexData(nullptr); }},
        {"colours short of the vertices", [&](GeoBunch& b) { b.setColorData(colours(3, yellow4)); }, "colors has fewer entries than vertices\n", nullptr},
        {"normals short of the vertices", [](GeoBunch& b) { b.setNormalData(streamOf<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}})); },
         "normals has fewer entries than vertices\n", [](GeoBunch& b) { b.setNormalData(nullptr); }},
        {"coordinates short of the vertices", [](GeoBunch& b) { b.setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}}), 1); },
         "texCoords[1] has fewer entries than vertices\n", [](GeoBunch& b) { b.setTexcoordData(nullptr, 1); }},
        {"vertices through the slot", [](GeoBunch& b) { b.vertexDataSlot() = row(10); }, "vertices isn't set properly\n", nullptr},
        {"new colours", [&](GeoBunch& b) { b.setColorData(colours(10, yellow4)); }, nullptr, nullptr},
    };
    LogCapture log;
    for (bool accelerated : {true, false}) {
        pellium::fullGLacceleration = accelerated;
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.what << (accelerated ? ", accelerated" : ", client arrays"));
            auto b = shapes(true, false);
            const orvel::ref_ptr<GeoBunch::vertex_data> vertices = b->internals().vertices();
            const orvel::ref_ptr<GeoBunch::color_data> sound = b->internals().colors();
            const gltest::Pixels before = frameOf(*b);
            EXPECT_EQ(b->internals().vertexArray() != nullptr, accelerated);
            log.take();
            row.change(*b);
            const gltest::Pixels after = frameOf(*b);
            if (!row.logged) {
                EXPECT_TRUE(gltest::probesMatch(after, glSide, {{8, 8, rgba(255, 255, 0)}, {50, 12, rgba(255, 255, 0)}, {16, 42, rgba(255, 255, 0)}}));
                EXPECT_EQ(log.take(), "");
                continue;
            }
            EXPECT_EQ(gltest::countOther(after, rgba(0, 0, 0)), 0);
            EXPECT_EQ(gltest::countOther(frameOf(*b), rgba(0, 0, 0)), 0);
            EXPECT_EQ(log.take(), std::string("GeoBunchInternals::verify() - ") + row.logged);
            if (row.mend)
                row.mend(*b);
            b->setVertexData(vertices, false);
            b->setColorData(sound);
            EXPECT_TRUE(frameOf(*b) == before && b->internals().valid() && log.take().empty()) << "put right";
        }
    }
}

// Streams edited in place after the first draw (from client arrays), or by
// the hook, which marks the arrays changed (into buffer objects, after the
// first draw or while the batch is compiled): GL reads them only once they
// pass verify's checks as they stand. An edit that leaves the strips,
// indices or vertex count asking for more than a stream holds, or that moves
// a stream away from the pointer GL was given, is logged once and draws
// nothing; a sound edit shows at once. Buffer objects not told of an edit
// keep drawing what they copied.
TEST_F(BunchRendering, StreamsEditedInPlaceAreCheckedBeforeGLReads) {
    const struct Row {
        const char* what;
        std::function<void(GeoBunch&)> change;
        const char* logged;  // the first line
    } rows[] = {
        {"a strip", [](GeoBunch& b) { (*b.internals().strips())[1] = 20000000; }, "strips need 20000003 indices but there are 10\n"},
        {"an index", [](GeoBunch& b) { (*b.internals().indices())[4] = 10; }, "Index out of range\n\n"},
        {"vertices shrunk", [](GeoBunch& b) { b.internals().vertices()->resize(5); }, "Index out of range\n\n"},
        {"vertices grown", [](GeoBunch& b) { b.internals().vertices()->resize(100000); }, "vertices isn't set properly\n"},
        {"colours shrunk", [](GeoBunch& b) { b.internals().colors()->resize(3); }, "colors has fewer entries than vertices\n"},
        {"colours grown", [](GeoBunch& b) { b.internals().colors()->resize(100000); }, "colors isn't set properly\n"},
        {"colours repainted", [](GeoBunch& b) { std::fill(b.internals().colors()->begin(), b.internals().colors()->end(), yellow4); }, nullptr},
    };
    LogCapture log;
    for (int way = 0; way < 3; ++way) {
        pellium::fullGLacceleration = way > 0;
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.what << " " << way);
            auto b = shapes(true, true);
            holder.hook->change = [&row](GeoBunch& g) {
                row.change(g);
                g.addFlags(GeoBunch::dirtyVertices | GeoBunch::dirtyColors);
            };
            if (way < 2)
                frameOf(*b);
            if (way == 0)
                row.change(*b);
            else
                b->internals().setOwnerBranch(&holder);
            log.take();
            const gltest::Pixels after = frameOf(*b);
            const std::string logged = log.take();
            b->internals().setOwnerBranch(nullptr);
            if (!row.logged) {
                EXPECT_TRUE(gltest::probesMatch(after, glSide, {{8, 8, rgba(255, 255, 0)}, {50, 12, rgba(255, 255, 0)}, {16, 42, rgba(255, 255, 0)}}));
                EXPECT_EQ(logged, "");
                continue;
            }
            EXPECT_TRUE(gltest::countOther(after, rgba(0, 0, 0)) == 0 && gltest::countOther(frameOf(*b), rgba(0, 0, 0)) == 0);
            EXPECT_TRUE(logged.rfind("GeoBunchInternals::verify() - " + std::string(row.logged), 0) == 0 && log.take().empty()) << logged;
        }
    }
    holder.hook->change = nullptr;
}

// ---- the render accumulator's passes ----

std::vector<std::string> drawnNames;

class Quad : public Renderable {
public:
    Quad(const char* name, const Rect& r, const Color& c, bool depthTest = true) : name_(name), r_(r), c_(c), depthTest_(depthTest) {}
    void draw(pellium::GLRenderInfo& context) override {
        ++context.quads;
        drawnNames.push_back(name_);
        pellium::disableGLState(10);
        if (!depthTest_)
            pellium::disableGLState(5);
        pellium::color4f(c_.red, c_.green, c_.blue, c_.alpha);
        drawQuad(r_);
        pellium::enableGLState(5);
    }

private:
    const char* name_;
    Rect r_;
    Color c_;
    bool depthTest_;
};

constexpr Rect full{10, -10, 10, -10, 10}, centre{10, -1, 1, -1, 1}, left{10, -10, 0, -10, 10}, right{10, 0, 10, -10, 10}, nearLeft{5, -10, 0, -10, 10};
const Color red{1, 0, 0, 1}, halfGreen{0, 1, 0, 0.5f}, white{1, 1, 1, 1};

// Fills the view with blue from nearer than the scene, and records the
// depth range and writes it was called in.
class BlueSky : public RenderAccumulator::SkyRenderer {
public:
    void renderSky(pellium::GLRenderInfo&, Viewer& viewer) override {
        seen = &viewer;
        glGetFloatv(GL_DEPTH_RANGE, range);
        depthWrites = gltest::integer(GL_DEPTH_WRITEMASK) == GL_TRUE;
        pellium::GLRenderInfo context;
        Quad("sky", Rect{5, -10, 10, -10, 10}, Color{0, 0, 1, 1}).draw(context);
    }
    Viewer* seen = nullptr;
    float range[2] = {0, 0};
    bool depthWrites = true;
};

// Fog so thick that a surface 10 units away takes its colour.
Fog solidFog(const Color& c) {
    Fog f;
    f.mode = Fog::exponential;
    f.density = 100;
    f.colour = c;
    return f;
}

// Each test starts gathering its first frame with the viewer set.
class AccumulatorGl : public SceneGl {
protected:
    void SetUp() override {
        SceneGl::SetUp();
        next();
    }
    void frame() { acc.render(context); }
    void next() {
        clear();
        drawnNames.clear();
        acc.setViewer(&viewer);
    }
    void addUnder(unsigned state, Quad& q, bool blended) {
        acc.pushOverrideState(state);
        acc.add(&q, nullptr, blended);
        acc.popOverrideState();
    }
    void addBunch(GeoBunch* b, const Fog* fog = nullptr, int animation = 0, float alpha = 1) {
        acc.pushFog(fog), acc.pushAnimation(animation), acc.pushTransparency(alpha);
        acc.addBunch(b, nullptr);
        acc.popFog(), acc.popAnimation(), acc.popTransparency();
    }
    Viewer viewer;
    RenderAccumulator acc;
    pellium::GLRenderInfo context = info();
};

// An empty frame touches no state but ends; the sky lies behind
// everything, for one frame, and is skipped with a log line without a
// viewer; solid, then ordered, then blended items in the order added;
// without depth writes later items show through. Each frame counts its own
// statistics in the context it is drawn with.
TEST_F(AccumulatorGl, FramesSkyAndThePasses) {
    glEnable(GL_BLEND);
    glDepthRange(0.25, 0.75);
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.pushTransparency(0.5f);
    frame();
    EXPECT_TRUE(on(GL_BLEND) && near4(floats(GL_DEPTH_RANGE), {0.25f, 0.75f, 0, 0}));
    EXPECT_TRUE(!acc.viewer() && acc.overrideState() == 0 && acc.transparency() == 1) << "nothing reaches the next frame";
    glDisable(GL_BLEND);
    glDepthRange(0, 1);
    BlueSky sky;
    Quad redQuad("red", centre, red), green("green", full, halfGreen), blue("blue", full, Color{0, 0, 1, 1}, false),
        wholeRed("red", full, red, false), nearQuad("near", nearLeft, Color{1, 0, 0, 0.5f});
    for (int round = 0; round < 3; ++round) {
        next();
        if (round < 2)
            acc.setSkyRenderer(&sky);
        if (round == 1)
            acc.add(&redQuad, nullptr, false);
        sky.seen = nullptr;
        frame();
        EXPECT_TRUE(pixelNear(at(2, 2), 0, 0, round < 2 ? 255 : 0)) << round;
        EXPECT_EQ(sky.seen, round < 2 ? &viewer : nullptr);
    }
    EXPECT_TRUE(sky.range[0] == 0.9999f && sky.range[1] == 1 && !sky.depthWrites && near4(floats(GL_DEPTH_RANGE), {0, 1, 0, 0}));
    LogCapture log;
    next();
    acc.setViewer(nullptr);
    viewer.setWindowSize(context);
    acc.setSkyRenderer(&sky);
    acc.add(&redQuad, nullptr, false);
    frame();
    EXPECT_TRUE(log.take() == "RenderAccumulator::renderSky(). Error: You didn't set a Viewer...\n" && pixelNear(middle(), 255, 0, 0) && pixelNear(at(2, 2), 0, 0, 0));
    next();
    acc.add(&green, nullptr, true);
    addUnder(RenderAccumulator::ordered, blue, false);
    acc.add(&wholeRed, nullptr, false);
    frame();
    EXPECT_TRUE(drawnNames == (std::vector<std::string>{"red", "blue", "green"}) && pixelNear(middle(), 0, 128, 128, 2));
    next();
    acc.add(&nearQuad, nullptr, true);
    acc.add(&green, nullptr, true);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 0, 0, 2) && pixelNear(at(48, 32), 0, 128, 0, 2)) << "the near one hid the far one";
    next();
    acc.add(&green, nullptr, true);
    acc.add(&nearQuad, nullptr, true);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 64, 0, 2)) << "in the order added, not by depth";
    EXPECT_TRUE(context.quads == 2 && context.width == glSide && context.height == glSide) << "a frame counts its own quads";
    next();
    Quad opaqueNear("near", nearLeft, red);
    acc.pushOverrideState(RenderAccumulator::ordered);
    addUnder(RenderAccumulator::noDepthWrite, opaqueNear, false);
    acc.popOverrideState();
    acc.add(&green, nullptr, true);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 128, 128, 0, 2) && gltest::integer(GL_DEPTH_WRITEMASK) == GL_TRUE);
}

// Faded items take their alpha from the fading texel (only blended without
// full acceleration); batches sharing geometry are drawn newest first, group
// by group (the first drawn wins the depth test, its fog tells which), each
// item with its own animation frame; blended and faded batches come last;
// the culling byte decides whether back faces show.
TEST_F(AccumulatorGl, FadingAndBatches) {
    Quad whiteQuad("white", full, white);
    const struct {
        float alpha, s, t;
        bool accelerated;
        int grey;
    } rows[] = {{0.5f, 0.96875f, 0.46875f, true, 127}, {0.25f, 0.96875f, 0.21875f, true, 63}, {0.5f, 0.96875f, 0.46875f, false, 255}};
    for (const auto& row : rows) {
        float st[2];
        RenderAccumulator::fadeTexCoord(row.alpha, st);
        pellium::fullGLacceleration = row.accelerated;
        next();
        acc.pushTransparency(row.alpha);
        acc.add(&whiteQuad, nullptr, false);
        acc.popTransparency();
        frame();
        EXPECT_TRUE(st[0] == row.s && st[1] == row.t && pixelNear(middle(), row.grey, row.grey, row.grey, 1)) << row.alpha;
        ASSERT_TRUE(pellium::selectTextureUnit(2));
        EXPECT_FALSE(on(GL_TEXTURE_2D)) << "the fading unit is off again";
        pellium::selectTextureUnit(0);
    }
    pellium::fullGLacceleration = true;
    orvel::ref_ptr<GeoBunch> x = quadBunch(left), y = quadBunch(full);
    const Fog redFog = solidFog(red), blueFog = solidFog(Color{0, 0, 1, 1}), greenFog = solidFog(Color{0, 1, 0, 1});
    next();
    addBunch(x.get(), &redFog);
    addBunch(x.get(), &blueFog);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 0, 0, 255, 1) && pixelNear(at(48, 32), 0, 0, 0));
    next();
    addBunch(x.get(), &redFog);
    addBunch(y.get(), &greenFog);
    addBunch(x.get(), &blueFog);
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 0, 255, 0, 1) && pixelNear(at(48, 32), 0, 255, 0, 1)) << "groups in the reverse order of their first item";
    x->setAnimation({kessa_test::frame({{-10, 10, -10}, {0, 10, -10}, {-10, 10, 10}, {0, 10, 10}}), kessa_test::frame({{0, 10, -10}, {10, 10, -10}, {0, 10, 10}, {10, 10, 10}})});
    next();
    addBunch(x.get(), nullptr, RenderAccumulator::animationValue(0));
    addBunch(x.get(), nullptr, RenderAccumulator::animationValue(1));
    frame();
    EXPECT_TRUE(pixelNear(at(16, 32), 255, 255, 255) && pixelNear(at(48, 32), 255, 255, 255));
    next();
    Quad wholeRed("red", full, red, false);
    addBunch(y.get(), nullptr, 0, 0.5f);
    acc.add(&wholeRed, nullptr, false);
    frame();
    EXPECT_TRUE(pixelNear(middle(), 255, 127, 127, 1)) << "half white over red";
    Matrix turned;
    turned.setRotation(180, Vector(0, 0, 1));
    viewer.setCameraMatrix(turned);
    orvel::ref_ptr<GeoBunch> back = quadBunch(Rect{-10, -10, 10, -10, 10});
    for (int first : {1, 0}) {
        back->material().first = (unsigned char)first;
        next();
        addBunch(back.get());
        frame();
        EXPECT_TRUE(pixelNear(middle(), 255 * !first, 255 * !first, 255 * !first)) << first;
    }
}

// Left Ctrl hides ordered items and left Shift blended ones.
TEST_F(AccumulatorGl, KeysHidePasses) {
    Quad redQuad("red", left, red), green("green", right, Color{0, 1, 0, 1});
    const struct {
        int key, modifier;
        bool redShown, greenShown;
    } rows[] = {{platform::KeyLeftControl, pellium::Key::LeftCtrl, false, true}, {platform::KeyLeftShift, pellium::Key::LeftShift, true, false}};
    for (const auto& row : rows) {
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
        EXPECT_TRUE(!pellium::isModifierDown(row.modifier) && pixelNear(at(16, 32), row.redShown ? 255 : 0, 0, 0) && pixelNear(at(48, 32), 0, row.greenShown ? 255 : 0, 0));
    }
}

orvel::counted_ptr<Texture> plainTexture(std::uint32_t argb) {
    pellium::Image image(4, 4);
    image.fill(argb);
    orvel::counted_ptr<Texture> t(new Texture);
    t->setImage(image);
    t->setMipmapped(false);
    return t;
}

orvel::counted_ptr<Material> shared(const Color& c, void (*more)(Material&)) {
    Material m(c);
    more(m);
    return Material::share(m);
}

// Draws in a corner with a texture of its own, bound on unit 0 and left
// switched on, as GL text or a heads-up quad may.
struct TexturedCorner : Renderable {
    orvel::counted_ptr<Texture> texture = plainTexture(0xFF00FF00);
    void draw(pellium::GLRenderInfo&) override {
        pellium::selectTextureUnit(0);
        pellium::enableGLState(2);
        texture->bind();
        drawQuad(Rect{5, -2.1f, -1.7f, 1.7f, 2.1f});
    }
};

// A batch drawn after a renderable, with the material of a batch drawn
// before it, shows its own texture, not the renderable's; whatever
// material ended a frame, the next frame's lit quad gets light 0 in full
// (colour material takes its diffuse colour).
TEST_F(AccumulatorGl, MaterialsAfterRenderablesAndFrames) {
    orvel::counted_ptr<Material> redTextured = shared(white, [](Material& m) { m.setTexture(plainTexture(0xFFFF0000), 0); });
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
    EXPECT_TRUE(pixelNear(at(16, 24), 255, 0, 0) && pixelNear(at(48, 24), 255, 0, 0) && pixelNear(at(2, 61), 0, 255, 0));
    LightModel().apply();
    Light light;
    light.setDirection(0, -1, 0);
    light.setColour(Color{1, 0.5f, 1, 1});
    light.apply(0);
    for (int i = 1; i < 8; ++i)
        glDisable(GLenum(GL_LIGHT0 + i));
    orvel::ref_ptr<GeoBunch> lit = quadBunch(full);
    const GeoBunch::Float3 towardsCamera{0, -1, 0};
    lit->setNormalData(streamOf<GeoBunch::normal_data>({towardsCamera, towardsCamera, towardsCamera, towardsCamera}));
    lit->material().setMaterial(shared(Color{0.5f, 0.25f, 1, 1}, [](Material& m) { m.setLighting(true); }));
    void (*const lastOfTheFrame[])(Material&) = {[](Material& m) { m.setLighting(true); }, [](Material&) {},
                                                 [](Material& m) { m.setColourMaterial(true); },
                                                 [](Material& m) { m.setTexture(plainTexture(0xFF00FF00), 0); },
                                                 [](Material& m) { m.setSphereMap(true); }};
    for (auto more : lastOfTheFrame) {
        orvel::ref_ptr<GeoBunch> last = quadBunch(centre);
        last->material().setMaterial(shared(Color{0.2f, 0.6f, 0.4f, 1}, more));
        next();
        acc.addBunch(last.get(), nullptr);
        frame();
        next();
        acc.addBunch(lit.get(), nullptr);
        frame();
        // Ambient 0.2 and diffuse 0.8 of (0.5, 0.25, 1), times the light.
        EXPECT_TRUE(pixelNear(middle(), 128, 32, 255, 2)) << &more - lastOfTheFrame;
    }
}

// ---- a database's frame ----

std::unique_ptr<GeometryBranch> leafOf(orvel::ref_ptr<GeoBunch> bunch) {
    auto branch = std::make_unique<GeometryBranch>();
    branch->addBunch(bunch);
    return branch;
}

class DatabaseFrame : public SceneGl {
protected:
    // One frame as the game draws it: the database cleaned and the window
    // size known before the walk, so that it culls with this frame's frustum.
    int drawFrame(Database& db) {
        clear();
        db.clean();
        viewer.setWindowSize(context);
        walk.traverse(viewer);
        db.accumulate(walk);
        const int gathered = walk.accumulator().itemCount(RenderAccumulator::solidStuff);
        walk.accumulator().render(context);
        return gathered;
    }
    Viewer viewer;
    ViewCulledTraverser walk;
    pellium::GLRenderInfo context = info();
};

// Written with the stream writer and read back: a red square left of the
// view's centre, ten units ahead (a unit is 7.7 pixels there); a green part
// shown by an instance right of it; a blue square behind the camera,
// facing it, culled until the camera turns round. Framing the bounds shows
// the whole scene.
TEST_F(DatabaseFrame, AStreamedSceneIsDrawnWhereTheViewerPutsIt) {
    const GeoBunch::Color4 r = red4, g = green4, b = blue4;
    Database original;
    auto root = std::make_unique<GroupBranch>();
    root->addChild(leafOf(quadBunch(Rect{10, -3, -1, -1, 1}, &r)));
    root->addChild(leafOf(quadBunch(Rect{-10, 1, -1, -1, 1}, &b)));
    auto* shown = add<InstanceBranch>(*root, "");
    original.addObject(std::make_unique<Object>());
    original.addObject(std::make_unique<Object>());
    original.objects()[0]->attach(std::move(root));
    original.objects()[1]->attach(leafOf(quadBunch(Rect{0, -1, 1, -1, 1}, &g)));
    shown->setInstance(original.objects()[1]);
    Matrix m;
    m.setTranslation({2, 10, 0});
    shown->setMatrix(m);
    orvel::counted_ptr<Database> db = roundTrip<Database>(&original);
    ASSERT_TRUE(db && db->objects().size() == 2 && db->isDirty());
    EXPECT_EQ(drawFrame(*db), 2);
    EXPECT_TRUE(!db->isDirty() && pixelNear(at(16, 32), 255, 0, 0) && pixelNear(at(48, 32), 0, 255, 0) && pixelNear(at(32, 32), 0, 0, 0));
    m.setTranslation({2, 0, 0});
    viewer.setCameraMatrix(m);
    drawFrame(*db);
    EXPECT_TRUE(pixelNear(at(32, 32), 0, 255, 0) && pixelNear(at(2, 32), 255, 0, 0) && pixelNear(at(16, 32), 0, 0, 0));
    m.setRotation(180, Vector(0, 0, 1));
    viewer.setCameraMatrix(m);
    EXPECT_EQ(drawFrame(*db), 1);
    EXPECT_TRUE(pixelNear(at(32, 32), 0, 0, 255));
    viewer.frameBounds(db->bounds());
    drawFrame(*db);
    EXPECT_TRUE(count(255, 0, 0) > 0 && count(0, 255, 0) > 0) << "red and green; the blue square turns its back";
}

// An empty database draws only the queued debug boxes, for one frame; a
// window twice as wide as high culls with its own frustum on the first
// frame (a walk before the size is known would cull the wider parts).
TEST_F(DatabaseFrame, DebugBoxesAndAWideFirstFrame) {
    Database empty;
    EXPECT_TRUE(drawFrame(empty) == 0 && count(0, 0, 0) == glSide * glSide);
    walk.boxRenderList().addBox(nullptr, 0xFF0000FF, box({-2, 8, -2}, {2, 12, 2}));
    drawFrame(empty);
    EXPECT_TRUE(count(255, 0, 0) > 20 && walk.boxRenderList().boxCount() == 0);
    drawFrame(empty);
    EXPECT_EQ(count(0, 0, 0), glSide * glSide);
    const GeoBunch::Color4 y = yellow4;
    Database db;
    db.addObject(std::make_unique<Object>());
    db.rootObject()->attach(leafOf(quadBunch(Rect{10, 5, 7, -1, 1}, &y)));
    context.height = glSide / 2;
    glViewport(0, 0, context.width, context.height);
    EXPECT_EQ(drawFrame(db), 1);
    EXPECT_TRUE(pixelNear(at(55, 16), 255, 255, 0)) << "six units right of the centre, ten ahead";
    Viewer late;
    ViewCulledTraverser lateWalk;
    lateWalk.traverse(late);
    db.accumulate(lateWalk);
    EXPECT_EQ(lateWalk.accumulator().itemCount(RenderAccumulator::solidStuff), 0);
}

}  // namespace
