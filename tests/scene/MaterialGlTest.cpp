// Materials applied to GL: full and incremental application read back from
// GL, and the cache that keeps an equal material from reaching GL at all.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "scene/render/Light.h"
#include "scene/render/Material.h"
#include "tests/scene/SceneGlSupport.h"

using kessa::Light;
using kessa::Material;
using kessa_test::near4;
using Color = pellium::Color;

namespace {

class MaterialGl : public kessa_test::SceneGl {
protected:
    // What a material decides in GL, as far as it matters for the material:
    // the lit colours only while lit without colour material, the current
    // colour only while unlit.
    std::vector<float> state(const Material& m) {
        std::vector<float> s = {float(on(GL_LIGHTING)),          float(on(GL_COLOR_MATERIAL)),
                                float(integer(GL_SHADE_MODEL)),  float(on(GL_TEXTURE_GEN_S)),
                                float(on(GL_TEXTURE_GEN_T))};
        auto add = [&s](const std::array<float, 4>& v) { s.insert(s.end(), v.begin(), v.end()); };
        add(light(GL_LIGHT0, GL_DIFFUSE));
        if (m.colourMaterial()) {
            s.push_back(float(integer(GL_COLOR_MATERIAL_PARAMETER)));
            s.push_back(float(integer(GL_COLOR_MATERIAL_FACE)));
            add(material(GL_SPECULAR));
            add(material(GL_EMISSION));
        } else if (m.lighting()) {
            for (GLenum name : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION})
                add(material(name));
            s.push_back(material(GL_SHININESS)[0]);
        } else {
            add(floats(GL_CURRENT_COLOR));
        }
        if (m.sphereMap()) {
            GLint mode[2] = {};
            glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode[0]);
            glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode[1]);
            s.push_back(float(mode[0]));
            s.push_back(float(mode[1]));
        }
        return s;
    }

    // GL as a frame finds it: the default state, a light applied, a colour.
    void freshGL() {
        pellium::resetGLState();
        Material::forgetAppliedState();
        Light l;
        l.setColour(Color{0.9f, 0.8f, 0.7f, 1});
        l.apply(0);
        glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
    }
};

// Materials that differ in every switch the cache keeps.
std::vector<Material> palette() {
    auto make = [](const Color& c, bool lit, const std::function<void(Material&)>& more) {
        Material m(c);
        m.setLighting(lit);
        if (more)
            more(m);
        return m;
    };
    return {make({1, 0.5f, 0.25f, 0.5f}, true,
                 [](Material& m) {
                     m.setSpecular(Color{0.5f, 0.5f, 0.5f, 1});
                     m.setShininess(0.25f);
                 }),
            make({0.2f, 0.4f, 0.6f, 1}, true,
                 [](Material& m) {
                     m.setEmission(Color{0.1f, 0, 0, 1});
                     m.setSmoothShading(false);
                 }),
            make({0.25f, 0.5f, 0.75f, 1}, false, nullptr),
            make({0, 0, 0, 0}, false, [](Material& m) { m.setAlpha(0); }),
            make({1, 1, 1, 1}, true, [](Material& m) { m.setColourMaterial(true); }),
            make({0.8f, 0.8f, 0.9f, 1}, true, [](Material& m) { m.setSphereMap(true); }),
            make({1, 0, 0, 1}, false, [](Material& m) {
                m.setSmoothShading(false);
                m.setSphereMap(true);
            })};
}

}  // namespace

TEST_F(MaterialGl, FullApplyOfALitMaterial) {
    Material m(Color{1, 0.5f, 0.25f, 0.5f});
    m.setLighting(true);
    m.apply();
    EXPECT_TRUE(on(GL_LIGHTING));
    EXPECT_FALSE(on(GL_COLOR_MATERIAL));
    EXPECT_TRUE(near4(material(GL_AMBIENT), 0.2f, 0.1f, 0.05f, 1));
    EXPECT_TRUE(near4(material(GL_DIFFUSE), 0.8f, 0.4f, 0.2f, 1));
    EXPECT_TRUE(near4(material(GL_SPECULAR), 0, 0, 0, 1));
    EXPECT_TRUE(near4(material(GL_EMISSION), 0, 0, 0, 1));
    EXPECT_FLOAT_EQ(material(GL_SHININESS)[0], 64);
    std::array<float, 4> back{};
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, back.data());
    EXPECT_TRUE(near4(back, 0.8f, 0.4f, 0.2f, 1));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_FALSE(on(GL_TEXTURE_GEN_S));
}

TEST_F(MaterialGl, FullApplyOfAnUnlitMaterialSetsThePackedColour) {
    Material m(Color{0.5f, 0.25f, 1, 1});
    m.setSmoothShading(false);
    glEnable(GL_LIGHTING);
    m.apply();
    EXPECT_FALSE(on(GL_LIGHTING));
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 127 / 255.0f, 63 / 255.0f, 1, 1));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
}

TEST_F(MaterialGl, TransparentBlackIsDrawnWhiteOnBothPaths) {
    Material clear(Color{0, 0, 0, 0});
    clear.setAlpha(0);
    clear.apply();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 1, 1, 1, 1));
    Material::beginFrame();
    Material red(Color{1, 0, 0, 1});
    red.apply();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 1, 0, 0, 1));
    clear.apply();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 1, 1, 1, 1));
}

TEST_F(MaterialGl, ColourMaterialTracksTheColourWithBlackSpecularAndLight) {
    Material m(Color{1, 1, 1, 1});
    m.setColourMaterial(true);
    m.apply();
    EXPECT_TRUE(on(GL_COLOR_MATERIAL));
    EXPECT_TRUE(on(GL_LIGHTING));
    EXPECT_EQ(integer(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
    EXPECT_EQ(integer(GL_COLOR_MATERIAL_FACE), GL_FRONT_AND_BACK);
    EXPECT_TRUE(near4(light(GL_LIGHT0, GL_DIFFUSE), 0, 0, 0, 0));
    EXPECT_TRUE(near4(material(GL_SPECULAR), 0, 0, 0, 0));
    EXPECT_TRUE(near4(material(GL_EMISSION), 0, 0, 0, 0));
    glColor4f(0.5f, 0.25f, 0.125f, 1);
    EXPECT_TRUE(near4(material(GL_DIFFUSE), 0.5f, 0.25f, 0.125f, 1));
}

TEST_F(MaterialGl, LeavingColourMaterialGivesLightZeroItsColourBack) {
    Light l;
    l.setColour(Color{0.6f, 0.5f, 0.4f, 0.1f});
    l.apply(0);
    Material::beginFrame();
    Material tracking(Color{1, 1, 1, 1});
    tracking.setColourMaterial(true);
    tracking.apply();
    EXPECT_TRUE(near4(light(GL_LIGHT0, GL_DIFFUSE), 0, 0, 0, 0));
    Material lit(Color{1, 1, 1, 1});
    lit.setLighting(true);
    lit.apply();
    EXPECT_FALSE(on(GL_COLOR_MATERIAL));
    EXPECT_TRUE(near4(light(GL_LIGHT0, GL_DIFFUSE), 0.6f, 0.5f, 0.4f, 1));
    // The lit colours that colour material overwrote are sent again.
    EXPECT_TRUE(near4(material(GL_DIFFUSE), 0.8f, 0.8f, 0.8f, 1));
}

TEST_F(MaterialGl, IncrementalApplyEndsWhereAFullApplyDoes) {
    std::vector<Material> list = palette();
    for (const Material& from : list)
        for (const Material& to : list) {
            freshGL();
            Material::beginFrame();
            from.apply();
            to.apply();
            std::vector<float> incremental = state(to);
            freshGL();
            to.apply();
            std::vector<float> full = state(to);
            EXPECT_EQ(incremental, full) << "from " << &from - list.data() << " to " << &to - list.data();
        }
}

TEST_F(MaterialGl, AnEqualMaterialMakesNoGLCall) {
    Material m(Color{0.5f, 0.5f, 0.5f, 1});
    m.setLighting(true);
    orvel::counted_ptr<Material> shared = Material::share(m);
    Material::beginFrame();
    shared->apply();
    // Behind the cache's back: nothing an equal material sends would survive this.
    glDisable(GL_LIGHTING);
    const float odd[4] = {0.1f, 0.9f, 0.1f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, odd);
    glShadeModel(GL_FLAT);
    shared->apply();
    Material equal(m);
    equal.apply();
    EXPECT_FALSE(on(GL_LIGHTING));
    EXPECT_TRUE(near4(material(GL_DIFFUSE), 0.1f, 0.9f, 0.1f, 1));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    // A material with other colours sends them.
    Material other(m);
    other.setDiffuse(Color{0.3f, 0.3f, 0.3f, 1});
    other.apply();
    EXPECT_TRUE(near4(material(GL_DIFFUSE), 0.3f, 0.3f, 0.3f, 1));
    // Until the applied state is forgotten, which makes the next apply full.
    Material::forgetAppliedState();
    shared->apply();
    EXPECT_TRUE(on(GL_LIGHTING));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
}

TEST_F(MaterialGl, BeginFrameAppliesTheDefaultOnlyWhenTheStateIsUnknown) {
    glEnable(GL_LIGHTING);
    Material::beginFrame();
    EXPECT_FALSE(on(GL_LIGHTING));
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 1, 1, 1, 1));
    glColor4f(0, 0, 1, 1);
    Material::beginFrame();
    EXPECT_TRUE(near4(floats(GL_CURRENT_COLOR), 0, 0, 1, 1));
}

TEST_F(MaterialGl, WithoutBeginFrameEveryApplyIsFull) {
    Material m(Color{1, 0, 0, 1});
    m.setSmoothShading(false);
    m.apply();
    glShadeModel(GL_SMOOTH);
    pellium::invalidateGLStateCache();
    m.apply();
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
}

TEST_F(MaterialGl, AResetOfGLStateMakesTheNextApplyFull) {
    // A context bound anew resets GL through the GL layer; the materials must
    // not trust what they recorded before it.
    Material m(Color{0.5f, 0.5f, 0.5f, 1});
    m.setLighting(true);
    m.setSmoothShading(false);
    Material::beginFrame();
    m.apply();
    pellium::resetGLState();
    EXPECT_FALSE(on(GL_LIGHTING));
    m.apply();
    EXPECT_TRUE(on(GL_LIGHTING));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    const Color& d = m.diffuse();
    EXPECT_TRUE(near4(material(GL_DIFFUSE), d.red, d.green, d.blue, d.alpha));
    // The same frame goes on incrementally afterwards.
    glShadeModel(GL_SMOOTH);
    m.apply();
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
}
