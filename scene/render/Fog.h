// Fog settings: the render accumulator pushes them and applies them per item.
#pragma once

#include "gui/Color.h"

namespace kessa {

struct Fog {
    enum Mode { off = 0, linear = 1, exponential = 2, squaredExponential = 3 };

    int mode = off;
    float start = 0, end = 1000;  // linear fog
    float density = 0.005f;       // the exponential modes
    pellium::Color colour{1, 1, 1, 1};  // GL always gets alpha 1

    // Nothing at all while the user's "Enable fog" setting is off.
    void apply() const;
};

}  // namespace kessa
