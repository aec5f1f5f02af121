#include "gui/html/HTMLGlyph.h"

#include "gui/Graphics.h"
#include "gui/html/Character2.h"
#include "gui/html/HTMLInfo.h"
#include "gui/html/ImageGlyph.h"
#include "gui/html/LineBreakGlyph.h"

namespace pellium {

int HTMLGlyph::nextGlyphClass() {
    static int counter = 0;
    return ++counter;
}

Character2::Character2(unsigned char byte, const orvel::counted_ptr<Font>& font) : byte_(byte), font_(font) {
    static const int characterClass = nextGlyphClass();
    class_ = characterClass;
    width_ = font->charWidth(byte);
    ascent_ = font->ascent();
    descent_ = font->descent();
    space_ = byte == ' ';
}

void Character2::draw(const HTMLInfo& info, Graphics& g, int x, int y, bool inLink) const {
    g.setRGBColor((inLink ? info.linkColor() : info.textColor()) & 0xFFFFFFu);
    g.drawChar(char(byte_), font_.get(), x, y);
}

ImageGlyph::ImageGlyph(const Image& image, bool floating, int side, int hspace, int vspace)
    : image_(image), side_(floating ? side : 0), hspace_(hspace), vspace_(vspace) {
    static const int imageClass = nextGlyphClass();
    class_ = imageClass;
    width_ = image.width() + 2 * hspace;
    ascent_ = image.height() + 2 * vspace;
    floating_ = floating;
}

void ImageGlyph::draw(const HTMLInfo& info, Graphics& g, int x, int y, bool inLink) const {
    const Rect picture{x + hspace_, y + vspace_, image_.width(), image_.height()};
    g.drawImage(image_, picture.x, picture.y);
    if (inLink) {
        g.setRGBColor(info.linkColor() & 0xFFFFFFu);
        g.drawRect(picture.grow(1));
        g.drawRect(picture.grow(2));
    }
    g.setRGBColor(0x0000FF);
    g.drawRect({x, y, width_, ascent_ + descent_});
}

bool ImageGlyph::contains(int x, int y) const {
    return x >= hspace_ && x <= hspace_ + image_.width() && y >= vspace_ && y <= vspace_ + image_.height();
}

LineBreakGlyph::LineBreakGlyph(int clear) : clear_(clear) {
    static const int breakClass = nextGlyphClass();
    class_ = breakClass;
    lineBreak_ = true;
}

}  // namespace pellium
