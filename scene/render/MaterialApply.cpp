// Materials into GL state, through a cache of what was applied last.
#include <GL/gl.h>

#include <cstdint>
#include <cstring>

#include "gui/gl/GLdraw.h"
#include "gui/gl/GLstate.h"
#include "scene/render/Light.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"

namespace kessa {

namespace {

enum GLState { lightingState = 0, texturingState = 2, smoothShadingState = 8, sphereMapState = 9 };

// What the materials last put into GL. The lit colours are kept as well, so
// that switching to an equal lit material sends nothing; they are not known
// while colour material lets the current colour write them.
struct AppliedState {
    // Between beginFrame and forgetAppliedState: what an apply sends is
    // recorded and trusted by the applies after it.
    bool inFrame = false;
    // The values below are what GL holds; while false the next apply sends
    // everything.
    bool known = false;
    bool colourMaterial = false, lighting = false, smoothShading = false, sphereMap = false;
    bool coloursKnown = false;
    float colours[17];  // ambient, diffuse, specular, emission, shininess × 128
    const Texture* textures[2] = {nullptr, nullptr};
    unsigned generation = 0;  // of the GL layer's state when this was recorded
} applied;

void forgetValues() {
    applied.known = false;
    applied.coloursKnown = false;
}

// A context bound anew, or GL state reset, makes what was recorded worthless.
void checkGeneration() {
    unsigned now = pellium::glStateGeneration();
    if (applied.generation != now) {
        applied.generation = now;
        forgetValues();
    }
}

constexpr float black[4] = {0, 0, 0, 0};

void startColourMaterial() {
    glDisable(GL_COLOR_MATERIAL);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    pellium::enableGLState(lightingState);
    applied.lighting = true;
    applied.coloursKnown = false;
}

// Colour material off again: light 0 gets back the diffuse colour that
// colour material took from it.
void stopColourMaterial() {
    glDisable(GL_COLOR_MATERIAL);
    const pellium::Color& light = Light::lastAppliedColour();
    const float diffuse[4] = {light.red, light.green, light.blue, light.alpha};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
}

void setLitColours(const Material& m) {
    const pellium::Color* c[4] = {&m.ambient(), &m.diffuse(), &m.specular(), &m.emission()};
    float values[17];
    for (int i = 0; i < 4; ++i) {
        values[4 * i] = c[i]->red;
        values[4 * i + 1] = c[i]->green;
        values[4 * i + 2] = c[i]->blue;
        values[4 * i + 3] = c[i]->alpha;
    }
    values[16] = m.shininess() * 128;
    if (applied.coloursKnown && std::memcmp(values, applied.colours, sizeof values) == 0)
        return;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, values);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, values + 4);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, values + 8);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, values + 12);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, values[16]);
    std::memcpy(applied.colours, values, sizeof values);
    applied.coloursKnown = true;
}

// The unlit colour. Colour arrays and immediate drawing change the current
// colour all the time, so it is always sent. Transparent black would draw
// nothing at all, and stands for white.
void setPlainColour(const Material& m) {
    std::uint32_t packed = m.colour().toPacked();
    pellium::color4ub(packed ? packed : 0xFFFFFFFF);
}

void setState(int n, bool on) {
    if (on)
        pellium::enableGLState(n);
    else
        pellium::disableGLState(n);
}

// Texturing on the selected unit, with the texture bound, or off.
void bindOnUnit(const orvel::counted_ptr<Texture>& texture) {
    setState(texturingState, bool(texture));
    if (texture)
        texture->bind();
}

// A sequence shows another frame as the clock runs, and a changed texture
// builds its GL side anew: both must be bound again though they are the same.
bool sameBinding(const Texture* cached, const orvel::counted_ptr<Texture>& texture) {
    return cached == texture.get() && (!cached || (!cached->sequence() && !cached->dirty()));
}

}  // namespace

// One description of the state a material sets, for both kinds of apply:
// each part is sent when what GL holds is not known or differs, so an apply
// after forgetting leaves GL exactly as a run of applies within a frame does.
void Material::apply() const {
    checkGeneration();
    const bool all = !applied.known;
    if (all || colourMaterial_ != applied.colourMaterial) {
        if (colourMaterial_)
            startColourMaterial();
        else
            stopColourMaterial();
        applied.colourMaterial = colourMaterial_;
    }
    if (!colourMaterial_) {
        if (all || lighting_ != applied.lighting) {
            setState(lightingState, lighting_);
            applied.lighting = lighting_;
        }
        if (lighting_)
            setLitColours(*this);
        else
            setPlainColour(*this);
    }
    if (all || smoothShading_ != applied.smoothShading) {
        setState(smoothShadingState, smoothShading_);
        applied.smoothShading = smoothShading_;
    }
    if (all || sphereMap_ != applied.sphereMap) {
        setState(sphereMapState, sphereMap_);
        applied.sphereMap = sphereMap_;
    }
    bool unitChanged = false;
    for (int unit = 0; unit < 2; ++unit) {
        if (!all && sameBinding(applied.textures[unit], textures_[unit]))
            continue;
        if (!pellium::selectTextureUnit(unit) && unit > 0)
            break;
        bindOnUnit(textures_[unit]);
        applied.textures[unit] = textures_[unit].get();
        unitChanged = true;
    }
    if (unitChanged)
        pellium::selectTextureUnit(0);
    // Outside a frame GL may change behind the materials' back at any time.
    if (applied.inFrame)
        applied.known = true;
    else
        forgetValues();
}

void Material::beginFrame() {
    checkGeneration();
    if (applied.inFrame && applied.known)
        return;
    applied.inFrame = true;
    getDefault()->apply();
}

void Material::applyInFullNext() { forgetValues(); }

void Material::forgetAppliedState() {
    // What changed GL behind the materials' back went past the GL layer's
    // own cache too.
    pellium::invalidateGLStateCache();
    applied.inFrame = false;
    forgetValues();
}

}  // namespace kessa
