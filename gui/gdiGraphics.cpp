#include "gdiGraphics.h"

#include "gui/Application.h"
#include "gui/Window.h"
#include "platform/Windows.h"

namespace pellium {

void gdiGraphics::attach(Window* window) {
    window_ = window;
    area_ = currentClip();
    windowHeight_ = window ? window->getBounds().height : 0;
    size_t size = area_.width > 0 && area_.height > 0 ? size_t(area_.width) * size_t(area_.height) : 0;
    pixels_.resize(size);
    color_ = GuiColor(GuiColor::button_text).toRGB() & 0xFFFFFF;
}

void gdiGraphics::end() {
    if (!window_)
        return;
    Rect shown = intersection(area_, currentClip());
    if (shown.width > 0 && shown.height > 0 && !pixels_.empty()) {
        int areaTop = windowHeight_ - area_.y - area_.height;
        int top = windowHeight_ - shown.y - shown.height;
        const std::uint32_t* from =
            pixels_.data() + size_t(top - areaTop) * size_t(area_.width) + size_t(shown.x - area_.x);
        platform::presentPixels(window_->getHWND(), from, area_.width, shown.x, top, shown.width, shown.height);
    }
    window_ = nullptr;
}

void gdiGraphics::setColor(GuiColor::gui_color color) {
    if (color < GuiColor::dark_shadow || color > GuiColor::transparent) {
        fatalError("Illegal color passed to gdiGraphics::setColor(GuiColor::gui_color)");
        return;
    }
    color_ = GuiColor(color).toRGB() & 0xFFFFFF;
}

void gdiGraphics::setRGBColor(unsigned rgb) {
    rgb &= 0xFFFFFF;
    if (rgb == 0) {
        setColor(GuiColor::black);
        return;
    }
    color_ = rgb;
}

void gdiGraphics::plot(int x, int y) { fillRect({x, y, 1, 1}); }

void gdiGraphics::fillRect(const Rect& r) {
    if (emptyClip_ || pixels_.empty())
        return;
    // Window pixels, top-down, cut to the device clip and to the back buffer.
    int areaTop = windowHeight_ - area_.y - area_.height;
    int left = r.x, right = r.x + r.width, top = windowHeight_ - r.y - r.height, bottom = windowHeight_ - r.y;
    left = left > clipLeft_ ? left : clipLeft_;
    top = top > clipTop_ ? top : clipTop_;
    right = right < clipRight_ ? right : clipRight_;
    bottom = bottom < clipBottom_ ? bottom : clipBottom_;
    left = left > area_.x ? left : area_.x;
    top = top > areaTop ? top : areaTop;
    right = right < area_.x + area_.width ? right : area_.x + area_.width;
    bottom = bottom < areaTop + area_.height ? bottom : areaTop + area_.height;
    if (right <= left || bottom <= top)
        return;
    std::uint32_t pixel = 0xFF000000u | (color_ & 0xFF) << 16 | (color_ & 0xFF00) | (color_ >> 16 & 0xFF);
    for (int row = top; row < bottom; ++row) {
        std::uint32_t* line = pixels_.data() + size_t(row - areaTop) * size_t(area_.width);
        for (int col = left; col < right; ++col)
            line[col - area_.x] = pixel;
    }
}

void gdiGraphics::applyClip(const Rect& r) {
    if (emptyClip_)
        return;
    if (r == Rect{0, 0, area_.width, area_.height} || !window_) {
        clipLeft_ = clipTop_ = -(1 << 30);
        clipRight_ = clipBottom_ = 1 << 30;
        return;
    }
    clipLeft_ = r.x;
    clipTop_ = windowHeight_ - r.y - r.height;
    clipRight_ = r.x + r.width;
    clipBottom_ = windowHeight_ - r.y;
}

}  // namespace pellium
