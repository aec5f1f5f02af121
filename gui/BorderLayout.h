// Up to five children: top and bottom across the whole width, left and right
// between them, the centre taking what is left.
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class BorderLayout : public LayoutManager {
public:
    enum Region { top = 0, bottom = 1, left = 2, right = 3, centre = 4 };

    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;
    // The constraint names the region; any other value places nothing.
    void addConstraint(Component* child, int constraint) override;
    void removeAll() override;

    void setGaps(int horizontal, int vertical) {
        hgap_ = horizontal;
        vgap_ = vertical;
    }

private:
    int hgap_ = 0, vgap_ = 0;
    Component* regions_[5] = {};
};

}  // namespace pellium
