// The track of a scroll bar with its thumb. Dragging the thumb scrolls in
// proportion; holding a button down beside the thumb pages toward the
// pointer: at once, after half a second, then every 50 ms, until the thumb
// reaches the pointer.
#pragma once

#include "gui/Component.h"
#include "gui/Rect.h"
#include "gui/Updatable.h"

namespace pellium {

class ScrollBar;

class ScrollBarBar : public Component, public Updatable {
public:
    explicit ScrollBarBar(ScrollBar* bar);
    ~ScrollBarBar() override;

    // Three arrows long; also the smallest the thumb gets.
    void getPreferredSize(int& width, int& height) override;
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;
    // One page toward the pointer when the time has come.
    bool update() override;

    // Works out the thumb for the bar's value, which it brings into range
    // first; false when the content fits and there is no thumb.
    bool placeThumb();
    const Rect& thumb() const { return thumb_; }
    // Value units per pixel of thumb movement; 0 when the thumb fills the track.
    double pixelsPerUnit() const;
    bool isDragging() const { return dragging_; }
    bool isPaging() const { return paging_; }

private:
    void drag(int x, int y);
    bool thumbReachedPointer() const;

    ScrollBar* bar_;
    bool dragging_ = false, paging_ = false, inside_ = false, thumbHot_ = false;
    Rect thumb_;
    int minimumWidth_ = 16, minimumHeight_ = 16;
    double pixelsPerUnitX_ = 0, pixelsPerUnitY_ = 0;
    int dragX_ = 0, dragY_ = 0, dragValue_ = 0;
    int lastX_ = 0, lastY_ = 0;
    int pagingDirection_ = 0;
    double lastRepeat_ = -1, interval_ = -1;
};

}  // namespace pellium
