#include "gui/gl/Font.h"

#include <algorithm>
#include <cstdint>

#include "base/Debug.h"
#include "platform/FontBackend.h"

namespace pellium {

class FontInternals {
public:
    // Indexed by the character as an unsigned byte.
    int8_t widths[256];
    std::unique_ptr<platform::PlatformFont> font;
    std::vector<GlyphSpan> spans[256];
    bool spansMade[256] = {};
};

namespace {

using platform::FontRequest;

int8_t tableWidth(int width) {
    return int8_t(std::clamp(width, -128, 127));
}

std::unique_ptr<platform::PlatformFont> openStock(platform::FontBackend& backend, FontRequest::Stock stock) {
    FontRequest r;
    r.stock = stock;
    return backend.open(r);
}

// A named face, looked for among the installed families; when it is missing,
// or the face code is unknown, any font of the face's pitch and family.
std::unique_ptr<platform::PlatformFont> openFace(platform::FontBackend& backend, int face, int size, int style) {
    FontRequest r;
    const char* name = nullptr;
    switch (face) {
    case FontKey::fixedFace:
        name = "Courier";
        r.pitch = FontRequest::Pitch::Fixed;
        r.family = FontRequest::Family::Modern;
        break;
    case FontKey::serifFace:
        name = "Times";
        r.pitch = FontRequest::Pitch::Variable;
        r.family = FontRequest::Family::Roman;
        break;
    case FontKey::sansFace:
        name = "Arial";
        r.pitch = FontRequest::Pitch::Variable;
        r.family = FontRequest::Family::Swiss;
        break;
    default:
        orvel::debug("Font: face %d is unknown, choosing any family\n", face);
        break;
    }
    if (name && backend.hasFamily(name)) {
        r.faceName = name;
        r.pitch = FontRequest::Pitch::Default;
        r.family = FontRequest::Family::DontCare;
    }
    // A negative height asks for the character height.
    r.height = size != 0 ? -size : 10;
    r.weight = (style & FontKey::bold) ? 700 : 400;
    r.italic = (style & FontKey::italic) != 0;
    r.underline = (style & FontKey::underline) != 0;
    return backend.open(r);
}

}  // namespace

Font::Font(const FontKey& key) : key_(key), internals_(std::make_unique<FontInternals>()) {
    int size = key.size;
    if (size < 0) {
        orvel::debug("Font: size %d is below 0, using the default size\n", size);
        size = 0;
    } else if (size > maxSize) {
        orvel::debug("Font: size %d is too large, using %d\n", size, maxSize);
        size = maxSize;
    }

    platform::FontBackend& backend = platform::fontBackend();
    std::unique_ptr<platform::PlatformFont>& font = internals_->font;
    if (key.face == FontKey::menuFace) {
        font = openStock(backend, FontRequest::Stock::Menu);
        if (!font)
            font = openStock(backend, FontRequest::Stock::DefaultGui);
    } else if (key.face == FontKey::guiFace) {
        font = openStock(backend, FontRequest::Stock::DefaultGui);
    } else if (key.face == FontKey::fixedFace && size == 0) {
        font = openStock(backend, FontRequest::Stock::AnsiFixed);
    } else {
        font = openFace(backend, key.face, size, key.style);
    }

    int8_t* widths = internals_->widths;
    if (!font) {
        orvel::debug("Font create failed!\n");
        height_ = 6;
        ascent_ = 5;
        descent_ = 1;
        externalLeading_ = 0;
        averageWidth_ = 4;
        std::fill(widths, widths + 256, int8_t(4));
        return;
    }
    const platform::TextMetrics& m = font->metrics();
    ascent_ = m.ascent - m.internalLeading;
    descent_ = m.descent;
    height_ = ascent_ + descent_;
    externalLeading_ = m.externalLeading;
    averageWidth_ = m.averageCharWidth;
    for (int c = 0; c < 256; ++c) {
        int w = averageWidth_;
        if (c >= 32 && !font->charWidth((unsigned char)c, w))
            w = averageWidth_;
        widths[c] = tableWidth(w);
    }
}

Font::~Font() = default;

int Font::charWidth(int c) const {
    return internals_->widths[(unsigned char)c];
}

int Font::stringWidth(const char* text) const {
    int sum = 0;
    if (text)
        for (; *text; ++text)
            sum += charWidth(*text);
    return sum;
}

int Font::stringWidth(const orvel_string& text) const {
    int sum = 0;
    for (char c : text)
        sum += charWidth(c);
    return sum;
}

const std::vector<GlyphSpan>& Font::glyphSpans(unsigned char c) const {
    FontInternals& in = *internals_;
    std::vector<GlyphSpan>& spans = in.spans[c];
    if (in.spansMade[c])
        return spans;
    in.spansMade[c] = true;
    if (!in.font || c < 32)
        return spans;
    // A canvas with room all round: glyphs may reach left of the pen, past
    // their advance, above the ascent and below the descent.
    const platform::TextMetrics& m = in.font->metrics();
    const int cell = m.ascent + m.descent;
    const int margin = cell + 4;
    const int width = charWidth(c) + 2 * margin, height = 2 * cell + 2 * margin;
    const int baseline = margin + m.ascent;
    std::vector<std::uint8_t> pixels(size_t(width) * size_t(height), 0);
    platform::GlyphCanvas canvas{pixels.data(), width, height, width};
    in.font->drawChar(c, canvas, margin, baseline);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = pixels.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width;) {
            if (!line[x]) {
                ++x;
                continue;
            }
            int start = x;
            while (x < width && line[x])
                ++x;
            spans.push_back({std::int16_t(y - baseline), std::int16_t(start - margin), std::int16_t(x - start)});
        }
    }
    return spans;
}

platform::PlatformFont* Font::platformFont() const {
    return internals_->font.get();
}

}  // namespace pellium
