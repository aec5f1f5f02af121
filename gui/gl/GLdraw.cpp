#include "GLdraw.h"

#include <GL/gl.h>

#include "base/Debug.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLfont.h"
#include "gui/gl/VertexArray.h"

namespace pellium {

namespace {

bool begun = false;  // the last beginPrimitive reached glBegin

// GL's line loop and line strip come in the other order here.
bool primitive(int n, GLenum& mode) {
    static const GLenum modes[] = {GL_POINTS,         GL_LINES,          GL_LINE_STRIP,     GL_LINE_LOOP,
                                   GL_TRIANGLES,      GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN,   GL_QUADS,
                                   GL_QUAD_STRIP,     GL_POLYGON};
    if (n < 0 || n > 9)
        return false;
    mode = modes[n];
    return true;
}

void clientArray(GLenum array, bool on) {
    if (on)
        glEnableClientState(array);
    else
        glDisableClientState(array);
}

}  // namespace

void beginPrimitive(int n) {
    GLenum mode;
    begun = primitive(n, mode);
    if (begun)
        glBegin(mode);
}

void endPrimitive() {
    if (begun)
        glEnd();
    begun = false;
}

void drawArrays(int n, int first, int count) {
    GLenum mode;
    if (primitive(n, mode) && first >= 0 && count > 0)
        glDrawArrays(mode, first, count);
}

void vertex3f(float x, float y, float z) { glVertex3f(x, y, z); }
void vertex3fv(const float* v) { glVertex3fv(v); }
void vertex3dv(const double* v) { glVertex3dv(v); }
void normal3fv(const float* v) { glNormal3fv(v); }
void texCoord2f(float s, float t) { glTexCoord2f(s, t); }
void color4f(float red, float green, float blue, float alpha) { glColor4f(red, green, blue, alpha); }
void color4ub(std::uint32_t packed) { glColor4ubv(reinterpret_cast<const GLubyte*>(&packed)); }

void setVertexArray(const float* pointer, int stride) {
    VertexArray::flushArrayState();
    clientArray(GL_VERTEX_ARRAY, pointer != nullptr);
    if (pointer)
        glVertexPointer(3, GL_FLOAT, stride, pointer);
}

void setVertexArray2(const float* pointer, int stride) {
    VertexArray::flushArrayState();
    clientArray(GL_VERTEX_ARRAY, pointer != nullptr);
    if (pointer)
        glVertexPointer(2, GL_FLOAT, stride, pointer);
}

void setColorArray(const unsigned char* pointer, int stride) {
    VertexArray::flushArrayState();
    clientArray(GL_COLOR_ARRAY, pointer != nullptr);
    if (pointer)
        glColorPointer(4, GL_UNSIGNED_BYTE, stride, pointer);
}

void setNormalArray(const float* pointer, int stride) {
    VertexArray::flushArrayState();
    clientArray(GL_NORMAL_ARRAY, pointer != nullptr);
    if (pointer)
        glNormalPointer(GL_FLOAT, stride, pointer);
}

void setTexCoordArray(const float* pointer, int stride) {
    VertexArray::flushArrayState();
    clientArray(GL_TEXTURE_COORD_ARRAY, pointer != nullptr);
    if (pointer)
        glTexCoordPointer(2, GL_FLOAT, stride, pointer);
}

void multiTexCoord2fv(int unit, const float* v) {
    const MultiTextureEntryPoints* mt = loadMultiTextureExtensions();
    if (mt && unit >= 0 && unit < mt->units)
        mt->multiTexCoord2fv(GLenum(GL_TEXTURE0_ARB + unit), v);
}

void lockArrays(int first, int count) {
    const CVAEntryPoints* cva = loadCVAExtensions();
    if (!cva)
        return;
    cva->lockArrays(first, count);
    GLenum e = glGetError();
    if (e != GL_NO_ERROR)
        orvel::debug("GL error %d from glLockArraysEXT(%d, %d)\n", int(e), first, count);
}

void unlockArrays() {
    if (const CVAEntryPoints* cva = loadCVAExtensions())
        cva->unlockArrays();
}

int drawText(const GLRenderInfo& info, int x, int y, const char* text, std::uint32_t colour) {
    return defaultGLFont().drawString(info, x, y, text, colour);
}

int drawText(const GLRenderInfo& info, int x, int y, const char* text, const std::uint32_t* colours) {
    return defaultGLFont().drawColouredString(info, x, y, text, colours);
}

}  // namespace pellium
