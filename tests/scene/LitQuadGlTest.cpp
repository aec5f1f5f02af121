// A lit, fogged quad in front of the camera reads back with the colour that
// the material, the light and the fog give it.
#include <gtest/gtest.h>

#include "gui/gl/GLdraw.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Material.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Fog;
using kessa::Light;
using kessa::LightModel;
using kessa::Material;
using kessa::Viewer;
using kessa_test::glSide;
using kessa_test::pixelNear;
using Color = pellium::Color;

namespace {

class LitQuad : public kessa_test::SceneGl {
protected:
    // A quad 10 units ahead filling the view, facing the camera.
    void drawQuad() {
        pellium::clearBuffers(Color{0, 0, 0, 1}, 3);
        pellium::disableGLState(10);
        const float normal[3] = {0, -1, 0};
        pellium::beginPrimitive(7);
        pellium::normal3fv(normal);
        pellium::vertex3f(-10, 10, -10);
        pellium::vertex3f(10, 10, -10);
        pellium::vertex3f(10, 10, 10);
        pellium::vertex3f(-10, 10, 10);
        pellium::endPrimitive();
    }
    std::uint32_t centre() { return pixels()[size_t(glSide / 2) * glSide + glSide / 2]; }

    void SetUp() override {
        kessa_test::SceneGl::SetUp();
        viewer.setWindowSize(info());
        LightModel().apply();
        // Straight from behind the camera: the quad faces it squarely.
        light.setDirection(0, -1, 0);
        light.setColour(Color{1, 0.5f, 1, 1});
        light.apply(0);
        for (int i = 1; i < 8; ++i)
            glDisable(GLenum(GL_LIGHT0 + i));
        material.setLighting(true);
        Material::beginFrame();
    }

    Viewer viewer;
    Light light;
    Material material{Color{0.5f, 0.25f, 1, 1}};
};

}  // namespace

TEST_F(LitQuad, LightGivesTheMaterialColourTimesTheLight) {
    material.apply();
    drawQuad();
    // Ambient 0.2 and diffuse 0.8 of the colour, each times the light.
    EXPECT_TRUE(pixelNear(centre(), 128, 32, 255, 2));
}

TEST_F(LitQuad, FogHalfWayMixesInTheFogColour) {
    material.apply();
    Fog fog;
    fog.mode = Fog::linear;
    fog.start = 0;
    fog.end = 20;
    fog.colour = Color{0, 1, 0, 0};
    fog.apply();
    drawQuad();
    // Half of (0.5, 0.125, 1) and half of the green fog.
    EXPECT_TRUE(pixelNear(centre(), 64, 143, 128, 3));
    pellium::fogEnabled = false;
    Fog none;
    none.apply();
    pellium::fogEnabled = true;
    drawQuad();
    EXPECT_TRUE(pixelNear(centre(), 64, 143, 128, 3)) << "the switched-off setting leaves fog alone";
    none.apply();
    drawQuad();
    EXPECT_TRUE(pixelNear(centre(), 128, 32, 255, 2));
}

TEST_F(LitQuad, EmissionAndAnUnlitSwitch) {
    material.setEmission(Color{0.25f, 0.5f, 0, 1});
    material.apply();
    drawQuad();
    EXPECT_TRUE(pixelNear(centre(), 191, 159, 255, 2));
    Material unlit(Color{0.2f, 0.4f, 0.6f, 1});
    unlit.apply();
    drawQuad();
    EXPECT_TRUE(pixelNear(centre(), 51, 102, 153, 1));
}
