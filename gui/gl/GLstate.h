// GL state by number. The 3D library and the GL widgets set common state only
// through these; the setters keep what they last sent, so a call that
// changes nothing costs no GL call. Code that changes the same state behind
// their back must call invalidateGLStateCache.
#pragma once

#include "gui/Color.h"
#include "gui/Rect.h"

namespace pellium {

// Numbered states (others do nothing): 0 lighting, 1 blending, 2 2D texturing,
// 3 fog (only while fogEnabled is set), 4 alpha test, 5 depth test, 6 depth
// writes, 7 colour writes, 8 smooth (on) or flat (off) shading, 9 sphere-map
// texture generation, 10 face culling. 2 and 9 belong to the selected texture unit.
void enableGLState(int n);
void disableGLState(int n);

// 0 always, 1 never, 2 equal, 3 not equal, 4 less, 5 less or equal, 6 greater,
// 7 greater or equal; others do nothing.
void setDepthFunc(int n);
// Factors 0 zero, 1 one, 2 source alpha, 3 one minus source alpha; any other
// number in either place gives (one, zero).
void setBlendMode(int source, int destination);
// The face culled: the back when true, else the front.
void setCullFace(bool back);
// Face 0 front, 1 back, else both; mode 0 points, 1 lines, 2 filled, else nothing.
void setPolygonMode(int face, int mode);
// 0 blend, 1 modulate, 2 decal, 3 add; others do nothing.
void setTexEnv(int mode);
// Below 0 every fragment passes; 0 drops only fully transparent ones; above 0
// drops those with alpha not above t.
void setAlphaThreshold(float t);
void pointSize(float size);
void depthRange(double nearValue, double farValue);
void setViewport(const Rect& rect);
// Flags: 1 clears the colour buffer to the colour, 2 the depth buffer, 4 the stencil buffer.
void clearBuffers(const Color& colour, int flags);
// The texture matrix becomes a translation; the modelview matrix is selected again.
void setTextureOffset(float x, float y);

// Texture units (multitexturing is loaded on first use); false without
// multitexturing or when the unit is not below the driver's count.
bool selectTextureUnit(int n);
bool selectClientTextureUnit(int n);

// Forgets what the setters sent; the next call of each goes to GL.
void invalidateGLStateCache();
// Counts the calls of invalidateGLStateCache (context binds and resets
// among them), so that caches kept above this layer can tell that GL state
// may have changed behind them.
unsigned glStateGeneration();
// After a reset that left texture unit 0 selected for both the server and
// the client side.
void noteTextureUnitsReset();

}  // namespace pellium
