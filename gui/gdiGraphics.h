// The window's drawing surface: a back buffer of the painted area, drawn in
// software and shown on the window when the pass ends, so nothing flickers.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/Graphics.h"

namespace pellium {

class gdiGraphics : public Graphics {
public:
    void attach(Window* window) override;
    // Shows the back buffer, within the current clip, and lets the window go.
    void end() override;
    // A value outside the enumeration is a fatal error and changes nothing.
    void setColor(GuiColor::gui_color color) override;
    using Graphics::setColor;
    void setRGBColor(unsigned rgb) override;
    void plot(int x, int y) override;
    void fillRect(const Rect& r) override;
    void applyClip(const Rect& r) override;

    // The colour drawn with, 0x00BBGGRR.
    unsigned currentColor() const { return color_; }

private:
    Window* window_ = nullptr;
    Rect area_;
    int windowHeight_ = 0;
    std::vector<std::uint32_t> pixels_;  // the area, 0xAARRGGBB, rows top-down
    // The device clip in window pixels, top-down: left, top, right, bottom (exclusive).
    int clipLeft_ = 0, clipTop_ = 0, clipRight_ = 0, clipBottom_ = 0;
    unsigned color_ = 0;
};

}  // namespace pellium
