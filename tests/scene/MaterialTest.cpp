// Materials as data: defaults, clamps, sharing through the set, the default
// material, the material slot record and the stream form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneStreams.h"

using kessa::Material;
using kessa::MaterialRef;
using kessa::Texture;
using orvel::counted_ptr;
using Color = pellium::Color;

namespace {

::testing::AssertionResult colourIs(const Color& c, float r, float g, float b, float a) {
    if (c.red == r && c.green == g && c.blue == b && c.alpha == a)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha
                                         << ")";
}

counted_ptr<Texture> texture(const char* file) {
    counted_ptr<Texture> t(new Texture);
    t->setFile(orvel::FilePath(file));
    return t;
}

}  // namespace

// Bright colours are clamped in the lit colours, not in the plain one.
TEST(MaterialTest, ColourGivesTheDefaults) {
    Material m(Color{1, 0.5f, 0.25f, 0.5f});
    EXPECT_EQ(m.name(), "Material");
    EXPECT_TRUE(colourIs(m.colour(), 1, 0.5f, 0.25f, 1));
    EXPECT_TRUE(colourIs(m.ambient(), 0.2f, 0.1f, 0.05f, 1));
    EXPECT_TRUE(colourIs(m.diffuse(), 0.8f, 0.4f, 0.2f, 1));
    EXPECT_TRUE(colourIs(m.specular(), 0, 0, 0, 1));
    EXPECT_TRUE(colourIs(m.emission(), 0, 0, 0, 1));
    EXPECT_EQ(m.shininess(), 0.5f);
    EXPECT_EQ(m.alpha(), 1);
    EXPECT_EQ(m.float224(), 0);
    EXPECT_FALSE(m.lighting());
    EXPECT_TRUE(m.vertexColours());
    EXPECT_FALSE(m.vertexNormals());
    EXPECT_TRUE(m.smoothShading());
    EXPECT_FALSE(m.sphereMap());
    EXPECT_FALSE(m.colourMaterial());
    EXPECT_FALSE(m.texture(0));
    EXPECT_FALSE(m.usesTexCoords(1));
    EXPECT_FALSE(m.shared());
    Material bright(Color{2, -1, 1, 1});
    EXPECT_TRUE(colourIs(bright.colour(), 2, -1, 1, 1));
    EXPECT_TRUE(colourIs(bright.ambient(), 0.4f, 0, 0.2f, 1));
    EXPECT_TRUE(colourIs(bright.diffuse(), 1, 0, 0.8f, 1));
}

TEST(MaterialTest, LightingSwitchesThePerVertexData) {
    Material m(Color{1, 1, 1, 1});
    m.setLighting(true);
    EXPECT_TRUE(m.lighting());
    EXPECT_TRUE(m.vertexNormals());
    EXPECT_FALSE(m.vertexColours());
    m.setLighting(false);
    EXPECT_FALSE(m.vertexNormals());
    EXPECT_TRUE(m.vertexColours());
}

TEST(MaterialTest, SettersClamp) {
    Material m(Color{1, 1, 1, 1});
    m.changed = false;
    m.setDiffuse(Color{1.5f, -0.2f, 0.5f, 2.0f});
    EXPECT_TRUE(colourIs(m.diffuse(), 1, 0, 0.5f, 2));
    EXPECT_TRUE(m.changed);
    m.setAmbient(Color{-1, 0.3f, 7, -4});
    EXPECT_TRUE(colourIs(m.ambient(), 0, 0.3f, 1, -4));
    m.setSpecular(Color{0.1f, 2, 0.2f, 0.5f});
    EXPECT_TRUE(colourIs(m.specular(), 0.1f, 1, 0.2f, 0.5f));
    m.setEmission(Color{3, 3, -3, 3});
    EXPECT_TRUE(colourIs(m.emission(), 1, 1, 0, 3));
    m.setShininess(1.5f);
    EXPECT_EQ(m.shininess(), 1);
    m.setShininess(-0.5f);
    EXPECT_EQ(m.shininess(), 0);
    m.setFloat224(0.25f);
    EXPECT_EQ(m.float224(), 0.25f);
    m.setFloat224(9);
    EXPECT_EQ(m.float224(), 1);
    m.setColour(Color{5, 6, 7, 8});
    EXPECT_TRUE(colourIs(m.colour(), 5, 6, 7, 8));
}

TEST(MaterialTest, AlphaGoesIntoEveryColour) {
    Material m(Color{1, 1, 1, 1});
    m.setDiffuse(Color{1, 1, 1, 0.3f});
    m.setAlpha(1.7f);
    EXPECT_EQ(m.alpha(), 1);
    for (const Color* c : {&m.colour(), &m.ambient(), &m.diffuse(), &m.specular(), &m.emission()})
        EXPECT_EQ(c->alpha, 1);
    m.setAlpha(-2);
    EXPECT_EQ(m.alpha(), 0);
    EXPECT_EQ(m.emission().alpha, 0);
    m.setAlpha(0.25f);
    EXPECT_EQ(m.colour().alpha, 0.25f);
}

TEST(MaterialTest, TextureCoordinatesAreUsedUnlessSphereMapped) {
    Material m(Color{1, 1, 1, 1});
    counted_ptr<Texture> t = texture("stone.gif");
    m.setTexture(t, 1);
    EXPECT_EQ(m.texture(1), t);
    EXPECT_TRUE(m.usesTexCoords(1));
    m.setSphereMap(true);
    m.setTexture(t, 0);
    EXPECT_FALSE(m.usesTexCoords(0));
    m.setSphereMap(false);
    m.setTexture(nullptr, 1);
    EXPECT_FALSE(m.usesTexCoords(1));
    m.setTexture(t, 2);
    m.setTexture(t, -1);
    EXPECT_FALSE(m.texture(1));
}

TEST(MaterialTest, CopiesTakeEveryFieldAndAreNotShared) {
    Material a(Color{0.3f, 0.6f, 0.9f, 1});
    a.setName("a");
    a.setLighting(true);
    a.setTexture(texture("x.gif"), 1);
    a.setShininess(0.7f);
    a.setSmoothShading(false);
    a.setColourMaterial(true);
    a.changed = false;
    Material b(a);
    EXPECT_EQ(Material::compare(a, b), 0);
    EXPECT_EQ(b.name(), "a");
    EXPECT_TRUE(b.lighting());
    EXPECT_EQ(b.texture(1), a.texture(1));
    EXPECT_TRUE(b.changed);
    Material c(Color{0, 0, 0, 1});
    c.changed = false;
    c = a;
    EXPECT_EQ(Material::compare(a, c), 0);
    EXPECT_EQ(c.name(), "a");
    EXPECT_TRUE(c.changed);

    Material d(*Material::share(a));
    EXPECT_FALSE(d.shared());
    LogCapture log;
    d.setName("d");
    EXPECT_EQ(d.name(), "d");
    EXPECT_EQ(log.text(), "");
}

// And, for a lit material, the plain colour, which it never draws with.
TEST(MaterialTest, OrderIgnoresTheNameAndOtherAlphas) {
    Material a(Color{0.5f, 0.5f, 0.5f, 1});
    a.setLighting(true);
    Material b(a);
    b.setName("other");
    b.setColour(Color{0, 1, 0, 1});
    b.setAmbient(Color{0.1f, 0.1f, 0.1f, 0.5f});
    b.setAmbient(Color{a.ambient().red, a.ambient().green, a.ambient().blue, 0.25f});
    EXPECT_EQ(Material::compare(a, b), 0);

    Material c(a);
    c.setDiffuse(Color{0.4f, 0.4f, 0.41f, 1});
    EXPECT_NE(Material::compare(a, c), 0);
    EXPECT_EQ(Material::compare(a, c), -Material::compare(c, a));
    Material d(a);
    d.setDiffuse(Color{a.diffuse().red, a.diffuse().green, a.diffuse().blue, 0.5f});
    EXPECT_NE(Material::compare(a, d), 0);
    Material e(a);
    e.setFloat224(0.5f);
    EXPECT_NE(Material::compare(a, e), 0);
    Material f(a);
    f.setSmoothShading(false);
    EXPECT_NE(Material::compare(a, f), 0);
    // Textures compare by identity.
    Material g(a), h(a);
    g.setTexture(texture("same.gif"), 0);
    h.setTexture(texture("same.gif"), 0);
    EXPECT_NE(Material::compare(g, h), 0);
    h.setTexture(g.texture(0), 0);
    EXPECT_EQ(Material::compare(g, h), 0);
}

TEST(MaterialTest, EqualMaterialsShareOneSetMember) {
    Material a(Color{0.11f, 0.22f, 0.33f, 1});
    a.setLighting(true);
    int before = Material::sharedCount();
    counted_ptr<Material> first = Material::share(a);
    EXPECT_EQ(Material::sharedCount(), before + 1);
    EXPECT_TRUE(first->shared());
    EXPECT_NE(first.get(), &a);

    // A lit material never draws with its plain colour.
    Material onlyPlainColourDiffers(a);
    onlyPlainColourDiffers.setColour(Color{1, 0, 0, 1});
    EXPECT_EQ(Material::share(onlyPlainColourDiffers), first);
    EXPECT_EQ(Material::share(*first), first);
    EXPECT_EQ(Material::sharedCount(), before + 1);

    Material other(a);
    other.setShininess(0.9f);
    counted_ptr<Material> second = Material::share(other);
    EXPECT_NE(second, first);
    EXPECT_EQ(Material::sharedCount(), before + 2);

    // Unlit, the plain colour is what is drawn.
    Material unlit(a), otherColour(a);
    unlit.setLighting(false);
    otherColour.setLighting(false);
    otherColour.setColour(Color{1, 0, 0, 1});
    counted_ptr<Material> third = Material::share(unlit);
    EXPECT_NE(third, first);
    EXPECT_NE(Material::share(otherColour), third);
    EXPECT_EQ(Material::sharedCount(), before + 4);
}

TEST(MaterialTest, AValueThatIsNoNumberIsSharedOnlyWithItsLike) {
    // A stream may give any bits; a NaN must not make the set's order
    // call materials of other values equal.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Material low(Color{0.3f, 0.3f, 0.3f, 1}), none(low), high(low);
    low.setDiffuse(Color{0.3f, 0.3f, 0.3f, 0.25f});
    none.setDiffuse(Color{0.3f, 0.3f, 0.3f, nan});
    high.setDiffuse(Color{0.3f, 0.3f, 0.3f, 0.75f});
    counted_ptr<Material> l = Material::share(low), h = Material::share(high);
    counted_ptr<Material> n = Material::share(none);
    EXPECT_NE(n, l);
    EXPECT_NE(n, h);
    EXPECT_TRUE(std::isnan(n->diffuse().alpha));
    EXPECT_EQ(Material::share(none), n);
    EXPECT_EQ(Material::share(low), l);
    EXPECT_EQ(Material::share(high), h);
}

TEST(MaterialTest, SharedMaterialsRefuseChanges) {
    counted_ptr<Material> member = Material::share(Material(Color{0.7f, 0.1f, 0.1f, 1}));
    member->changed = false;
    LogCapture log;
    member->setDiffuse(Color{0, 0, 0, 1});
    member->setLighting(true);
    member->setTexture(texture("t.gif"), 0);
    *member = Material(Color{0, 0, 0, 1});
    EXPECT_EQ(log.text(),
              "Error - tried to change a shared Material!\n"
              "Error - tried to change a shared Material!\n"
              "Error - tried to change a shared Material!\n"
              "Error - tried to change a shared Material!\n");
    EXPECT_TRUE(colourIs(member->diffuse(), 0.7f * 0.8f, 0.1f * 0.8f, 0.1f * 0.8f, 1));
    EXPECT_FALSE(member->lighting());
    EXPECT_FALSE(member->texture(0));
    EXPECT_FALSE(member->changed);
    // Still found where it was put.
    EXPECT_EQ(Material::share(Material(Color{0.7f, 0.1f, 0.1f, 1})), member);
}

TEST(MaterialTest, TheDefaultMaterial) {
    const counted_ptr<Material>& d = Material::getDefault();
    EXPECT_EQ(d.get(), Material::getDefault().get());
    EXPECT_EQ(d->name(), "Default");
    EXPECT_TRUE(d->shared());
    EXPECT_TRUE(colourIs(d->colour(), 1, 1, 1, 1));
    EXPECT_TRUE(colourIs(d->diffuse(), 0.8f, 0.8f, 0.8f, 1));
    LogCapture log;
    d->setName("changed");
    EXPECT_EQ(d->name(), "Default");
    EXPECT_EQ(log.text(), "Error - tried to change a shared Material!\n");
}

TEST(MaterialTest, TheSlotRecordHoldsTheDefaultInsteadOfNull) {
    MaterialRef r;
    EXPECT_EQ(r.material(), Material::getDefault());
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.second, 0);
    counted_ptr<Material> m(new Material(Color{1, 0, 0, 1}));
    r.setMaterial(m);
    EXPECT_EQ(r->name(), "Material");
    EXPECT_EQ(r.material(), m);
    r.setMaterial(nullptr);
    EXPECT_EQ(r.material(), Material::getDefault());
    MaterialRef n(nullptr, 0, 1);
    EXPECT_EQ(n.material(), Material::getDefault());

    MaterialRef a(m), b(m);
    EXPECT_EQ(a, b);
    b.second = 1;
    EXPECT_NE(a, b);
    b.second = 0;
    b.first = 0;
    EXPECT_NE(a, b);
    MaterialRef c(counted_ptr<Material>(new Material(Color{1, 0, 0, 1})));
    EXPECT_NE(a, c);
}

TEST(MaterialTest, StreamFormRoundTrips) {
    Material m(Color{0.1f, 0.2f, 0.3f, 1});
    m.setName("brass");
    m.setLighting(true);
    m.setAmbient(Color{0.3f, 0.2f, 0.1f, 1});
    m.setDiffuse(Color{0.9f, 0.7f, 0.2f, 1});
    m.setSpecular(Color{1, 1, 0.8f, 1});
    m.setEmission(Color{0.05f, 0, 0, 1});
    m.setShininess(0.8f);
    m.setFloat224(0.125f);
    m.setAlpha(0.75f);
    m.setColour(Color{0.4f, 0.5f, 0.6f, 0.7f});
    m.setSmoothShading(false);
    m.setColourMaterial(true);
    m.setSphereMap(true);
    counted_ptr<Texture> t = texture("brass.gif");
    m.setTexture(t, 0);
    m.setSphereMap(false);
    m.setTexture(t, 1);
    m.setVertexColours(true);

    counted_ptr<Material> back = kessa_test::roundTrip<Material>(&m);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name(), "brass");
    EXPECT_TRUE(back->changed);
    EXPECT_TRUE(colourIs(back->ambient(), 0.3f, 0.2f, 0.1f, 0.75f));
    EXPECT_TRUE(colourIs(back->diffuse(), 0.9f, 0.7f, 0.2f, 0.75f));
    EXPECT_TRUE(colourIs(back->specular(), 1, 1, 0.8f, 0.75f));
    EXPECT_TRUE(colourIs(back->emission(), 0.05f, 0, 0, 0.75f));
    EXPECT_TRUE(colourIs(back->colour(), 0.4f, 0.5f, 0.6f, 0.7f));
    EXPECT_EQ(back->shininess(), 0.8f);
    EXPECT_EQ(back->float224(), 0.125f);
    EXPECT_EQ(back->alpha(), 0.75f);
    EXPECT_TRUE(back->lighting());
    EXPECT_TRUE(back->vertexNormals());
    EXPECT_TRUE(back->vertexColours());
    EXPECT_FALSE(back->smoothShading());
    EXPECT_TRUE(back->colourMaterial());
    EXPECT_FALSE(back->sphereMap());
    EXPECT_FALSE(back->usesTexCoords(0));
    EXPECT_TRUE(back->usesTexCoords(1));
    ASSERT_TRUE(back->texture(0));
    // One texture object behind both slots, as written.
    EXPECT_EQ(back->texture(0), back->texture(1));
    EXPECT_EQ(back->texture(0)->file(), t->file());
    EXPECT_FALSE(back->shared());
}

TEST(MaterialTest, ReadingSkipsTheOldWordAndUnknownTags) {
    using kessa_test::Bytes101;
    Bytes101 body = kessa_test::body();
    body.byte(2).u32(0xDEADBEEF);  // an old word, read and dropped
    body.byte(1).string("old");
    body.byte(99);                 // unknown: passed over, no payload
    body.byte(14).raw({0, 0, 0x80, 0x3E});  // shininess 0.25
    body.byte(34).byte(1);
    body.byte(0);
    Bytes101 s;
    s.declare(1, "zanthorium::kessa::Material").object(1, 1, body).end();
    LogCapture log;
    counted_ptr<Material> m = kessa_test::readScene(s.bytes).cast<Material>();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->name(), "old");
    EXPECT_EQ(m->shininess(), 0.25f);
    EXPECT_TRUE(m->lighting());
    // What the stream does not name keeps the white material's values.
    EXPECT_TRUE(colourIs(m->diffuse(), 0.8f, 0.8f, 0.8f, 1));
}

TEST(MaterialTest, ATruncatedBodyKeepsWhatWasReadWhole) {
    Material m(Color{0.5f, 0.5f, 0.5f, 1});
    m.setName("cut");
    LogCapture log;
    kessa_test::forEachCut(kessa_test::writeScene(&m), [](const kessa_test::Bytes& part) {
        counted_ptr<orvel::Streamable> back = kessa_test::readScene(part);
        if (back) {
            EXPECT_TRUE(back.cast<Material>());
        }
    });
}

TEST(MaterialTest, MutatedStreamsAreReadWithoutHarm) {
    Material m(Color{0.3f, 0.6f, 0.9f, 1});
    m.setName("fuzz");
    m.setLighting(true);
    counted_ptr<Texture> t0 = texture("a.gif"), t1 = texture("b.gif");
    t1->setScale(0.5f, 0.5f);
    t1->setBorder(true, 0x12345678);
    m.setTexture(t0, 0);
    m.setTexture(t1, 1);
    const kessa_test::Bytes original = kessa_test::writeScene(&m);
    std::mt19937 random(20260607);
    LogCapture log;
    int materials = 0;
    for (int round = 0; round < 4000; ++round) {
        kessa_test::Bytes bytes = original;
        kessa_test::mutateStream(bytes, random, 18);  // past the header
        counted_ptr<orvel::Streamable> back = kessa_test::readScene(bytes);
        if (counted_ptr<Material> read = back.cast<Material>()) {
            ++materials;
            // Whatever was read is a usable material.
            Material copy(*read);
            EXPECT_EQ(Material::compare(copy, *read), 0);
        }
    }
    EXPECT_GT(materials, 100);
}
