// The 2D drawing surface widgets paint on: a stack of clip rectangles and a
// pen position kept here, the frames, separators, centred and fitted text,
// disabled images and the dotted focus outline made from a few primitives
// that an implementation supplies. Coordinates are window coordinates, y
// growing upward from the bottom row; a string's y is its baseline.
#pragma once

#include <vector>

#include "base/orvel_string.h"
#include "gui/GuiColor.h"
#include "gui/Rect.h"

namespace pellium {

class Font;
class Image;
class Window;

class Graphics {
public:
    Graphics();
    virtual ~Graphics() = default;
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    virtual void attach(Window*) {}
    virtual void end() {}
    virtual void setColor(GuiColor::gui_color color) = 0;
    virtual void setColor(const GuiColor& color) { setColor(color.value); }
    // A 0x00BBGGRR colour; 0 is the cached black.
    virtual void setRGBColor(unsigned rgb) = 0;
    virtual void plot(int x, int y) = 0;
    // Both end points are drawn.
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    virtual void fillRect(const Rect& r) = 0;
    virtual void drawChar(char ch, const Font* font, int x, int y) = 0;
    virtual void drawImageCentered(const Image& image, const Rect& r);
    // (x, y) is where the image's bottom-left pixel goes, less its hot spot.
    virtual void drawImage(const Image& image, int x, int y) = 0;
    virtual void applyClip(const Rect& r) = 0;
    virtual void moveTo(int x, int y) {
        penX_ = x;
        penY_ = y;
    }
    virtual void lineTo(int x, int y);
    virtual void drawRect(const Rect& r);
    virtual void drawStringCentered(const orvel_string& text, const Font* font, const Rect& r);
    virtual void drawStringCentered(const char* text, const Font* font, const Rect& r);
    virtual void drawString(const orvel_string& text, const Font* font, int x, int y);
    virtual void drawString(const char* text, const Font* font, int x, int y);
    // Centred when asked and it fits; otherwise from x, only the characters
    // that end within the width.
    virtual void drawStringFitted(const char* text, const Font* font, int x, int y, int width, bool centre);
    virtual void drawSunkenEdge(const Rect& r, bool strong);
    virtual void drawWell(const Rect& r, GuiColor::gui_color fill);
    virtual void drawRaisedEdge(const Rect& r);
    virtual void drawRaisedButton(const Rect& r);
    virtual void drawEtchedRect(const Rect& r, bool strong);
    virtual void drawHorizontalSeparator(int x, int y, int width);
    virtual void drawVerticalSeparator(int x, int y, int height);
    // Dark pixels in the shadow colour with a highlight below and right of
    // each; the rest see-through. Made once per picture and kept with it.
    virtual void drawImageDisabled(const Image& image, int x, int y);
    virtual void drawImageDisabledCentered(const Image& image, const Rect& r);
    virtual void drawFocusRect(const Rect& r);

    // Starts a pass over an area of a window: the area is the only clip.
    void begin(Window* window, const Rect& area);
    // The new clip is the overlap with the current one.
    void pushClip(const Rect& r);
    void popClip();
    const Rect& currentClip() const { return clips_.back(); }
    bool clipIsEmpty() const { return emptyClip_; }

    // Counted by container drawing: children passed over and drawn.
    int skipped = 0, drawn = 0;

protected:
    // r with each edge that lies more than a few pixels beyond the clip
    // brought to just beyond it, by an even distance: an outline of the
    // result, dotted or framed up to two pixels deep, shows what one of r
    // shows, and its corners are within reach of int arithmetic.
    Rect withinReach(const Rect& r) const;

    int penX_ = 0, penY_ = 0;
    bool emptyClip_ = false;

private:
    // Left and top: (x0, y0+1) up to (x0, y1), across to (x1, y1); bottom and
    // right: (x0+1, y0) across to (x1, y0), up to (x1, y1).
    void leftAndTop(const Rect& r, GuiColor::gui_color color);
    void bottomAndRight(const Rect& r, GuiColor::gui_color color);

    std::vector<Rect> clips_;
};

// The disabled form of a picture, as drawImageDisabled shows it.
Image disabledImage(const Image& image);

}  // namespace pellium
