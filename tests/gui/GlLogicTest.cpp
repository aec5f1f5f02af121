// The GL layer's rules that need no display: choosing a pixel format from a
// list of formats, finding extension names in a list, turning strips and
// fans into triangles, the frame-rate meter and the info block of the log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/LogCapture.h"
#include "gui/gl/FrameRateMeter.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/PixelFormat.h"
#include "gui/gl/VertexArray.h"

using platform::PixelFormat;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr unsigned windowed = PixelFormat::SupportOpenGL | PixelFormat::DrawToWindow | PixelFormat::DoubleBuffer;

PixelFormat format(int index, unsigned flags, int color, int depth) {
    PixelFormat f;
    f.index = index;
    f.flags = flags;
    f.colorBits = color;
    f.depthBits = depth;
    return f;
}

TEST(ChoosePixelFormat, TakesTheBestGenericFormatWhenThereIsNoOther) {
    std::vector<PixelFormat> list = {format(1, windowed | PixelFormat::Generic, 24, 16),
                                     format(2, windowed | PixelFormat::Generic, 24, 32),
                                     format(3, windowed | PixelFormat::Generic, 24, 24)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 2);
}

TEST(ChoosePixelFormat, NeverTakesAGenericFormatOnceAnAcceleratedOneWasTaken) {
    std::vector<PixelFormat> list = {format(1, windowed, 24, 16), format(2, windowed | PixelFormat::Generic, 24, 32)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 1);
    // A generic format before the accelerated one is left behind by it.
    list = {format(1, windowed | PixelFormat::Generic, 24, 16), format(2, windowed, 24, 24),
            format(3, windowed | PixelFormat::Generic, 32, 32)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 2);
}

TEST(ChoosePixelFormat, OfEqualColourTheLaterOneWithMoreDepthWins) {
    std::vector<PixelFormat> list = {format(1, windowed, 24, 16), format(2, windowed, 24, 24),
                                     format(3, windowed, 24, 24), format(4, windowed, 24, 32)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 4);
    // Equal depth does not displace, and less colour never wins.
    list = {format(1, windowed, 24, 24), format(2, windowed, 24, 24), format(3, windowed, 16, 32)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 1);
}

TEST(ChoosePixelFormat, NeverTakesSixteenBitColourWithMoreThan24DepthBits) {
    std::vector<PixelFormat> list = {format(1, windowed, 16, 32)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 0);
    list = {format(1, windowed, 16, 16), format(2, windowed, 16, 32), format(3, windowed, 16, 24)};
    EXPECT_EQ(pellium::choosePixelFormat(list), 3);
}

TEST(ChoosePixelFormat, NeedsOpenGLAWindowAndTwoBuffers) {
    std::vector<PixelFormat> list = {
        format(1, PixelFormat::DrawToWindow | PixelFormat::DoubleBuffer, 24, 24),
        format(2, PixelFormat::SupportOpenGL | PixelFormat::DoubleBuffer, 24, 24),
        format(3, PixelFormat::SupportOpenGL | PixelFormat::DrawToWindow, 24, 24),
        format(4, windowed, 24, 0),  // depth must beat 0
    };
    EXPECT_EQ(pellium::choosePixelFormat(list), 0);
    EXPECT_EQ(pellium::choosePixelFormat({}), 0);
    list.push_back(format(5, windowed, 24, 16));
    EXPECT_EQ(pellium::choosePixelFormat(list), 5);
}

TEST(ChoosePixelFormat, LogsEveryFormatAndMarksTheChosenOne) {
    LogCapture log;
    PixelFormat a = format(1, windowed, 24, 24);
    a.alphaBits = 8;
    a.stencilBits = 8;
    PixelFormat b = format(2, PixelFormat::SupportOpenGL | PixelFormat::Generic, 16, 16);
    pellium::logPixelFormats({a, b}, 1);
    EXPECT_EQ(log.text(),
              "*mode=1  double=1  color=24  depth=24  alpha=8  stencil=8  hard=1 flags=0x25\n"
              " mode=2  double=0  color=16  depth=16  alpha=0  stencil=0  hard=0 flags=0x60\n");
}

TEST(ExtensionListed, MatchesNamesThatEndTheListOrABlankFollows) {
    EXPECT_TRUE(pellium::extensionListed("GL_X_foo GL_Y", "X_foo"));
    EXPECT_TRUE(pellium::extensionListed("GL_A GL_ARB_texture_border_clamp", "ARB_texture_border_clamp"));
    EXPECT_FALSE(pellium::extensionListed("GL_A GL_ARB_texture_border_clampX", "ARB_texture_border_clamp"));
    EXPECT_FALSE(pellium::extensionListed("GL_ARB_texture_border_clampX ", "ARB_texture_border_clamp"));
    EXPECT_TRUE(pellium::extensionListed("GL_Y ", "GL_Y"));
    EXPECT_FALSE(pellium::extensionListed("", "GL_Y"));
    EXPECT_FALSE(pellium::extensionListed(nullptr, "GL_Y"));
    EXPECT_FALSE(pellium::extensionListed("GL_Y", ""));
}

TEST(ExtensionListed, ALongerNameListedFirstDoesNotHideTheName) {
    EXPECT_TRUE(pellium::extensionListed("GL_EXT_s3tc_srgb GL_EXT_s3tc", "EXT_s3tc"));
}

TEST(GLcapsInfo, LogsTheBlockInOrderAndLeavesOutAnEmptyWindowSystemList) {
    pellium::GLcaps caps;
    caps.vendor = "V";
    caps.renderer = "R";
    caps.version = "1.1";
    caps.accelerated = true;
    caps.colorBits = 24;
    caps.depthBits = 32;
    caps.stencilBits = 0;
    caps.alphaBits = 8;
    caps.textureUnits = 8;
    caps.maxAnisotropy = 16;
    caps.extensions = "GL_A GL_B";
    LogCapture log;
    caps.logInfo();
    EXPECT_EQ(log.take(),
              "\n\nOpenGL info\n-----------\nVendor = V\nRenderer = R\nVersion = 1.1\n"
              "Hardware acceleration? Yes\nColor bits = 24\nDepth bits = 32\nStencil bits = 0\n"
              "Alpha bits = 8\nTexture units = 8\nMax anisotropic filter = 16\n"
              "\n\nSupported OpenGL extensions\n---------------------------\nGL_A\nGL_B\n\n");
    caps.accelerated = false;
    caps.wglExtensions = "GLX_A GLX_B ";
    caps.logInfo();
    std::string text = log.take();
    EXPECT_THAT(text, HasSubstr("Hardware acceleration? No\n"));
    EXPECT_THAT(text, HasSubstr("\n\nSupported WGL extensions\n------------------------\nGLX_A\nGLX_B\n\n\n"));
    EXPECT_TRUE(caps.hasExtension("GLX_B"));
    EXPECT_TRUE(caps.hasExtension("GL_A"));
    EXPECT_FALSE(caps.hasExtension("GL_C"));
}

TEST(GLcapsInfo, WritesAListLongerThanOneLogLine) {
    pellium::GLcaps caps;
    std::string list;
    for (int i = 0; i < 1500; ++i)
        list += "GL_EXT_name_" + std::to_string(i) + " ";
    caps.extensions = list.c_str();
    LogCapture log;
    caps.logInfo();
    std::string text = log.text();
    EXPECT_THAT(text, HasSubstr("\nGL_EXT_name_0\nGL_EXT_name_1\n"));
    EXPECT_THAT(text, HasSubstr("\nGL_EXT_name_1499\n\n\n"));
}

using Triangles16 = std::vector<std::uint16_t>;
using Triangles32 = std::vector<std::uint32_t>;

TEST(TrianglesFromStrips, AStripThenAFanOverAnIndexList) {
    Triangles32 indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({4, -5}, &indices, 9);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 2, 1, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8}));
}

TEST(TrianglesFromStrips, StripsAlternateTheirWindingAndTakeListEntries) {
    Triangles16 indices = {10, 11, 12, 13, 14};
    Triangles16 t = pellium::trianglesFromStrips<std::uint16_t>({5}, &indices, 20);
    EXPECT_EQ(t, (Triangles16{10, 11, 12, 12, 11, 13, 12, 13, 14}));
}

TEST(TrianglesFromStrips, TheRestOfTheListGoesThreeAtATime) {
    LogCapture log;
    Triangles32 indices = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({}, &indices, 10);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(log.take(), "Error in strip sizes while compiling a vertex array!\n");
    indices.pop_back();
    EXPECT_EQ(pellium::trianglesFromStrips<std::uint32_t>({}, &indices, 10).size(), 9u);
    EXPECT_EQ(log.take(), "");
    // A strip, then plain triangles.
    t = pellium::trianglesFromStrips<std::uint32_t>({3}, &indices, 10);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(TrianglesFromStrips, WithoutAListTheStripsWalkTheVertices) {
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({-4, 3}, nullptr, 7);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 0, 2, 3, 4, 5, 6}));
}

TEST(TrianglesFromStrips, WithoutAListTheVerticesAfterTheStripsAreTriangles) {
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({3}, nullptr, 9);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    t = pellium::trianglesFromStrips<std::uint32_t>({}, nullptr, 6);
    EXPECT_EQ(t, (Triangles32{0, 1, 2, 3, 4, 5}));
}

TEST(TrianglesFromStrips, StripsRunningPastTheEndAreDroppedAndLogged) {
    LogCapture log;
    Triangles32 indices = {0, 1, 2, 3, 4};
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({3, 4}, &indices, 5);
    EXPECT_EQ(t, (Triangles32{0, 1, 2}));
    EXPECT_EQ(log.take(), "Error in strip sizes while compiling a vertex array!\n");
    t = pellium::trianglesFromStrips<std::uint32_t>({-6}, nullptr, 5);
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(log.take(), "Error in strip sizes while compiling a vertex array!\n");
    // The most negative length must not overflow on the way.
    t = pellium::trianglesFromStrips<std::uint32_t>({INT32_MIN}, &indices, 5);
    EXPECT_TRUE(t.empty());
}

TEST(TrianglesFromStrips, ShortStripsTakeTheirVerticesAndMakeNoTriangle) {
    LogCapture log;
    Triangles32 indices = {0, 1, 2, 3, 4};
    // 2 + 0 + 1 indices taken, then a strip of 3 finds only 2 left.
    Triangles32 t = pellium::trianglesFromStrips<std::uint32_t>({2, 0, -1, 3}, &indices, 5);
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(log.take(), "Error in strip sizes while compiling a vertex array!\n");
    t = pellium::trianglesFromStrips<std::uint32_t>({2, 3}, &indices, 5);
    EXPECT_EQ(t, (Triangles32{2, 3, 4}));
}

TEST(FrameRateMeter, StaysAtZeroForTheFirst31FramesThenCountsOver31Gaps) {
    pellium::FrameRateMeter meter;
    EXPECT_EQ(meter.frame(1), 0) << "off";
    meter.start();
    for (int i = 0; i < 31; ++i)
        EXPECT_EQ(meter.frame(10 + i * 0.01), 0) << i;
    // Frame 32 at 10.31: 31 gaps since 10.00.
    EXPECT_NEAR(meter.frame(10.31), 100, 1e-6);
    // Frame 33: the oldest is now frame 2.
    EXPECT_NEAR(meter.frame(10.32 + 0.31), 31 / (10.63 - 10.01), 1e-6);
    meter.stop();
    EXPECT_EQ(meter.frame(11), 0);
    meter.start();
    EXPECT_EQ(meter.frame(12), 0) << "a fresh start counts again";
}

TEST(FrameRateMeter, TimeStandingStillGivesNoRate) {
    pellium::FrameRateMeter meter;
    meter.start();
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(meter.frame(5), 0);
}

}  // namespace
