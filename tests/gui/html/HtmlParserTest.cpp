// The HTML subset's parser: what becomes text, which tags shape the
// document, the fonts chosen by style tags, links, body settings and the
// table grid; forgiving of stray, unclosed and oversized markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/html/Character2.h"
#include "gui/html/HTMLParser.h"
#include "gui/html/ImageGlyph.h"
#include "tests/support/LogCapture.h"
#include "HtmlTestSupport.h"

using htmltest::Page;
using pellium::FontKey;
using pellium::GlyphHolder;
using pellium::TableChunk;

namespace {

struct DumpCase {
    const char* text;
    const char* dump;
};

TEST(HtmlParserTest, TextAndStructure) {
    const DumpCase cases[] = {
        {"a<b", "a<b\n"},                                   // no '>' after the '<'
        {"x < p>y", "x < p>y\n"},                           // a tag starts with a letter
        {"<1>a", "<1>a\n"},                                 //
        {"a&amp;b", "a&amp;b\n"},                           // no character references
        {"ab\xff<b>cd", "ab\n"},                            // byte 255 ends the text
        {"a\xe9<b\xe9>c", "a\xe9<b\xe9>c\n"},               // a tag holds no byte of 128 or more
        {"  a   b  ", "a b \n"},                            // leading spaces go, runs collapse
        {"a  <br>  b", "a<br>b\n"},                         // a break drops the spaces before it
        {"a\tb\nc", "a\tb\nc\n"},                           // only the space separates words
        {"t<head>h<b>x</b></head>y<body>z", "thxyz\n"},     // text outside the body is shown
        {"<p>a<p align=center>b</p>c", "a\nb\nc\n"},        //
        {"<h1>a</h1>b<h2 align=right>c", "a\nb\nc\n"},      // headings end paragraphs
        {"<center>a</center><foo x=1>b", "ab\n"},           // unknown tags are passed over
        {"<img src=4x3>x<br clear=left>", "<img>x<br>\n"},  //
        {"<a href=\"x>y\">z</a>", "{0:z}\n"},               // '>' inside double quotes
        {"<img src='4x3>z", "<img>z\n"},                    // an unclosed single quote ends with the tag
        {"a<a HREF=B.Html>b <a href=c>c</a> </a>d</a>", "a{0:b }{1:c}{0: }d\n"},  // hrefs lower case
        {"<table><tr><td>a<td>b</table>", "<table>\n<tr dd>\n<td>\na\n<td>\nb\n</table>\n"},
        {"<table>\n<tr>\n<td>x</td>\n</tr></table>", "<table>\n<tr d>\n<td>\nx\n\n</table>\n"},
        {"x<table><tr><td>a</td>", "x\n"},                  // an unclosed table is dropped
        {"</table></a></b>x</tr><td>y", "xy\n"},            // stray end tags
        {"<td>a<tr>b<table>c<td>d<tr><td>e</table>", "ab\n<table>\n<tr d>\n<td>\ne\n</table>\n"},
        {"<table><tr><td><table><tr><td>in</table>out</table>",
         "<table>\n<tr d>\n<td>\n<table>\n<tr d>\n<td>\nin\n</table>\nout\n</table>\n"},
        // Spans take the slots below and beside them: the second row's cells move on.
        {"<table cellpadding=100 cellspacing=0><tr align=right valign=top><td rowspan=2 colspan=0>a"
         "<th colspan=2 align=justify valign=bottom>b<tr><td>c<td>d</table>",
         "<table cellspacing=0>\n<tr dh#>\n<td rowspan=2 align=2 valign=1>\na\n<th colspan=2 align=4 valign=3>\nb\n"
         "<tr #dd>\n<td>\nc\n<td>\nd\n</table>\n"},
        {"<table cellpadding=0 cellspacing=64><tr><th>x</table><table cellpadding=-1 cellspacing=65><tr><td>y</table>",
         "<table cellpadding=0 cellspacing=64>\n<tr h>\n<th>\nx\n</table>\n<table>\n<tr d>\n<td>\ny\n</table>\n"},
    };
    for (const DumpCase& c : cases) {
        Page page(c.text);
        EXPECT_EQ(page.pane.dump(), c.dump) << c.text;
    }
}

// The key of the first character, in the first paragraph or the first table's last cell.
FontKey firstKey(Page& page) {
    pellium::DocumentChunk* first = &page.chunk(0);
    if (auto* table = dynamic_cast<TableChunk*>(first))
        first = table->rows()[0].back().content->chunks()[0].get();
    return dynamic_cast<const pellium::Character2&>(*dynamic_cast<GlyphHolder&>(*first).glyphs()[0]).font()->key();
}

TEST(HtmlParserTest, StyleTagsChooseTheFont) {
    struct Case {
        const char* text;
        FontKey key;
    };
    const int b = FontKey::bold, i = FontKey::italic, u = FontKey::underline;
    const Case cases[] = {
        {"x", {124, 14, 0}},
        {"<h1>x", {124, 28, b}},
        {"<h6><i>x", {124, 9, b | i}},
        {"<h1><h2></h2>x", {124, 28, b}},  // headings do not nest
        {"<font size=+2>x", {124, 21, 0}},
        {"<font size=-3>x", {124, 7, 0}},
        {"<font size=2>x", {124, 9, 0}},
        {"<font size=9>x", {124, 14, 0}},
        {"<font size=big>x", {124, 14, 0}},
        {"<font size=7 face=SansSerif><font face=monospace>x", {123, 28, 0}},
        {"<font size=7></font></font></font><font size=1>x", {124, 7, 0}},
        {"<font face=sansserif><tt>x", {123, 14, 0}},
        {"<font face=sansserif><tt></tt>x", {125, 14, 0}},
        {"</b></b><b>x", {124, 14, b}},  // a counter never falls below 0
        {"<u><i>x", {124, 14, i | u}},
        {"<a href=q>x", {124, 14, u}},
        {"<a><a></a>x", {124, 14, u}},
        {"<body></body><b>x", {124, 14, 0}},  // tags after the body are ignored
        {"<head></head><b>x", {124, 14, 0}},
        {"<head><body><b>x", {124, 14, b}},
        {"<table><tr><th>x</table>", {124, 14, b}},
        {"<table><tr><th><i>x</table>", {124, 14, i}},  // any style tag ends the header's bold
        {"<table><tr><th><td>x</table>", {124, 14, 0}},
    };
    for (const Case& c : cases) {
        Page page(c.text);
        FontKey key = firstKey(page);
        EXPECT_EQ(key.face, c.key.face) << c.text;
        EXPECT_EQ(key.size, c.key.size) << c.text;
        EXPECT_EQ(key.style, c.key.style) << c.text;
    }
}

TEST(HtmlParserTest, BodySettingsAndPictures) {
    Page page("<body bgcolor=\"#123456\" widthhint=300><a href=q>b <img src=5x4 hspace=-3 vspace=7></a>"
              "<img src=8x2 align=right hspace=x vspace=99999>");
    EXPECT_EQ(page.pane.background, 0xFF563412u);
    EXPECT_EQ(page.pane.widthHint, 300);
    // A negative space is none and a link adds 2; other text gives none, and spaces are bounded.
    auto* inLink = dynamic_cast<const pellium::ImageGlyph*>(page.paragraph().glyphs()[2].get());
    auto* right = dynamic_cast<const pellium::ImageGlyph*>(page.paragraph().glyphs()[3].get());
    ASSERT_TRUE(inLink && right);
    EXPECT_EQ(std::vector<int>({inLink->hspace(), inLink->vspace(), inLink->width(), inLink->ascent(), inLink->isFloating()}),
              std::vector<int>({2, 9, 9, 22, 0}));
    EXPECT_EQ(std::vector<int>({right->hspace(), right->vspace(), right->isFloating(), right->floatSide()}),
              std::vector<int>({0, pellium::HTMLParser::maxImageSpace, 1, 1}));

    const char* colours[] = {"#12", "123456", "#", "#zz", "#1234567"};
    const unsigned expected[] = {0xFF120000u, 0, 0, 0, 0xFF674523u};
    for (int k = 0; k < 5; ++k) {
        Page other((std::string("<body bgcolor=") + colours[k] + ">x").c_str());
        EXPECT_EQ(other.pane.background, expected[k]) << colours[k];
    }
    // A new text starts from no background, no hint and no links.
    page.pane.setText("x", nullptr);
    EXPECT_EQ(page.pane.background + page.pane.widthHint + page.pane.links.size(), 0u - 1u);
}

TEST(HtmlParserTest, HugeSpansAreBoundedAndLogged) {
    LogCapture log;
    Page page("<table><tr><td rowspan=1024 colspan=1024>a<td colspan=1024>b<tr><td rowspan=3 colspan=5>c</table>", 300);
    // The first block would make a million slots and spans one; the others fit.
    const std::string row = "dd" + std::string(1023, '#');
    EXPECT_EQ(page.pane.dump(), "<table>\n<tr " + row + ">\n<td>\na\n<td colspan=1024>\nb\n<tr d####>\n"
                                "<td rowspan=3 colspan=5>\nc\n<tr #####>\n<tr #####>\n</table>\n");
    EXPECT_EQ(log.count("would make the table too large"), 1);
}

TEST(HtmlParserTest, DeepNestingAndLongRunsOfMarkupStayCheap) {
    LogCapture log;
    std::string deep;
    for (int k = 0; k < 20000; ++k)
        deep += "<table><tr><td>x";
    for (int k = 0; k < 20000; ++k)
        deep += "</table>";
    std::string opens;
    for (int k = 0; k < 150000; ++k)
        opens += "<a";
    std::string quotes = "<a " + std::string(300000, '"');
    Page nested(deep.c_str(), 600);
    Page lone(opens.c_str(), 600);
    Page quoted(quotes.c_str(), 600);
    int depth = 0;
    for (pellium::DocumentChunk* chunk = &nested.chunk(0); chunk;) {
        auto* table = dynamic_cast<TableChunk*>(chunk);
        if (!table)
            break;
        ++depth;
        chunk = table->rows()[0][0].content->chunks().back().get();
    }
    EXPECT_EQ(depth, pellium::HTMLParser::maxTableDepth);
    EXPECT_EQ(log.count("tables nested too deep were merged"), 0);  // all were closed
    EXPECT_GT(nested.pane.pageHeight(), 10);
    EXPECT_EQ(lone.paragraph().glyphs().size(), opens.size());
    EXPECT_EQ(quoted.paragraph().glyphs().size(), quotes.size());
}

TEST(HtmlParserTest, MisusedChunksThrow666) {
    Page page("<table><tr><td>x</table>y");
    auto thrown = [](auto&& call) {
        try {
            call();
        } catch (int n) {
            return n;
        }
        return 0;
    };
    EXPECT_EQ(thrown([&] { page.table().addGlyph(nullptr, -1); }), 666);
    EXPECT_EQ(thrown([&] { page.pane.document().addGlyph(nullptr, -1); }), 666);
    EXPECT_EQ(thrown([&] { page.paragraph(1).addChunk(nullptr); }), 666);
}

}  // namespace
