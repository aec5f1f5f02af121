// GL windows on the one shared render context, under Xvfb with Mesa:
// painting, binding, the context's life, GL's default state after a bind and
// the GL error report. Pixels are read back from each window's back buffer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/ErrorStage.h"
#include "gui/Window.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/GLwindow.h"
#include "gui/gl/PixelFormat.h"
#include "platform/GLContext.h"
#include "platform/Windows.h"

using gltest::clearTo;
using gltest::ProbeWindow;
using gltest::rgba;
using ::testing::HasSubstr;

namespace {

// Some tests need a process in which no context was made yet; ctest runs
// every test in a process of its own.
#define NEEDS_FRESH_PROCESS()                                                     \
    if (pellium::sharedContext() || !pellium::GLwindow::glWindows().empty())     \
    GTEST_SKIP() << "needs a process of its own, as ctest runs it"

TEST(GLwindowTest, PaintsItsClientWithTheViewportAndRunsInitGLOnce) {
    ProbeWindow w(64, 48);
    ASSERT_TRUE(w.isOpen());
    std::vector<float> viewport;
    w.draw = [&](pellium::GLRenderInfo& info) {
        EXPECT_EQ(info.width, 64);
        EXPECT_EQ(info.height, 48);
        viewport = gltest::floats(GL_VIEWPORT, 4);
        clearTo(0.2f, 0.4f, 0.6f);
    };
    const auto& p = w.paint();
    ASSERT_EQ(p.size(), 64u * 48u);
    EXPECT_EQ(w.renders, 1);
    EXPECT_EQ(w.pixel(0, 0), rgba(51, 102, 153));
    EXPECT_EQ(w.pixel(63, 47), rgba(51, 102, 153));
    EXPECT_EQ(viewport, (std::vector<float>{0, 0, 64, 48}));
    EXPECT_EQ(platform::currentGLContext(), pellium::sharedContext());
    EXPECT_EQ(platform::currentGLWindow(), w.getHWND());
    w.paint();
    EXPECT_EQ(w.renders, 2);
    EXPECT_EQ(w.inits, 1);
}

TEST(GLwindowTest, ASecondWindowBindsTheSameContextAndSeesItsTextures) {
    ProbeWindow a(32, 32, "a"), b(32, 32, "b");
    GLuint texture = 0;
    a.draw = [&](pellium::GLRenderInfo&) {
        const std::uint32_t orange[4] = {rgba(255, 128, 0), rgba(255, 128, 0), rgba(255, 128, 0), rgba(255, 128, 0)};
        texture = gltest::makeTexture(2, 2, orange);
    };
    a.paint();
    platform::GLContext context = pellium::sharedContext();
    ASSERT_NE(context, nullptr);
    ASSERT_NE(texture, 0u);

    b.draw = [&](pellium::GLRenderInfo&) {
        clearTo(0, 0, 0);
        // The quad is given in clip space, whatever projection was left.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glColor4f(1, 1, 1, 1);
        gltest::drawTexturedQuad(-1, -1, 1, 1);
    };
    b.paint();
    EXPECT_EQ(pellium::sharedContext(), context) << "no second context";
    EXPECT_EQ(platform::currentGLWindow(), b.getHWND());
    EXPECT_EQ(b.inits, 1);
    EXPECT_EQ(b.pixel(16, 16), rgba(255, 128, 0)) << "the texture made in a draws in b";
}

// Notes GL's state as a bind leaves it, in initGL.
class StateWindow : public ProbeWindow {
public:
    StateWindow() : ProbeWindow(16, 16, "state") {}
    void initGL() override {
        auto on = [](GLenum cap) { return int(glIsEnabled(cap)); };
        int texturing = 0;
        for (int u = 0; u < gltest::integer(GL_MAX_TEXTURE_UNITS); ++u) {
            ASSERT_TRUE(pellium::selectTextureUnit(u));
            ASSERT_TRUE(pellium::selectClientTextureUnit(u));
            texturing += on(GL_TEXTURE_2D) + on(GL_TEXTURE_COORD_ARRAY);
        }
        pellium::selectTextureUnit(0);
        pellium::selectClientTextureUnit(0);
        GLint colorMask[4] = {};
        glGetIntegerv(GL_COLOR_WRITEMASK, colorMask);
        state = {texturing, on(GL_LIGHTING), on(GL_BLEND), on(GL_FOG), on(GL_TEXTURE_GEN_S) + on(GL_TEXTURE_GEN_T),
                 on(GL_COLOR_ARRAY) + on(GL_NORMAL_ARRAY), on(GL_ALPHA_TEST), on(GL_DEPTH_TEST), on(GL_CULL_FACE),
                 on(GL_NORMALIZE), on(GL_VERTEX_ARRAY), gltest::integer(GL_DEPTH_WRITEMASK),
                 colorMask[0] + colorMask[1] + colorMask[2] + colorMask[3], gltest::integer(GL_SHADE_MODEL),
                 gltest::integer(GL_ALPHA_TEST_FUNC), int(gltest::floats(GL_ALPHA_TEST_REF, 1)[0] != 0)};
    }
    std::vector<int> state;
};

TEST(GLwindowTest, SwitchingWindowsPutsGLIntoItsDefaultState) {
    ProbeWindow other(16, 16, "other");
    other.draw = [](pellium::GLRenderInfo&) {
        glEnable(GL_BLEND);
        glEnable(GL_LIGHTING);
        glEnable(GL_FOG);
        glDisable(GL_DEPTH_TEST);
        glShadeModel(GL_FLAT);
        glAlphaFunc(GL_ALWAYS, 0.5f);
        glEnableClientState(GL_COLOR_ARRAY);
        for (int u = 0; u < 4; ++u) {
            pellium::selectTextureUnit(u);
            pellium::selectClientTextureUnit(u);
            glEnable(GL_TEXTURE_2D);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        pellium::selectTextureUnit(2);
    };
    other.paint();
    StateWindow w;
    w.paint();
    // Texturing off on every unit; lighting, blending, fog, texture coordinate
    // generation and colour and normal arrays off; alpha test (not zero),
    // depth test, culling, normalizing and vertex arrays on; every write mask
    // on; smooth shading.
    EXPECT_EQ(w.state, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, GL_TRUE, 4, GL_SMOOTH, GL_NOTEQUAL, 0}));
    other.draw = nullptr;
    other.paint();
    EXPECT_EQ(other.inits, 2) << "switching back runs initGL again";
}

TEST(GLwindowTest, AClosedWindowDoesNotBind) {
    ProbeWindow w(16, 16);
    w.close();
    pellium::Window::destroyClosedWindows();
    EXPECT_FALSE(w.makeCurrent(&w));
    w.paint();
    EXPECT_EQ(w.renders, 0);
}

TEST(GLwindowTest, OpenNowMakesASubwindowOfItsParent) {
    pellium::Window parent;
    parent.setTitle("parent");
    parent.setBounds({-1, -1, 200, 150});
    parent.open();
    class Child : public pellium::GLwindow {
    public:
        explicit Child(pellium::Window* p) : GLwindow(true, p) {}
        void render(pellium::GLRenderInfo& info) override {
            width = info.width;
            height = info.height;
            clearTo(0, 1, 0);
            pixels = gltest::readPixels(info.width, info.height);
        }
        int width = 0, height = 0;
        std::vector<std::uint32_t> pixels;
    } child(&parent);
    ASSERT_TRUE(child.isOpen());
    EXPECT_EQ(child.getWindowType(), pellium::Window::Subwindow);
    child.repaint();
    EXPECT_EQ(child.width, 100);
    EXPECT_EQ(child.height, 100);
    ASSERT_FALSE(child.pixels.empty());
    EXPECT_EQ(child.pixels[0], rgba(0, 255, 0));
}

TEST(GLwindowTest, TheChosenFormatIsTheDriversBestDoubleBufferedOne) {
    NEEDS_FRESH_PROCESS();
    LogCapture log;
    ProbeWindow w(16, 16);
    GLint doubleBuffered = 0, depth = 0;
    w.draw = [&](pellium::GLRenderInfo&) {
        glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
        glGetIntegerv(GL_DEPTH_BITS, &depth);
    };
    w.paint();
    int index = pellium::setupPixelFormat(w.getHWND());
    const platform::PixelFormat* f = platform::pixelFormat(index);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(index, pellium::choosePixelFormat(platform::pixelFormats()));
    using F = platform::PixelFormat;
    EXPECT_EQ(f->flags & (F::SupportOpenGL | F::DrawToWindow | F::DoubleBuffer | F::Generic),
              unsigned(F::SupportOpenGL | F::DrawToWindow | F::DoubleBuffer));
    EXPECT_EQ(f->colorBits, 24);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_EQ(depth, f->depthBits);
    for (const F& other : platform::pixelFormats()) {
        unsigned wanted = F::SupportOpenGL | F::DrawToWindow | F::DoubleBuffer;
        if ((other.flags & wanted) == wanted && other.colorBits == 24) {
            EXPECT_LE(other.depthBits, f->depthBits);
        }
    }
    std::string text = log.text();
    EXPECT_THAT(text, HasSubstr("Calling ChoosePixelFormat()\n"));
    EXPECT_THAT(text, HasSubstr("Pixel format " + std::to_string(index) + " chosen...\nSetting the pixel format...\n"));
    EXPECT_THAT(text, HasSubstr("SetPixelFormat() returned Ok\n"));
    EXPECT_THAT(text, HasSubstr("*mode=" + std::to_string(index) + "  double=1  color=24"));
    EXPECT_THAT(text, HasSubstr("Creating the window render context...\nCreating a render context for windows...\n"
                                "Render context created OK....\nCalling wglMakeCurrent()....\n"
                                "Binding the render context...\nRender context bound ok...\n"
                                "Loading OpenGL extensions...\nExtensions loaded...\n"
                                "wglMakeCurrent() returned OK\n"));
}

TEST(GLwindowTest, AWindowWithoutAPixelFormatGetsNoContext) {
    NEEDS_FRESH_PROCESS();
    pellium::Window plain;
    plain.setTitle("plain");
    plain.setBounds({-1, -1, 40, 30});
    plain.open();
    LogCapture log;
    pellium::makeWindowRC(plain.getHWND(), nullptr);
    char line[96];
    std::snprintf(line, sizeof line, "Failed to find a suitable pixel format for device %x\n", plain.getHWND());
    EXPECT_EQ(log.take(), std::string("Creating the window render context...\n") + line);
    EXPECT_EQ(pellium::sharedContext(), nullptr);
    pellium::makeWindowRC(0, nullptr);
    EXPECT_EQ(log.take(), "Creating the window render context...\ndc was NULL in makeWindowRC()!\n");
    EXPECT_EQ(pellium::sharedContext(), nullptr);
}

// Making the shared context is a step of the driver's: the progress word
// names it while the context is made and first bound (the window's set-up
// sees it there), and says again what it said before once that is done. A
// step left by an exception keeps its number for the error box.
TEST(GLwindowTest, MakingTheContextIsADriversStep) {
    NEEDS_FRESH_PROCESS();
    struct StepWindow : ProbeWindow {
        StepWindow() : ProbeWindow(16, 16) {}
        void initGL() override { seen = pellium::errorStageCode; }
        std::uint32_t seen = 0;
    } w;
    pellium::errorStageCode = 1234;
    w.paint();
    EXPECT_EQ(w.seen, 30202u);
    EXPECT_EQ(pellium::errorStageCode, 1234u);
    try {
        pellium::DriverStep step(30201);
        throw std::runtime_error("the driver's allocator");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(pellium::errorStageCode, 30201u);
}

TEST(GLwindowTest, BindingNoContextFailsAndLeavesNothingCurrent) {
    ProbeWindow w(16, 16);
    w.paint();
    LogCapture log;
    EXPECT_FALSE(pellium::GLclient::doBind(w.getHWND(), nullptr, &w));
    EXPECT_EQ(log.text(), "doBind() - no RC!\ndoBind() failed!\n");
    EXPECT_EQ(platform::currentGLContext(), nullptr);
}

TEST(EnsureContext, WithoutAnyGLWindowAHiddenWindowCarriesTheContext) {
    NEEDS_FRESH_PROCESS();
    LogCapture log;
    platform::WindowId window = pellium::ensureContext(nullptr);
    ASSERT_NE(window, 0u);
    EXPECT_THAT(log.text(), HasSubstr("Couldn't find an OpenGL window...\n"));
    EXPECT_NE(pellium::sharedContext(), nullptr);
    EXPECT_EQ(platform::currentGLContext(), pellium::sharedContext());
    EXPECT_EQ(pellium::ensureContext(nullptr), window) << "the current drawable is kept";
    clearTo(0, 0, 1);
    auto p = gltest::readPixels(pellium::hiddenGLWindowSize, pellium::hiddenGLWindowSize);
    EXPECT_EQ(p.front(), rgba(0, 0, 255));
    EXPECT_EQ(p.back(), rgba(0, 0, 255));
}

TEST(EnsureContext, BindsTheSharedContextAgainWhenNoneIsCurrent) {
    GLuint texture = 0;
    ProbeWindow w(16, 16);
    w.draw = [&](pellium::GLRenderInfo&) { glGenTextures(1, &texture); glBindTexture(GL_TEXTURE_2D, texture); };
    w.paint();
    ASSERT_NE(texture, 0u);
    platform::makeGLCurrent(0, nullptr);
    EXPECT_EQ(pellium::ensureContext(nullptr), w.getHWND()) << "an open GL window comes first";
    EXPECT_EQ(platform::currentGLContext(), pellium::sharedContext());
    EXPECT_EQ(w.inits, 2) << "the window set up its state again after the reset";

    // Its window goes: the context is let go with it, and lives on.
    w.close();
    pellium::Window::destroyClosedWindows();
    EXPECT_EQ(platform::currentGLContext(), nullptr);
    platform::WindowId hidden = pellium::ensureContext(nullptr);
    EXPECT_NE(hidden, 0u);
    EXPECT_EQ(platform::currentGLContext(), pellium::sharedContext());
    EXPECT_TRUE(glIsTexture(texture)) << "the same context, with its objects";
}

TEST(Extensions, LoadersSearchAgainAfterABindSwitchesTheTarget) {
    ProbeWindow a(16, 16, "a"), b(16, 16, "b");
    LogCapture log;
    a.draw = [](pellium::GLRenderInfo&) {
        EXPECT_NE(pellium::loadVBOExtensions(), nullptr);
        EXPECT_NE(pellium::loadVBOExtensions(), nullptr);
    };
    a.paint();
    std::string text = log.take();
    EXPECT_EQ(text.find("Loading VBO extensions...\n"), text.rfind("Loading VBO extensions...\n")) << "once";
    EXPECT_THAT(text, HasSubstr("weHaveARBVertexBufferObjects=1\n"));
    a.paint();
    EXPECT_THAT(log.take(), ::testing::Not(HasSubstr("Loading VBO extensions...\n"))) << "nothing switched";
    b.draw = a.draw;
    b.paint();
    EXPECT_THAT(log.take(), HasSubstr("Loading VBO extensions...\n"));
}

TEST(CheckGLError, NamesTheErrorAndTheLabel) {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    while (glGetError() != GL_NO_ERROR) {
    }
    const struct {
        void (*provoke)();
        int label;
        bool error;
        const char* logged;
    } rows[] = {
        {[] {}, 3, false, "No OpenGL error at label 3\n"},
        {[] {}, -1, false, ""},
        {[] { glEnable(0x1234); }, 7, true, "OpenGL error \"Invalid enum\" at label 7\n"},
        {[] { glMatrixMode(GL_MODELVIEW); glPopMatrix(); }, -1, true, "OpenGL error \"Stack underflow\"\n"},
        {[] { glLineWidth(-1); }, 0, true, "OpenGL error \"Invalid value\" at label 0\n"},
    };
    LogCapture log;
    for (const auto& row : rows) {
        row.provoke();
        EXPECT_EQ(pellium::checkGLError(row.label), row.error) << row.logged;
        EXPECT_EQ(log.take(), row.logged);
    }
}

}  // namespace
