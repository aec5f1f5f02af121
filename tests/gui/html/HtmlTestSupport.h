// Shared by the HTML pane's tests: pages parsed and laid out with the test
// font (every character 6 wide, ascent 10, descent 3), pictures of any size
// by name, and the places layout gave to words.
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gui/gl/GifReader.h"
#include "gui/gl/ImageReader.h"
#include "gui/html/ChunkListFuncs.h"
#include "gui/html/GlyphHolder.h"
#include "gui/html/HTMLPaneInternals.h"
#include "gui/html/TableChunk.h"
#include "tests/gui/TestFonts.h"

namespace htmltest {

// "WxH" gives a W x H picture of opaque green; other names an empty one.
class SizedImageReader : public pellium::ImageReader {
public:
    pellium::Image read(const orvel_string& name) override {
        int w = 0, h = 0;
        if (std::sscanf(name.c_str(), "%dx%d", &w, &h) != 2)
            return pellium::Image();
        pellium::Image image(w, h);
        image.fill(0xFF00FF00u);
        return image;
    }
};

// GIF files by name, relative to a folder; a name that is no GIF file gives an empty picture.
class GifFileReader : public pellium::ImageReader {
public:
    explicit GifFileReader(std::string folder) : folder_(std::move(folder)) {}
    pellium::Image read(const orvel_string& name) override {
        std::ifstream in(folder_ + "/" + name.c_str(), std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        pellium::Image image;
        pellium::loadGIF(image, bytes.data(), bytes.size());
        return image;
    }

private:
    std::string folder_;
};

// A page with the test font, laid out for a pane of the given width.
struct Page {
    explicit Page(const char* text, int width = 100, pellium::ImageReader* reader = nullptr) {
        pane.layoutWidth = width;
        pane.setText(text, reader ? reader : &sized);
    }
    pellium::DocumentChunk& chunk(size_t i) { return *pane.document().chunks().at(i); }
    pellium::GlyphHolder& paragraph(size_t i = 0) { return dynamic_cast<pellium::GlyphHolder&>(chunk(i)); }
    pellium::TableChunk& table(size_t i = 0) { return dynamic_cast<pellium::TableChunk&>(chunk(i)); }

    TestFonts fonts;
    SizedImageReader sized;
    pellium::HTMLPaneInternals pane;
};

// Where each word of a paragraph starts: "x,baseline" per text or floating word.
inline std::vector<std::string> wordStarts(pellium::GlyphHolder& p) {
    std::vector<std::string> out;
    for (const pellium::GlyphHolder::Word& w : p.words()) {
        if (w.kind == pellium::GlyphHolder::Word::lineBreak)
            continue;
        out.push_back(std::to_string(w.x) + "," + std::to_string(w.y));
    }
    return out;
}

// Where layout put every block and every placed word of a document, found
// by walking its lists and tables: two layouts that agree on it are alike.
class LayoutShape : public pellium::ChunkListFuncs::ChunkVisitor {
public:
    explicit LayoutShape(pellium::HTMLPaneInternals& pane) {
        shape.push_back(pane.pageHeight());
        pane.document().visit(*this, {0, -pane.pageHeight(), pane.layoutWidth, pane.pageHeight()});
    }
    bool visit(pellium::DocumentChunk& chunk, const pellium::Rect& r) override {
        shape.insert(shape.end(), {r.x, r.y, r.width, r.height});
        if (auto* parts = dynamic_cast<pellium::ChunkListFuncs*>(&chunk))
            parts->visit(*this, r);
        else
            for (const pellium::GlyphHolder::Word& w : dynamic_cast<pellium::GlyphHolder&>(chunk).words())
                if (w.placed)
                    shape.insert(shape.end(), {w.x, w.y});
        return true;
    }
    std::vector<int> shape;
};

}  // namespace htmltest
