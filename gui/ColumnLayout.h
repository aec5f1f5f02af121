// Children stacked from the top inset down, each at its preferred size
// (hidden ones keep their place), packed against the top unless aligned
// otherwise.
#pragma once

#include "gui/LineLayout.h"

namespace pellium {

class ColumnLayout : public LineLayout {
public:
    ColumnLayout() : LineLayout(2) {}

    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;
};

}  // namespace pellium
