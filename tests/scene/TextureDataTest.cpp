// Scene textures as data: options, locking, create's sharing, the cache key
// and the stream form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "scene/render/Texture.h"
#include "scene/render/TextureInternals.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneStreams.h"

using kessa::Texture;
using kessa::TextureInternals;
using orvel::counted_ptr;

namespace {

Texture fileTexture(const char* file) {
    Texture t;
    t.setFile(orvel::FilePath(file));
    return t;
}

}  // namespace

TEST(TextureDataTest, Defaults) {
    Texture t;
    EXPECT_EQ(t.name(), "");
    EXPECT_EQ(t.file().str(), "");
    EXPECT_FALSE(t.locked());
    EXPECT_EQ(t.optionA(), 0);
    EXPECT_EQ(t.optionB(), 1);
    EXPECT_EQ(t.optionC(), 1);
    EXPECT_EQ(t.optionD(), 1u);
    EXPECT_FALSE(t.clampS());
    EXPECT_FALSE(t.clampT());
    EXPECT_FALSE(t.border());
    EXPECT_EQ(t.sequence(), 0);
    EXPECT_EQ(t.cycleTime(), 1);
    EXPECT_EQ(t.scaleU(), 1);
    EXPECT_EQ(t.scaleV(), 1);
    EXPECT_TRUE(t.mipmapped());
    EXPECT_TRUE(t.dirty());
}

TEST(TextureDataTest, TheFileNamesAnUnnamedTexture) {
    Texture t;
    t.setFile(orvel::FilePath("Textures\\Wave08.GIF"));
    EXPECT_EQ(t.file().str(), "textures\\wave08.gif");
    EXPECT_EQ(t.name(), "wave08.gif");
    t.setFile(orvel::FilePath("other.gif"));
    EXPECT_EQ(t.name(), "wave08.gif");
    Texture named;
    named.setName("sea");
    named.setFile(orvel::FilePath("wave.gif"));
    EXPECT_EQ(named.name(), "sea");
}

TEST(TextureDataTest, TheKnownListFollowsTheTextures) {
    int before = TextureInternals::knownCount();
    {
        Texture a;
        Texture b(a);
        EXPECT_EQ(TextureInternals::knownCount(), before + 2);
        b.copyFrom(a);
        EXPECT_EQ(TextureInternals::knownCount(), before + 2);
    }
    EXPECT_EQ(TextureInternals::knownCount(), before);
}

TEST(TextureDataTest, CopiesTakeTheNameFileAndOptions) {
    Texture a = fileTexture("rock.gif");
    a.setEdgeFlagT(true);
    a.setScale(0.5f, 2);
    a.setWordOption(3);
    a.setByteOption(1);
    a.setOptionFlag(7);
    a.setMipmapped(false);
    a.setBorder(true, 0xFF00FF00);
    Texture b(a);
    EXPECT_EQ(Texture::compare(a, b), 0);
    EXPECT_EQ(b.name(), "rock.gif");
    EXPECT_EQ(b.optionA(), 7);
    EXPECT_EQ(b.borderColour(), 0xFF00FF00u);
    EXPECT_FALSE(b.locked());
}

TEST(TextureDataTest, CopyingAPictureInMemoryThrows) {
    Texture a;
    a.setImage(pellium::Image(4, 4));
    EXPECT_THROW(Texture b(a), std::logic_error);
    Texture c;
    EXPECT_THROW(c.copyFrom(a), std::logic_error);
}

TEST(TextureDataTest, CreateSharesEqualTexturesAndLocksThem) {
    Texture proto = fileTexture("share-me.gif");
    counted_ptr<Texture> a = Texture::create(proto);
    counted_ptr<Texture> b = Texture::create(fileTexture("share-me.gif"));
    EXPECT_EQ(a, b);
    EXPECT_NE(a.get(), &proto);
    EXPECT_TRUE(a->locked());
    EXPECT_FALSE(proto.locked());

    Texture clamped = fileTexture("share-me.gif");
    clamped.setEdgeFlagS(true);
    EXPECT_NE(Texture::create(clamped), a);
    // Options that configure the GL texture keep textures apart too.
    Texture flat = fileTexture("share-me.gif");
    flat.setMipmapped(false);
    EXPECT_NE(Texture::create(flat), a);
    Texture bordered = fileTexture("share-me.gif");
    bordered.setBorder(true, 0xFF0000FF);
    counted_ptr<Texture> red = Texture::create(bordered);
    bordered.setBorder(true, 0xFF00FF00);
    EXPECT_NE(Texture::create(bordered), red);
    // The name takes no part.
    Texture renamed = fileTexture("share-me.gif");
    renamed.setName("other");
    EXPECT_EQ(Texture::create(renamed), a);
}

TEST(TextureDataTest, AScaleThatIsNoNumberIsSharedOnlyWithItsLike) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Texture low = fileTexture("scaled.gif"), none = fileTexture("scaled.gif"), high = fileTexture("scaled.gif");
    low.setScale(0.5f, 1);
    none.setScale(nan, 1);
    high.setScale(2, 1);
    counted_ptr<Texture> l = Texture::create(low), h = Texture::create(high);
    counted_ptr<Texture> n = Texture::create(none);
    EXPECT_NE(n, l);
    EXPECT_NE(n, h);
    EXPECT_TRUE(std::isnan(n->scaleU()));
    EXPECT_EQ(Texture::create(none), n);
    EXPECT_EQ(Texture::create(low), l);
    EXPECT_EQ(Texture::create(high), h);
}

TEST(TextureDataTest, LockedTexturesRefuseEveryChange) {
    counted_ptr<Texture> t = Texture::create(fileTexture("locked.gif"));
    LogCapture log;
    t->setName("x");
    t->setFile(orvel::FilePath("x.gif"));
    t->setImage(pellium::Image(2, 2));
    t->setEdgeFlagS(true);
    t->setEdgeFlagT(true);
    t->setOptionFlag(1);
    t->setScale(2, 2);
    t->setByteOption(1);
    t->setWordOption(5);
    t->setMipmapped(false);
    t->setBorder(true, 1);
    t->copyFrom(fileTexture("y.gif"));
    std::string expected;
    for (int i = 0; i < 12; ++i)
        expected += "Error - tried to change a locked Texture!\n";
    EXPECT_EQ(log.text(), expected);
    EXPECT_EQ(Texture::compare(*t, fileTexture("locked.gif")), 0);
    EXPECT_EQ(t->name(), "locked.gif");
}

// Fading mipmaps (scale v below 1) never share with a plain scale.
TEST(TextureDataTest, CacheKeys) {
    struct Row {
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
    for (const Row& r : rows) {
        Texture t;
        r.set(t);
        EXPECT_EQ(t.cacheKey("a.gif"), r.key);
    }
}

TEST(TextureDataTest, StreamFormRoundTrips) {
    Texture t;
    t.setFile(orvel::FilePath("sea\\wave08.gif"));
    t.setName("waves");
    t.setEdgeFlagS(true);
    t.setScale(2, 3);
    t.setMipmapped(false);
    t.setOptionFlag(5);
    t.setByteOption(1);
    t.setWordOption(1.5f);
    t.setBorder(true, 0x80402010);
    counted_ptr<Texture> back = kessa_test::roundTrip<Texture>(&t);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->file(), t.file());
    EXPECT_EQ(back->name(), "waves");
    EXPECT_EQ(Texture::compare(*back, t), 0);
    EXPECT_EQ(back->optionA(), 5);
    EXPECT_TRUE(back->clampS());
    EXPECT_FALSE(back->clampT());
    EXPECT_EQ(back->scaleU(), 2);
    EXPECT_EQ(back->scaleV(), 3);
    EXPECT_EQ(back->cycleTime(), 1.5f);
    EXPECT_FALSE(back->locked());
    EXPECT_TRUE(back->dirty());
}

TEST(TextureDataTest, SmallScalesTurnOptionCOffAfterReading) {
    Texture t = fileTexture("fine.gif");
    t.setScale(0.5f, 0.5f);
    counted_ptr<Texture> back = kessa_test::roundTrip<Texture>(&t);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->optionC(), 0);
    t.setScale(0.5f, 1);
    EXPECT_EQ(kessa_test::roundTrip<Texture>(&t)->optionC(), 1);
}

TEST(TextureDataTest, OlderStreamsKeepOnlyTheLegacyValue) {
    using kessa_test::Bytes101;
    Bytes101 body = kessa_test::body();
    body.byte(2).u32(0);            // an object reference
    body.byte(3).byte(9);           // dropped bytes
    body.byte(10).byte(9);
    body.byte(13).u32(12345);       // dropped words
    body.byte(14).u32(678);
    body.byte(11).raw({0, 0, 0x40, 0x3F});  // 0.75
    body.byte(12).byte(0).byte(1);
    body.byte(4).string("old");
    body.byte(77);                  // unknown: no payload
    body.byte(0);
    Bytes101 s;
    s.declare(1, "zanthorium::kessa::Texture").object(1, 1, body).end();
    counted_ptr<Texture> t = kessa_test::readScene(s.bytes).cast<Texture>();
    ASSERT_TRUE(t);
    EXPECT_EQ(t->name(), "old");
    EXPECT_FALSE(t->clampS());
    EXPECT_TRUE(t->clampT());
    float value = 0;
    EXPECT_TRUE(Texture::legacyValue(t.get(), value));
    EXPECT_EQ(value, 0.75f);
    Texture fresh;
    EXPECT_FALSE(Texture::legacyValue(&fresh, value));
}
