// A character of one font: the byte, the font and the font's measures of it.
// One glyph per font key and byte serves the whole process (CharacterTable).
#pragma once

#include "base/counted_ptr.h"
#include "gui/gl/Font.h"
#include "gui/html/HTMLGlyph.h"

namespace pellium {

class Character2 : public HTMLGlyph {
public:
    Character2(unsigned char byte, const orvel::counted_ptr<Font>& font);

    unsigned char byte() const { return byte_; }
    const Font* font() const { return font_.get(); }

    // In the link colour inside a link, else the text colour; the font
    // draws its own underline.
    void draw(const HTMLInfo& info, Graphics& g, int x, int y, bool inLink) const override;
    void dump(std::string& out) const override { out += char(byte_); }

private:
    unsigned char byte_;
    orvel::counted_ptr<Font> font_;
};

}  // namespace pellium
