#include "scene/render/Light.h"

#include <GL/gl.h>

#include "gui/gl/GLmatrix.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

pellium::Color lastColour{1, 1, 1, 1};

}  // namespace

Light::Light() { setDirection(1, -1, 1); }

void Light::setDirection(double x, double y, double z) {
    direction_ = Vector(x, y, z);
    Vector::normalize(direction_);
}

const pellium::Color& Light::lastAppliedColour() { return lastColour; }

void Light::apply(int index) const {
    if (index < 0 || index > 7)
        return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    pellium::loadViewIdentity();
    setParameters(index);
    pellium::popMatrix();
}

void Light::applyWithView(const Viewer& viewer, int index) const {
    if (index < 0 || index > 7)
        return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    pellium::loadViewIdentity();
    viewer.viewMatrix().multGL();
    setParameters(index);
    pellium::popMatrix();
}

void Light::setParameters(int index) const {
    const GLenum light = GLenum(GL_LIGHT0 + index);
    if (kind_ == positional) {
        const float p[4] = {float(position_.x), float(position_.y), float(position_.z), 1};
        glLightfv(light, GL_POSITION, p);
        glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
        glLightf(light, GL_LINEAR_ATTENUATION, 0.2f);
        glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
    } else {
        const float p[4] = {float(direction_.x), float(direction_.y), float(direction_.z), 0};
        glLightfv(light, GL_POSITION, p);
    }
    lastColour = pellium::Color{colour_.red, colour_.green, colour_.blue, 1};
    const float c[4] = {lastColour.red, lastColour.green, lastColour.blue, 1};
    glLightfv(light, GL_AMBIENT, c);
    glLightfv(light, GL_DIFFUSE, c);
    glLightfv(light, GL_SPECULAR, c);
    glEnable(light);
}

}  // namespace kessa
