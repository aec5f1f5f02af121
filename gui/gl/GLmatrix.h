// Projections built from a frame's render record, and a modelview that can
// turn the world so that its z axis points up on the screen.
#pragma once

#include "gui/gl/GLclient.h"

namespace pellium {

// With the flag set, loadViewIdentity turns world z into eye y. Off at start.
void setZAxisUp(bool up);
bool zAxisUp();

// One unit per pixel with the origin at the bottom-left pixel's centre, and
// an identity modelview.
void setPixelProjection(const GLRenderInfo& info);
void setOrtho(double left, double right, double bottom, double top, double nearValue, double farValue);
// A field of view in degrees measured vertically; an aspect below 0 takes the
// frame's width over its height.
void setPerspective(const GLRenderInfo& info, double fieldOfView, double nearValue, double farValue, double aspect);
// The modelview becomes the identity, turned for the z-up flag.
void loadViewIdentity();
// loadViewIdentity, then the matrix (16 floats, GL's order).
void multMatrix(const float* m);
void translate(float x, float y, float z);
void rotate(float angle, float x, float y, float z);
void popMatrix();

}  // namespace pellium
