#include "scene/render/LightModel.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "gui/gl/GLextensions.h"

namespace kessa {

void LightModel::apply() const {
    const float a[4] = {ambient_.red, ambient_.green, ambient_.blue, ambient_.alpha};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, a);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, localViewer_ ? GL_TRUE : GL_FALSE);
    if (separateSpecular_)
        pellium::enableSeparateSpecular();
    else
        glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
}

}  // namespace kessa
