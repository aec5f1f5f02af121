// Drawing a gathered frame: the sky, the solid batches group by group, the
// solid renderables, the ordered items and the blended items, each item under
// its own state, with only the state that changes sent to GL.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "base/Debug.h"
#include "gui/EventQueue.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/VertexArray.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/GeoBunch.h"
#include "scene/GeoBunchInternals.h"
#include "scene/Matrix.h"
#include "scene/render/Material.h"
#include "scene/render/RenderAccumulatorInternals.h"
#include "scene/render/Renderable.h"
#include "scene/render/Viewer.h"

namespace kessa {

namespace {

enum GLState { blendingState = 1, texturingState = 2, depthWritingState = 6, faceCullingState = 10 };
enum TexEnv { modulate = 1, decal = 2 };
enum BlendFactor { sourceAlpha = 2, oneMinusSourceAlpha = 3 };
constexpr int fadeUnit = 2;

// Drains GL's error flags; true when there was any.
bool glFailed() {
    bool failed = false;
    while (glGetError() != GL_NO_ERROR)
        failed = true;
    return failed;
}

void setState(int n, bool on) {
    if (on)
        pellium::enableGLState(n);
    else
        pellium::disableGLState(n);
}

// The passes fall back to this viewer when none is set.
Viewer& defaultViewer() {
    static Viewer viewer;
    return viewer;
}

// 16 x 16 texels, texel i white with alpha i: a texture coordinate picks the
// alpha an item is faded to. Made on first use; the context lives as long as
// the process.
GLuint fadeTexture() {
    static GLuint name = 0;
    if (name == 0) {
        unsigned char texels[256 * 4];
        for (int i = 0; i < 256; ++i) {
            texels[4 * i] = texels[4 * i + 1] = texels[4 * i + 2] = 255;
            texels[4 * i + 3] = (unsigned char)i;
        }
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    }
    return name;
}

}  // namespace

int RenderAccumulator::animationValue(float t) {
    int value;
    std::memcpy(&value, &t, sizeof value);
    return value;
}

float RenderAccumulator::animationTime(int value) {
    float t;
    std::memcpy(&t, &value, sizeof t);
    return std::isfinite(t) ? t : 0.0f;
}

void RenderAccumulator::loadModelview(const Matrix& m) {
    pellium::loadViewIdentity();
    m.multGL();
}

void RenderAccumulator::fadeTexCoord(float transparency, float out[2]) {
    int k = int(transparency * 255);
    k = k < 0 ? 0 : k > 255 ? 255 : k;
    out[0] = float(k % 16) * 0.0625f + 0.03125f;
    out[1] = float(k / 16 % 16) * 0.0625f + 0.03125f;
}

// ---- the state cache ----

Viewer& RenderAccumulatorInternals::frameViewer() { return viewer ? *viewer : defaultViewer(); }

void RenderAccumulatorInternals::forgetCache() {
    loadedMatrix = nullptr;
    appliedFog = nullptr;
    blending = depthWriting = faceCulling = unknown;
}

void RenderAccumulatorInternals::takeBackState() {
    const signed char blend = blending, depth = depthWriting, cull = faceCulling;
    forgetCache();
    if (blend != unknown)
        setBlending(blend != 0);
    if (depth != unknown)
        setDepthWriting(depth != 0);
    if (cull != unknown)
        setFaceCulling(cull != 0);
    setFrameFunctions();
    pellium::depthRange(depthNear, depthFar);
    // Textures bound, lit colours, colour material: anything may have changed.
    Material::applyInFullNext();
}

void RenderAccumulatorInternals::setFrameFunctions() {
    for (int unit = 1; unit >= 0; --unit) {
        if (!pellium::selectTextureUnit(unit) && unit != 0)
            continue;
        pellium::disableGLState(texturingState);
        pellium::setTexEnv(unit == 1 ? decal : modulate);
    }
    pellium::setAlphaThreshold(0);
    pellium::setBlendMode(sourceAlpha, oneMinusSourceAlpha);
}

void RenderAccumulatorInternals::setBlending(bool on) {
    if (blending != on) {
        setState(blendingState, on);
        blending = on;
    }
}

void RenderAccumulatorInternals::setDepthWriting(bool on) {
    if (depthWriting != on) {
        setState(depthWritingState, on);
        depthWriting = on;
    }
}

void RenderAccumulatorInternals::setFaceCulling(bool on) {
    if (faceCulling != on) {
        setState(faceCullingState, on);
        faceCulling = on;
    }
}

void RenderAccumulatorInternals::loadMatrix(const Matrix* matrix) {
    const Matrix* m = matrix ? matrix : &frameViewer().viewMatrix();
    if (m != loadedMatrix) {
        RenderAccumulator::loadModelview(*m);
        loadedMatrix = m;
    }
}

void RenderAccumulatorInternals::applyFog(const Fog* fog) {
    if (fog != appliedFog) {
        fog->apply();
        appliedFog = fog;
    }
}

void RenderAccumulatorInternals::selectFrame(GeoBunch& bunch, int animation) {
    GeoBunchInternals& internals = bunch.internals();
    if (!internals.frames().empty())
        internals.animate(RenderAccumulator::animationTime(animation));
}

void RenderAccumulatorInternals::applyState(const Item& item) {
    if (GeoBunch* bunch = item.bunch) {
        selectFrame(*bunch, item.animation);
        const MaterialRef& material = bunch->material();
        setFaceCulling(material.first != 0);
        setBlending(material.second != 0);
        material->apply();
    }
    loadMatrix(item.matrix);
    applyFog(item.fog);
    setDepthWriting(!(item.overrides & RenderAccumulator::noDepthWrite));
}

void RenderAccumulatorInternals::draw(const Item& item, pellium::GLRenderInfo& context) {
    if (item.bunch) {
        item.bunch->internals().render();
        return;
    }
    item.renderable->render(context, frameViewer());
    takeBackState();
}

void RenderAccumulatorInternals::drawFaded(const Item& item, pellium::GLRenderInfo& context) {
    if (item.transparency >= 1.0f) {
        draw(item, context);
        return;
    }
    bool faded = false;
    if (pellium::fullGLacceleration && pellium::selectTextureUnit(fadeUnit)) {
        pellium::enableGLState(texturingState);
        pellium::setTexEnv(modulate);
        glBindTexture(GL_TEXTURE_2D, fadeTexture());
        pellium::selectTextureUnit(0);
        float st[2];
        RenderAccumulator::fadeTexCoord(item.transparency, st);
        pellium::multiTexCoord2fv(fadeUnit, st);
        faded = true;
    }
    bool blendingWasOff = blending == 0;
    setBlending(true);
    draw(item, context);
    if (blendingWasOff)
        setBlending(false);
    if (faded) {
        pellium::selectTextureUnit(fadeUnit);
        pellium::disableGLState(texturingState);
        pellium::selectTextureUnit(0);
    }
}

// ---- the frame ----

void RenderAccumulatorInternals::beginState(pellium::GLRenderInfo& context) {
    if (viewer)
        viewer->setWindowSize(context);
    fogs.top()->apply();
    forgetCache();
    setBlending(false);
    setDepthWriting(true);
    setFaceCulling(true);
    setFrameFunctions();
    Material::beginFrame();
    pellium::depthRange(depthNear, depthFar);
}

void RenderAccumulatorInternals::drawSky(pellium::GLRenderInfo& context) {
    if (!sky)
        return;
    if (viewer) {
        setDepthWriting(false);
        pellium::depthRange(0.9999, 1.0);
        sky->renderSky(context, *viewer);
        takeBackState();
        setDepthWriting(true);
    } else {
        orvel::debug("RenderAccumulator::renderSky(). Error: You didn't set a Viewer...\n");
    }
    if (glFailed())
        orvel::debug("GL had an error during RenderAccumulator::renderSky()\n");
}

void RenderAccumulatorInternals::drawSolidStuff(pellium::GLRenderInfo& context) {
    const std::vector<Item>& items = lists[RenderAccumulator::solidStuff];
    // Groups in the reverse order of their first item, each newest first.
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        int i = group->newest;
        applyState(items[i]);
        int frameShown = items[i].animation;
        for (; i >= 0; i = items[i].next) {
            const Item& item = items[i];
            // The group shares its geometry, not its animation: each item
            // shows its own frame.
            if (item.animation != frameShown) {
                selectFrame(*item.bunch, item.animation);
                frameShown = item.animation;
            }
            loadMatrix(item.matrix);
            applyFog(item.fog);
            setDepthWriting(!(item.overrides & RenderAccumulator::noDepthWrite));
            draw(item, context);
        }
    }
    if (glFailed())
        orvel::debug("GL had an error while rendering solidStuff\n");
}

void RenderAccumulatorInternals::drawInOrder(RenderAccumulator::List list, pellium::GLRenderInfo& context,
                                             bool blended) {
    for (const Item& item : lists[list]) {
        if (blended)
            setBlending(true);
        applyState(item);
        drawFaded(item, context);
    }
}

void RenderAccumulatorInternals::endState(pellium::GLRenderInfo& context) {
    beginState(context);
    Material::forgetAppliedState();
    pellium::VertexArray::flushArrayState();
    pellium::depthRange(0.0, 1.0);
}

void RenderAccumulator::render(pellium::GLRenderInfo& context) {
    RenderAccumulatorInternals& d = *d_;
    if (glFailed())
        orvel::debug("GL had an error at the start of RenderAccumulator::render()\n");
    // The statistics count this frame alone; the viewport stays, the
    // viewer's projection is made from it.
    context.points = context.lines = context.quads = 0;
    bool empty = !d.sky;
    for (const std::vector<Item>& list : d.lists)
        empty = empty && list.empty();
    if (!empty) {
        d.beginState(context);
        d.drawSky(context);
        d.drawSolidStuff(context);

        d.drawInOrder(solidRenderables, context, false);
        d.setBlending(true);
        if (glFailed())
            orvel::debug("GL had an error while rendering solidRenderables\n");

        if (!pellium::isModifierDown(pellium::Key::LeftCtrl))
            d.drawInOrder(orderedStuff, context, false);
        if (glFailed())
            orvel::debug("GL had an error while rendering orderedStuff\n");

        if (!pellium::isModifierDown(pellium::Key::LeftShift))
            d.drawInOrder(bunches, context, true);
        if (glFailed())
            orvel::debug("GL had an error while rendering the bunches\n");

        d.endState(context);
    }
    // Even an empty frame ends here: nothing of it may reach the next one.
    reset();
}

}  // namespace kessa
