// Pages nobody here wrote and pages broken on purpose: every .html file
// under /usr/share/doc (with real fonts, and the GIF files beside them), and
// a corpus of mutated pages (with the test font). Each is parsed, laid out at
// several widths, drawn and hit-tested under the sanitizers of the test
// build, none of them hanging.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gui/gdiGraphics.h"
#include "tests/support/HangWatch.h"
#include "tests/support/LogCapture.h"
#include "HtmlTestSupport.h"

namespace {

// Seconds after which a page counts as hung: in the sanitizer build, ten
// times what the work takes on a heavily loaded machine, a hundred times on
// an idle one (0.6 s per megabyte). How work grows is counted, not timed.
double hangSeconds(size_t bytes) {
    return 60.0 + 60.0 * double(bytes) / (1 << 20);
}
constexpr int widths[] = {10, 100, 250, 600, 1500};

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Parses, lays out at every width (twice, which must give the same page),
// draws the top of the page and asks for the glyph under points of it.
void exercise(pellium::HTMLPaneInternals& pane, const std::string& text, pellium::ImageReader* reader) {
    pane.layoutWidth = 600;
    pane.setText(text.c_str(), reader);
    for (int w : widths) {
        pane.layoutWidth = std::max(w, pellium::HTMLPaneInternals::minimumWidth);
        pane.layout();
        const htmltest::LayoutShape first(pane);
        pane.layout();
        EXPECT_TRUE(htmltest::LayoutShape(pane).shape == first.shape) << "laid out again at " << w;
        EXPECT_GE(pane.pageHeight(), 10);
        EXPECT_GE(pane.document().minimumWidth(), 0);
        EXPECT_GE(pane.document().maximumWidth(), pane.document().minimumWidth());
    }
    const pellium::Rect bounds{0, 300 - pane.pageHeight(), pane.layoutWidth, pane.pageHeight()};
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 400, 300});
    pane.draw(g, bounds);
    pellium::HitResult hit;
    for (int y = 0; y < 300; y += 7) {
        for (int x = 0; x < 400; x += 11) {
            if (pane.hitTest(x, y, bounds, hit)) {
                EXPECT_LT(hit.link, int(pane.links.size()));
            }
        }
    }
}

std::vector<std::string> documentationPages() {
    std::vector<std::string> pages;
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/doc", ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_regular_file(ignored) && it->path().extension() == ".html")
            pages.push_back(it->path().string());
    std::sort(pages.begin(), pages.end());
    return pages;
}

constexpr int shards = 8;

class HtmlRealPagesTest : public testing::TestWithParam<int> {};

TEST_P(HtmlRealPagesTest, ParseLayOutDrawAndHitTest) {
    const std::vector<std::string> pages = documentationPages();
    LogCapture log;  // broken pictures are logged, not shown
    int done = 0;
    HangWatch watch;
    for (size_t i = size_t(GetParam()); i < pages.size(); i += shards) {
        pellium::HTMLPaneInternals pane;
        const std::string folder = std::filesystem::path(pages[i]).parent_path().string();
        htmltest::GifFileReader reader(folder);
        const std::string text = readFile(pages[i]);
        watch.arm(pages[i], hangSeconds(text.size()));
        exercise(pane, text, &reader);
        ++done;
    }
    RecordProperty("pages", done);
}

INSTANTIATE_TEST_SUITE_P(Shards, HtmlRealPagesTest, testing::Range(0, shards));

// Markup the mutations drop into pages: tags of every kind, broken ones,
// odd attribute values and bytes the tokenizer treats specially.
const char* const pieces[] = {
    "<table>", "</table>", "<tr>", "</tr>", "<td>", "<th align=center valign=bottom>", "<td rowspan=1024 colspan=1024>",
    "<td colspan=7>", "<td rowspan=40>", "<table cellpadding=64 cellspacing=64>", "<table cellspacing=0 cellpadding=0>",
    "<img src=40x30 align=left>", "<img src=25x70 align=right hspace=900>", "<img src='9x9 align=left", "<img src=3x2>",
    "<img src=500x400 vspace=1000>", "<br>", "<br clear=left>", "<br clear=both>", "<br clear=right>", "<a href=\"x>y\">",
    "<a href=z>", "</a>", "<b>", "</b>", "<i>", "</u>", "<tt>", "<font size=+9 face=monospace>", "<font size=1>",
    "</font>", "<h1>", "</h1>", "<h6 align=right>", "<p align=justify>", "<p align=center>", "</p>", "<head>",
    "<body bgcolor=#abcdef widthhint=-40>", "</body>", "&amp;", " ", "     ", "\n", "\t", "<", ">", "\"", "'", "</",
    "<!-- -->", "<\x80>", "<a\x90" "b>", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "word ",
};

std::string mutate(std::string page, std::mt19937& random) {
    const int count = 1 + int(random() % 24);
    for (int k = 0; k < count; ++k) {
        const size_t at = page.empty() ? 0 : random() % (page.size() + 1);
        switch (random() % 6) {
        case 0:  // a byte changed to anything but the end marker
            if (at < page.size())
                page[at] = char(1 + random() % 254);
            break;
        case 1:
        case 2: {
            const char* piece = pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
            const int repeat = random() % 8 == 0 ? 1 + int(random() % 200) : 1;
            for (int r = 0; r < repeat; ++r)
                page.insert(at, piece);
            break;
        }
        case 3:  // a stretch removed
            page.erase(at, random() % 64);
            break;
        case 4: {  // a stretch copied elsewhere
            const size_t from = page.empty() ? 0 : random() % page.size();
            const std::string copy = page.substr(from, random() % 256);
            page.insert(std::min(at, page.size()), copy);
            break;
        }
        default:  // a rare byte 255 cuts the page short
            if (random() % 16 == 0 && at < page.size())
                page[at] = char(0xFF);
            break;
        }
    }
    return page;
}

TEST(HtmlFuzzTest, MutatedPagesParseAndLayOut) {
    const std::vector<std::string> seeds = {
        "<html><head><title>t</title></head><body bgcolor=#ffeedd widthhint=300><h1 align=center>Title</h1>"
        "<p align=justify>Some <b>bold</b>, <i>italic</i> and <u>underlined</u> text with a <a href=\"Next.html\">link"
        "</a> and <tt>code</tt>.<br clear=left><img src=40x30 align=left hspace=3>Text beside a picture that goes on "
        "for a while so that it wraps.<p>More <font size=+2 face=sansserif>big <font size=-2>small</font></font>."
        "<table cellpadding=2 cellspacing=1><tr align=right><th>A<th colspan=2>B<tr><td rowspan=2>1<td>2<td>3"
        "<tr><td><table><tr><td>in</table><td align=center valign=top>x y z</table>after</body></html>",
        "<table><tr><td>a<td>b<td>c<tr><td colspan=3>wide<tr><td>1<td rowspan=3>2<td>3</table>",
        "<p>one two three four five six seven eight nine ten eleven twelve<br>a<br><br>b<img src=3x2><img src=5x5>c",
    };
    std::vector<std::string> corpus = seeds;
    const std::vector<std::string> pages = documentationPages();
    for (size_t i = 0; i < pages.size() && corpus.size() < 8; i += 31) {
        std::string page = readFile(pages[i]);
        corpus.push_back(page.substr(0, 20000));
    }
    TestFonts fonts;
    htmltest::SizedImageReader reader;
    LogCapture log;
    std::mt19937 random(20240611);
    HangWatch watch;
    for (int n = 0; n < 1200; ++n) {
        const std::string page = mutate(corpus[size_t(n) % corpus.size()], random);
        pellium::HTMLPaneInternals pane;
        watch.arm("mutant " + std::to_string(n), hangSeconds(page.size()));
        exercise(pane, page, &reader);
        if (HasFailure())
            break;
    }
}

std::string repeated(const std::string& piece, int times) {
    std::string page;
    page.reserve(piece.size() * size_t(times));
    for (int k = 0; k < times; ++k)
        page += piece;
    return page;
}

// Pages whose sums of heights or widths pass the int range: a million-pixel
// picture on each of thousands of lines, paragraphs, cleared floats, one
// word of pictures, floats side by side, and pictures between spaces.
TEST(HtmlFuzzTest, MeasuresOfHugePagesStayInRange) {
    const struct {
        const char* piece;
        int times;
    } cases[] = {
        {"<img src=1x1000000 vspace=1000><br>", 2200}, {"<p><img src=1x1000000>", 2200},
        {"<img src=1x1000000 align=left><br clear=left>", 2200}, {"<img src=1000000x1 hspace=1000>", 2200},
        {"<img src=1000000x1 align=left>", 2200}, {"<img src=1000000x1> ", 2200},
    };
    TestFonts fonts;
    htmltest::SizedImageReader reader;
    for (const auto& c : cases) {
        const std::string page = repeated(c.piece, c.times) + "x";
        pellium::HTMLPaneInternals pane;
        exercise(pane, page, &reader);
        EXPECT_LE(pane.pageHeight(), pellium::maxMeasure + 10) << c.piece;
        EXPECT_LE(pane.document().maximumWidth(), pellium::maxMeasure) << c.piece;
    }
}

// Layout work grows with the page, not with its square, whatever floats
// pile up beside its lines: a page four times as long looks at its floats
// about four times as often (every line once looked at every float still
// beside it: sixteen times).
TEST(HtmlFuzzTest, LayoutWorkGrowsLinearly) {
    const char* const pieces[] = {"<img src=32x32 align=left>x", "<img src=32x32 align=right>x y ",
                                  "<img src=9x40 align=left>word <br>"};
    TestFonts fonts;
    htmltest::SizedImageReader reader;
    for (const char* piece : pieces) {
        long long visits[2];
        for (int i = 0; i < 2; ++i) {
            pellium::HTMLPaneInternals pane;
            exercise(pane, repeated(piece, 2000 << (2 * i)), &reader);
            visits[i] = dynamic_cast<pellium::GlyphHolder&>(*pane.document().chunks().at(0)).floatVisits();
        }
        EXPECT_LT(visits[1], 5 * visits[0]) << piece << ": " << visits[0] << " visits, then " << visits[1];
    }
}

}  // namespace
