#include "GLmatrix.h"

#include <GL/gl.h>

#include <cmath>

#include "base/Debug.h"

namespace pellium {

namespace {

bool zUp = false;

}  // namespace

void setZAxisUp(bool up) { zUp = up; }
bool zAxisUp() { return zUp; }

void setPixelProjection(const GLRenderInfo& info) {
    glViewport(0, 0, info.width, info.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A 3/8 pixel shift puts integer coordinates inside pixels, not on their edges.
    glOrtho(-0.375, info.width - 0.375, -0.375, info.height - 0.375, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setOrtho(double left, double right, double bottom, double top, double nearValue, double farValue) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, nearValue, farValue);
    loadViewIdentity();
}

void setPerspective(const GLRenderInfo& info, double fieldOfView, double nearValue, double farValue, double aspect) {
    const double pi = 3.14159265358979323846;
    double halfHeight = std::tan(fieldOfView * pi / 180 / 2) * nearValue;
    if (aspect < 0)
        aspect = info.height ? double(info.width) / info.height : 1;
    double halfWidth = halfHeight * aspect;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-halfWidth, halfWidth, -halfHeight, halfHeight, nearValue, farValue);
    loadViewIdentity();
}

void loadViewIdentity() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (zUp)
        glRotatef(90, -1, 0, 0);
}

void multMatrix(const float* m) {
    loadViewIdentity();
    glMultMatrixf(m);
}

void translate(float x, float y, float z) { glTranslatef(x, y, z); }

void rotate(float angle, float x, float y, float z) { glRotatef(angle, x, y, z); }

void popMatrix() {
    glPopMatrix();
    GLenum e = glGetError();
    if (e != GL_NO_ERROR)
        orvel::debug("GL had an error %d during popMatrix()\n", int(e));
}

}  // namespace pellium
