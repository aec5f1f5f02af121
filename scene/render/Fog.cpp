#include "scene/render/Fog.h"

#include <GL/gl.h>

#include "gui/gl/GLcontext.h"
#include "gui/gl/GLstate.h"

namespace kessa {

namespace {

constexpr int fogState = 3;

}  // namespace

void Fog::apply() const {
    if (!pellium::fogEnabled)
        return;
    switch (mode) {
    case off: pellium::disableGLState(fogState); break;
    case linear:
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, start);
        glFogf(GL_FOG_END, end);
        pellium::enableGLState(fogState);
        break;
    case exponential:
    case squaredExponential:
        glFogi(GL_FOG_MODE, mode == exponential ? GL_EXP : GL_EXP2);
        glFogf(GL_FOG_DENSITY, density);
        pellium::enableGLState(fogState);
        break;
    default: break;
    }
    if (mode != off) {
        const float c[4] = {colour.red, colour.green, colour.blue, 1};
        glFogfv(GL_FOG_COLOR, c);
    }
}

}  // namespace kessa
