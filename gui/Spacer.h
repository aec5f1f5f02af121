// An empty component that only takes room: its preferred size, each side at
// least one pixel.
#pragma once

#include <algorithm>

#include "gui/Component.h"

namespace pellium {

class Spacer : public Component {
public:
    Spacer(int width, int height) : width_(width), height_(height) {}

    void getPreferredSize(int& width, int& height) override {
        width = std::max(width_, 1);
        height = std::max(height_, 1);
    }

private:
    int width_, height_;
};

}  // namespace pellium
