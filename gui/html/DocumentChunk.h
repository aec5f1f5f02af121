// A block of a document: a paragraph, a table, or a list of blocks stacked
// top to bottom. Layout fills its height (and its minimum and maximum widths
// on demand); drawing and hit testing are given the block's rectangle in
// window coordinates. Inside a block y is 0 at its top and falls downward.
#pragma once

#include <string>

#include "base/Refcountable.h"
#include "gui/Rect.h"

namespace pellium {

class Graphics;
class HTMLGlyph;
class HTMLInfo;

// Widths and heights stay within this, however many or large the glyphs,
// so that sums of them cannot overflow.
constexpr int maxMeasure = 1 << 28;
inline int clampMeasure(long long value) {
    return value > maxMeasure ? maxMeasure : value < -maxMeasure ? -maxMeasure : int(value);
}

// What a block is laid out within.
struct LayoutContext {
    int availableWidth = 0;
    // For paragraphs without an alignment of their own: 1 left, 2 right, 3 centre, 4 justify.
    int alignment = 1;
};

// The glyph under a point and the link it belongs to (-1 for none).
struct HitResult {
    const HTMLGlyph* glyph = nullptr;
    int link = -1;
};

class DocumentChunk : public orvel::Refcountable {
public:
    enum Alignment { noAlignment = 0, alignLeft = 1, alignRight = 2, alignCentre = 3, alignJustify = 4 };

    virtual void layout(const LayoutContext& context) = 0;
    virtual void draw(const HTMLInfo& info, Graphics& g, const Rect& r) = 0;
    // True when a glyph at (x, y) answered; result then holds it.
    virtual bool hitTest(int x, int y, const Rect& r, HitResult& result) = 0;
    // Paragraphs take glyphs, and lists and tables take blocks; the wrong
    // kind is a programming error and throws the integer 666.
    virtual void addGlyph(HTMLGlyph* glyph, int link);
    virtual void addChunk(DocumentChunk* chunk);
    // Appends a readable form of the block, one line per paragraph.
    virtual void dump(std::string& out) const = 0;
    virtual void computeWidths() = 0;

    int height() const { return height_; }
    int spaceAbove() const { return spaceAbove_; }
    int alignment() const { return alignment_; }
    void setAlignment(int alignment) { alignment_ = alignment; }
    int minimumWidth() {
        if (minWidth_ < 0)
            computeWidths();
        return minWidth_;
    }
    int maximumWidth() {
        if (maxWidth_ < 0)
            computeWidths();
        return maxWidth_;
    }
    // Before a new layout inside a changed parent.
    void resetMeasures() {
        height_ = 0;
        minWidth_ = maxWidth_ = -1;
    }

protected:
    int height_ = 0;
    int minWidth_ = -1, maxWidth_ = -1;
    int spaceAbove_ = 0;
    int alignment_ = noAlignment;
};

}  // namespace pellium
