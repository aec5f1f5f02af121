// What the row and the column layouts share: the gap between neighbours,
// equal widths, the vertical alignment (0 bottom, 1 middle, 2 top) and the
// horizontal alignment (justification: 0 left, 1 centre, 2 right).
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class LineLayout : public LayoutManager {
public:
    void setGap(int gap) { gap_ = gap; }
    void setAlignment(int alignment) { alignment_ = alignment; }
    void setJustification(int justification) { justification_ = justification; }
    // Every child with a height as wide as the widest.
    void setEqualWidths(bool equal) { equalWidths_ = equal; }

protected:
    explicit LineLayout(int alignment) : alignment_(alignment) {}

    // The largest preferred width of the children, hidden ones included.
    static int widestChild(Container& container);
    // Every child moved by (dx, dy), once the line is placed.
    static void moveChildren(Container& container, int dx, int dy);

    int gap_ = 4;
    bool equalWidths_ = false;
    int alignment_;
    int justification_ = 0;
};

}  // namespace pellium
