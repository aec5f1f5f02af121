// GL text on Mesa's llvmpipe under Xvfb: strings drawn into GL windows show
// the glyphs of the atlas at the places the font's widths give them; the
// state around the drawing is put back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "TestFonts.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLfont.h"
#include "gui/gl/GLstate.h"

using gltest::Pixels;
using gltest::ProbeWindow;
using gltest::rgba;
using pellium::GLfont;
using pellium::GlyphRecord;
using platform::TestFontBackend;
using ::testing::HasSubstr;

namespace {

constexpr int W = 160, H = 48;

// Colours as read back: red in the lowest byte.
constexpr uint32_t grey = rgba(64, 64, 64);

// What the frame should hold after drawing text at (x, y) over a grey
// background: every quad pixel whose texel passes the alpha test takes the
// texel's colour times the string's colour, later characters over earlier.
Pixels expectedFrame(const GLfont& font, int x, int y, const char* text,
                     const std::vector<uint32_t>& colours = {rgba(255, 255, 255)}) {
    Pixels frame(size_t(W) * H, grey);
    const pellium::GlyphAtlas& atlas = font.atlas();
    const uint32_t* texels = atlas.image().constPixels();
    const int pad = font.outline() ? 1 : 0;
    int pen = x;
    for (size_t i = 0; text[i]; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        if (c < font.first() || c > font.last())
            c = font.first();
        const GlyphRecord& g = atlas.glyph(c);
        for (int r = 0; r < g.height; ++r)
            for (int q = 0; q < g.width; ++q) {
                const uint32_t t = texels[size_t(g.y - pad + r) * size_t(atlas.width()) + size_t(g.x - pad + q)];
                const int px = pen + q, py = y + r;
                if ((t >> 24) <= 51 || px < 0 || py < 0 || px >= W || py >= H)
                    continue;
                // White texels show the colour, black ones stay black.
                const uint32_t colour = colours[colours.size() == 1 ? 0 : i];
                frame[size_t(py) * W + size_t(px)] = (t & 0xFFFFFF) ? (colour | 0xFF000000u) : rgba(0, 0, 0);
            }
        pen += font.charWidth(c);
    }
    return frame;
}

int lit(const Pixels& frame) { return gltest::countOther(frame, grey); }

class GLtextTest : public ::testing::Test {
protected:
    GLtextTest() : window(W, H, "text") {}

    // Paints one frame: grey, then whatever draw does.
    const Pixels& paint(const std::function<void(pellium::GLRenderInfo&)>& draw) {
        window.draw = [&](pellium::GLRenderInfo& info) {
            gltest::clearTo(0.25f, 0.25f, 0.25f);
            pellium::setBlendMode(1, 0);
            draw(info);
        };
        return window.paint();
    }
    // Paints `text` in white at (x, y); returns where the pen ended.
    int paintString(GLfont& font, int x, int y, const char* text) {
        int end = 0;
        paint([&](pellium::GLRenderInfo& info) { end = font.drawString(info, x, y, text, 0xFFFFFFFFu); });
        return end;
    }

    ProbeWindow window;
    const Pixels& frame = window.pixels;
};

}  // namespace

TEST_F(GLtextTest, StringsShowTheirGlyphsWhereTheWidthsPutThem) {
    GLfont& font = pellium::defaultGLFont();
    EXPECT_EQ(&pellium::defaultGLFont(), &font);
    EXPECT_EQ(font.key(), pellium::FontKey(123, 0, 0));
    EXPECT_EQ(font.first(), 32);
    EXPECT_EQ(font.last(), 126);
    const char* text = "Hg!|W_";
    EXPECT_EQ(paintString(font, 7, 9, text), 7 + font.stringWidth(text));
    ASSERT_FALSE(font.atlas().empty());
    const Pixels want = expectedFrame(font, 7, 9, text);
    ASSERT_GT(lit(want), 40) << "the glyphs have pixels to show";
    EXPECT_EQ(frame, want);

    // Every character's pixels lie between its pen position and the next,
    // from the bottom of its quad to the top of the text.
    int pen = 7;
    for (const char* c = text; *c; ++c) {
        const int next = pen + font.charWidth(*c);
        int inside = 0;
        for (int y = 9; y < 9 + font.height() + font.descent(); ++y)
            for (int x = pen; x < next; ++x)
                inside += frame[size_t(y) * W + size_t(x)] != grey;
        EXPECT_GT(inside, 0) << "'" << *c << "' shows between " << pen << " and " << next;
        pen = next;
    }
}

TEST_F(GLtextTest, CharactersOutsideTheRangeAreDrawnAsTheFirst) {
    GLfont& font = pellium::defaultGLFont();
    // 200 and 127 draw the blank and move the pen by its width.
    EXPECT_EQ(paintString(font, 0, 0, "A\xC8" "B\x7F"),
              font.charWidth('A') + font.charWidth('B') + 2 * font.charWidth(' '));
    EXPECT_EQ(frame, expectedFrame(font, 0, 0, "A B "));
}

TEST_F(GLtextTest, EmptyAndNullStringsDrawNothing) {
    GLfont& font = pellium::defaultGLFont();
    int a = -1, b = -1, c = -1;
    paint([&](pellium::GLRenderInfo& info) {
        a = font.drawString(info, 12, 3, "", 0xFFFFFFFFu);
        b = font.drawString(info, 13, 3, nullptr, 0xFFFFFFFFu);
        c = font.drawTransformed(info, nullptr, "", 0xFFFFFFFFu);
    });
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 13);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(lit(frame), 0);
}

TEST_F(GLtextTest, TransformedTextFollowsTheMatrix) {
    GLfont& font = pellium::defaultGLFont();
    const float moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 40, 20, 0, 1};
    int advance = 0;
    paint([&](pellium::GLRenderInfo& info) { advance = font.drawTransformed(info, moved, "Tx", 0xFFFFFFFFu); });
    EXPECT_EQ(advance, font.stringWidth("Tx"));
    EXPECT_EQ(frame, expectedFrame(font, 40, 20, "Tx"));
}

// The GL state text drawing changes, to see that it is put back.
std::vector<float> textState() {
    std::vector<float> s;
    for (GLenum cap : {GL_BLEND, GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_ALPHA_TEST})
        s.push_back(glIsEnabled(cap));
    for (GLenum name : {GL_ALPHA_TEST_FUNC, GL_TEXTURE_BINDING_2D})
        s.push_back(float(gltest::integer(name)));
    for (GLenum name : {GL_ALPHA_TEST_REF, GL_PROJECTION_MATRIX, GL_MODELVIEW_MATRIX})
        for (float v : gltest::floats(name, name == GL_ALPHA_TEST_REF ? 1 : 16))
            s.push_back(v);
    return s;
}

TEST_F(GLtextTest, BeginAndEndPutTheStateBack) {
    GLfont& font = pellium::defaultGLFont();
    paint([&](pellium::GLRenderInfo& info) {
        GLuint other = 0;
        glGenTextures(1, &other);
        glBindTexture(GL_TEXTURE_2D, other);
        glDisable(GL_BLEND);
        glEnable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_ALPHA_TEST);
        glAlphaFunc(GL_LEQUAL, 0.75f);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1, 1, -1, 1, 1, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(1, 2, 3);
        const std::vector<float> before = textState();

        ASSERT_TRUE(font.begin(info));
        const std::vector<float> drawing = textState();
        EXPECT_EQ(std::vector<float>(drawing.begin(), drawing.begin() + 7),
                  (std::vector<float>{1, 0, 1, 0, 1, GL_GREATER, float(font.textureName())}))
            << "blending, texturing and the alpha test on, lighting and the depth test off";
        EXPECT_FLOAT_EQ(drawing[7], 0.2f);
        // Nested pairs leave the outer one's state alone.
        ASSERT_TRUE(font.begin(info));
        font.drawString(info, 1, 1, "x", 0xFFFFFFFFu);
        font.end(info);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        font.end(info);

        EXPECT_EQ(textState(), before);
        EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        font.end(info);  // one end too many changes nothing
        EXPECT_EQ(textState(), before);
        glDisable(GL_LIGHTING);
        glDeleteTextures(1, &other);
        pellium::invalidateGLStateCache();
    });
}

TEST_F(GLtextTest, TheGlyphTextureIsDxt1AndItsMakingIsLogged) {
    pellium::glVerbose = true;
    LogCapture log;
    GLfont font(pellium::FontKey(125, 14, 0), 'a', 'z', false);
    EXPECT_EQ(font.textureName(), 0u);
    EXPECT_TRUE(font.atlas().empty()) << "nothing is made before the first begin";
    paintString(font, 2, 4, "quick");
    ASSERT_NE(font.textureName(), 0u);
    EXPECT_THAT(log.text(), HasSubstr("Font grab took: "));
    EXPECT_THAT(log.text(), ::testing::Not(HasSubstr("internal format didn't match")));
    glBindTexture(GL_TEXTURE_2D, font.textureName());
    EXPECT_EQ(gltest::levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    EXPECT_EQ(gltest::textureParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(gltest::textureParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(frame, expectedFrame(font, 2, 4, "quick"));
}

TEST_F(GLtextTest, CharactersAbove127DrawTheirOwnGlyphs) {
    // Latin-1 letters such as 0xE9 come after 127; read as signed bytes they
    // would fall outside the range and draw as the first character.
    GLfont font(pellium::FontKey(125, 16, 0), 32, 255, false);
    const char text[] = "caf\xE9";
    paintString(font, 3, 6, text);
    ASSERT_FALSE(font.atlas().empty());
    EXPECT_EQ(frame, expectedFrame(font, 3, 6, text));
    EXPECT_NE(frame, expectedFrame(font, 3, 6, "caf "));
    EXPECT_EQ(font.stringWidth(text), font.stringWidth("caf") + font.charWidth(char(0xE9)));
}

TEST_F(GLtextTest, OutlinedGlyphsHaveABlackRim) {
    GLfont font(pellium::FontKey(125, 16, 1), 'A', 'Z', true);
    paintString(font, 5, 5, "OK");
    ASSERT_FALSE(font.atlas().empty());
    const GlyphRecord& o = font.atlas().glyph('O');
    EXPECT_EQ(o.width, font.charWidth('O') + 2);
    EXPECT_EQ(o.height, font.height() + font.descent() + 2);
    const Pixels want = expectedFrame(font, 5, 5, "OK");
    EXPECT_EQ(frame, want);
    EXPECT_GT(std::count(want.begin(), want.end(), rgba(0, 0, 0)), 20) << "the rim shows";
}

TEST_F(GLtextTest, TextShowsItsWholeCellFromThePenUp) {
    // Test font blocks 5 x 10 above the baseline and, with descent 1, the
    // underline one row below it: the cell's last row. Drawn at (x, y), the
    // cell's last row lands on row y, so the underline does, and the blocks
    // fill rows y + 2 to y + 11, for a character of the first atlas row ('A')
    // and of a later one ('K') alike.
    TestFontBackend::Metrics m;
    m.descent = 1;
    TestFonts fonts(m);
    GLfont font(pellium::FontKey(125, 11, pellium::FontKey::underline), 'A', 'Z', false);
    const int x = 10, y = 20;
    EXPECT_EQ(paintString(font, x, y, "AK"), x + 12);
    ASSERT_FALSE(font.atlas().empty());
    ASSERT_LT(font.atlas().glyph('K').y, font.atlas().glyph('A').y) << "'K' lies in a later atlas row";
    Pixels want(size_t(W) * H, grey);
    for (int pen = x; pen < x + 12; pen += 6) {
        for (int col = pen; col < pen + 6; ++col)
            want[size_t(y) * W + size_t(col)] = rgba(255, 255, 255);
        for (int row = y + 2; row < y + 12; ++row)
            for (int col = pen; col < pen + 5; ++col)
                want[size_t(row) * W + size_t(col)] = rgba(255, 255, 255);
    }
    EXPECT_EQ(frame, want);
}

TEST_F(GLtextTest, AFontWithoutGlyphsDrawsNothingAndTriesOnce) {
    GLfont empty(pellium::FontKey(125, 12, 0), 90, 80, false);
    int end = 0;
    bool began = true;
    pellium::glVerbose = true;
    LogCapture log;
    paint([&](pellium::GLRenderInfo& info) {
        began = empty.begin(info);
        end = empty.drawString(info, 4, 4, "abc", 0xFFFFFFFFu);
        empty.end(info);
    });
    EXPECT_FALSE(began);
    const std::string text = log.text();
    EXPECT_EQ(text.find("Font grab took: "), text.rfind("Font grab took: ")) << "grabbed once, not again";
    EXPECT_NE(text.find("Font grab took: "), std::string::npos);
    EXPECT_EQ(empty.textureName(), 0u);
    EXPECT_EQ(end, 4 + 3 * empty.charWidth(90)) << "the pen still moves by the first character's width";
    EXPECT_EQ(lit(frame), 0);
}

// Also the test of coloured strings: each character takes its own colour.
TEST_F(GLtextTest, TheTextWrappersUseTheDefaultFont) {
    GLfont& font = pellium::defaultGLFont();
    int one = 0, each = 0;
    const uint32_t colours[3] = {0xFFFFFFFFu, 0xFF0000FFu, 0xFFFF0000u};
    paint([&](pellium::GLRenderInfo& info) {
        one = pellium::drawText(info, 2, 2, "Mw", 0xFFFFFFFFu);
        each = pellium::drawText(info, 2, 24, "Mw@", colours);
    });
    EXPECT_EQ(one, 2 + font.stringWidth("Mw"));
    EXPECT_EQ(each, 2 + font.stringWidth("Mw@"));
    Pixels want = expectedFrame(font, 2, 2, "Mw");
    const Pixels upper =
        expectedFrame(font, 2, 24, "Mw@", {rgba(255, 255, 255), rgba(255, 0, 0), rgba(0, 0, 255)});
    ASSERT_GT(lit(upper), 10);
    for (size_t i = 0; i < want.size(); ++i)
        if (upper[i] != grey)
            want[i] = upper[i];
    EXPECT_EQ(frame, want);
}

TEST(GLwindowFrameRateTest, TheRateIsWrittenFromThe32ndFrame) {
    ProbeWindow w(W, H, "frame rate");
    w.startFrameRate();
    w.draw = [&](pellium::GLRenderInfo& info) {
        gltest::clearTo(0, 0, 0);
        w.drawFrameRate(info, 3, 4);
    };
    for (int i = 0; i < 31; ++i)
        ASSERT_EQ(gltest::countOther(w.paint(), rgba(0, 0, 0)), 0) << "frame " << i;
    // White, right of and above (3, 4), within the text's height.
    const GLfont& font = pellium::defaultGLFont();
    const gltest::Spread s =
        gltest::spread(w.paint(), W, rgba(0, 0, 0), rgba(255, 255, 255), 3, 4, W, 4 + font.height() + font.descent());
    EXPECT_GT(s.lit, 50);
    EXPECT_EQ(s.stray, 0);
    w.stopFrameRate();
    EXPECT_EQ(gltest::countOther(w.paint(), rgba(0, 0, 0)), 0);
}
