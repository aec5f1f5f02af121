// The window's drawing surface: a software back buffer of the whole client
// area, drawn with the rules of the Windows GDI (lines leave out their last
// pixel, fills leave out their right column and top row, text stands on its
// baseline over a see-through background, masked images) and shown on the
// window, the painted area only, when the pass ends. Nothing flickers, and
// the buffer keeps what the window shows, pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/Graphics.h"

namespace pellium {

class gdiGraphics : public Graphics {
public:
    // The surface is the window's client area; without a window, it reaches
    // at least from (0, 0) to the top-right corner of the area being drawn.
    void attach(Window* window) override;
    // Shows the painted area, within the current clip, and lets the window go.
    void end() override;
    // A value outside the enumeration is a fatal error and changes nothing.
    void setColor(GuiColor::gui_color color) override;
    using Graphics::setColor;
    void setRGBColor(unsigned rgb) override;
    void plot(int x, int y) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void fillRect(const Rect& r) override;
    void drawChar(char ch, const Font* font, int x, int y) override;
    void drawImage(const Image& image, int x, int y) override;
    void applyClip(const Rect& r) override;
    using Graphics::drawString;
    // Text wholly outside the clip is passed over before any glyph is looked at.
    void drawString(const char* text, const Font* font, int x, int y) override;
    // Every other pixel of the outline, in the current colour.
    void drawFocusRect(const Rect& r) override;

    // The colour drawn with, 0x00BBGGRR.
    unsigned currentColor() const { return color_; }

    // The back buffer, 0xFFRRGGBB words, rows from the top down.
    int surfaceWidth() const { return width_; }
    int surfaceHeight() const { return height_; }
    const std::uint32_t* surface() const { return pixels_.data(); }
    // The pixel at (x, y) in window coordinates; 0 outside the surface.
    std::uint32_t pixelAt(int x, int y) const;
    // Pixels that drawing has stepped through so far, on the clip or off it
    // (a row of a fill or of text passed over counts one): tests see that
    // far-off shapes cost no more than what lands near the surface.
    long long pixelsWalked() const { return pixelsWalked_; }

private:
    // Fills columns left .. right - 1 of a surface row, within the clip.
    void span(int row, int left, int right);
    void devicePixel(int col, int row) {
        if (col >= clipLeft_ && col < clipRight_ && row >= clipTop_ && row < clipBottom_)
            pixels_[size_t(row) * size_t(width_) + size_t(col)] = pixel_;
    }

    Window* window_ = nullptr;
    Rect area_;
    int width_ = 0, height_ = 0;         // the surface; height_ is the y flip's H
    std::vector<std::uint32_t> pixels_;  // rows top-down
    // The device clip on the surface: columns left .. right - 1, rows top .. bottom - 1.
    int clipLeft_ = 0, clipTop_ = 0, clipRight_ = 0, clipBottom_ = 0;
    unsigned color_ = 0;
    std::uint32_t pixel_ = 0xFF000000u;
    long long pixelsWalked_ = 0;
};

}  // namespace pellium
