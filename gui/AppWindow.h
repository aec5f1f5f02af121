// The program's main window: it opens, paints, and runs the main loop until
// no window is left, sleeping a millisecond whenever the loop has nothing to do.
#pragma once

#include "gui/Idler.h"
#include "gui/Window.h"

namespace pellium {

class AppWindow : public Window, public Idler {
public:
    AppWindow() = default;
    void idle() override;
    virtual void beforeFirstPaint() {}
    virtual void afterFirstPaint() {}
    void run();
};

}  // namespace pellium
