// The 3D view window's companion: the picked point, the controller at work,
// and the updates that run it once a frame while it lives.
#pragma once

#include <memory>

#include "gui/Updatable.h"
#include "scene/Vector.h"
#include "scene/render/Twiddler.h"

namespace kessa {

class KessaWindow;

class KessaWindowInternals : public pellium::Updatable {
public:
    explicit KessaWindowInternals(KessaWindow& window) : window(window) {}

    // Ticks the engine clock and runs the controller's frame; a controller
    // that is done ends. The window is drawn again.
    bool update() override;

    KessaWindow& window;
    Vector pickPoint;
    std::unique_ptr<Twiddler> twiddler;
};

}  // namespace kessa
