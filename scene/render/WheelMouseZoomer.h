// A wheel turn in the 3D view window: it zooms once, towards the picked
// point in perspective or about the pointer in an orthographic view, and is
// done with the next event.
#pragma once

#include "scene/Vector.h"
#include "scene/render/Twiddler.h"

namespace kessa {

class Viewer;

class WheelMouseZoomer : public Twiddler {
public:
    WheelMouseZoomer(pellium::Window& window, const pellium::Event& wheel, Viewer& viewer, const Vector& pick);
    bool handleEvent(const pellium::Event&) override { return false; }
};

}  // namespace kessa
