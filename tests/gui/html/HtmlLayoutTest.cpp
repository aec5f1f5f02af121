// Paragraph and table layout with the test font (characters 6 wide, ascent
// 10, descent 3): wrapping, the four alignments, justification, floating
// pictures and clearing, widths, and the sharing of width among columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HtmlTestSupport.h"

using htmltest::Page;
using htmltest::wordStarts;
using pellium::TableChunk;
using Starts = std::vector<std::string>;

namespace {

TEST(HtmlLayoutTest, ParagraphLines) {
    struct Case {
        const char* text;
        int width;
        Starts starts;  // text and floating words
        int height;
    };
    const Case cases[] = {
        // Pane 100 wide: 90 inside the margins; lines A + D + 4 = 17 apart.
        {"aaaa bbbb cccc dddd", 100, {"0,-10", "30,-10", "60,-10", "0,-27"}, 34},
        {"<p align=center>aaaa bbbb cccc dddd", 100, {"3,-10", "33,-10", "63,-10", "33,-27"}, 34},
        {"<p align=right>aaaa bbbb cccc dddd", 100, {"6,-10", "36,-10", "66,-10", "66,-27"}, 34},
        {"<p align=justify>aaaa bbbb cccc dddd", 100, {"0,-10", "33,-10", "66,-10", "0,-27"}, 34},
        // The line before a break is stretched; one word wider than the line stays whole.
        {"<p align=justify>aa b<br>cc dd", 100, {"0,-10", "84,-10", "0,-27", "18,-27"}, 34},
        {"<p align=justify>a bb ccc", 40, {"0,-10", "18,-10", "0,-27"}, 34},
        {"aaaaaaaaaaaaaaaaaaaa b", 100, {"0,-10", "0,-27"}, 34},
        {"   a    b ", 100, {"0,-10", "12,-10"}, 17},
        {"a<br><br>b", 100, {"0,-10", "0,-31"}, 38},  // an empty line is 4 high
        // A picture in the line raises it; glyph classes split words with no gap.
        {"a <img src=10x20> b", 100, {"0,-20", "12,-20", "28,-20"}, 27},
        {"ab<img src=10x20>cd", 100, {"0,-20", "12,-20", "22,-20"}, 27},
        // A left float 40 x 30: lines start at 40 until 30 pixels have passed beside it.
        {"<img src=40x30 align=left>aaaa bbbb cccc dddd eeee ffff gggg",
         100,
         {"0,-30", "40,-10", "40,-27", "0,-44", "30,-44", "60,-44", "0,-61", "30,-61"},
         68},
        {"<img src=40x30 align=left>aa<br clear=left>bb", 100, {"0,-30", "40,-10", "0,-40"}, 47},
        {"<img src=40x30 align=left>aa<br clear=right>bb", 100, {"0,-30", "40,-10", "40,-27"}, 34},
        // A float waiting for the next line is still placed there after a clearing break.
        {"<img src=20x10 align=right>aa <img src=30x40 align=right hspace=5>b<br clear=both>c",
         100,
         {"70,-10", "0,-10", "50,-57", "18,-10", "0,-27"},
         57},
        {"<img src=20x5 align=left><img src=10x8 align=left>a", 100, {"0,-5", "20,-8", "30,-10"}, 17},
        // A float reaching below the text makes the paragraph as tall as it.
        {"<img src=40x60 align=left>aa", 100, {"0,-60", "40,-10"}, 60},
        {"aa <img src=40x60 align=left>", 100, {"0,-10", "0,-77"}, 77},
    };
    for (const Case& c : cases) {
        Page page(c.text, c.width);
        EXPECT_EQ(wordStarts(page.paragraph()), c.starts) << c.text;
        EXPECT_EQ(page.paragraph().height(), c.height) << c.text;
        EXPECT_EQ(page.pane.pageHeight(), c.height + 10) << c.text;
    }
}

TEST(HtmlLayoutTest, AParagraphIsMadeOnItsFirstGlyphEvenASpace) {
    struct Case {
        const char* text;
        size_t blocks;
        int height;  // of the document
    };
    const Case cases[] = {
        {"<p>a</p> <p>b</p>", 3, 17 + 4 + 17},  // the space alone ends an empty line
        {"<p>a</p>   <p>b</p>", 3, 38},
        {"<p>a</p><p>b</p>", 2, 34},
        {" ", 1, 4},
        {"", 0, 0},
        {"a <p> b", 2, 34},  // spaces at either end of a paragraph add nothing
    };
    for (const Case& c : cases) {
        Page page(c.text);
        EXPECT_EQ(page.pane.document().chunks().size(), c.blocks) << c.text;
        EXPECT_EQ(page.pane.document().height(), c.height) << c.text;
        EXPECT_EQ(page.pane.pageHeight(), c.height + 10) << c.text;
    }
}

TEST(HtmlLayoutTest, WidthsAndWidthFloor) {
    struct Case {
        const char* text;
        int minimum, maximum;
    };
    const Case cases[] = {
        {"aaaa bbbb cccc dddd", 30, 114},
        {"aa bbb<br>c", 18, 36},
        {"aa bbb<br>cccc dddd e", 30, 66},
        {"<img src=50x5 align=left>a", 50, 56},
        {"<p>ab</p><p>abcdefg</p><table><tr><td>abc</table>", 42, 42},
    };
    for (const Case& c : cases) {
        Page page(c.text);
        EXPECT_EQ(page.pane.document().minimumWidth(), c.minimum) << c.text;
        EXPECT_EQ(page.pane.document().maximumWidth(), c.maximum) << c.text;
    }
    Page narrow("a", 10);
    EXPECT_EQ(narrow.pane.layoutWidth, 25);
}

struct TableCase {
    std::string text;
    int paneWidth;
    std::vector<int> columns;
    int width, height;
};

TEST(HtmlLayoutTest, TableColumnsShareTheWidth) {
    std::string words = "a";  // 84 words: at most 1002 wide, at least 12
    for (int k = 1; k < 84; ++k)
        words += " a";
    const TableCase cases[] = {
        // No padding or spacing, maxima 10, 20 and 114 in 90: the even share is
        // 30, so the first two are fixed and the third takes the rest.
        {"<table cellpadding=0 cellspacing=0><tr><td><img src=10x1><td><img src=20x1><td>aaaa bbbb cccc dddd</table>",
         100, {10, 20, 60}, 90, 34},
        // A cell over two columns with minimum 11: 5 to the first, the remainder 6 to the second.
        {"<table cellpadding=0 cellspacing=0><tr><td colspan=2><img src=11x1><tr><td><td></table>", 25, {5, 6}, 11, 5},
        // One cell, padding and spacing 1: its column is fixed at its widest content plus
        // padding; its content is laid out 2p narrower than the cell, and wraps.
        {"<table><tr><td>aaaa bbbb</table>", 100, {56}, 58, 38},
        // Too little room: every column gets its minimum.
        {"<table cellpadding=0 cellspacing=0><tr><td>aaaa bbbb<td>cc dddd</table>", 40, {30, 24}, 54, 34},
        // A later row with more cells than the first.
        {"<table><tr><td>a<tr><td>b<td>c<td>d</table>", 100, {8, 8, 8}, 28, 41},
        // No cells at all.
        {"<table></table>", 100, {}, 1, 0},
        {"<table><tr><tr></table>", 100, {}, 1, 0},
        // A fixed column counts when the flexible minimums are tested: 32 + 12 + 60 do
        // not fit in 100, so no flexible column falls below its minimum.
        // not fit in 100, so no flexible column falls below its minimum. The middle
        // column, 12 wide, holds one "a" per line.
        {"<table cellpadding=0 cellspacing=0><tr><td><img src=32x1><td>" + words + "<td><img src=60x1></table>",
         110, {32, 12, 60}, 104, 84 * 17},
    };
    for (const TableCase& c : cases) {
        Page page(c.text.c_str(), c.paneWidth);
        TableChunk& t = page.table();
        EXPECT_EQ(t.columnWidths(), c.columns) << c.text;
        EXPECT_EQ(t.width(), c.width) << c.text;
        EXPECT_EQ(t.height(), c.height) << c.text;
    }
}

TEST(HtmlLayoutTest, TableRowsAndSpans) {
    // The cell over two rows ends in the second; its column moves down only then.
    Page page("<table cellpadding=0 cellspacing=0><tr><td rowspan=2><img src=5x40><td>a<tr><td>b</table>");
    const auto& rows = page.table().rows();
    EXPECT_EQ(rows[0][0].rect, (pellium::Rect{0, -44, 5, 44}));
    EXPECT_EQ(rows[0][1].rect, (pellium::Rect{5, -17, 6, 17}));
    EXPECT_EQ(rows[1][1].rect, (pellium::Rect{5, -34, 6, 17}));
    EXPECT_EQ(page.table().height(), 44);

    // Spacing 2 and padding 3: contents start s + p below the top and left of the table.
    Page padded("<table cellpadding=3 cellspacing=2><tr><td>a<td>b<tr><td colspan=2>c</table>x", 200);
    const auto& grid = padded.table().rows();
    EXPECT_EQ(padded.table().columnWidths(), (std::vector<int>{12, 12}));
    EXPECT_EQ(grid[0][0].rect, (pellium::Rect{2, -25, 6, 17}));
    EXPECT_EQ(grid[0][1].rect, (pellium::Rect{16, -25, 6, 17}));
    EXPECT_EQ(grid[1][0].rect, (pellium::Rect{2, -50, 20, 17}));
    EXPECT_EQ(padded.table().height(), 2 * 2 + 2 + 4 * 3 + 2 * 17);
    EXPECT_EQ(padded.pane.document().height(), padded.table().height() + 17);
}

}  // namespace
