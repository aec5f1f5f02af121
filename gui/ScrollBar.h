// A scroll bar: two arrow buttons and, between them, the track with its
// thumb. The value is how far the content is scrolled, in pixels from its
// top (vertical) or left (horizontal) edge; the total is the content's
// length. Its messages say the value changed (detail 1), or that a drag of
// the thumb began (0) or ended (2).
#pragma once

#include <memory>

#include "gui/Container.h"

namespace pellium {

class ScrollBarBar;
class ScrollBarButton;
struct ScrollBarInternals;

class ScrollBar : public Container {
public:
    explicit ScrollBar(bool vertical);
    ~ScrollBar() override;

    bool isVertical() const;
    int getValue() const;
    void setValue(int value);
    int getTotal() const;
    void setTotal(int total);
    // What an arrow moves the value by.
    int getStep() const;
    void setStep(int step);
    // The bar's height when vertical, its width when horizontal.
    int length();
    // The largest value: the total less the length, 0 when the content fits.
    int maxValue();
    // Brings a value set out of range back into 0 .. maxValue.
    void clampValue();

    // The track, then the buttons and the thumb.
    void draw(Graphics& g) override;

    ScrollBarButton* lessButton() const;  // up or left
    ScrollBarButton* moreButton() const;  // down or right
    ScrollBarBar* track() const;

private:
    std::unique_ptr<ScrollBarInternals> internals_;
};

}  // namespace pellium
