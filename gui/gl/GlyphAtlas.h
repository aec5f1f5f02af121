// The glyphs of a range of characters packed into one picture, the source of
// a GL font's texture. Each glyph is drawn white on black where the packing
// puts it; the picture keeps white for covered pixels and transparent black
// elsewhere, optionally with a half-transparent black outline.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/gl/Image.h"

namespace pellium {

class Font;

struct GlyphRecord {
    int advance = 0;
    // The bottom-left pixel of the glyph's cell, y counted from the bottom
    // row of the picture; the texture corners frame exactly the cell (and
    // the pad around it).
    int x = 0;
    int y = 0;
    // The quad drawn for it: the glyph plus the pad on every side.
    int width = 0;
    int height = 0;
    // (s-left, t-bottom), (s-right, t-bottom), (s-right, t-top), (s-left, t-top).
    float texCoords[8] = {};
};

class GlyphAtlas {
public:
    // Pictures are never made larger than this on either side.
    static constexpr int maxSide = 16384;

    // Packs and draws characters first..last (bytes) of font, with a one-pixel
    // pad and outline when outline is set. False, leaving the atlas empty,
    // for a font whose glyphs cannot be drawn or an empty range.
    bool build(const Font& font, int first, int last, bool outline);

    bool empty() const { return image_.empty(); }
    const Image& image() const { return image_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int first() const { return first_; }
    int last() const { return last_; }
    // The record of byte c; a byte outside first..last gets first's record.
    const GlyphRecord& glyph(int c) const;

private:
    Image image_;
    int width_ = 0;
    int height_ = 0;
    int first_ = 0;
    int last_ = -1;
    std::vector<GlyphRecord> glyphs_;
};

// A glyph picture as DXT1 blocks with colour 0 black and colour 1 white:
// opaque white pixels take white, other visible pixels black and transparent
// ones the transparent code. Blocks go left to right, then upwards (rows are
// stored bottom-up); within a block one byte per row, two bits per pixel from
// the lowest bits up. Pixels beyond a side that is not a multiple of 4 are
// transparent.
std::vector<uint8_t> encodeGlyphDxt1(const Image& image);

}  // namespace pellium
