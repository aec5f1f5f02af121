// An arrow button of a scroll bar: an auto-repeating push button that knows
// its direction, drawn disabled while the content fits in the bar.
#pragma once

#include "gui/Button.h"

namespace pellium {

class ScrollBar;

class ScrollBarButton : public Button {
public:
    // direction is one of WidgetState's up, down, left and right.
    ScrollBarButton(ScrollBar* bar, int direction);

    int direction() const { return direction_; }
    void getPreferredSize(int& width, int& height) override;
    void getRenderInfo(int& kind, int& state) override;

private:
    ScrollBar* bar_;
    int direction_;
};

}  // namespace pellium
