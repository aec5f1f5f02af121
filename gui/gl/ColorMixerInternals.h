// The colour mixer's geometry, colour and picture, and the GL drawing of the
// picture. Angles are degrees; a point at angle a and distance d from the
// centre lies at (c - d sin a, c + d cos a): hue 0 points up and hues grow
// counter-clockwise, y counting upward as in the picture's rows.
#pragma once

#include "gui/Color.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/Image.h"

namespace pellium {

class ColorMixerInternals : public GLclient {
public:
    enum class Hit { nothing, hue, triangle };

    explicit ColorMixerInternals(int side);

    // What a press at (x, y) of the picture starts: a hue drag on the ring
    // (inner radius <= distance <= outer radius), a triangle drag inside the
    // triangle, nothing elsewhere.
    Hit hitTest(float x, float y) const;
    // For the drag going on: the hue becomes the point's angle, or
    // saturation and value the point's place in the triangle, pinned to its
    // edges; the colour follows.
    void apply(float x, float y);
    // Saturation and value of a point turned back into the upright triangle
    // (black apex up); true when neither had to be pinned into 0 .. 1.
    bool mapToTriangle(float x, float y, float& saturation, float& value) const;
    // Where the saturation-and-value marker stands in the picture.
    void markerPoint(float& x, float& y) const;

    // Renders the picture when hue, saturation or value differ from the last
    // render; true when it rendered.
    bool update();
    void render(GLRenderInfo& info) override;

    // Geometry, from the side alone.
    const int side;
    const float centre, outerRadius, innerRadius;
    const float triangleSide, triangleHeight, apexY, baseY, baseLeftX, baseRightX;

    Image picture;
    Color colour;
    HSV hsv;
    bool draggingHue = false, draggingTriangle = false;

private:
    HSV rendered_;
};

}  // namespace pellium
