// Lights, the light model and fog applied to GL, read back from GL.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>

#include "scene/Matrix.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Fog;
using kessa::Light;
using kessa::LightModel;
using kessa::Vector;
using kessa::Viewer;
using kessa_test::near4;
using Color = pellium::Color;

namespace {

constexpr float r3 = 0.57735026918962573f;

using LightFogGl = kessa_test::SceneGl;

}  // namespace

TEST_F(LightFogGl, ADirectionalLightInCameraSpace) {
    Light l;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, 6, 7);
    l.setColour(Color{0.5f, 0.25f, 1, 0.5f});
    l.apply(2);
    // The default direction (1, -1, 1), normalised: world z is eye y and
    // world y is eye -z, so it becomes (1, 1, 1).
    EXPECT_TRUE(near4(light(GL_LIGHT2, GL_POSITION), r3, r3, r3, 0));
    for (GLenum name : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR})
        EXPECT_TRUE(near4(light(GL_LIGHT2, name), 0.5f, 0.25f, 1, 1)) << name;
    EXPECT_TRUE(on(GL_LIGHT2));
    const Color& last = Light::lastAppliedColour();
    EXPECT_TRUE(near4({last.red, last.green, last.blue, last.alpha}, 0.5f, 0.25f, 1, 1));
    // The modelview is as it was.
    EXPECT_FLOAT_EQ(matrix(GL_MODELVIEW_MATRIX)[12], 5);
    EXPECT_FLOAT_EQ(matrix(GL_MODELVIEW_MATRIX)[14], 7);
}

TEST_F(LightFogGl, APositionalLightIsAttenuated) {
    Light l;
    l.setKind(Light::positional);
    l.setPosition(1, 2, 3);
    l.apply(1);
    EXPECT_TRUE(near4(light(GL_LIGHT1, GL_POSITION), 1, 3, -2, 1));
    EXPECT_FLOAT_EQ(light(GL_LIGHT1, GL_CONSTANT_ATTENUATION)[0], 1);
    EXPECT_FLOAT_EQ(light(GL_LIGHT1, GL_LINEAR_ATTENUATION)[0], 0.2f);
    EXPECT_FLOAT_EQ(light(GL_LIGHT1, GL_QUADRATIC_ATTENUATION)[0], 0);
}

TEST_F(LightFogGl, OnlyIndicesZeroToSevenAreLights) {
    Light l;
    l.setColour(Color{0.1f, 0.2f, 0.3f, 1});
    glDisable(GL_LIGHT6);
    Light before;
    before.setColour(Color{0.7f, 0.7f, 0.7f, 1});
    before.apply(7);
    for (int index : {8, -1, 100})
        l.apply(index);
    EXPECT_TRUE(near4(light(GL_LIGHT7, GL_DIFFUSE), 0.7f, 0.7f, 0.7f, 1));
    EXPECT_FLOAT_EQ(Light::lastAppliedColour().red, 0.7f);
    EXPECT_FALSE(on(GL_LIGHT6));
}

TEST_F(LightFogGl, ALightWithTheViewStaysInTheWorld) {
    Viewer viewer;
    kessa::Matrix camera;
    camera.setRotation(90, Vector(0, 0, 1));  // looking along world -x
    camera.translate(Vector(10, 0, 0));
    viewer.setCameraMatrix(camera);
    Light l;
    l.setDirection(-1, 0, 0);  // towards the light: straight ahead of the camera
    l.applyWithView(viewer, 0);
    // Camera space (0, 1, 0), eye space (0, 0, -1).
    EXPECT_TRUE(near4(light(GL_LIGHT0, GL_POSITION), 0, 0, -1, 0));
    l.setKind(Light::positional);
    l.setPosition(10, 0, 5);  // the camera's own position, 5 up
    l.applyWithView(viewer, 0);
    EXPECT_TRUE(near4(light(GL_LIGHT0, GL_POSITION), 0, 5, 0, 1));
}

TEST_F(LightFogGl, TheLightModel) {
    LightModel custom, single;
    custom.setAmbient(Color{0.1f, 0.2f, 0.3f, 0.4f});
    custom.setLocalViewer(true);
    single.setSeparateSpecular(false);
    const struct {
        LightModel model;
        std::array<float, 4> ambient;
        GLint localViewer, colourControl;
    } rows[] = {{custom, {0.1f, 0.2f, 0.3f, 0.4f}, GL_TRUE, GL_SEPARATE_SPECULAR_COLOR},
                {single, {0, 0, 0, 1}, GL_FALSE, GL_SINGLE_COLOR},
                {LightModel(), {0, 0, 0, 1}, GL_FALSE, GL_SEPARATE_SPECULAR_COLOR}};
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        row.model.apply();
        const std::array<float, 4>& a = row.ambient;
        EXPECT_TRUE(near4(floats(GL_LIGHT_MODEL_AMBIENT), a[0], a[1], a[2], a[3]));
        EXPECT_EQ(integer(GL_LIGHT_MODEL_LOCAL_VIEWER), row.localViewer);
        EXPECT_EQ(integer(GL_LIGHT_MODEL_COLOR_CONTROL), row.colourControl);
    }
}

TEST_F(LightFogGl, EachFogModeSendsOnlyWhatItUses) {
    const struct {
        int mode;
        GLint glMode;
        float start, end, density;
    } rows[] = {{Fog::linear, GL_LINEAR, 5, 50, 0.125f},
                {Fog::exponential, GL_EXP, 100, 200, 0.25f},
                {Fog::squaredExponential, GL_EXP2, 100, 200, 0.5f}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        glFogf(GL_FOG_START, 3);
        glFogf(GL_FOG_END, 4);
        glFogf(GL_FOG_DENSITY, 0.75f);
        Fog fog;
        fog.mode = row.mode;
        fog.start = row.start;
        fog.end = row.end;
        fog.density = row.density;
        fog.colour = Color{0.25f, 0.5f, 0.75f, 0};
        fog.apply();
        const bool linear = row.mode == Fog::linear;
        EXPECT_TRUE(on(GL_FOG));
        EXPECT_EQ(integer(GL_FOG_MODE), row.glMode);
        EXPECT_FLOAT_EQ(floats(GL_FOG_START)[0], linear ? row.start : 3);
        EXPECT_FLOAT_EQ(floats(GL_FOG_END)[0], linear ? row.end : 4);
        EXPECT_FLOAT_EQ(floats(GL_FOG_DENSITY)[0], linear ? 0.75f : row.density);
        EXPECT_TRUE(near4(floats(GL_FOG_COLOR), 0.25f, 0.5f, 0.75f, 1));
    }
    // A fog as made is off.
    Fog().apply();
    EXPECT_FALSE(on(GL_FOG));
}

TEST_F(LightFogGl, WithFogSwitchedOffNothingChanges) {
    const float none[4] = {0, 0, 0, 0};
    glFogfv(GL_FOG_COLOR, none);
    glFogi(GL_FOG_MODE, GL_EXP);
    pellium::fogEnabled = false;
    for (int mode : {1, 2, 3, 0}) {
        Fog fog;
        fog.mode = mode;
        fog.colour = Color{1, 0, 0, 1};
        fog.apply();
        EXPECT_FALSE(on(GL_FOG));
        EXPECT_EQ(integer(GL_FOG_MODE), GL_EXP);
        EXPECT_TRUE(near4(floats(GL_FOG_COLOR), 0, 0, 0, 0));
    }
    pellium::fogEnabled = true;
    glEnable(GL_FOG);
    pellium::invalidateGLStateCache();
    pellium::fogEnabled = false;
    Fog off;
    off.apply();
    EXPECT_TRUE(on(GL_FOG));
}
