// The row of a tabbed pane's tabs, standing on its bottom edge.
#pragma once

#include "gui/Container.h"

namespace pellium {

class TabHolder : public Container {
public:
    TabHolder();
    // Numbers the tabs by their places first.
    void draw(Graphics& g) override;
};

}  // namespace pellium
