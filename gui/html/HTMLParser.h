// Builds a pane's document from a text of the HTML subset: paragraphs of
// characters in the fonts the style tags choose, pictures, line breaks,
// links and tables. It never fails: what it does not understand is shown as
// text or passed over.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/Refcountable.h"
#include "gui/gl/FontKey.h"
#include "gui/gl/Image.h"

namespace pellium {

class CharacterTable;
class GlyphHolder;
class HTMLGlyph;
class HTMLPaneInternals;
class ImageReader;
class TableChunk;
struct HTMLToken;

class HTMLParser {
public:
    // Tables nested deeper than this are taken as part of the one around
    // them, so that no walk over the document recurses without bound.
    static constexpr int maxTableDepth = 64;
    // Blank space around a picture is at most this many pixels.
    static constexpr int maxImageSpace = 1000;

    // Without a reader, every picture is the dummy reader's noise.
    HTMLParser(HTMLPaneInternals& pane, ImageReader* reader);
    ~HTMLParser();

    // Appends what text holds to the pane's document, its links and its body settings.
    void parse(const char* text);

private:
    void tag(const HTMLToken& token);
    bool styleTag(const HTMLToken& token);
    bool tableTag(const HTMLToken& token);
    void image(const HTMLToken& token);
    void updateFont();
    void add(HTMLGlyph* glyph);
    void endParagraph();
    int link() const { return links_.empty() ? -1 : links_.back(); }

    HTMLPaneInternals& pane_;
    ImageReader* reader_;
    bool collecting_ = true;
    int bold_ = 0, italic_ = 0, underline_ = 0, teletype_ = 0;
    bool headerCell_ = false;
    int heading_ = 0;
    // (size 1 to 7, face); the bottom entry stays.
    std::vector<std::pair<int, int>> fonts_{{4, FontKey::serifFace}};
    CharacterTable* characters_ = nullptr;
    std::vector<int> links_;
    int alignment_ = 0;
    orvel::ref_ptr<GlyphHolder> paragraph_;
    std::vector<orvel::ref_ptr<TableChunk>> tables_;
    int flattenedTables_ = 0;
    std::map<std::string, Image> images_;
};

}  // namespace pellium
