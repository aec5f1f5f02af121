// One child at a time, over the whole container; the others are hidden.
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class CardLayout : public LayoutManager {
public:
    void calcSize(Container& container, int& width, int& height) override;
    // Nothing is redrawn here.
    void layout(Container& container) override;

    void setCurrentCard(int index) { current_ = index; }
    // Makes the current card visible and hides the others, so that what is
    // hidden takes no input even before the next layout.
    void showCurrent(Container& container) const;
    int currentCard() const { return current_; }
    // Wants the widest (tallest) card's width (height), not the current one's.
    void sizeToWidest() { widest_ = true; }
    void sizeToTallest() { tallest_ = true; }

private:
    bool widest_ = false;
    bool tallest_ = false;
    int current_ = 0;
};

}  // namespace pellium
