#include "GLstate.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"

namespace pellium {

namespace {

constexpr int stateCount = 11;
constexpr int cachedUnits = 32;
constexpr signed char unknown = -1;

// What the setters last sent; unknown until they send something.
struct StateCache {
    signed char on[stateCount];
    signed char unitOn[cachedUnits][2];  // states 2 and 9 of each texture unit
    int activeUnit, clientUnit;
    GLenum blendSource, blendDestination;
    GLenum depthFunc;
    GLenum alphaFunc;
    float alphaRef;
    GLenum cullFace;
    StateCache() { forget(); }
    void forget() {
        for (signed char& s : on)
            s = unknown;
        for (auto& unit : unitOn)
            unit[0] = unit[1] = unknown;
        activeUnit = clientUnit = -1;
        blendSource = blendDestination = depthFunc = alphaFunc = cullFace = GL_NONE;
        alphaRef = 0;
    }
};

StateCache cache;

// Where state n is remembered; null when it cannot be (a texture state while
// the selected unit is unknown).
signed char* slot(int n) {
    if (n != 2 && n != 9)
        return &cache.on[n];
    int unit = cache.activeUnit;
    if (unit < 0 || unit >= cachedUnits)
        return nullptr;
    return &cache.unitOn[unit][n == 2 ? 0 : 1];
}

void capability(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void send(int n, bool on) {
    switch (n) {
    case 0: capability(GL_LIGHTING, on); break;
    case 1: capability(GL_BLEND, on); break;
    case 2: capability(GL_TEXTURE_2D, on); break;
    case 3: capability(GL_FOG, on); break;
    case 4: capability(GL_ALPHA_TEST, on); break;
    case 5: capability(GL_DEPTH_TEST, on); break;
    case 6: glDepthMask(on ? GL_TRUE : GL_FALSE); break;
    case 7: {
        GLboolean b = on ? GL_TRUE : GL_FALSE;
        glColorMask(b, b, b, b);
        break;
    }
    case 8: glShadeModel(on ? GL_SMOOTH : GL_FLAT); break;
    case 9:
        if (on) {
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        }
        capability(GL_TEXTURE_GEN_S, on);
        capability(GL_TEXTURE_GEN_T, on);
        break;
    default: capability(GL_CULL_FACE, on); break;
    }
}

void setState(int n, bool on) {
    if (n < 0 || n >= stateCount)
        return;
    // The user's "Enable fog" setting overrules everything that asks for fog.
    if (n == 3 && !fogEnabled)
        return;
    signed char want = on ? 1 : 0;
    signed char* known = slot(n);
    if (known && *known == want)
        return;
    send(n, on);
    if (known)
        *known = want;
}

GLenum blendFactor(int n) {
    static const GLenum factors[] = {GL_ZERO, GL_ONE, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    return factors[n];
}

}  // namespace

void enableGLState(int n) { setState(n, true); }
void disableGLState(int n) { setState(n, false); }

void setDepthFunc(int n) {
    static const GLenum funcs[] = {GL_ALWAYS, GL_NEVER, GL_EQUAL, GL_NOTEQUAL, GL_LESS, GL_LEQUAL, GL_GREATER, GL_GEQUAL};
    if (n < 0 || n > 7 || cache.depthFunc == funcs[n])
        return;
    glDepthFunc(funcs[n]);
    cache.depthFunc = funcs[n];
}

void setBlendMode(int source, int destination) {
    GLenum s = GL_ONE, d = GL_ZERO;
    if (source >= 0 && source <= 3 && destination >= 0 && destination <= 3) {
        s = blendFactor(source);
        d = blendFactor(destination);
    }
    if (cache.blendSource == s && cache.blendDestination == d)
        return;
    glBlendFunc(s, d);
    cache.blendSource = s;
    cache.blendDestination = d;
}

void setCullFace(bool back) {
    GLenum face = back ? GL_BACK : GL_FRONT;
    if (cache.cullFace == face)
        return;
    glCullFace(face);
    cache.cullFace = face;
}

void setPolygonMode(int face, int mode) {
    static const GLenum modes[] = {GL_POINT, GL_LINE, GL_FILL};
    if (mode < 0 || mode > 2)
        return;
    glPolygonMode(face == 0 ? GL_FRONT : face == 1 ? GL_BACK : GL_FRONT_AND_BACK, modes[mode]);
}

void setTexEnv(int mode) {
    static const GLint modes[] = {GL_BLEND, GL_MODULATE, GL_DECAL, GL_ADD};
    if (mode < 0 || mode > 3)
        return;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[mode]);
}

void setAlphaThreshold(float t) {
    GLenum func = t < 0 ? GL_ALWAYS : t == 0 ? GL_NOTEQUAL : GL_GREATER;
    float ref = t > 0 ? t : 0;
    if (cache.alphaFunc == func && cache.alphaRef == ref)
        return;
    glAlphaFunc(func, ref);
    cache.alphaFunc = func;
    cache.alphaRef = ref;
}

void pointSize(float size) { glPointSize(size); }

void depthRange(double nearValue, double farValue) { glDepthRange(nearValue, farValue); }

void setViewport(const Rect& r) { glViewport(r.x, r.y, r.width, r.height); }

void clearBuffers(const Color& colour, int flags) {
    GLbitfield mask = 0;
    if (flags & 1) {
        glClearColor(colour.red, colour.green, colour.blue, colour.alpha);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & 2)
        mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & 4)
        mask |= GL_STENCIL_BUFFER_BIT;
    if (mask)
        glClear(mask);
}

void setTextureOffset(float x, float y) {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(x, y, 0);
    glMatrixMode(GL_MODELVIEW);
}

bool selectTextureUnit(int n) {
    const MultiTextureEntryPoints* mt = loadMultiTextureExtensions();
    if (!mt || n < 0 || n >= mt->units)
        return false;
    if (cache.activeUnit != n) {
        mt->activeTexture(GLenum(GL_TEXTURE0_ARB + n));
        cache.activeUnit = n;
    }
    return true;
}

bool selectClientTextureUnit(int n) {
    const MultiTextureEntryPoints* mt = loadMultiTextureExtensions();
    if (!mt || n < 0 || n >= mt->units)
        return false;
    if (cache.clientUnit != n) {
        mt->clientActiveTexture(GLenum(GL_TEXTURE0_ARB + n));
        cache.clientUnit = n;
    }
    return true;
}

namespace {

unsigned stateGeneration = 0;

}  // namespace

void invalidateGLStateCache() {
    cache.forget();
    ++stateGeneration;
}

unsigned glStateGeneration() { return stateGeneration; }

void noteTextureUnitsReset() { cache.activeUnit = cache.clientUnit = 0; }

}  // namespace pellium
