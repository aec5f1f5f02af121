// Children side by side from the left inset, each at its preferred size
// (hidden ones keep their place). Vertical alignment: 0 bottom, 1 middle,
// 2 top; horizontal alignment (justification): 0 left, 1 centre, 2 right.
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class RowLayout : public LayoutManager {
public:
    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;

    void setGap(int gap) { gap_ = gap; }
    void setAlignment(int alignment) { alignment_ = alignment; }
    void setJustification(int justification) { justification_ = justification; }
    // Every child with a height as wide as the widest.
    void setEqualWidths(bool equal) { equalWidths_ = equal; }

private:
    int gap_ = 4;
    bool equalWidths_ = false;
    int alignment_ = 1;
    int justification_ = 0;
};

}  // namespace pellium
