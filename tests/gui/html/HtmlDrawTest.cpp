// The HTML document drawn on a back buffer with the test font's block glyphs:
// text and link colours, underlines, picture frames, table outlines and the
// background; and which glyph and link a point finds.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gui/gdiGraphics.h"
#include "gui/html/ImageGlyph.h"
#include "tests/gui/GifWriter.h"
#include "tests/support/TempFolder.h"
#include "HtmlTestSupport.h"

using htmltest::Page;

namespace {

constexpr std::uint32_t black = 0xFF000000u, white = 0xFFFFFFFFu, blue = 0xFF0000FFu, red = 0xFFFF0000u,
                        green = 0xFF00FF00u, olive = 0xFF808000u;

struct Probe {
    int x, y;
    std::uint32_t colour;
    const char* what;
};

// Draws the page into a pane at (0, 0, 100, 60): its document starts at x 5,
// with its top at y 55.
void expectPixels(Page& page, std::initializer_list<Probe> probes) {
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 100, 60});
    page.pane.draw(g, {0, 0, 100, 60});
    for (const Probe& p : probes)
        EXPECT_EQ(g.pixelAt(p.x, p.y), p.colour) << p.what << " at " << p.x << "," << p.y;
}

TEST(HtmlDrawTest, TextLinksPicturesAndBackground) {
    // Line 1 on baseline 45: a at x 5, the linked b at 11. Line 2 on baseline
    // 26: the linked picture (spaces 2) at 5, then a 4 x 4 one at 19.
    Page page("<body bgcolor=#ffffff>a<a href=L>b</a><br><a href=q><img src=10x8></a><img src=4x4>");
    expectPixels(page, {
                           {7, 50, black, "text"},
                           {13, 50, blue, "linked text"},
                           {11, 44, blue, "its underline"},
                           {16, 44, blue, "its underline's end"},
                           {7, 44, white, "no underline outside links"},
                           {10, 30, green, "picture"},
                           {6, 30, blue, "inner link frame"},
                           {5, 30, red, "outline over the outer link frame"},
                           {19, 27, red, "outline of a picture without spaces"},
                           {20, 27, green, "inside it"},
                           {90, 5, white, "background"},
                       });
    Page plain("x");  // no background: nothing painted under the page
    expectPixels(plain, {{90, 5, black, "untouched buffer"}, {7, 50, black, "text"}});
}

TEST(HtmlDrawTest, PicturesFromGifFiles) {
    // 6 x 4: the top row red, the rest blue.
    std::vector<unsigned> indices(24, 1);
    for (int i = 0; i < 6; ++i)
        indices[size_t(i)] = 0;
    TempFolder folder;
    writeFile(folder / "pic.gif", GifBuilder().screen({0xFF0000, 0x0000FF}).descriptor(6, 4).data(2, lzwEncode(indices, 2)).trailer());
    htmltest::GifFileReader reader(folder.path().string());
    Page page("<img src=pic.gif hspace=2 vspace=2><img src=missing.gif hspace=3 vspace=3>", 100, &reader);
    // The glyph box (5, 47, 10, 8) on baseline 47; the picture at (7, 49).
    expectPixels(page, {
                           {8, 52, red, "top row"},
                           {12, 49, blue, "bottom row"},
                           {5, 50, red, "glyph box outline"},
                           {6, 50, black, "blank space"},
                           {15, 49, red, "a missing file: the box of its blank space"},
                           {17, 49, black, "and nothing inside"},
                       });
}

TEST(HtmlDrawTest, TableOutlines) {
    // Column 8 wide, table 10 x 21 from y 34; the cell's content at (7, 36, 6, 17).
    Page page("<body bgcolor=#ffffff><table><tr><td>x</table>");
    expectPixels(page, {
                           {5, 40, olive, "table outline"},
                           {14, 54, olive, "its top-right corner"},
                           {6, 40, blue, "cell outline, one padding out"},
                           {9, 48, black, "cell text"},
                           {15, 40, white, "outside"},
                       });
}

TEST(HtmlDrawTest, HitTestingFindsGlyphsAndLinks) {
    // Baseline 45: aa (link 0) at 5, a space outside links at 17, bb (link 1)
    // at 23, a linked space at 35, cc at 41. Line 2: the picture's box from
    // (5, 30), 16 x 8, 3 of blank space on each side.
    Page page("<a href=x>aa</a> <a href=y>bb cc</a><br><img src=10x8 hspace=3>");
    struct Case {
        int x, y;
        bool found;
        int link;
    };
    const Case cases[] = {
        {6, 47, true, 0},  {18, 47, true, -1}, {36, 47, true, 1},   {42, 54, true, 1},
        {6, 44, false, -1}, {6, 55, false, -1}, {95, 47, false, -1}, {6, 32, false, -1},
        {10, 32, true, -1}, {18, 37, true, -1}, {19, 32, false, -1},
    };
    for (const Case& c : cases) {
        pellium::HitResult r;
        EXPECT_EQ(page.pane.hitTest(c.x, c.y, {0, 0, 100, 60}, r), c.found) << c.x << "," << c.y;
        EXPECT_EQ(r.link, c.link) << c.x << "," << c.y;
    }
    pellium::HitResult r;
    ASSERT_TRUE(page.pane.hitTest(10, 32, {0, 0, 100, 60}, r));
    EXPECT_NE(dynamic_cast<const pellium::ImageGlyph*>(r.glyph), nullptr);
}

// A visitor is handed each block of a list stacked from the top, and each
// cell of a table inside its padding, until it asks to stop.
TEST(HtmlDrawTest, VisitorsWalkBlocksAndCells) {
    struct Recorder : pellium::ChunkListFuncs::ChunkVisitor {
        bool visit(pellium::DocumentChunk&, const pellium::Rect& r) override {
            seen.push_back(r);
            return int(seen.size()) < stopAfter;
        }
        std::vector<pellium::Rect> seen;
        int stopAfter = 100;
    };
    Page page("a<table><tr><td>x<td>y</table>b");
    Recorder blocks;
    EXPECT_TRUE(page.pane.document().visit(blocks, {5, 5, 90, 50}));
    EXPECT_EQ(blocks.seen, (std::vector<pellium::Rect>{{5, 38, 90, 17}, {5, 17, 90, 21}, {5, 0, 90, 17}}));
    Recorder cells;
    EXPECT_TRUE(page.table(1).visit(cells, blocks.seen[1]));
    EXPECT_EQ(cells.seen, (std::vector<pellium::Rect>{{7, 19, 6, 17}, {16, 19, 6, 17}}));
    Recorder first;
    first.stopAfter = 1;
    EXPECT_FALSE(page.pane.document().visit(first, {5, 5, 90, 50}));
    EXPECT_EQ(first.seen.size(), 1u);
}

}  // namespace
