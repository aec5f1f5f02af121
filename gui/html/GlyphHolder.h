// A paragraph: glyphs in reading order, broken into words and the words
// into lines no wider than the available width, aligned or justified, with
// floating pictures at the margins and the text flowing beside them.
//
// A long page holds about one glyph per byte of its text, so a glyph costs
// one pointer: positions are kept per word (its glyphs follow one another
// from its start), and links as runs of glyphs.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/html/DocumentChunk.h"
#include "gui/html/HTMLGlyph.h"

namespace pellium {

class GlyphHolder : public DocumentChunk {
public:
    // A run of glyphs laid out as one: a word of one glyph class, a
    // floating glyph, or a line break. Its trailing space, when it has one,
    // moves with it, right after its last glyph.
    struct Word {
        enum Kind : std::uint8_t { text, floating, lineBreak };
        std::int32_t first = 0, end = 0;  // glyphs first .. end - 1
        std::int32_t width = 0, ascent = 0, descent = 0;
        std::int32_t space = -1, spaceWidth = 0;
        // Set by layout: the left end from the paragraph's left and the
        // baseline (0 at the paragraph's top, falling downward).
        std::int32_t x = 0, y = 0;
        Kind kind = text;
        bool placed = false;  // drawn and hit-tested: not a line break, nor a float never placed
    };

    explicit GlyphHolder(int alignment = noAlignment) { alignment_ = alignment; }

    void layout(const LayoutContext& context) override;
    void draw(const HTMLInfo& info, Graphics& g, const Rect& r) override;
    bool hitTest(int x, int y, const Rect& r, HitResult& result) override;
    // No space at the start or after a space or a line break; a line break
    // first drops the spaces before it. link is -1 outside links.
    void addGlyph(HTMLGlyph* glyph, int link) override;
    void dump(std::string& out) const override;
    void computeWidths() override;
    // Gives back the room kept for more glyphs, once the paragraph is complete.
    void finish();

    bool empty() const { return glyphs_.empty(); }
    const std::vector<orvel::ref_ptr<HTMLGlyph>>& glyphs() const { return glyphs_; }
    // The link glyph i belongs to, -1 for none.
    int linkOf(int i) const;
    const std::vector<Word>& words();
    // How often the last layout looked at a floating glyph beside the lines:
    // tests compare it between page sizes to see layout grow with the page.
    long long floatVisits() const { return floatVisits_; }

private:
    class LineLayout;
    // Glyphs from first on belong to link (or to none, -1).
    struct LinkRun {
        std::int32_t first, link;
    };

    void buildWords();

    std::vector<orvel::ref_ptr<HTMLGlyph>> glyphs_;
    std::vector<LinkRun> links_;
    std::vector<Word> words_;
    bool wordsValid_ = false;
    long long floatVisits_ = 0;
};

}  // namespace pellium
