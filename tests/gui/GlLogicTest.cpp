// The GL layer's rules that need no display: choosing a pixel format from a
// list of formats, finding extension names in a list, turning strips and
// fans into triangles, the frame-rate meter and the info block of the log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/LogCapture.h"
#include "gui/gl/FrameRateMeter.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/PixelFormat.h"
#include "gui/gl/VertexArray.h"

using platform::PixelFormat;
using ::testing::HasSubstr;

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

TEST(ChoosePixelFormat, PrefersAccelerationThenColourThenTheLaterDeeperFormat) {
    auto fast = [](int index, int color, int depth) { return format(index, windowed, color, depth); };
    auto generic = [](int index, int color, int depth) {
        return format(index, windowed | PixelFormat::Generic, color, depth);
    };
    const std::vector<PixelFormat> unusable = {
        format(1, PixelFormat::DrawToWindow | PixelFormat::DoubleBuffer, 24, 24),
        format(2, PixelFormat::SupportOpenGL | PixelFormat::DoubleBuffer, 24, 24),
        format(3, PixelFormat::SupportOpenGL | PixelFormat::DrawToWindow, 24, 24),
        fast(4, 24, 0),  // depth must beat 0
    };
    std::vector<PixelFormat> usable = unusable;
    usable.push_back(fast(5, 24, 16));
    struct Row {
        const char* why;
        std::vector<PixelFormat> list;
        int chosen;
    };
    const Row rows[] = {
        {"only generic formats: the deepest", {generic(1, 24, 16), generic(2, 24, 32), generic(3, 24, 24)}, 2},
        {"never generic once an accelerated one was taken", {fast(1, 24, 16), generic(2, 24, 32)}, 1},
        {"a generic one before the accelerated one is left behind",
         {generic(1, 24, 16), fast(2, 24, 24), generic(3, 32, 32)}, 2},
        {"of equal colour the later one with more depth",
         {fast(1, 24, 16), fast(2, 24, 24), fast(3, 24, 24), fast(4, 24, 32)}, 4},
        {"equal depth does not displace, less colour never wins",
         {fast(1, 24, 24), fast(2, 24, 24), fast(3, 16, 32)}, 1},
        {"never 16-bit colour with more than 24 depth bits", {fast(1, 16, 32)}, 0},
        {"16-bit colour up to 24 depth bits", {fast(1, 16, 16), fast(2, 16, 32), fast(3, 16, 24)}, 3},
        {"needs OpenGL, a window, two buffers and depth", unusable, 0},
        {"an empty list", {}, 0},
        {"the one usable format", usable, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(pellium::choosePixelFormat(row.list), row.chosen);
    }
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

TEST(ExtensionListed, MatchesWholeNamesThatEndTheListOrABlankFollows) {
    struct Row {
        const char* list;
        const char* name;
        bool listed;
    } const rows[] = {
        {"GL_X_foo GL_Y", "X_foo", true},
        {"GL_A GL_ARB_texture_border_clamp", "ARB_texture_border_clamp", true},
        {"GL_A GL_ARB_texture_border_clampX", "ARB_texture_border_clamp", false},
        {"GL_ARB_texture_border_clampX ", "ARB_texture_border_clamp", false},
        {"GL_Y ", "GL_Y", true},
        {"", "GL_Y", false},
        {nullptr, "GL_Y", false},
        {"GL_Y", "", false},
        {"GL_EXT_s3tc_srgb GL_EXT_s3tc", "EXT_s3tc", true},  // a longer name listed first hides nothing
    };
    for (const Row& row : rows)
        EXPECT_EQ(pellium::extensionListed(row.list, row.name), row.listed)
            << (row.list ? row.list : "(null)") << " / " << row.name;
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

TEST(TrianglesFromStrips, StripsFansAndTheRestOfTheList) {
    using Triangles = std::vector<std::uint32_t>;
    const Triangles nine = {0, 1, 2, 3, 4, 5, 6, 7, 8}, five = {0, 1, 2, 3, 4};
    struct Row {
        const char* why;
        std::vector<int> strips;
        Triangles list;  // empty: the strips walk the vertices
        int vertices;
        Triangles triangles;
        bool logged;
    };
    const Row rows[] = {
        {"a strip then a fan", {4, -5}, nine, 9, {0, 1, 2, 2, 1, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8}, false},
        {"the rest three at a time, one left over", {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 10, nine, true},
        {"the rest three at a time", {}, nine, 10, nine, false},
        {"a strip, then plain triangles", {3}, nine, 10, nine, false},
        {"without a list: a fan and a strip over the vertices", {-4, 3}, {}, 7, {0, 1, 2, 0, 2, 3, 4, 5, 6}, false},
        {"without a list the vertices after the strips are triangles", {3}, {}, 9, nine, false},
        {"without a list or strips", {}, {}, 6, {0, 1, 2, 3, 4, 5}, false},
        {"a strip past the end of the list is dropped", {3, 4}, five, 5, {0, 1, 2}, true},
        {"a fan past the last vertex is dropped", {-6}, {}, 5, {}, true},
        {"the most negative length does not overflow", {INT32_MIN}, five, 5, {}, true},
        {"short strips take their vertices and make no triangle", {2, 0, -1, 3}, five, 5, {}, true},
        {"a strip after a short one", {2, 3}, five, 5, {2, 3, 4}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        LogCapture log;
        EXPECT_EQ(pellium::trianglesFromStrips<std::uint32_t>(row.strips, row.list.empty() ? nullptr : &row.list,
                                                              row.vertices),
                  row.triangles);
        EXPECT_EQ(log.text(), row.logged ? "Error in strip sizes while compiling a vertex array!\n" : "");
    }
    // Strips alternate their winding in 16-bit lists too, and take list entries, not vertex numbers.
    const std::vector<std::uint16_t> indices = {10, 11, 12, 13, 14};
    EXPECT_EQ(pellium::trianglesFromStrips<std::uint16_t>({5}, &indices, 20),
              (std::vector<std::uint16_t>{10, 11, 12, 12, 11, 13, 12, 13, 14}));
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
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(meter.frame(12), 0) << "time standing still gives no rate";
}

}  // namespace
