#include "Graphics.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "gui/gl/Font.h"
#include "gui/gl/Image.h"

namespace pellium {

namespace {

bool empty(const Rect& r) { return r.width < 1 || r.height < 1; }

// Where something size long starts when centred in span from start; at start
// itself when the span is empty. Beyond the int range it stays at the range's end.
int centred(int start, int span, int size) {
    if (span <= 0)
        return start;
    return clampedInt((long long)(start) + ((long long)(span) - size) / 2);
}

// A widget colour as an image pixel, 0xFFRRGGBB.
std::uint32_t imagePixel(GuiColor::gui_color color) {
    std::uint32_t c = GuiColor(color).toRGB();
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

}  // namespace

Graphics::Graphics() {
    clips_.reserve(16);
    clips_.push_back(Rect{});
}

void Graphics::begin(Window* window, const Rect& area) {
    emptyClip_ = empty(area);
    skipped = drawn = 0;
    clips_.clear();
    clips_.push_back(area);
    attach(window);
    applyClip(area);
}

void Graphics::pushClip(const Rect& r) {
    if (clips_.size() >= 10000) {
        std::fputs("pellium::Graphics - Clip stack overflow!", stderr);
        std::fflush(stderr);
        return;
    }
    Rect top = clips_.back();
    if (r == top) {
        clips_.push_back(top);
        return;
    }
    Rect clip = intersection(r, top);
    clips_.push_back(clip);
    emptyClip_ = empty(clip);
    if (!emptyClip_ && clip != top)
        applyClip(clip);
}

void Graphics::popClip() {
    if (clips_.size() <= 1) {
        std::fputs("pellium::Graphics - Clip stack underflow!", stderr);
        std::fflush(stderr);
        return;
    }
    Rect removed = clips_.back();
    clips_.pop_back();
    const Rect& top = clips_.back();
    emptyClip_ = empty(top);
    if (!emptyClip_ && top != removed)
        applyClip(top);
}

Rect Graphics::withinReach(const Rect& r) const {
    // Frames draw up to two pixels inside their edges; two more keep every
    // edge brought in (one pixel short, for an odd distance) off the clip.
    constexpr long long reach = 4;
    const Rect& clip = currentClip();
    auto bring = [](long long v, long long low, long long high) {
        if (v < low)
            return v + ((low - v) & ~1LL);
        if (v > high)
            return v - ((v - high) & ~1LL);
        return v;
    };
    const long long left = bring(r.x, clip.x - reach, clip.right() + reach);
    const long long right = bring(r.right() - 1, clip.x - reach, clip.right() + reach);
    const long long bottom = bring(r.y, clip.y - reach, clip.top() + reach);
    const long long top = bring(r.top() - 1, clip.y - reach, clip.top() + reach);
    return {int(left), int(bottom), int(right - left + 1), int(top - bottom + 1)};
}

void Graphics::lineTo(int x, int y) {
    drawLine(penX_, penY_, x, y);
    moveTo(x, y);
}

void Graphics::drawRect(const Rect& shape) {
    const Rect r = withinReach(shape);
    int x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    moveTo(r.x, r.y);
    lineTo(x1, r.y);
    lineTo(x1, y1);
    lineTo(r.x, y1);
    lineTo(r.x, r.y);
}

void Graphics::drawImageCentered(const Image& image, const Rect& r) {
    if (image.empty())
        return;
    drawImage(image, centred(r.x, r.width, image.width()), centred(r.y, r.height, image.height()));
}

void Graphics::drawStringCentered(const orvel_string& text, const Font* font, const Rect& r) {
    drawStringCentered(text.c_str(), font, r);
}

void Graphics::drawStringCentered(const char* text, const Font* font, const Rect& r) {
    if (!text || !font)
        return;
    drawString(text, font, centred(r.x, r.width, font->stringWidth(text)), centred(r.y, r.height, font->ascent()));
}

void Graphics::drawString(const orvel_string& text, const Font* font, int x, int y) {
    drawString(text.c_str(), font, x, y);
}

void Graphics::drawString(const char* text, const Font* font, int x, int y) {
    if (!text || !font)
        return;
    for (; *text; ++text) {
        drawChar(*text, font, x, y);
        x += font->charWidth(*text);
    }
}

void Graphics::drawStringFitted(const char* text, const Font* font, int x, int y, int width, bool centre) {
    if (!text || !font)
        return;
    int textWidth = font->stringWidth(text);
    if (centre && textWidth < width) {
        drawString(text, font, centred(x, width, textWidth), y);
        return;
    }
    char one[2] = {0, 0};
    const long long end = std::min<long long>((long long)(x) + width, INT_MAX);
    for (long long at = x; *text; ++text) {
        const long long next = at + font->charWidth(*text);
        if (next > end)
            return;
        one[0] = *text;
        drawString(one, font, int(at), y);
        at = next;
    }
}

void Graphics::leftAndTop(const Rect& shape, GuiColor::gui_color color) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    setColor(color);
    moveTo(x0, y0 + 1);
    lineTo(x0, y1);
    lineTo(x1, y1);
}

void Graphics::bottomAndRight(const Rect& shape, GuiColor::gui_color color) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    setColor(color);
    moveTo(x0 + 1, y0);
    lineTo(x1, y0);
    lineTo(x1, y1);
}

void Graphics::drawSunkenEdge(const Rect& r, bool strong) {
    leftAndTop(r, strong ? GuiColor::dark_shadow_lit : GuiColor::shadow);
    bottomAndRight(r, strong ? GuiColor::highlight_dim : GuiColor::light);
}

void Graphics::drawWell(const Rect& shape, GuiColor::gui_color fill) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    leftAndTop(r, GuiColor::shadow);
    setColor(GuiColor::dark_shadow_lit);
    moveTo(x0 + 1, y0 + 2);
    lineTo(x0 + 1, y1 - 1);
    lineTo(x1 - 1, y1 - 1);
    setColor(GuiColor::highlight_dim);
    moveTo(x0, y0);
    lineTo(x1, y0);
    lineTo(x1, y1);
    setColor(GuiColor::light);
    moveTo(x0 + 1, y0 + 1);
    lineTo(x1 - 1, y0 + 1);
    lineTo(x1 - 1, y1 - 1);
    if (fill != GuiColor::transparent) {
        setColor(fill);
        fillRect(r.grow(-2));
    }
}

void Graphics::drawRaisedEdge(const Rect& r) {
    leftAndTop(r, GuiColor::highlight_dim);
    bottomAndRight(r, GuiColor::dark_shadow_lit);
}

void Graphics::drawRaisedButton(const Rect& shape) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    setColor(GuiColor::highlight_dim);
    moveTo(x0, y0);
    lineTo(x0, y1);
    lineTo(x1 - 1, y1);
    setColor(GuiColor::light);
    moveTo(x0 + 1, y0 + 1);
    lineTo(x0 + 1, y1 - 1);
    lineTo(x1 - 1, y1 - 1);
    setColor(GuiColor::dark_shadow_lit);
    moveTo(x0 + 1, y0);
    lineTo(x1, y0);
    lineTo(x1, y1);
    setColor(GuiColor::shadow);
    moveTo(x0 + 2, y0 + 1);
    lineTo(x1 - 1, y0 + 1);
    lineTo(x1 - 1, y1 - 1);
}

void Graphics::drawEtchedRect(const Rect& shape, bool strong) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    setColor(strong ? GuiColor::dark_shadow_lit : GuiColor::shadow);
    moveTo(x0, y0 + 1);
    lineTo(x0, y1);
    lineTo(x1 - 1, y1);
    lineTo(x1 - 1, y0 + 1);
    lineTo(x0, y0 + 1);
    setColor(strong ? GuiColor::highlight_dim : GuiColor::light);
    moveTo(x0, y0);
    lineTo(x1, y0);
    lineTo(x1, y1);
    moveTo(x0 + 1, y0 + 2);
    lineTo(x0 + 1, y1 - 1);
    lineTo(x1 - 2, y1 - 1);
}

void Graphics::drawHorizontalSeparator(int x, int y, int width) {
    const Rect r = withinReach({x, y, width, 2});
    setColor(GuiColor::highlight_dim);
    drawLine(r.x, r.y, r.x + r.width - 1, r.y);
    setColor(GuiColor::dark_shadow_lit);
    drawLine(r.x, r.y + 1, r.x + r.width - 1, r.y + 1);
}

void Graphics::drawVerticalSeparator(int x, int y, int height) {
    const Rect r = withinReach({x, y, 2, height});
    setColor(GuiColor::dark_shadow_lit);
    drawLine(r.x, r.y, r.x, r.y + r.height - 1);
    setColor(GuiColor::highlight_dim);
    drawLine(r.x + 1, r.y, r.x + 1, r.y + r.height - 1);
}

Image disabledImage(const Image& image) {
    int w = image.width(), h = image.height();
    Image out(w, h);
    const std::uint32_t* from = image.constPixels();
    std::uint32_t* to = out.pixels();
    const std::uint32_t shadow = imagePixel(GuiColor::shadow), highlight = imagePixel(GuiColor::highlight);
    for (int i = 0; i < w * h; ++i) {
        std::uint32_t p = from[i];
        bool dark = (p >> 24) != 0 && (p >> 16 & 0xFF) <= 128 && (p >> 8 & 0xFF) <= 128 && (p & 0xFF) <= 128;
        to[i] = dark ? shadow : 0;
    }
    // Rows are stored bottom row first: row - 1 lies below row.
    for (int row = 1; row < h; ++row)
        for (int x = 0; x + 1 < w; ++x) {
            std::uint32_t& below = to[(row - 1) * w + x + 1];
            if (to[row * w + x] == shadow && below != shadow)
                below = highlight;
        }
    return out;
}

void Graphics::drawImageDisabled(const Image& image, int x, int y) {
    if (image.empty())
        return;
    if (image.derivedImage().empty()) {
        Image shared = image;  // the handle shares the data that keeps the derived picture
        shared.setDerivedImage(disabledImage(image));
    }
    drawImage(image.derivedImage(), x, y);
}

void Graphics::drawImageDisabledCentered(const Image& image, const Rect& r) {
    if (image.empty())
        return;
    drawImageDisabled(image, centred(r.x, r.width, image.width()), centred(r.y, r.height, image.height()));
}

void Graphics::drawFocusRect(const Rect& shape) {
    const Rect r = withinReach(shape);
    int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    bool dot = true;
    for (int x = x0; x <= x1; ++x, dot = !dot)
        if (dot)
            plot(x, y1);
    for (int y = y1 - 1; y >= y0; --y, dot = !dot)
        if (dot)
            plot(x1, y);
    dot = false;
    for (int y = y1 - 1; y >= y0; --y, dot = !dot)
        if (dot)
            plot(x0, y);
    for (int x = x0 + 1; x < x1; ++x, dot = !dot)
        if (dot)
            plot(x, y0);
}

}  // namespace pellium
