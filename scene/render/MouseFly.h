// Flying with the mouse in the 3D view window (a middle press starts it):
// the pointer's distance from the window's centre steers, the left button
// speeds up forwards, the right one backwards, and a button pressed against
// the motion stops it. A middle release while stopped, the wheel or a key
// ends the flight.
#pragma once

#include "scene/CollisionAction.h"
#include "scene/Placement.h"
#include "scene/render/Twiddler.h"

namespace kessa {

class Collider;
class Viewer;

class MouseFly : public Twiddler, public CollisionAction {
public:
    // With a collider the camera, as a sphere a little larger than the near
    // distance, slides along what it meets instead of passing through.
    MouseFly(pellium::Window& window, const pellium::Event& start, Viewer& viewer, Collider* collider = nullptr);

    bool handleEvent(const pellium::Event& event) override;
    // One frame of the engine clock: turn, speed up or down, move.
    bool idle() override;

    // World units per second; negative backwards.
    double speed() const { return speed_; }
    bool stopped() const { return stopped_; }
    const Placement& placement() const { return placement_; }

private:
    Viewer& viewer_;
    Collider* collider_;
    Placement placement_;
    double speed_ = 0;
    bool done_ = false, stopped_ = false;
};

}  // namespace kessa
