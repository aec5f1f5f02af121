// The program's window until the game exists: the 3D view window on its
// default scene, 800 x 600 and titled "Kalvora", with what the game window
// adds to it: a sky drawn in the accumulator's sky pass, the key that
// switches the level-of-detail cross-fade, and no buffer objects on a
// renderer known to draw them wrong.
#pragma once

#include <memory>

#include "gui/Idler.h"
#include "scene/render/KessaWindow.h"
#include "scene/render/RenderAccumulator.h"

namespace kessa {
class Sky;
}

namespace game_launcher {

class ViewWindow : public kessa::KessaWindow,
                   public pellium::Idler,
                   public kessa::RenderAccumulator::SkyRenderer {
public:
    // The radius the sky's dome is drawn at: its stars and sun, at unit
    // distance, stay beyond the near plane of the sky's own projection.
    static constexpr double skyRadius = 50;
    // The key that switches the cross-fade: the letter l.
    static constexpr int fadeKey = 108;

    // On the default scene.
    ViewWindow();
    ~ViewWindow() override;

    // Null shows the black background.
    void setSky(std::unique_ptr<kessa::Sky> sky);
    // A sky with the game's default colours, stars and a sun.
    static std::unique_ptr<kessa::Sky> defaultSky();

    // Opens the window with the keyboard focus and draws it.
    void show();
    // Shows the window and runs the main loop until no window is left.
    void run();

    // Clears fullGLacceleration when the driver's renderer names a TNT.
    void initGL() override;
    void handleEvent(const pellium::Event& event) override;
    void renderSky(pellium::GLRenderInfo& context, kessa::Viewer& viewer) override;
    void idle() override;

protected:
    void addToFrame(kessa::RenderAccumulator& accumulator, pellium::GLRenderInfo& info) override;

private:
    std::unique_ptr<kessa::Sky> sky_;
};

}  // namespace game_launcher
