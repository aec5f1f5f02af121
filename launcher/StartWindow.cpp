#include "StartWindow.h"

#include "gui/Application.h"
#include "gui/gl/GLstate.h"

namespace game_launcher {

const pellium::Color StartWindow::colour{32 / 255.0f, 64 / 255.0f, 128 / 255.0f, 1};

StartWindow::StartWindow() {
    setTitle("Kalvora");
    setSize(640, 480);
}

void StartWindow::run() {
    open();
    repaintDirtyWindows();
    pellium::runEventLoop(this);
}

void StartWindow::render(pellium::GLRenderInfo&) { pellium::clearBuffers(colour, 1 | 2); }

void StartWindow::idle() { pellium::idleSleep(); }

}  // namespace game_launcher
