// The 2D drawing surface widgets paint on: a stack of clip rectangles and a
// pen position kept here, the primitives left to an implementation.
// Coordinates are window coordinates, y growing upward from the bottom row.
#pragma once

#include <vector>

#include "gui/GuiColor.h"
#include "gui/Rect.h"

namespace pellium {

class Window;

class Graphics {
public:
    Graphics();
    virtual ~Graphics() = default;

    virtual void attach(Window*) {}
    virtual void end() {}
    virtual void setColor(GuiColor::gui_color color) = 0;
    virtual void setColor(const GuiColor& color) { setColor(color.value); }
    // A 0x00BBGGRR colour; 0 is the cached black.
    virtual void setRGBColor(unsigned rgb) = 0;
    virtual void plot(int x, int y) = 0;
    virtual void fillRect(const Rect& r) = 0;
    virtual void applyClip(const Rect& r) = 0;
    virtual void moveTo(int x, int y) {
        penX_ = x;
        penY_ = y;
    }

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
    int penX_ = 0, penY_ = 0;
    bool emptyClip_ = false;

private:
    std::vector<Rect> clips_;
};

}  // namespace pellium
