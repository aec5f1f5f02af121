// A font chosen by a FontKey, with the metrics and per-character widths that
// layout and painting use. Heights follow the Windows rule: a size of n pixels
// gives text n pixels high, ascent + descent, without internal leading.
// Characters are bytes in Windows-1252. Shared through
// orvel::counted_ptr<Font>; FontCache keeps one per key.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvel_string.h"
#include "gui/gl/FontKey.h"

namespace platform {
class PlatformFont;
}

namespace pellium {

class FontInternals;

// A horizontal piece of a glyph: length pixels from x (counted from the pen
// position) on the row that lies row rows below the baseline row (negative:
// above it). Rows count downward, as on the screen.
struct GlyphSpan {
    std::int16_t row, x, length;
};

class Font {
public:
    // Larger sizes are taken as this one: beyond it nearly every width would
    // overflow the signed byte of the width table (wider ones are clamped).
    static constexpr int maxSize = 127;

    explicit Font(const FontKey& key);
    virtual ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    static int defaultSize() { return 10; }

    const FontKey& key() const { return key_; }
    // c is a byte: a char holding 200 and the int 200 give the same width.
    int charWidth(int c) const;
    // The sum of the characters' widths; 0 for null or empty text.
    int stringWidth(const char* text) const;
    int stringWidth(const orvel_string& text) const;

    int height() const { return height_; }
    // Above the baseline, without the internal leading.
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int externalLeading() const { return externalLeading_; }
    int averageWidth() const { return averageWidth_; }

    // The pixels character c covers, as the system font draws it (with the
    // underline of an underlined font); made on first use and kept. Empty
    // for control characters and for a font that could not be made.
    const std::vector<GlyphSpan>& glyphSpans(unsigned char c) const;

    // The system font behind this one, for drawing its glyphs; null when it
    // could not be made and the fixed fallback metrics are in use.
    platform::PlatformFont* platformFont() const;

private:
    FontKey key_;
    std::unique_ptr<FontInternals> internals_;
    int height_ = 0;
    int ascent_ = 0;
    int descent_ = 0;
    int externalLeading_ = 0;
    int averageWidth_ = 0;
};

}  // namespace pellium
