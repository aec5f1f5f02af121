// The process-wide character glyphs: per font key, the font and one glyph
// per byte, made on first use. When the platform's font backend changes, a
// key's glyphs are made again from the new font. Main thread only.
#pragma once

#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "gui/gl/FontKey.h"
#include "gui/html/Character2.h"

namespace pellium {

class CharacterTable {
public:
    // The table of a font key; it lives as long as the process.
    static CharacterTable& forKey(const FontKey& key);

    Character2* glyph(unsigned char byte) {
        orvel::ref_ptr<Character2>& slot = glyphs_[byte];
        if (!slot)
            slot = new Character2(byte, font_);
        return slot.get();
    }
    const orvel::counted_ptr<Font>& font() const { return font_; }

private:
    orvel::counted_ptr<Font> font_;
    orvel::ref_ptr<Character2> glyphs_[256];
};

}  // namespace pellium
