// The program's view window: the game's key for the level-of-detail
// cross-fade, its renderer check and its sky, on the display.
#include <gtest/gtest.h>

#include "base/orvel_string.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "launcher/ViewWindow.h"
#include "scene/LodBranch.h"
#include "scene/render/Sky.h"
#include "tests/support/GlTestSupport.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/LogCapture.h"

using platform::MessageType;

namespace {

// Keeps the pixels of its last frame, read before the swap.
class Window : public game_launcher::ViewWindow {
public:
    void render(pellium::GLRenderInfo& info) override {
        ViewWindow::render(info);
        pixels = gltest::readPixels(info.width, info.height);
        width = info.width;
    }
    std::uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF; }
    gltest::Pixels pixels;
    int width = 0;
};

class ViewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        guitest::dispatchAll();
    }
    void TearDown() override {
        window.close();
        pellium::Window::destroyClosedWindows();
        kessa::LodBranch::setFading(true);
    }
    guitest::FakeClock clock;
    Window window;
};

}  // namespace

TEST_F(ViewWindowTest, TheLetterLSwitchesTheCrossFadeWhateverTheMouseDid) {
    kessa::LodBranch::setFading(true);
    guitest::character(window, 'l');
    guitest::dispatchAll();
    EXPECT_FALSE(kessa::LodBranch::fading());
    guitest::character(window, 'k');
    guitest::dispatchAll();
    EXPECT_FALSE(kessa::LodBranch::fading()) << "another key";
    guitest::mouse(MessageType::MouseMove, window, 400, 300);
    guitest::mouse(MessageType::RightButtonDown, window, 400, 300, 4);
    guitest::mouse(MessageType::RightButtonUp, window, 400, 300, 0);
    guitest::dispatchAll();
    guitest::character(window, 'l');
    guitest::dispatchAll();
    EXPECT_TRUE(kessa::LodBranch::fading()) << "the window keeps the keyboard after a drag";
}

TEST_F(ViewWindowTest, ATntRendererGetsNoBufferObjects) {
    pellium::GLcaps& caps = pellium::getGLSniffer();
    const orvel_string renderer = caps.renderer;
    for (const char* name : {"llvmpipe", "RIVA TNT2/AGP/SSE2"}) {
        caps.renderer = name;
        pellium::fullGLacceleration = true;
        LogCapture log;
        window.initGL();
        const bool tnt = name[0] == 'R';
        EXPECT_EQ(pellium::fullGLacceleration, !tnt) << name;
        EXPECT_EQ(log.count("fullGLacceleration set to false\n"), tnt ? 1 : 0);
    }
    caps.renderer = renderer;
    pellium::fullGLacceleration = true;
}

TEST_F(ViewWindowTest, ASkyFillsTheBackgroundAndNoneLeavesItBlack) {
    window.repaint();
    EXPECT_EQ(window.pixel(5, 595), 0u);
    EXPECT_EQ(window.pixel(5, 5), 0u);
    window.setSky(game_launcher::ViewWindow::defaultSky());
    window.repaint();
    const std::uint32_t ground = kessa::Sky::defaultGroundColour.toPacked() & 0xFFFFFF;
    EXPECT_EQ(window.pixel(5, 5), ground);
    EXPECT_GT(window.pixel(5, 595) >> 16 & 0xFF, 200u) << "blue sky above";
    EXPECT_NE(window.pixel(400, 300), ground) << "the teapot in front";
}
