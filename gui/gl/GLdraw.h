// Drawing wrappers: primitives by number, immediate-mode vertices, client
// arrays that keep the vertex arrays' cache honest, multitexture coordinates
// and locked vertex arrays.
#pragma once

#include <cstdint>

#include "gui/gl/GLclient.h"

namespace pellium {

// Primitive numbers (others do nothing): 0 points, 1 lines, 2 line strip,
// 3 line loop, 4 triangles, 5 triangle strip, 6 triangle fan, 7 quads,
// 8 quad strip, 9 polygon.
void beginPrimitive(int n);
// Ends what beginPrimitive began; nothing after an unknown number.
void endPrimitive();
void drawArrays(int n, int first, int count);

void vertex3f(float x, float y, float z);
void vertex3fv(const float* v);
void vertex3dv(const double* v);
void normal3fv(const float* v);
void texCoord2f(float s, float t);
void color4f(float red, float green, float blue, float alpha);
// A packed colour whose bytes in memory are red, green, blue, alpha.
void color4ub(std::uint32_t packed);

// Client arrays; a null pointer switches the array off. Each first hands the
// array state back from the vertex arrays' cache (VertexArray::flushArrayState).
void setVertexArray(const float* pointer, int stride);   // 3 floats a vertex
void setVertexArray2(const float* pointer, int stride);  // 2 floats a vertex
void setColorArray(const unsigned char* pointer, int stride);  // 4 bytes a vertex
void setNormalArray(const float* pointer, int stride);
void setTexCoordArray(const float* pointer, int stride);  // 2 floats a vertex

// Only with multitexturing and a unit below the driver's count.
void multiTexCoord2fv(int unit, const float* v);

// Locked (compiled) vertex arrays, when the driver has them.
void lockArrays(int first, int count);
void unlockArrays();

// Text with the default GL font at (x, y) of the pixel projection: in one
// packed colour, or one per character. Both return x plus the advance.
int drawText(const GLRenderInfo& info, int x, int y, const char* text, std::uint32_t colour);
int drawText(const GLRenderInfo& info, int x, int y, const char* text, const std::uint32_t* colours);

}  // namespace pellium
