// Children side by side from the left inset, each at its preferred size
// (hidden ones keep their place), centred vertically unless aligned otherwise.
#pragma once

#include "gui/LineLayout.h"

namespace pellium {

class RowLayout : public LineLayout {
public:
    RowLayout() : LineLayout(1) {}

    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;
};

}  // namespace pellium
