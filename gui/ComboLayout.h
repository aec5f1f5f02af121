// The combo box list's items stacked from the top, one pixel below the top
// inset, each as wide as the container and as high as it wants.
#pragma once

#include "gui/LayoutManager.h"

namespace pellium {

class ComboLayout : public LayoutManager {
public:
    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;
};

}  // namespace pellium
