// One GL light, directional or positional.
#pragma once

#include "gui/Color.h"
#include "scene/Vector.h"

namespace kessa {

class Viewer;

class Light {
public:
    enum Kind { directional = 0, positional = 1 };

    // A white directional light from (1, -1, 1).
    Light();

    void setColour(const pellium::Color& rgba) { colour_ = rgba; }
    // Stored as a unit vector.
    void setDirection(double x, double y, double z);
    void setPosition(double x, double y, double z) { position_ = Vector(x, y, z); }
    void setKind(Kind kind) { kind_ = kind; }

    const pellium::Color& colour() const { return colour_; }
    const Vector& direction() const { return direction_; }
    const Vector& position() const { return position_; }
    Kind kind() const { return kind_; }

    // Makes this GL light index (0 .. 7; others do nothing), placed in
    // camera space: the light moves with the camera.
    void apply(int index) const;
    // The same placed in the world seen through the viewer.
    void applyWithView(const Viewer& viewer, int index) const;

    // The colour (alpha 1) of the light applied last; materials that stop
    // tracking the current colour give it back to light 0.
    static const pellium::Color& lastAppliedColour();

    int enabled = 1;
    int word = 0;

private:
    void setParameters(int index) const;

    Kind kind_ = directional;
    pellium::Color colour_{1, 1, 1, 1};
    Vector direction_;
    Vector position_;
};

}  // namespace kessa
