// Materials and scene textures as data: defaults, clamps, copies, the
// shared sets and their order, locking, cache keys and the stream contract,
// each compared as one line of text.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "scene/render/TextureInternals.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Material;
using kessa::Texture;
using orvel::counted_ptr;
using Color = pellium::Color;

namespace {

std::string number(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

std::string colour(const Color& c) { return number(c.red) + "," + number(c.green) + "," + number(c.blue) + "," + number(c.alpha); }

// Every field: name, colours, shininess, alpha, float 224, then L(ighting),
// C(olours), N(ormals), S(mooth), K (colour material), M (sphere map),
// the textures' files with u where texture coordinates are used, and
// "shared".
std::string text(const Material& m) {
    std::string s = std::string(m.name().c_str()) + " c=" + colour(m.colour()) + " a=" + colour(m.ambient()) + " d=" + colour(m.diffuse()) +
                    " s=" + colour(m.specular()) + " e=" + colour(m.emission()) + " sh=" + number(m.shininess()) + " al=" +
                    number(m.alpha()) + " f=" + number(m.float224()) + " ";
    const bool flags[] = {m.lighting(), m.vertexColours(), m.vertexNormals(), m.smoothShading(), m.colourMaterial(), m.sphereMap()};
    for (int i = 0; i < 6; ++i)
        s += flags[i] ? "LCNSKM"[i] : '-';
    for (int slot = 0; slot < 2; ++slot)
        s += std::string(" ") + (m.texture(slot) ? m.texture(slot)->file().str().c_str() : "-") + (m.usesTexCoords(slot) ? "u" : "");
    return s + (m.shared() ? " shared" : "");
}

std::string text(const Texture& t) {
    return std::string(t.name().c_str()) + " " + t.file().str().c_str() + (t.locked() ? " locked" : "") + " " +
           std::to_string(t.optionA()) + std::to_string(t.optionB()) + std::to_string(t.optionC()) + std::to_string(t.optionD()) +
           (t.clampS() ? "S" : "-") + (t.clampT() ? "T" : "-") + std::to_string(t.sequence()) + " " + number(t.cycleTime()) + " " +
           number(t.scaleU()) + "x" + number(t.scaleV()) + (t.mipmapped() ? " mip" : "") + (t.border() ? " border " + std::to_string(t.borderColour()) : "");
}

std::string describe(orvel::Streamable* o) {
    if (auto* m = dynamic_cast<Material*>(o))
        return text(*m);
    return o ? text(*dynamic_cast<Texture*>(o)) : "null";
}

counted_ptr<Texture> texture(const char* file) {
    counted_ptr<Texture> t(new Texture);
    t->setFile(orvel::FilePath(file));
    return t;
}

Texture fileTexture(const char* file) {
    Texture t;
    t.setFile(orvel::FilePath(file));
    return t;
}

// Bright colours are clamped in the lit colours, not in the plain one;
// lighting switches the per-vertex data; setters clamp; alpha goes into
// every colour; sphere mapping uses no texture coordinates; copies take
// every field and are not shared.
TEST(MaterialTest, DefaultsClampsAndCopies) {
    EXPECT_EQ(text(Material(Color{1, 0.5f, 0.25f, 0.5f})),
              "Material c=1,0.5,0.25,1 a=0.2,0.1,0.05,1 d=0.8,0.4,0.2,1 s=0,0,0,1 e=0,0,0,1 sh=0.5 al=1 f=0 -C-S-- - -");
    EXPECT_EQ(text(Material(Color{2, -1, 1, 1})),
              "Material c=2,-1,1,1 a=0.4,0,0.2,1 d=1,0,0.8,1 s=0,0,0,1 e=0,0,0,1 sh=0.5 al=1 f=0 -C-S-- - -");
    Material m(Color{1, 1, 1, 1});
    m.setLighting(true);
    m.changed = false;
    m.setDiffuse(Color{1.5f, -0.2f, 0.5f, 2.0f});
    m.setAmbient(Color{-1, 0.3f, 7, -4});
    m.setSpecular(Color{0.1f, 2, 0.2f, 0.5f});
    m.setEmission(Color{3, 3, -3, 3});
    m.setShininess(1.5f);
    m.setFloat224(9);
    EXPECT_TRUE(m.changed);
    EXPECT_EQ(text(m), "Material c=1,1,1,1 a=0,0.3,1,-4 d=1,0,0.5,2 s=0.1,1,0.2,0.5 e=1,1,0,3 sh=1 al=1 f=1 L-NS-- - -");
    m.setShininess(-0.5f);
    m.setFloat224(0.25f);
    m.setAlpha(-2);
    m.setLighting(false);
    m.setTexture(texture("stone.gif"), 1);
    m.setTexture(texture("stone.gif"), 2);
    m.setTexture(texture("other.gif"), -1);
    EXPECT_EQ(text(m), "Material c=1,1,1,0 a=0,0.3,1,0 d=1,0,0.5,0 s=0.1,1,0.2,0 e=1,1,0,0 sh=0 al=0 f=0.25 -C-S-- - stone.gifu");
    m.setSphereMap(true);
    m.setTexture(texture("sea.gif"), 0);
    m.setSphereMap(false);
    m.setTexture(nullptr, 1);
    m.setAlpha(1.7f);
    m.setColour(Color{5, 6, 7, 8});
    EXPECT_EQ(text(m), "Material c=5,6,7,8 a=0,0.3,1,1 d=1,0,0.5,1 s=0.1,1,0.2,1 e=1,1,0,1 sh=0 al=1 f=0.25 -C-S-- sea.gif -");
    m.setName("a");
    m.setColourMaterial(true);
    m.setSmoothShading(false);
    m.changed = false;
    Material b(m), c(Color{0, 0, 0, 1}), d(*Material::share(m));
    c = m;
    EXPECT_TRUE(text(b) == text(m) && text(c) == text(m) && b.changed && c.changed && Material::compare(m, b) == 0);
    LogCapture log;
    d.setName("d");
    EXPECT_TRUE(!d.shared() && d.name() == "d" && log.text().empty());
}

// The order ignores the name and other alphas, and for a lit material the
// plain colour, which it never draws with; textures compare by identity.
// Equal materials share one member of the set; lit and unlit ones never do,
// nor unlit ones of other plain colours; a NaN is shared only with its like;
// members refuse changes.
TEST(MaterialTest, TheSharedSetAndItsOrder) {
    Material a(Color{0.5f, 0.5f, 0.5f, 1});
    a.setLighting(true);
    Material same(a), apart[6] = {a, a, a, a, a, a};
    same.setName("other");
    same.setColour(Color{0, 1, 0, 1});
    same.setAmbient(Color{a.ambient().red, a.ambient().green, a.ambient().blue, 0.25f});
    EXPECT_EQ(Material::compare(a, same), 0);
    apart[0].setDiffuse(Color{0.4f, 0.4f, 0.41f, 1});
    apart[1].setDiffuse(Color{0.4f, 0.4f, 0.4f, 0.5f});
    apart[2].setFloat224(0.5f);
    apart[3].setSmoothShading(false);
    apart[4].setTexture(texture("same.gif"), 0);
    apart[5].setTexture(texture("same.gif"), 0);
    for (const Material& other : apart)
        EXPECT_TRUE(Material::compare(a, other) != 0 && Material::compare(a, other) == -Material::compare(other, a)) << &other - apart;
    EXPECT_NE(Material::compare(apart[4], apart[5]), 0);
    apart[5].setTexture(apart[4].texture(0), 0);
    EXPECT_EQ(Material::compare(apart[4], apart[5]), 0);
    const int before = Material::sharedCount();
    counted_ptr<Material> first = Material::share(a);
    EXPECT_TRUE(first->shared() && first.get() != &a && Material::share(same) == first && Material::share(*first) == first);
    Material unlit(a), otherColour(a), shiny(a);
    unlit.setLighting(false);
    otherColour.setLighting(false);
    otherColour.setColour(Color{1, 0, 0, 1});
    shiny.setShininess(0.9f);
    counted_ptr<Material> third = Material::share(unlit);
    EXPECT_TRUE(Material::share(shiny) != first && third != first && Material::share(otherColour) != third);
    EXPECT_EQ(Material::sharedCount(), before + 4);
    Material low(unlit), none(unlit), high(unlit);
    low.setDiffuse(Color{0.3f, 0.3f, 0.3f, 0.25f});
    none.setDiffuse(Color{0.3f, 0.3f, 0.3f, std::numeric_limits<float>::quiet_NaN()});
    high.setDiffuse(Color{0.3f, 0.3f, 0.3f, 0.75f});
    counted_ptr<Material> l = Material::share(low), h = Material::share(high), n = Material::share(none);
    EXPECT_TRUE(n != l && n != h && std::isnan(n->diffuse().alpha) && Material::share(none) == n && Material::share(low) == l);
    EXPECT_EQ(Material::share(high), h);
    LogCapture log;
    first->changed = false;
    first->setDiffuse(Color{0, 0, 0, 1});
    first->setLighting(false);
    first->setTexture(texture("t.gif"), 0);
    *first = Material(Color{0, 0, 0, 1});
    Material::getDefault()->setName("changed");
    EXPECT_EQ(log.count("Error - tried to change a shared Material!\n"), 5);
    EXPECT_TRUE(!first->changed && Material::share(a) == first && text(*first) == text(*Material::share(a)));
    EXPECT_EQ(text(*Material::getDefault()),
              "Default c=1,1,1,1 a=0.2,0.2,0.2,1 d=0.8,0.8,0.8,1 s=0,0,0,1 e=0,0,0,1 sh=0.5 al=1 f=0 -C-S-- - - shared");
    // The slot record holds the default instead of null.
    kessa::MaterialRef r, n0(nullptr, 0, 1), x(first), y(first);
    EXPECT_TRUE(r.material() == Material::getDefault() && r.first == 1 && r.second == 0 && n0.material() == Material::getDefault());
    EXPECT_TRUE(x == y && x->name() == "Material");
    y.second = 1;
    EXPECT_NE(x, y);
    y.second = 0, y.first = 0;
    EXPECT_NE(x, y);
    y.first = 1;
    y.setMaterial(nullptr);
    EXPECT_TRUE(x != y && y.material() == Material::getDefault());
}

// Round trip (one texture behind both slots, as written), the same bytes
// again, every cut and seeded damage, for a material and a texture; older
// records: a dropped word, unknown tags, legacy values.
TEST(MaterialTest, StreamContractAndOlderRecords) {
    Material m(Color{0.1f, 0.2f, 0.3f, 1});
    m.setName("brass");
    m.setLighting(true);
    m.setSpecular(Color{1, 1, 0.8f, 1});
    m.setEmission(Color{0.05f, 0, 0, 1});
    m.setShininess(0.8f);
    m.setFloat224(0.125f);
    m.setAlpha(0.75f);
    m.setColour(Color{0.4f, 0.5f, 0.6f, 0.7f});
    m.setSmoothShading(false);
    m.setColourMaterial(true);
    m.setSphereMap(true);
    counted_ptr<Texture> t = texture("sea\\wave08.gif");
    t->setName("waves");
    t->setEdgeFlagS(true);
    t->setScale(2, 3);
    t->setMipmapped(false);
    t->setOptionFlag(5);
    t->setByteOption(1);
    t->setWordOption(1.5f);
    t->setBorder(true, 0x80402010);
    m.setTexture(t, 0);
    m.setSphereMap(false);
    m.setTexture(t, 1);
    m.setVertexColours(true);
    LogCapture log;
    support::StreamContract contract;
    contract.registerTypes = kessa::registerTypes;
    contract.shape = describe;
    contract.mutations = 4000;
    contract.keepHead = 18;
    contract.unknownTag = 200;
    contract.taggedTypes = "zanthorium::kessa::";
    EXPECT_TRUE(support::meetsStreamContract(&m, contract));
    EXPECT_TRUE(support::meetsStreamContract(t.get(), contract));
    counted_ptr<Material> back = roundTrip<Material>(&m);
    EXPECT_TRUE(back->texture(0) == back->texture(1) && back->changed && !back->shared());
    counted_ptr<Texture> copy = roundTrip<Texture>(t.get());
    EXPECT_TRUE(copy->dirty() && Texture::compare(*copy, *t) == 0);
    // Small scales turn option C off after reading.
    Texture fine = fileTexture("fine.gif");
    fine.setScale(0.5f, 0.5f);
    EXPECT_EQ(roundTrip<Texture>(&fine)->optionC(), 0);
    // An old word, read and dropped; tag 99 passed over with no payload.
    m = *roundTrip<Material>(&m);
    const Bytes old = records({{"zanthorium::kessa::Material", 1, body().byte(2).u32(0xDEADBEEF).byte(1).string("old").byte(99)
                                                                     .byte(14).f32(0.25f).byte(34).byte(1).byte(0)}});
    EXPECT_EQ(describe(readScene(old).get()),
              "old c=1,1,1,1 a=0.2,0.2,0.2,1 d=0.8,0.8,0.8,1 s=0,0,0,1 e=0,0,0,1 sh=0.25 al=1 f=0 LC-S-- - -");
    // Older textures: a reference, dropped bytes and words, the legacy value.
    const Bytes older = records({{"zanthorium::kessa::Texture", 1, body().byte(2).u32(0).raw({3, 9, 10, 9, 13}).u32(12345).byte(14)
                                                                       .u32(678).byte(11).f32(0.75f).raw({12, 0, 1, 4}).string("old")
                                                                       .raw({77, 0})}});
    counted_ptr<Texture> legacy = readScene(older).cast<Texture>();
    float value = 0;
    EXPECT_EQ(text(*legacy), "old  0111-T0 1 1x1 mip");
    EXPECT_TRUE(Texture::legacyValue(legacy.get(), value) && value == 0.75f && !Texture::legacyValue(&fine, value));
}

// The file names an unnamed texture; copies take the name, file and
// options (not a picture in memory); create shares textures equal in
// everything that makes them differ on GL (not the name) and locks them; a
// NaN scale is shared only with its like; locked textures refuse every change.
TEST(TextureDataTest, NamesCopiesSharingAndLocks) {
    Texture t;
    EXPECT_EQ(text(t), "  0111--0 1 1x1 mip");
    t.setFile(orvel::FilePath("Textures\\Wave08.GIF"));
    t.setFile(orvel::FilePath("other.gif"));
    EXPECT_TRUE(t.name() == "wave08.gif" && t.dirty());
    Texture named;
    named.setName("sea");
    named.setFile(orvel::FilePath("wave.gif"));
    EXPECT_EQ(named.name(), "sea");
    const int known = kessa::TextureInternals::knownCount();
    Texture a = fileTexture("rock.gif");
    a.setEdgeFlagT(true);
    a.setScale(0.5f, 2);
    a.setWordOption(3);
    a.setByteOption(1);
    a.setOptionFlag(7);
    a.setMipmapped(false);
    a.setBorder(true, 0xFF00FF00);
    {
        Texture b(a);
        b.copyFrom(a);
        EXPECT_EQ(text(b), "rock.gif rock.gif 7111-T1 3 0.5x2 border 4278255360");
        EXPECT_EQ(Texture::compare(a, b), 0);
        EXPECT_EQ(kessa::TextureInternals::knownCount(), known + 2);
    }
    EXPECT_EQ(kessa::TextureInternals::knownCount(), known + 1);
    Texture picture, into;
    picture.setImage(pellium::Image(4, 4));
    EXPECT_THROW(Texture copied(picture), std::logic_error);
    EXPECT_THROW(into.copyFrom(picture), std::logic_error);
    Texture proto = fileTexture("share-me.gif"), renamed = proto;
    counted_ptr<Texture> shared = Texture::create(proto);
    renamed.setName("other");
    EXPECT_TRUE(shared->locked() && !proto.locked() && shared.get() != &proto && Texture::create(renamed) == shared);
    void (*const differences[])(Texture&) = {[](Texture& x) { x.setEdgeFlagS(true); }, [](Texture& x) { x.setMipmapped(false); },
                                             [](Texture& x) { x.setBorder(true, 0xFF0000FF); },
                                             [](Texture& x) { x.setBorder(true, 0xFF00FF00); },
                                             [](Texture& x) { x.setFile(orvel::FilePath("else.gif")); }};
    std::set<Texture*> made{shared.get()};
    for (auto differ : differences) {
        Texture other = proto;
        differ(other);
        made.insert(Texture::create(other).get());
    }
    EXPECT_EQ(made.size(), 6u);
    Texture low = proto, none = proto, high = proto;
    low.setScale(0.5f, 1);
    none.setScale(std::numeric_limits<float>::quiet_NaN(), 1);
    high.setScale(2, 1);
    counted_ptr<Texture> l = Texture::create(low), h = Texture::create(high), n = Texture::create(none);
    EXPECT_TRUE(n != l && n != h && std::isnan(n->scaleU()) && Texture::create(none) == n && Texture::create(low) == l);
    LogCapture log;
    shared->setName("x");
    shared->setFile(orvel::FilePath("x.gif"));
    shared->setImage(pellium::Image(2, 2));
    shared->setEdgeFlagS(true);
    shared->setEdgeFlagT(true);
    shared->setOptionFlag(1);
    shared->setScale(2, 2);
    shared->setByteOption(1);
    shared->setWordOption(5);
    shared->setMipmapped(false);
    shared->setBorder(true, 1);
    shared->copyFrom(a);
    EXPECT_EQ(log.count("Error - tried to change a locked Texture!\n"), 12);
    EXPECT_EQ(text(*shared), "share-me.gif share-me.gif locked 0111--0 1 1x1 mip");
}

// The cache key takes every option that makes textures differ; fading
// mipmaps (scale v below 1) never share with a plain scale.
TEST(TextureDataTest, CacheKeys) {
    const struct {
        void (*set)(Texture&);
        const char* key;
    } rows[] = {
        {[](Texture&) {}, "a.gif:1100000n"},
        {[](Texture& t) { t.setEdgeFlagS(true); }, "a.gif:1100010n"},
        {[](Texture& t) { t.setEdgeFlagT(true); }, "a.gif:1100001n"},
        {[](Texture& t) { t.setMipmapped(false); }, "a.gif:1101000n"},
        {[](Texture& t) { t.setOptionFlag(3); }, "a.gif:1110000n"},
        {[](Texture& t) { t.setScale(2, 1); }, "a.gif:1100000d"},
        {[](Texture& t) { t.setScale(1, 0.5f); }, "a.gif:1100000f"},
        {[](Texture& t) { t.setBorder(true, 0xFF0000FF); }, "a.gif:1100000bff0000ffn"},
    };
    for (const auto& r : rows) {
        Texture t;
        r.set(t);
        EXPECT_EQ(t.cacheKey("a.gif"), r.key);
    }
}

}  // namespace
