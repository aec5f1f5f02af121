// The program's window until the launcher's pages exist: an OpenGL window
// that clears to the program's colour, so a start shows the GL layer working.
#pragma once

#include "gui/Color.h"
#include "gui/Idler.h"
#include "gui/gl/GLwindow.h"

namespace game_launcher {

class StartWindow : public pellium::GLwindow, public pellium::Idler {
public:
    // A deep blue: 32, 64, 128 out of 255.
    static const pellium::Color colour;

    StartWindow();
    // Opens the window and runs the main loop until no window is left.
    void run();

    void render(pellium::GLRenderInfo& info) override;
    void idle() override;
};

}  // namespace game_launcher
