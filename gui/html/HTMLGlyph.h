// One item of a paragraph: a character, a picture or a line break. Its
// measures are fixed when it is made, so that laying out a long page reads
// plain fields; drawing and hit testing differ by kind. Held by reference
// count: one character glyph serves every paragraph that shows it.
#pragma once

#include <string>

#include "base/Refcountable.h"

namespace pellium {

class Graphics;
class HTMLInfo;

class HTMLGlyph : public orvel::Refcountable {
public:
    int width() const { return width_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    bool isSpace() const { return space_; }
    bool isLineBreak() const { return lineBreak_; }
    bool isFloating() const { return floating_; }
    // Glyphs of one class join into words; a change of class splits them.
    int glyphClass() const { return class_; }
    // 0 left, 1 right, for floating glyphs.
    virtual int floatSide() const { return 0; }
    // 0 none, 1 left, 2 right, 3 both, for line breaks.
    virtual int clearMode() const { return 0; }

    // (x, y) is the glyph's left end on its baseline, in window coordinates.
    virtual void draw(const HTMLInfo& info, Graphics& g, int x, int y, bool inLink) const = 0;
    // (x, y) relative to the left end of the baseline.
    virtual bool contains(int, int) const { return true; }
    // Appends the glyph's form in a dump of the document.
    virtual void dump(std::string& out) const = 0;

protected:
    // Class numbers come from one counter, in the order the classes are first asked.
    static int nextGlyphClass();

    int width_ = 0, ascent_ = 0, descent_ = 0;
    bool space_ = false, lineBreak_ = false, floating_ = false;
    int class_ = 0;
};

}  // namespace pellium
