#include "ColorMixer.h"

#include <GL/gl.h>

#include <cmath>

#include "gui/Graphics.h"
#include "gui/GuiColor.h"
#include "gui/Window.h"
#include "gui/gl/ColorMixerInternals.h"
#include "gui/gl/GLstate.h"

namespace pellium {

namespace {

constexpr float degree = 3.14159265358979f / 180.0f;

// Steps of the hue ring: 5.625 degrees, 64 of them.
constexpr int ringSteps = 64;

void vertexAt(float centre, float distance, float angle) {
    glVertex2f(centre - distance * std::sin(angle * degree), centre + distance * std::cos(angle * degree));
}

void paint(const Color& c) { glColor3f(c.red, c.green, c.blue); }

void grey(bool white) { glColor3f(white ? 1.0f : 0.0f, white ? 1.0f : 0.0f, white ? 1.0f : 0.0f); }

// A cross of points `across` wide and high, centred on (x, y).
void cross(int x, int y, int across) {
    const int half = across / 2;
    for (int k = -half; k <= half; ++k) {
        glVertex2i(x + k, y);
        if (k)
            glVertex2i(x, y + k);
    }
}

}  // namespace

ColorMixerInternals::ColorMixerInternals(int s)
    : side(s),
      centre(float(s / 2)),
      outerRadius(float(s / 2) - 1),
      innerRadius(0.75f * outerRadius),
      triangleSide(2 * innerRadius * std::cos(30 * degree)),
      triangleHeight(1.5f * innerRadius),
      apexY(centre + innerRadius),
      baseY(apexY - triangleHeight),
      baseLeftX(centre - triangleSide / 2),
      baseRightX(centre + triangleSide / 2),
      picture(s, s),
      hsv{0, 0.85f, 0.88f},
      rendered_{-1, -1, -1} {}

ColorMixerInternals::Hit ColorMixerInternals::hitTest(float x, float y) const {
    const float dx = x - centre, dy = y - centre, d = std::sqrt(dx * dx + dy * dy);
    if (d >= innerRadius && d <= outerRadius)
        return Hit::hue;
    float s, v;
    return mapToTriangle(x, y, s, v) ? Hit::triangle : Hit::nothing;
}

bool ColorMixerInternals::mapToTriangle(float x, float y, float& saturation, float& value) const {
    // Turned back by hue + 120 degrees, the black corner stands at the apex.
    const float turn = (hsv.hue + 120) * degree, dx = x - centre, dy = y - centre;
    const float ux = centre + dx * std::cos(turn) + dy * std::sin(turn);
    const float uy = centre + dy * std::cos(turn) - dx * std::sin(turn);
    value = 1 - (uy - baseY) / triangleHeight;
    // At the black apex every saturation is the same colour: keep the one
    // there is rather than divide by nothing.
    saturation = std::fabs(value) <= 1e-6f ? hsv.saturation : (ux - centre) / (value * triangleSide) + 0.5f;
    bool inside = true;
    for (float* f : {&saturation, &value}) {
        if (*f >= 0 && *f <= 1)
            continue;
        inside = false;
        *f = *f < 0 ? 0 : 1;
    }
    return inside;
}

void ColorMixerInternals::markerPoint(float& x, float& y) const {
    const float ux = (hsv.saturation - 0.5f) * hsv.value * triangleSide;
    const float uy = baseY + (1 - hsv.value) * triangleHeight - centre;
    const float turn = (hsv.hue + 120) * degree;
    x = centre + ux * std::cos(turn) - uy * std::sin(turn);
    y = centre + uy * std::cos(turn) + ux * std::sin(turn);
}

void ColorMixerInternals::apply(float x, float y) {
    if (draggingHue) {
        const float hue = std::atan2(-(x - centre), y - centre) / degree;
        hsv.hue = hue < 0 ? hue + 360 : hue;
    } else if (draggingTriangle) {
        mapToTriangle(x, y, hsv.saturation, hsv.value);
    } else {
        return;
    }
    const float alpha = colour.alpha;
    colour = Color::fromHSV(hsv.hue, hsv.saturation, hsv.value);
    colour.alpha = alpha;
}

bool ColorMixerInternals::update() {
    if (hsv.hue == rendered_.hue && hsv.saturation == rendered_.saturation && hsv.value == rendered_.value)
        return false;
    rendered_ = hsv;
    // A failed render leaves the picture noisy until the colour changes.
    picture.renderGL(*this);
    return true;
}

void ColorMixerInternals::render(GLRenderInfo&) {
    Color background;
    GuiColor(GuiColor::face).toRGB(background);
    clearBuffers(background, 1);
    disableGLState(5);
    disableGLState(10);
    const float h = hsv.hue, r = innerRadius, R = outerRadius;

    glBegin(GL_TRIANGLES);
    paint(Color{0, 0, 0, 1});
    vertexAt(centre, r, h + 120);
    paint(Color{1, 1, 1, 1});
    vertexAt(centre, r, h - 120);
    paint(Color::fromHSV(h, 1, 1));
    vertexAt(centre, r, h);
    glEnd();

    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= ringSteps; ++i) {
        const float a = float(i) * 360.0f / ringSteps;
        paint(Color::fromHSV(a, 1, 1));
        vertexAt(centre, r, a);
        vertexAt(centre, R, a);
    }
    glEnd();

    const float middle = (r + R) / 2;
    for (GLenum shape : {GLenum(GL_POLYGON), GLenum(GL_LINE_LOOP)}) {
        grey(shape == GL_POLYGON);
        glBegin(shape);
        vertexAt(centre, r + 1, h);
        vertexAt(centre, middle, h - 4);
        vertexAt(centre, R - 1, h);
        vertexAt(centre, middle, h + 4);
        glEnd();
    }

    // Two crosses in two contrasting colours: on a light ground the inner one is black.
    float mx, my;
    markerPoint(mx, my);
    const int x = int(std::floor(mx + 0.5f)), y = int(std::floor(my + 0.5f));
    const bool light = hsv.value >= 0.55f && hsv.saturation <= 0.5f;
    pointSize(1);
    glBegin(GL_POINTS);
    grey(light);
    cross(x, y, 9);
    grey(!light);
    cross(x, y, 7);
    glEnd();
}

ColorMixer::ColorMixer(int size) : internals_(new ColorMixerInternals(size)) {}

ColorMixer::~ColorMixer() = default;

void ColorMixer::setColor(const Color& rgba) {
    internals_->colour = rgba;
    rgba.toHSV(internals_->hsv);
    revalidate();
}

Color ColorMixer::getColor() const { return internals_->colour; }

void ColorMixer::getPreferredSize(int& width, int& height) {
    width = internals_->picture.width();
    height = internals_->picture.height();
}

void ColorMixer::draw(Graphics& g) {
    painted_ = true;
    internals_->update();
    g.drawImage(internals_->picture, getBounds().x, getBounds().y);
}

void ColorMixer::handleEvent(const Event& event) {
    ColorMixerInternals& in = *internals_;
    switch (event.type) {
    case EventType::LeftDown: {
        const Rect& b = getBounds();
        const ColorMixerInternals::Hit hit = in.hitTest(float(event.x - b.x), float(event.y - b.y));
        if (hit == ColorMixerInternals::Hit::nothing)
            return;
        in.draggingHue = hit == ColorMixerInternals::Hit::hue;
        in.draggingTriangle = hit == ColorMixerInternals::Hit::triangle;
        dragging_ = true;
        setFocus();
        Window::setKeyboardFocus(getWindow(), this);
        sendMessage(0);
        applyPoint(event);
        break;
    }
    case EventType::Move:
        if (dragging_)
            applyPoint(event);
        break;
    case EventType::LeftUp:
        if (!dragging_)
            return;
        dragging_ = false;
        releaseFocus();
        applyPoint(event);
        in.draggingHue = in.draggingTriangle = false;
        sendMessage(2);
        break;
    default:
        break;
    }
}

void ColorMixer::applyPoint(const Event& event) {
    const Rect& b = getBounds();
    internals_->apply(float(event.x - b.x), float(event.y - b.y));
    painted_ = false;
    sendMessage(1);
    if (!painted_)
        revalidate();
}

}  // namespace pellium
