// A lit, fogged quad in front of the camera reads back with the colour that
// the material, the light, the texture and the fog give it.
#include <gtest/gtest.h>

#include "gui/gl/Image.h"
#include "scene/render/Fog.h"
#include "scene/render/Light.h"
#include "scene/render/LightModel.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Fog;
using kessa::Light;
using kessa::Material;
using kessa_test::pixelNear;
using Color = pellium::Color;

namespace {

class LitQuad : public kessa_test::SceneGl {
protected:
    void SetUp() override {
        kessa_test::SceneGl::SetUp();
        viewer.setWindowSize(info());
        kessa::LightModel().apply();
        // Straight from behind the camera: the quad faces it squarely.
        light.setDirection(0, -1, 0);
        light.setColour(Color{1, 0.5f, 1, 1});
        light.apply(0);
        for (int i = 1; i < 8; ++i)
            glDisable(GLenum(GL_LIGHT0 + i));
        material.setLighting(true);
        Material::beginFrame();
    }
    // A quad 10 units ahead filling the view; the pixel in its middle.
    std::uint32_t drawQuad() {
        clear();
        pellium::disableGLState(10);
        kessa_test::drawQuad({10, -10, 10, -10, 10});
        return middle();
    }
    // Linear fog that reaches half-way at the quad.
    static void halfFog(const Color& c) {
        Fog fog;
        fog.mode = Fog::linear;
        fog.end = 20;
        fog.colour = c;
        fog.apply();
    }

    kessa::Viewer viewer;
    Light light;
    Material material{Color{0.5f, 0.25f, 1, 1}};
};

}  // namespace

TEST_F(LitQuad, LightGivesTheMaterialColourTimesTheLight) {
    material.apply();
    // Ambient 0.2 and diffuse 0.8 of the colour, each times the light.
    EXPECT_TRUE(pixelNear(drawQuad(), 128, 32, 255, 2));
}

TEST_F(LitQuad, FogHalfWayMixesInTheFogColour) {
    material.apply();
    halfFog(Color{0, 1, 0, 0});
    // Half of (0.5, 0.125, 1) and half of the green fog.
    EXPECT_TRUE(pixelNear(drawQuad(), 64, 143, 128, 3));
    Fog().apply();
    EXPECT_TRUE(pixelNear(drawQuad(), 128, 32, 255, 2));
}

TEST_F(LitQuad, EmissionAndAnUnlitSwitch) {
    material.setEmission(Color{0.25f, 0.5f, 0, 1});
    material.apply();
    EXPECT_TRUE(pixelNear(drawQuad(), 191, 159, 255, 2));
    Material unlit(Color{0.2f, 0.4f, 0.6f, 1});
    unlit.apply();
    EXPECT_TRUE(pixelNear(drawQuad(), 51, 102, 153, 1));
}

TEST_F(LitQuad, ATexturedQuadUnderWhiteLight) {
    // A texel of (0.5, 1, 0.5) on a lit material of colour (1, 0.5, 0.25),
    // with linear fog half-way to blue.
    pellium::Image image(4, 4);
    image.fill(0xFF80FF80);
    orvel::counted_ptr<kessa::Texture> texture(new kessa::Texture);
    texture->setImage(image);
    texture->setMipmapped(false);
    Material m(Color{1, 0.5f, 0.25f, 1});
    m.setLighting(true);
    m.setTexture(texture, 0);
    light.setColour(Color{1, 1, 1, 1});
    light.apply(0);
    pellium::setTexEnv(1);
    m.apply();
    halfFog(Color{0, 0, 1, 1});
    // Lit (1, 0.5, 0.25), textured to (0.5, 0.5, 0.125), fogged half-way to blue.
    EXPECT_TRUE(pixelNear(drawQuad(), 64, 64, 143, 4));
}
