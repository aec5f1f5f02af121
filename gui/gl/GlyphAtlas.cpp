#include "gui/gl/GlyphAtlas.h"

#include <algorithm>

#include "gui/gl/Font.h"
#include "platform/FontBackend.h"

namespace pellium {

namespace {

constexpr uint32_t white = 0xFFFFFFFFu;
constexpr uint32_t outlineBlack = 0x80000000u;

struct Place {
    int x;
    int y;  // top row, counted from the top
};

// Places every glyph of widths in a w x h picture, rows from the top; false
// when they do not all fit.
bool pack(const std::vector<int>& widths, int first, int rowHeight, int pad, int descent, int w, int h,
          std::vector<Place>& places) {
    int x = pad;
    int y = pad + descent;
    for (size_t i = 0; i < widths.size(); ++i) {
        const int span = widths[i] + 2 * pad;
        if (x + span >= w) {
            x = 0;
            y += rowHeight + 2 * pad;
            if (span >= w)
                return false;
        }
        if (y + rowHeight + 2 * pad >= h)
            return false;
        places[i] = {x, y};
        x += span;
        // Two spare columns after the 'i', whose glyph can reach past its advance.
        if (first + int(i) == 'i')
            x += 2;
    }
    return true;
}

}  // namespace

bool GlyphAtlas::build(const Font& font, int first, int last, bool outline) {
    *this = GlyphAtlas();
    first = std::max(first, 0);
    last = std::min(last, 255);
    platform::PlatformFont* system = font.platformFont();
    if (!system || first > last)
        return false;

    const int pad = outline ? 1 : 0;
    const int descent = std::max(font.descent(), 0);
    const int rowHeight = std::max(font.height(), 0) + descent;
    const int count = last - first + 1;
    std::vector<int> widths(size_t(count), 0);
    for (int i = 0; i < count; ++i)
        widths[size_t(i)] = std::max(font.charWidth(first + i), 0);

    // Grow width and height in turn until every glyph fits.
    std::vector<Place> places(static_cast<size_t>(count));
    int w = 64;
    int h = 64;
    while (!pack(widths, first, rowHeight, pad, descent, w, h, places)) {
        if (w == h)
            w *= 2;
        else
            h *= 2;
        if (w > maxSide || h > maxSide)
            return false;
    }

    // Draw as text is drawn into a bitmap: each place is the top of the cell.
    std::vector<uint8_t> cover(size_t(w) * size_t(h), 0);
    platform::GlyphCanvas canvas{cover.data(), w, h, w};
    const int cellAscent = system->metrics().ascent;
    for (int i = 0; i < count; ++i)
        system->drawChar((unsigned char)(first + i), canvas, places[size_t(i)].x, places[size_t(i)].y + cellAscent);

    image_ = Image(w, h);
    image_.setMode(2);
    uint32_t* out = image_.pixels();
    auto covered = [&](int x, int y) {  // y from the top
        return x >= 0 && x < w && y >= 0 && y < h && cover[size_t(y) * size_t(w) + size_t(x)] != 0;
    };
    for (int y = 0; y < h; ++y) {
        uint32_t* row = out + size_t(h - 1 - y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            if (covered(x, y)) {
                row[x] = white;
            } else if (outline) {
                bool near = false;
                for (int dy = -1; dy <= 1 && !near; ++dy)
                    for (int dx = -1; dx <= 1 && !near; ++dx)
                        near = covered(x + dx, y + dy);
                if (near)
                    row[x] = outlineBlack;
            }
        }
    }

    width_ = w;
    height_ = h;
    first_ = first;
    last_ = last;
    glyphs_.resize(size_t(count));
    const float fw = float(w);
    const float fh = float(h);
    for (int i = 0; i < count; ++i) {
        GlyphRecord& g = glyphs_[size_t(i)];
        const int gw = widths[size_t(i)];
        g.advance = font.charWidth(first + i);
        g.x = places[size_t(i)].x;
        // The cell's bottom row, counted from the bottom of the picture.
        g.y = h - rowHeight - places[size_t(i)].y;
        g.width = gw + 2 * pad;
        g.height = rowHeight + 2 * pad;
        const float sLeft = (float(g.x) + 0.45f - float(pad)) / fw;
        const float sRight = (float(g.x + gw + pad) + 0.45f) / fw;
        const float tBottom = (float(g.y) + 0.45f - float(pad)) / fh;
        const float tTop = (float(g.y + rowHeight + pad) + 0.45f) / fh;
        const float corners[8] = {sLeft, tBottom, sRight, tBottom, sRight, tTop, sLeft, tTop};
        std::copy(corners, corners + 8, g.texCoords);
    }
    return true;
}

const GlyphRecord& GlyphAtlas::glyph(int c) const {
    static const GlyphRecord none;
    if (glyphs_.empty())
        return none;
    const int byte = (unsigned char)c;
    if (byte < first_ || byte > last_)
        return glyphs_.front();
    return glyphs_[size_t(byte - first_)];
}

std::vector<uint8_t> encodeGlyphDxt1(const Image& image) {
    std::vector<uint8_t> blocks;
    if (image.empty())
        return blocks;
    const int width = image.width();
    const int height = image.height();
    const int bw = (width + 3) / 4;
    const int bh = (height + 3) / 4;
    blocks.reserve(size_t(bw) * size_t(bh) * 8);
    const uint32_t* pixels = image.constPixels();
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            // Colour 0 = 0x0000 (black) <= colour 1 = 0xFFFF (white): the
            // mode with a transparent fourth code.
            const uint8_t header[4] = {0x00, 0x00, 0xFF, 0xFF};
            blocks.insert(blocks.end(), header, header + 4);
            for (int row = 0; row < 4; ++row) {
                uint8_t bits = 0;
                for (int col = 0; col < 4; ++col) {
                    const int x = bx * 4 + col;
                    const int y = by * 4 + row;
                    uint8_t code = 3;
                    if (x < width && y < height) {
                        const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
                        if (p >> 24)
                            code = (p & 0x00FFFFFFu) ? 1 : 0;
                    }
                    bits |= uint8_t(code << (2 * col));
                }
                blocks.push_back(bits);
            }
        }
    }
    return blocks;
}

}  // namespace pellium
