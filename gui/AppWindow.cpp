#include "AppWindow.h"

#include "gui/Application.h"

namespace pellium {

void AppWindow::idle() { idleSleep(); }

void AppWindow::run() {
    open();
    beforeFirstPaint();
    repaintDirtyWindows();
    afterFirstPaint();
    runEventLoop(this);
}

}  // namespace pellium
