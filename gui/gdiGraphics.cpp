#include "gdiGraphics.h"

#include <algorithm>
#include <cstdlib>

#include "gui/Application.h"
#include "gui/Window.h"
#include "gui/gl/Font.h"
#include "gui/gl/Image.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

// Clamps a 64-bit coordinate into int range, for rectangles far off the surface.
int clampInt(long long v) { return int(std::clamp<long long>(v, -(1LL << 30), 1LL << 30)); }

}  // namespace

void gdiGraphics::attach(Window* window) {
    window_ = window;
    area_ = currentClip();
    int w = 0, h = 0;
    if (window) {
        w = window->getBounds().width;
        h = window->getBounds().height;
    } else {
        w = area_.x + area_.width;
        h = area_.y + area_.height;
    }
    w = std::max(w, 0);
    h = std::max(h, 0);
    // Without a window the surface only grows, keeping what was drawn.
    if (!window && w <= width_ && h <= height_) {
        w = width_;
        h = height_;
    }
    if (w != width_ || h != height_) {
        width_ = w;
        height_ = h;
        pixels_.assign(size_t(w) * size_t(h), 0xFF000000u);
    }
    setColor(GuiColor::button_text);
}

void gdiGraphics::end() {
    if (!window_)
        return;
    Rect shown = intersection(area_, currentClip());
    int left = std::max(shown.x, 0), right = std::min(shown.x + shown.width, width_);
    int top = std::max(height_ - shown.y - shown.height, 0), bottom = std::min(height_ - shown.y, height_);
    if (right > left && bottom > top)
        platform::presentPixels(window_->getHWND(), pixels_.data() + size_t(top) * size_t(width_) + size_t(left),
                                width_, left, top, right - left, bottom - top);
    window_ = nullptr;
}

void gdiGraphics::setColor(GuiColor::gui_color color) {
    if (color < GuiColor::dark_shadow || color > GuiColor::transparent) {
        fatalError("Illegal color passed to gdiGraphics::setColor(GuiColor::gui_color)");
        return;
    }
    color_ = GuiColor(color).toRGB() & 0xFFFFFF;
    pixel_ = 0xFF000000u | (color_ & 0xFF) << 16 | (color_ & 0xFF00) | (color_ >> 16 & 0xFF);
}

void gdiGraphics::setRGBColor(unsigned rgb) {
    rgb &= 0xFFFFFF;
    if (rgb == 0) {
        setColor(GuiColor::black);
        return;
    }
    color_ = rgb;
    pixel_ = 0xFF000000u | (color_ & 0xFF) << 16 | (color_ & 0xFF00) | (color_ >> 16 & 0xFF);
}

std::uint32_t gdiGraphics::pixelAt(int x, int y) const {
    int row = height_ - y - 1;
    if (x < 0 || x >= width_ || row < 0 || row >= height_)
        return 0;
    return pixels_[size_t(row) * size_t(width_) + size_t(x)];
}

void gdiGraphics::span(int row, int left, int right) {
    // A row passed over still counts as one step.
    if (row < clipTop_ || row >= clipBottom_) {
        ++pixelsWalked_;
        return;
    }
    left = std::max(left, clipLeft_);
    right = std::min(right, clipRight_);
    pixelsWalked_ += std::max(right - left, 1);
    if (right > left)
        std::fill_n(pixels_.data() + size_t(row) * size_t(width_) + size_t(left), right - left, pixel_);
}

void gdiGraphics::plot(int x, int y) { fillRect({x, y, 1, 1}); }

void gdiGraphics::fillRect(const Rect& r) {
    if (emptyClip_)
        return;
    int left = std::max(r.x, clipLeft_);
    int right = clampInt(std::min<long long>((long long)r.x + r.width, clipRight_));
    int top = clampInt(std::max<long long>((long long)height_ - r.y - r.height, clipTop_));
    int bottom = clampInt(std::min<long long>((long long)height_ - r.y, clipBottom_));
    if (right <= left)
        return;
    for (int row = top; row < bottom; ++row)
        span(row, left, right);
}

void gdiGraphics::drawLine(int x1, int y1, int x2, int y2) {
    if (emptyClip_)
        return;
    // Horizontal and vertical lines reach one pixel further, so both ends show.
    if (y1 == y2) {
        span(clampInt((long long)height_ - y1 - 1), std::min(x1, x2), clampInt((long long)std::max(x1, x2) + 1));
        return;
    }
    if (x1 == x2) {
        int top = clampInt(std::max<long long>((long long)height_ - std::max(y1, y2) - 1, clipTop_));
        int bottom = clampInt(std::min<long long>((long long)height_ - std::min(y1, y2), clipBottom_));
        if (x1 < clipLeft_ || x1 >= clipRight_)
            return;
        pixelsWalked_ += std::max(bottom - top, 0);
        for (int row = top; row < bottom; ++row)
            pixels_[size_t(row) * size_t(width_) + size_t(x1)] = pixel_;
        return;
    }
    // Any other line leaves out its last pixel. Step i along the longer axis
    // moves the other by round(i * minor / major), halves away from the start.
    long long dx = (long long)x2 - x1, dy = (long long)y2 - y1;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long n = xMajor ? std::llabs(dx) : std::llabs(dy), m = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int sMajor = (xMajor ? dx : dy) > 0 ? 1 : -1, sMinor = (xMajor ? dy : dx) > 0 ? 1 : -1;
    const long long majorStart = xMajor ? x1 : y1, minorStart = xMajor ? y1 : x1;
    // Only the steps whose major coordinate lies on the clip.
    long long lo = xMajor ? clipLeft_ : (long long)height_ - clipBottom_;
    long long hi = xMajor ? (long long)clipRight_ - 1 : (long long)height_ - clipTop_ - 1;
    long long first = sMajor > 0 ? lo - majorStart : majorStart - hi;
    long long last = sMajor > 0 ? hi - majorStart : majorStart - lo;
    first = std::max(first, 0LL);
    last = std::min(last, n - 1);
    if (first > last)
        return;
    // The first step's minor offset and remainder: first * m needs 64 bits
    // unsigned for lines across the whole int range, twice it more.
    const __int128 start = __int128(2) * first * m + n;
    long long minor = (long long)(start / (2 * n));
    long long num = (long long)(start % (2 * n));
    pixelsWalked_ += last - first + 1;
    for (long long i = first; i <= last; ++i) {
        long long a = majorStart + i * sMajor, b = minorStart + minor * sMinor;
        long long x = xMajor ? a : b, y = xMajor ? b : a;
        devicePixel(int(x), int(height_ - y - 1));
        num += 2 * m;
        if (num >= 2 * n) {
            num -= 2 * n;
            ++minor;
        }
    }
}

void gdiGraphics::drawChar(char ch, const Font* font, int x, int y) {
    const char one[2] = {ch, 0};
    drawString(one, font, x, y);
}

void gdiGraphics::drawString(const char* text, const Font* font, int x, int y) {
    if (emptyClip_ || !text || !font)
        return;
    const Rect& clip = currentClip();
    if (!(x < clip.right() && (long long)(y) + font->ascent() > clip.y && (long long)(y)-font->descent() < clip.top()))
        return;
    const int baseline = height_ - y - 1;
    // A glyph may overhang its pen position a little, less than the font's
    // height: glyphs further left of the clip are passed over, and the rest
    // of the text once the pen is that far right of it.
    for (long long pen = x; *text; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (pen - font->height() >= clipRight_)
            return;
        const int advance = font->charWidth(c);
        if (pen + advance + font->height() > clipLeft_)
            for (const GlyphSpan& s : font->glyphSpans(c))
                span(baseline + s.row, int(pen + s.x), int(pen + s.x + s.length));
        pen += advance;
    }
}

void gdiGraphics::drawImage(const Image& image, int x, int y) {
    if (emptyClip_ || image.empty())
        return;
    Image shared = image;  // shares the data: the mask is kept with the picture
    shared.makeTransparencyMask();
    int hotX, hotY;
    image.hotSpot(hotX, hotY);
    const long long x0 = (long long)(x) - hotX, y0 = (long long)(y) - hotY;
    const int w = image.width(), h = image.height();
    const std::uint32_t* from = image.constPixels();
    const std::vector<std::uint32_t>& mask = image.transparencyMask();
    const bool masked = mask.size() == size_t(w) * size_t(h);
    const int left = clampInt(std::max<long long>(x0, clipLeft_)), right = clampInt(std::min<long long>(x0 + w, clipRight_));
    // The picture's rows on the clip: its row r lands on surface row height_ - 1 - y0 - r.
    const long long first = std::max<long long>(0, height_ - y0 - clipBottom_);
    const long long last = std::min<long long>(h, height_ - y0 - clipTop_);
    for (long long r = first; r < last && left < right; ++r) {
        std::uint32_t* to = pixels_.data() + size_t(height_ - y0 - r - 1) * size_t(width_);
        const std::uint32_t* in = from + size_t(r) * size_t(w) + size_t(left - x0);
        const int n = right - left;
        pixelsWalked_ += n;
        if (!masked) {
            for (int i = 0; i < n; ++i)
                to[left + i] = 0xFF000000u | in[i];
            continue;
        }
        // The mask keeps what lies under see-through pixels, the pixels cover the rest.
        const std::uint32_t* keep = mask.data() + size_t(r) * size_t(w) + size_t(left - x0);
        for (int i = 0; i < n; ++i)
            to[left + i] = 0xFF000000u | (to[left + i] & keep[i]) | in[i];
    }
}

void gdiGraphics::applyClip(const Rect& r) {
    if (emptyClip_)
        return;
    // The area drawn, on the surface.
    int areaLeft = std::max(area_.x, 0), areaRight = std::min(area_.x + area_.width, width_);
    int areaTop = std::max(height_ - area_.y - area_.height, 0), areaBottom = std::min(height_ - area_.y, height_);
    clipLeft_ = areaLeft;
    clipRight_ = areaRight;
    clipTop_ = areaTop;
    clipBottom_ = areaBottom;
    if (r == Rect{0, 0, area_.width, area_.height})
        return;
    clipLeft_ = std::max(clipLeft_, r.x);
    clipRight_ = clampInt(std::min<long long>(clipRight_, r.right()));
    clipTop_ = clampInt(std::max<long long>(clipTop_, height_ - r.top()));
    clipBottom_ = clampInt(std::min<long long>(clipBottom_, (long long)(height_) - r.y));
}

void gdiGraphics::drawFocusRect(const Rect& shape) {
    if (emptyClip_)
        return;
    const Rect r = withinReach(shape);
    const int x0 = r.x, y0 = r.y, x1 = r.x + r.width - 1, y1 = r.y + r.height - 1;
    const int corners[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    // One walk round the outline, each side without its last pixel, lighting every other one.
    long long k = 0;
    for (int side = 0; side < 4; ++side) {
        int x = corners[side][0], y = corners[side][1];
        const int tx = corners[side + 1][0], ty = corners[side + 1][1];
        const int sx = tx > x ? 1 : tx < x ? -1 : 0, sy = ty > y ? 1 : ty < y ? -1 : 0;
        for (; x != tx || y != ty; x += sx, y += sy, ++k)
            if (k % 2 == 0)
                devicePixel(x, height_ - y - 1);
    }
    pixelsWalked_ += k;
}

}  // namespace pellium
