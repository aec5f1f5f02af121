// A paragraph: glyphs in reading order, broken into words and the words
// into lines no wider than the available width, aligned or justified, with
// floating pictures at the margins and the text flowing beside them.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/html/DocumentChunk.h"
#include "gui/html/HTMLGlyph.h"

namespace pellium {

class GlyphHolder : public DocumentChunk {
public:
    // Set by layout: x from the paragraph's left, y the baseline (0 at the
    // paragraph's top, falling downward). Only present glyphs were placed.
    struct Entry {
        orvel::ref_ptr<HTMLGlyph> glyph;
        std::int32_t x = 0, y = 0;
        std::int32_t link = -1;  // the number of the link it belongs to, -1 for none
        bool present = false;
    };

    // A run of glyphs laid out as one: a word of one glyph class, a
    // floating glyph, or a line break. Its trailing space, when it has one,
    // moves with it.
    struct Word {
        enum Kind : std::uint8_t { text, floating, lineBreak };
        std::int32_t first = 0, end = 0;  // entries first .. end - 1
        std::int32_t width = 0, ascent = 0, descent = 0;
        std::int32_t space = -1, spaceWidth = 0;
        Kind kind = text;
    };

    explicit GlyphHolder(int alignment = noAlignment) { alignment_ = alignment; }

    void layout(const LayoutContext& context) override;
    void draw(const HTMLInfo& info, Graphics& g, const Rect& r) override;
    bool hitTest(int x, int y, const Rect& r, HitResult& result) override;
    // No space at the start or after a space or a line break; a line break
    // first drops the spaces before it.
    void addGlyph(HTMLGlyph* glyph, int link) override;
    void dump(std::string& out) const override;
    void computeWidths() override;

    bool empty() const { return entries_.empty(); }
    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<Word>& words();
    void reserve(size_t glyphs) { entries_.reserve(glyphs); }

private:
    class LineLayout;

    void buildWords();

    std::vector<Entry> entries_;
    std::vector<Word> words_;
    bool wordsValid_ = false;
};

}  // namespace pellium
