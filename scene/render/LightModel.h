// The global light-model settings of GL.
#pragma once

#include "gui/Color.h"

namespace kessa {

class LightModel {
public:
    void setAmbient(const pellium::Color& rgba) { ambient_ = rgba; }
    void setLocalViewer(bool on) { localViewer_ = on; }
    // The specular light added after texturing, where the driver can.
    void setSeparateSpecular(bool on) { separateSpecular_ = on; }

    const pellium::Color& ambient() const { return ambient_; }
    bool localViewer() const { return localViewer_; }
    bool separateSpecular() const { return separateSpecular_; }

    void apply() const;

private:
    pellium::Color ambient_{0, 0, 0, 1};
    bool localViewer_ = false;
    bool separateSpecular_ = true;
};

}  // namespace kessa
