#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

#include "BunchTestUtil.h"
#include "SceneStreams.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "base/StreamWriter.h"
#include "scene/SceneStream.h"
#include "scene/render/Texture.h"
#include "tests/support/LogCapture.h"

using kessa::GeoBunch;
using kessa::GeoBunchInternals;
using kessa_test::Bytes;
using kessa_test::Bytes101;
using kessa_test::body;
using kessa_test::row;

namespace {

const char bunchTag[] = "zanthorium::kessa::GeoBunch";
const char internalsTag[] = "zanthorium::kessa::GeoBunchInternals";
const char vertexTag[] = "zanthorium::kessa::GeoBunch::vertex_data";
const char indexTag[] = "zanthorium::kessa::GeoBunch::index_data";
const char colorTag[] = "zanthorium::kessa::GeoBunch::color_data";
const char stripTag[] = "zanthorium::kessa::GeoBunch::strip_data";
const char texTag[] = "zanthorium::kessa::GeoBunch::texcoord_data";
const char callbacksTag[] = "zanthorium::kessa::BunchCallbacks";

// Several batches in one stream, so that they can share streams. It owns
// the batches it lists; a batch listed twice, by it or by another list,
// belongs to the first.
class BunchList : public orvel::Streamable {
public:
    ~BunchList() override {
        for (GeoBunch* b : bunches) {
            taken().erase(b);
            delete b;
        }
    }
    void read(orvel::DataSource& in) override { kessa::stream::readOwnedList(in, this, &take); }
    const char* typeName() const override { return "kessa_test::BunchList"; }
    void write(orvel::DataDest& out) override { out << bunches; }
    // Forgets the batch too: a later batch may be given its address.
    void dropFirst() {
        taken().erase(bunches.front());
        delete bunches.front();
        bunches.erase(bunches.begin());
    }

    std::vector<GeoBunch*> bunches;

private:
    static std::set<const GeoBunch*>& taken() {
        static std::set<const GeoBunch*> lists;
        return lists;
    }
    static bool take(void* list, unsigned, orvel::Streamable* object) {
        auto* b = dynamic_cast<GeoBunch*>(object);
        if (!b || !taken().insert(b).second)
            return false;
        static_cast<BunchList*>(list)->bunches.push_back(b);
        return true;
    }
};

orvel::Streamable* makeList() { return new BunchList; }

orvel::counted_ptr<orvel::Streamable> read(const Bytes& bytes, bool swap = false) {
    orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    source.swap = swap;
    kessa::registerTypes(source);
    StreamReader::addFactory(source, makeList);
    return StreamReader::read(source);
}

Bytes write(orvel::Streamable* root) { return kessa_test::writeScene(root); }

template <class T>
orvel::counted_ptr<T> readAs(const Bytes& bytes) {
    return read(bytes).cast<T>();
}

Bytes101& f32(Bytes101& b, float f) {
    unsigned u;
    std::memcpy(&u, &f, 4);
    return b.u32(u);
}

// A batch with every stream kind, strips and frames.
std::unique_ptr<GeoBunch> fullBunch() {
    auto b = std::make_unique<GeoBunch>();
    b->setVertexData(kessa_test::positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0.5f}}), false);
    b->setStripData(kessa_test::strips({4}));
    b->setIndexData(kessa_test::indices({0, 1, 2, 3, 3, 4, 5}));
    b->setColorData(kessa_test::makeStream<GeoBunch::color_data>(
        {GeoBunch::Color4{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}));
    b->setNormalData(kessa_test::makeStream<GeoBunch::normal_data>(
        {GeoBunch::Float3{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0.6f, 0.8f}, {0, 0, -1}}));
    b->setTexcoordData(kessa_test::makeStream<GeoBunch::texcoord_data>(
                           {GeoBunch::Float2{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}, {2, 1}}),
                       0);
    b->setTexcoordData(kessa_test::makeStream<GeoBunch::texcoord_data>(
                           {GeoBunch::Float2{0.5f, 0}, {1, 0.5f}, {0, 1}, {1, 1}, {-2, 0}, {2, -1e-9f}}),
                       1);
    GeoBunch::Frame f0, f1;
    for (const GeoBunch::Float3& p : *b->internals().vertices()) {
        f0.push_back(p);
        f1.push_back({p.x * 2, p.y, p.z + 1});
    }
    b->setAnimation({f0, f1});
    b->internals().computeBounds();
    return b;
}

template <class S>
void expectSameStream(const orvel::ref_ptr<S>& a, const orvel::ref_ptr<S>& b, const char* what) {
    ASSERT_EQ(bool(a), bool(b)) << what;
    if (a) {
        EXPECT_TRUE(static_cast<const typename S::ElementArray&>(*a) == static_cast<const typename S::ElementArray&>(*b))
            << what;
    }
}

void expectSameBunch(GeoBunch& a, GeoBunch& b) {
    const GeoBunchInternals& x = a.internals();
    const GeoBunchInternals& y = b.internals();
    expectSameStream(x.strips(), y.strips(), "strips");
    expectSameStream(x.indices(), y.indices(), "indices");
    expectSameStream(x.vertices(), y.vertices(), "vertices");
    expectSameStream(x.colors(), y.colors(), "colours");
    expectSameStream(x.normals(), y.normals(), "normals");
    expectSameStream(x.texCoords(0), y.texCoords(0), "texture coordinates 0");
    expectSameStream(x.texCoords(1), y.texCoords(1), "texture coordinates 1");
    EXPECT_EQ(x.frames(), y.frames());
    EXPECT_EQ(a.bounds(), b.bounds());
    EXPECT_EQ(x.valid(), y.valid());
    EXPECT_EQ(a.triangleCount(), b.triangleCount());
}

// --- round trips ---

TEST(GeoBunchStream, BatchReadsBackIdentical) {
    auto original = fullBunch();
    Bytes bytes = write(original.get());
    auto copy = readAs<GeoBunch>(bytes);
    ASSERT_TRUE(copy);
    expectSameBunch(*original, *copy);
    const GeoBunchInternals& in = copy->internals();
    EXPECT_TRUE(in.valid());
    EXPECT_EQ(in.ownerBunch(), copy.get());
    EXPECT_EQ(in.vertexPointer(), in.vertices()->data());
    EXPECT_EQ(in.colorPointer(), in.colors()->data());
    EXPECT_EQ(in.normalPointer(), in.normals()->data());
    EXPECT_EQ(in.texCoordPointer(0), in.texCoords(0)->data());
    EXPECT_EQ(in.texCoordPointer(1), in.texCoords(1)->data());
    // Written again, the copy gives the same bytes.
    EXPECT_EQ(write(copy.get()), bytes);
}

TEST(GeoBunchStream, HandBuiltStreamIsWhatTheWriterWrites) {
    GeoBunch b;
    b.setVertexData(kessa_test::positions({{1, 2, 3}}), false);
    Bytes101 s;
    s.declare(1, bunchTag).object(1, 1, body().byte(1).u32(2).byte(2).byte(0).byte(0));
    s.declare(2, internalsTag)
        .object(2, 2,
                body()
                    .byte(1).byte(1)
                    .byte(2).u32(1).u32(0)
                    .byte(10).u32(0)
                    .byte(11).u32(0)
                    .byte(12).u32(3)
                    .byte(13).u32(0)
                    .byte(14).u32(0)
                    .byte(15).u32(2).u32(0).u32(0)
                    .byte(22).byte(0)
                    .byte(0));
    s.declare(3, vertexTag)
        .object(3, 3, body().byte(1).u32(1).byte(2).byte(1).raw({0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40}).byte(0))
        .end();
    EXPECT_EQ(write(&b), s.bytes);
}

// A colour is one word of its four bytes.
TEST(GeoBunchStream, HandBuiltVertexAndColourRecordsReadAsTheySay) {
    Bytes101 s;
    s.declare(1, vertexTag)
        .object(1, 7, body().byte(1).u32(1).byte(2).byte(1).raw({0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40}).byte(0))
        .end();
    auto v = readAs<GeoBunch::vertex_data>(s.bytes);
    ASSERT_TRUE(v);
    ASSERT_EQ(v->size(), 1u);
    EXPECT_EQ((std::vector<float>{(*v)[0].x, (*v)[0].y, (*v)[0].z}), (std::vector<float>{1, 2, 3}));
    Bytes101 t;
    t.declare(1, colorTag).object(1, 1, body().byte(2).byte(1).u32(0xAABBCCDDu).byte(0)).end();
    auto c = readAs<GeoBunch::color_data>(t.bytes);
    ASSERT_TRUE(c);
    ASSERT_EQ(c->size(), 1u);
    const GeoBunch::Color4& colour = (*c)[0];
    EXPECT_EQ((std::vector<int>{colour.r, colour.g, colour.b, colour.a}), (std::vector<int>{0xDD, 0xCC, 0xBB, 0xAA}));
}

TEST(GeoBunchStream, BigEndianStreamSwapsElementsButNotFrames) {
    // The same vertex record with every word high byte first.
    auto be = [](Bytes101& b, unsigned v) -> Bytes101& {
        return b.raw({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
    };
    Bytes101 vertexBody = body();
    vertexBody.byte(2).byte(2);
    for (unsigned word : {0x3F800000u, 0x40000000u, 0x40400000u, 0x40800000u, 0x40A00000u, 0x40C00000u})
        be(vertexBody, word);
    vertexBody.byte(0);
    Bytes101 internalsBody = body();
    internalsBody.byte(12);
    be(internalsBody, 3);
    internalsBody.byte(22).byte(1).byte(2);
    for (float f : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 7.0f})
        f32(internalsBody, f);
    internalsBody.byte(0);
    Bytes101 bunchBody = body();
    bunchBody.byte(1);
    be(bunchBody, 2);
    bunchBody.byte(0);

    Bytes101 s;
    const Bytes101* bodies[3] = {&bunchBody, &internalsBody, &vertexBody};
    const char* tags[3] = {bunchTag, internalsTag, vertexTag};
    for (int type = 1; type <= 3; ++type) {
        const Bytes& b = bodies[type - 1]->bytes;
        s.declare(type, tags[type - 1]).byte('!').byte(type);
        be(s, unsigned(type)).compact(unsigned(b.size())).text(std::string(b.begin(), b.end()));
    }
    s.end();

    auto b = read(s.bytes, true).cast<GeoBunch>();
    ASSERT_TRUE(b);
    const GeoBunchInternals& in = b->internals();
    ASSERT_TRUE(in.vertices());
    EXPECT_EQ((*in.vertices())[1].z, 6);
    ASSERT_EQ(in.frames().size(), 1u);
    EXPECT_EQ(in.frames()[0][1].z, 7);
    EXPECT_TRUE(in.valid());
}

TEST(GeoBunchStream, MissingIndexStreamReadsBackAsNone) {
    GeoBunch b;
    b.setVertexData(row(3), true);
    auto copy = readAs<GeoBunch>(write(&b));
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->internals().indices());
    EXPECT_FALSE(copy->internals().strips());
    EXPECT_EQ(copy->triangleCount(), 1);
}

TEST(GeoBunchStream, EmptyStreamReadsBackEmptyWithoutStorage) {
    GeoBunch b;
    b.setVertexData(orvel::ref_ptr<GeoBunch::vertex_data>(new GeoBunch::vertex_data), false);
    b.setColorData(orvel::ref_ptr<GeoBunch::color_data>(new GeoBunch::color_data));
    auto copy = readAs<GeoBunch>(write(&b));
    ASSERT_TRUE(copy);
    const GeoBunchInternals& in = copy->internals();
    ASSERT_TRUE(in.colors());
    EXPECT_EQ(in.colors()->size(), 0u);
    EXPECT_EQ(in.colors()->data(), nullptr);
    EXPECT_EQ(in.colorPointer(), nullptr);
    EXPECT_EQ(in.vertexPointer(), nullptr);
    EXPECT_TRUE(in.valid());
}

TEST(GeoBunchStream, HandBuiltEmptyIndexRecord) {
    Bytes101 s;
    s.declare(1, indexTag).object(1, 1, body().byte(1).u32(5).byte(2).byte(0).byte(0)).end();
    auto i = readAs<GeoBunch::index_data>(s.bytes);
    ASSERT_TRUE(i);
    EXPECT_EQ(i->size(), 0u);
    EXPECT_EQ(i->data(), nullptr);
}

TEST(GeoBunchStream, SharedStreamsStaySharedAndCountTheirHolders) {
    BunchList list;
    auto shared = row(3);
    for (int i = 0; i < 2; ++i) {
        list.bunches.push_back(new GeoBunch);
        list.bunches.back()->setVertexData(shared, true);
    }
    EXPECT_EQ(shared->refCount(), 3u);
    Bytes bytes = write(&list);
    auto copy = readAs<BunchList>(bytes);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->bunches.size(), 2u);
    const auto& v0 = copy->bunches[0]->internals().vertices();
    EXPECT_EQ(v0.get(), copy->bunches[1]->internals().vertices().get());
    EXPECT_EQ(v0->refCount(), 2u);
}

TEST(GeoBunchStream, StoredCountsAreNotTrusted) {
    // Two batches share one vertex stream whose record says 0, then 1000.
    for (unsigned stored : {0u, 1u, 1000u}) {
        Bytes101 s;
        s.declare(1, "kessa_test::BunchList").object(1, 1, body().byte(2).u32(2).u32(3));
        s.declare(2, bunchTag).object(2, 2, body().byte(1).u32(4).byte(0)).object(2, 3, body().byte(1).u32(5).byte(0));
        s.declare(3, internalsTag)
            .object(3, 4, body().byte(12).u32(6).byte(0))
            .object(3, 5, body().byte(12).u32(6).byte(0));
        s.declare(4, vertexTag);
        Bytes101 v = body();
        v.byte(1).u32(stored).byte(2).byte(1);
        f32(f32(f32(v, 1), 2), 3).byte(0);
        s.object(4, 6, v).end();
        auto list = readAs<BunchList>(s.bytes);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->bunches.size(), 2u);
        EXPECT_EQ(list->bunches[0]->internals().vertices()->refCount(), 2u) << stored;
        // Letting go of one batch leaves the other's stream alive.
        list->dropFirst();
        EXPECT_EQ((*list->bunches[0]->internals().vertices())[0].z, 3);
    }
}

// --- reading records built by hand ---

// A stream record of three zero elements of `words` words each.
Bytes101 zeros(int words) {
    Bytes101 b = body();
    b.byte(2).byte(3);
    for (int i = 0; i < 3 * words; ++i)
        b.u32(0);
    return b.byte(0);
}

Bytes internalsStream(const Bytes101& internalsBody) {
    Bytes101 s;
    s.declare(1, bunchTag).object(1, 1, body().byte(1).u32(2).byte(0));
    s.declare(2, internalsTag).object(2, 2, internalsBody);
    s.declare(3, vertexTag).object(3, 3, zeros(3));
    s.declare(4, texTag).object(4, 4, zeros(2));
    s.declare(5, indexTag).object(5, 5, body().byte(2).byte(3).u32(0).u32(1).u32(7).byte(0));
    return s.end().bytes;
}

// Fields that cannot be used are passed over, and the rest of the record is
// read in step.
TEST(GeoBunchStream, FieldsThatCannotBeUsedArePassedOver) {
    // Tag 7 is unknown; the byte after it is read as the next tag.
    auto b = readAs<GeoBunch>(internalsStream(body().byte(7).byte(12).u32(3).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->vertexCount(), 3);
    // A negative count of texture-coordinate sets reads no reference.
    b = readAs<GeoBunch>(internalsStream(body().byte(15).u32(0xFFFFFFFFu).byte(12).u32(3).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->internals().texCoords(0));
    EXPECT_EQ(b->vertexCount(), 3);
    // A reference of the wrong kind leaves the slot empty.
    b = readAs<GeoBunch>(internalsStream(body().byte(12).u32(4).byte(13).u32(3).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->internals().vertices());
    EXPECT_FALSE(b->internals().colors());
    // A second reference to the same slot is passed over.
    b = readAs<GeoBunch>(internalsStream(body().byte(12).u32(3).byte(12).u32(0).byte(11).u32(5).byte(11).u32(5).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->vertexCount(), 3);
    EXPECT_EQ(b->internals().indices()->refCount(), 1u);
}

TEST(GeoBunchStream, TexCoordSlotsBeyondTwoAreReadAndDropped) {
    LogCapture log;
    auto b = readAs<GeoBunch>(internalsStream(body().byte(15).u32(5).u32(4).u32(4).u32(4).u32(4).u32(4).byte(12).u32(3).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->internals().texCoords(0));
    EXPECT_TRUE(b->internals().texCoords(1));
    EXPECT_EQ(b->internals().texCoords(0)->refCount(), 2u);
    EXPECT_EQ(b->vertexCount(), 3);
    EXPECT_NE(log.text().find("5 texture-coordinate sets, only the first 2 are kept"), std::string::npos);
}

TEST(GeoBunchStream, InconsistentStreamsAreReportedAfterTheRead) {
    LogCapture log;
    auto b = readAs<GeoBunch>(internalsStream(body().byte(12).u32(3).byte(11).u32(5).byte(0)));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->internals().valid());
    EXPECT_NE(log.text().find("GeoBunchInternals::verify() - Index out of range\n\n"), std::string::npos);
}

TEST(GeoBunchStream, LegacyFieldsAreReadInStepAndOnlyWhereWritten) {
    auto b = readAs<GeoBunch>(internalsStream(body()
                                                  .byte(3).u32(0x409)
                                                  .byte(4).u32(7)
                                                  .byte(5).u32(0xFFFFFFFFu)
                                                  .byte(20).u32(0)
                                                  .byte(21).u32(2).u32(0).u32(0)
                                                  .byte(12).u32(3)
                                                  .byte(0)));
    ASSERT_TRUE(b);
    const GeoBunchInternals::Legacy& legacy = b->internals().legacy();
    EXPECT_TRUE(legacy.present);
    EXPECT_EQ(legacy.flags, 0x409u);
    EXPECT_EQ(legacy.value4, 7);
    EXPECT_EQ(legacy.value5, -1);
    EXPECT_EQ(b->vertexCount(), 3);
    auto current = readAs<GeoBunch>(internalsStream(body().byte(12).u32(3).byte(0)));
    ASSERT_TRUE(current);
    EXPECT_FALSE(current->internals().legacy().present);
}

// A batch of an older stream: its internals carry a legacy material block
// with flags, and optionally a material (object 4, tag 20, directly or
// through a counted record 6) and a texture (object 5, tag 21).
Bytes legacyStream(unsigned flags, bool withMaterial, bool throughRecord, bool withTexture) {
    Bytes101 in = body();
    in.byte(3).u32(flags).byte(12).u32(3);
    if (withMaterial)
        in.byte(20).u32(throughRecord ? 6 : 4);
    if (withTexture)
        in.byte(21).u32(2).u32(5).u32(0);
    in.byte(0);
    Bytes101 s;
    s.declare(1, bunchTag).object(1, 1, body().byte(1).u32(2).byte(0));
    s.declare(2, internalsTag).object(2, 2, in);
    s.declare(3, vertexTag).object(3, 3, zeros(3));
    Bytes101 m = body();
    m.byte(1).string("Old").byte(11);
    f32(f32(f32(f32(m, 0.5f), 0.25f), 0), 1).byte(0);
    s.declare(4, "zanthorium::kessa::Material").object(4, 4, m);
    s.declare(5, "zanthorium::kessa::Texture").object(5, 5, body().byte(4).string("bricks").byte(0));
    s.declare(6, "internals::counted_ptr::orvel").object(6, 6, body().u32(1).u32(4));
    return s.end().bytes;
}

// Equal legacy blocks share one material.
TEST(GeoBunchStream, LegacyFlagsBecomeTheMaterial) {
    struct Row {
        unsigned flags;
        bool lighting, smooth, sphereMap, colours, normals;
        int first, second;
    } rows[] = {
        {0x409, true, true, false, true, true, 0, 0},
        {0x002, false, true, false, true, false, 1, 1},
        {0x014, false, false, true, true, false, 1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.flags);
        auto b = readAs<GeoBunch>(legacyStream(r.flags, false, false, false));
        ASSERT_TRUE(b);
        const kessa::Material& m = *b->material().material();
        EXPECT_EQ(m.lighting(), r.lighting);
        EXPECT_EQ(m.smoothShading(), r.smooth);
        EXPECT_EQ(m.sphereMap(), r.sphereMap);
        EXPECT_EQ(m.vertexColours(), r.colours);
        EXPECT_EQ(m.vertexNormals(), r.normals);
        EXPECT_TRUE(m.shared());
        EXPECT_EQ(b->material().first, r.first);
        EXPECT_EQ(b->material().second, r.second);
        auto again = readAs<GeoBunch>(legacyStream(r.flags, false, false, false));
        EXPECT_EQ(again->material().material(), b->material().material());
    }
}

// 0x400 and 0x401 differ only in lighting: read in either order, each keeps
// its own, since a lit batch drawn unlit (or the other way) looks wrong.
TEST(GeoBunchStream, LitAndUnlitLegacyFlagsAreNeverOneMaterial) {
    for (unsigned first : {0x400u, 0x401u}) {
        const unsigned second = first ^ 1;
        auto a = readAs<GeoBunch>(legacyStream(first, false, false, false));
        auto b = readAs<GeoBunch>(legacyStream(second, false, false, false));
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->material()->lighting(), bool(first & 1)) << first;
        EXPECT_EQ(b->material()->lighting(), bool(second & 1)) << first;
        EXPECT_NE(a->material().material(), b->material().material());
    }
}

TEST(GeoBunchStream, LegacyMaterialAndTextureAreTakenOver) {
    for (bool throughRecord : {false, true}) {
        auto b = readAs<GeoBunch>(legacyStream(0x001, true, throughRecord, true));
        ASSERT_TRUE(b);
        const kessa::Material& m = *b->material().material();
        EXPECT_EQ(m.diffuse().red, 0.5f) << throughRecord;
        EXPECT_EQ(m.diffuse().green, 0.25f);
        EXPECT_TRUE(m.lighting());
        ASSERT_TRUE(m.texture(0)) << throughRecord;
        EXPECT_EQ(m.texture(0)->name(), "bricks");
        EXPECT_FALSE(m.texture(1));
        EXPECT_TRUE(m.usesTexCoords(0));
    }
}

TEST(GeoBunchStream, InternalsNamedByTwoBatchesBelongToTheFirst) {
    Bytes101 s;
    s.declare(1, "kessa_test::BunchList").object(1, 1, body().byte(2).u32(2).u32(3));
    s.declare(2, bunchTag).object(2, 2, body().byte(1).u32(4).byte(0)).object(2, 3, body().byte(1).u32(4).byte(0));
    s.declare(3, internalsTag).object(3, 4, body().byte(12).u32(5).byte(0));
    s.declare(4, vertexTag).object(4, 5, zeros(3));
    auto list = readAs<BunchList>(s.end().bytes);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->bunches.size(), 2u);
    EXPECT_EQ(list->bunches[0]->vertexCount(), 3);
    EXPECT_EQ(list->bunches[1]->vertexCount(), 0);
    EXPECT_EQ(list->bunches[1]->internals().ownerBunch(), list->bunches[1]);
}

TEST(GeoBunchStream, ABatchListedByTwoListsStaysWithTheFirst) {
    // The second list is held by nothing: the reader deletes it after the read.
    Bytes101 s;
    s.declare(1, "kessa_test::BunchList").object(1, 1, body().byte(1).u32(3)).object(1, 2, body().byte(1).u32(3));
    s.declare(2, bunchTag).object(2, 3, body().byte(0));
    auto list = readAs<BunchList>(s.end().bytes);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->bunches.size(), 1u);
    EXPECT_EQ(list->bunches[0]->vertexCount(), 0);
}

TEST(GeoBunchStream, TheFirstObjectOfTheStreamIsNeverTaken) {
    // Internals first: the batch keeps its own.
    Bytes101 s;
    s.declare(1, internalsTag).object(1, 1, body().byte(0));
    s.declare(2, bunchTag).object(2, 2, body().byte(1).u32(1).byte(0)).end();
    auto in = read(s.bytes).cast<GeoBunchInternals>();
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ownerBunch(), nullptr);
    // A vertex stream first: the internals leave their slot empty.
    Bytes101 t;
    t.declare(1, vertexTag).object(1, 1, body().byte(0));
    t.declare(2, bunchTag).object(2, 2, body().byte(1).u32(3).byte(0));
    t.declare(3, internalsTag).object(3, 3, body().byte(12).u32(1).byte(0)).end();
    auto v = read(t.bytes).cast<GeoBunch::vertex_data>();
    ASSERT_TRUE(v);
    EXPECT_EQ(v->refCount(), 0u);
}

TEST(GeoBunchStream, CountsTheRecordCannotHoldAreRefused) {
    // The record is given up at the count, before anything is allocated for
    // it; the reader goes on with the next record.
    LogCapture log;
    for (unsigned n : {0xFFFFFFFFu, 0x10000000u, 1000u}) {
        Bytes101 s;
        s.declare(1, vertexTag).object(1, 1, body().byte(2).compact(n).u32(0).u32(0).u32(0).byte(0)).end();
        auto v = read(s.bytes).cast<GeoBunch::vertex_data>();
        ASSERT_TRUE(v) << n;
        EXPECT_EQ(v->size(), 0u);
        EXPECT_EQ(v->data(), nullptr);
        Bytes101 f;
        f.declare(1, internalsTag).object(1, 1, body().byte(22).compact(n).byte(0)).end();
        auto frames = read(f.bytes).cast<GeoBunchInternals>();
        ASSERT_TRUE(frames) << n;
        EXPECT_TRUE(frames->frames().empty());
        Bytes101 g;
        g.declare(1, internalsTag).object(1, 1, body().byte(22).byte(2).byte(0).compact(n).u32(0).u32(0).u32(0).byte(0)).end();
        auto frame = read(g.bytes).cast<GeoBunchInternals>();
        ASSERT_TRUE(frame) << n;
        EXPECT_TRUE(frame->frames().empty());
        if (int(n) < 0)
            continue;
        Bytes101 list;
        list.declare(1, "kessa_test::BunchList").object(1, 1, body().byte(1).u32(2));
        list.declare(2, bunchTag).object(2, 2, body().byte(1).u32(3).byte(0));
        list.declare(3, internalsTag).object(3, 3, body().byte(15).u32(n).u32(4).byte(0));
        list.declare(4, texTag).object(4, 4, body().byte(0)).end();
        auto held = readAs<BunchList>(list.bytes);
        ASSERT_TRUE(held) << n;
        ASSERT_EQ(held->bunches.size(), 1u);
        EXPECT_FALSE(held->bunches[0]->internals().texCoords(0));
    }
    std::string text = log.text();
    EXPECT_NE(text.find("vertex_data: the stream ends inside its 1000 elements"), std::string::npos);
    EXPECT_NE(text.find("1000 animation frames do not fit in the record"), std::string::npos);
    EXPECT_NE(text.find("the stream ends inside animation[1]"), std::string::npos);
    EXPECT_NE(text.find("1000 texture-coordinate sets do not fit in the record"), std::string::npos);
}

TEST(GeoBunchStream, StripRecordKeepsSignedLengths) {
    Bytes101 s;
    s.declare(1, stripTag).object(1, 1, body().byte(2).byte(2).u32(4).u32(0xFFFFFFFBu).byte(0)).end();
    auto strips = readAs<GeoBunch::strip_data>(s.bytes);
    ASSERT_TRUE(strips);
    ASSERT_EQ(strips->size(), 2u);
    EXPECT_EQ((*strips)[0], 4);
    EXPECT_EQ((*strips)[1], -5);
}

TEST(GeoBunchStream, CallbacksWriteTheirCountAndReadBack) {
    orvel::ref_ptr<kessa::BunchCallbacks> hook(new kessa::BunchCallbacks);
    Bytes101 s;
    s.declare(1, callbacksTag).object(1, 1, body().byte(1).u32(0).byte(0)).end();
    EXPECT_EQ(write(hook.get()), s.bytes);
    EXPECT_TRUE(readAs<kessa::BunchCallbacks>(s.bytes));
}

// --- hostile streams ---

// Reads bytes and uses whatever batches come back as the renderer and the
// collision code would.
void readAndUse(const Bytes& bytes) {
    auto root = read(bytes);
    std::vector<GeoBunch*> bunches;
    if (auto list = root.cast<BunchList>())
        bunches = list->bunches;
    else if (auto b = root.cast<GeoBunch>())
        bunches.push_back(b.get());
    for (GeoBunch* b : bunches) {
        if (!b)
            continue;
        GeoBunchInternals& in = b->internals();
        b->triangleCount();
        in.verify();
        in.computeBounds();
        in.animate(0.4f);
        in.animate(-2.0f);
        kessa_test::TriangleList triangles;
        in.forEachTriangle(triangles);
        if (!in.valid())
            continue;
        // A valid batch names only vertices that exist, in arrays that cover them.
        unsigned n = unsigned(b->vertexCount());
        for (const auto& t : triangles.triangles) {
            ASSERT_LT(std::get<0>(t), n);
            ASSERT_LT(std::get<1>(t), n);
            ASSERT_LT(std::get<2>(t), n);
        }
        float sum = 0;
        for (unsigned i = 0; i < n; ++i) {
            sum += in.vertexPointer()[i].x;
            if (in.colorPointer())
                sum += in.colorPointer()[i].a;
            if (in.normalPointer())
                sum += in.normalPointer()[i].z;
            for (int set = 0; set < 2; ++set)
                if (in.texCoordPointer(set))
                    sum += in.texCoordPointer(set)[i].t;
        }
        (void)sum;
    }
}

Bytes sharedScene() {
    BunchList list;
    list.bunches.push_back(fullBunch().release());
    list.bunches.push_back(new GeoBunch);
    list.bunches.back()->setVertexData(list.bunches[0]->internals().vertices(), true);
    list.bunches.back()->setStripData(kessa_test::strips({3, -3}));
    return write(&list);
}

TEST(GeoBunchStreamFuzz, CutAtEveryLength) {
    LogCapture log;
    kessa_test::forEachCut(sharedScene(), readAndUse);
}

TEST(GeoBunchStreamFuzz, MutatedRecords) {
    LogCapture log;
    const Bytes whole = sharedScene();
    const Bytes single = write(fullBunch().get());
    std::mt19937 random(20240612);
    for (int round = 0; round < 8000; ++round) {
        Bytes bytes = round % 2 ? whole : single;
        kessa_test::mutateStream(bytes, random);
        readAndUse(bytes);
    }
}

}  // namespace
