// Batches through the object stream: the stream contract for batches that
// share streams, the writer's bytes, and hand-built, legacy and hostile
// records as rows of bytes, what was read and a log fragment.
#include <gtest/gtest.h>

#include <set>

#include "base/MemoryDataSource.h"
#include "scene/BunchCallbacks.h"
#include "scene/render/Texture.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::GeoBunch;
using kessa::GeoBunchInternals;

namespace {

const char bunchTag[] = "zanthorium::kessa::GeoBunch";
const char internalsTag[] = "zanthorium::kessa::GeoBunchInternals";
const char vertexTag[] = "zanthorium::kessa::GeoBunch::vertex_data";
const char indexTag[] = "zanthorium::kessa::GeoBunch::index_data";
const char texTag[] = "zanthorium::kessa::GeoBunch::texcoord_data";
const char listTag[] = "kessa_test::BunchList";

// Several batches in one stream, so that they can share streams. It owns
// the batches it lists; a batch listed twice, by it or by another list,
// belongs to the first.
class BunchList : public orvel::Streamable {
public:
    ~BunchList() override {
        for (GeoBunch* b : bunches)
            taken().erase(b), delete b;
    }
    void read(orvel::DataSource& in) override { kessa::stream::readOwnedList(in, this, &take); }
    const char* typeName() const override { return listTag; }
    void write(orvel::DataDest& out) override { out << bunches; }
    std::vector<GeoBunch*> bunches;

private:
    // Batches a list holds: a later batch may be given a freed one's address.
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

void registerList(orvel::DataSource& s) { StreamReader::addFactory(s, []() -> orvel::Streamable* { return new BunchList; }); }

orvel::counted_ptr<orvel::Streamable> read(const Bytes& bytes) { return readScene(bytes, registerList); }

std::string text(int v) { return std::to_string(v); }
std::string text(unsigned v) { return std::to_string(v); }
std::string text(const GeoBunch::Float3& p) { return text(int(p.x)) + "," + text(int(p.y)) + "," + text(int(p.z)); }
std::string text(const GeoBunch::Color4& c) { return text(unsigned(c.r)) + "," + text(unsigned(c.g)) + "," + text(unsigned(c.b)) + "," + text(unsigned(c.a)); }

// A stream as "n held h [no storage]" and its first elements.
template <class S>
bool elements(orvel::Streamable* o, std::string& s) {
    auto* a = dynamic_cast<S*>(o);
    if (!a)
        return false;
    s = text(a->size()) + " held " + text(a->refCount()) + (a->data() ? "" : " no storage");
    for (unsigned i = 0; i < a->size() && i < 4; ++i)
        s += " " + text((*a)[i]);
    return true;
}

// A batch as "<vertices>v <triangles>t", "invalid" when so, each stream
// it has with the holders of it (v vertices, s strips, i indices, c colours,
// n normals, 0 and 1 texture coordinates), its frames and legacy block.
std::string bunchText(GeoBunch& b) {
    GeoBunchInternals& in = b.internals();
    std::string s = text(b.vertexCount()) + "v " + text(b.triangleCount()) + "t" + (in.valid() ? "" : " invalid");
    const kessa::GeoBunch::RefStrm* streams[] = {in.vertices().get(), in.strips().get(), in.indices().get(),
                                                 in.colors().get(),   in.normals().get(), in.texCoords(0).get(),
                                                 in.texCoords(1).get()};
    for (int k = 0; k < 7; ++k)
        if (streams[k])
            s += std::string(" ") + "vsicn01"[k] + text(streams[k]->refCount());
    if (!in.frames().empty())
        s += " f" + text(unsigned(in.frames().size()));
    if (in.legacy().present)
        s += " legacy " + text(in.legacy().flags) + "/" + text(in.legacy().value4) + "/" + text(in.legacy().value5);
    return s;
}

std::string describe(orvel::Streamable* o) {
    std::string s;
    if (auto* list = dynamic_cast<BunchList*>(o)) {
        for (GeoBunch* b : list->bunches)
            s += (s.empty() ? "" : "; ") + bunchText(*b);
        return "[" + s + "]";
    }
    if (auto* b = dynamic_cast<GeoBunch*>(o))
        return bunchText(*b);
    if (auto* in = dynamic_cast<GeoBunchInternals*>(o))
        return std::string("internals") + (in->ownerBunch() ? " owned" : "") + " f" + text(unsigned(in->frames().size()));
    if (elements<GeoBunch::vertex_data>(o, s) || elements<GeoBunch::color_data>(o, s) ||
        elements<GeoBunch::strip_data>(o, s) || elements<GeoBunch::index_data>(o, s))
        return s;
    return o ? o->typeName() : "null";
}

// A batch with every stream kind, strips and frames.
GeoBunch* fullBunch() {
    auto* b = new GeoBunch;
    b->setVertexData(positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0.5f}}), false);
    b->setStripData(strips({4}));
    b->setIndexData(indices({0, 1, 2, 3, 3, 4, 5}));
    b->setColorData(streamOf<GeoBunch::color_data>(
        {GeoBunch::Color4{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}));
    b->setNormalData(streamOf<GeoBunch::normal_data>(
        {GeoBunch::Float3{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0.6f, 0.8f}, {0, 0, -1}}));
    b->setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}, {2, 1}}), 0);
    b->setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0.5f, 0}, {1, 0.5f}, {0, 1}, {1, 1}, {-2, 0}, {2, -1e-9f}}), 1);
    GeoBunch::Frame f0, f1;
    for (const GeoBunch::Float3& p : *b->internals().vertices())
        f0.push_back(p), f1.push_back({p.x * 2, p.y, p.z + 1});
    b->setAnimation({f0, f1});
    b->internals().computeBounds();
    return b;
}

// Uses whatever batches a read gave as the renderer and the collision code
// would: a valid batch names only vertices that exist, in arrays that cover them.
void use(orvel::Streamable* root) {
    std::vector<GeoBunch*> bunches;
    if (auto* list = dynamic_cast<BunchList*>(root))
        bunches = list->bunches;
    else if (auto* b = dynamic_cast<GeoBunch*>(root))
        bunches.push_back(b);
    for (GeoBunch* b : bunches) {
        GeoBunchInternals& in = b->internals();
        in.verify();
        in.computeBounds();
        in.animate(0.4f);
        in.animate(-2.0f);
        const unsigned n = unsigned(b->vertexCount());
        bool inside = true;
        in.walkTriangles([&](unsigned i0, unsigned i1, unsigned i2) { inside = inside && i0 < n && i1 < n && i2 < n;
            return true;
        });
        if (!in.valid())
            continue;
        ASSERT_TRUE(inside);
        float sum = 0;
        for (unsigned i = 0; i < n; ++i) {
            sum += in.vertexPointer()[i].x + (in.colorPointer() ? in.colorPointer()[i].a : 0) +
                   (in.normalPointer() ? in.normalPointer()[i].z : 0);
            for (int set = 0; set < 2; ++set)
                sum += in.texCoordPointer(set) ? in.texCoordPointer(set)[i].t : 0;
        }
        (void)sum;
    }
}

// Round trips, the same bytes again, cuts and seeded damage, for one full
// batch and for two sharing its vertex stream.
TEST(GeoBunchStream, BatchesMeetTheStreamContract) {
    LogCapture log;
    std::unique_ptr<GeoBunch> single(fullBunch());
    BunchList list;
    list.bunches.push_back(fullBunch());
    list.bunches.push_back(new GeoBunch);
    list.bunches.back()->setVertexData(list.bunches[0]->internals().vertices(), true);
    list.bunches.back()->setStripData(strips({3, -3}));
    support::StreamContract contract;
    contract.registerTypes = [](orvel::DataSource& s) { kessa::registerTypes(s), registerList(s); };
    contract.shape = describe;
    contract.use = use;
    contract.mutations = 4000;
    contract.seed = 20240612;
    contract.unknownTag = 200;
    contract.taggedTypes = "zanthorium::kessa::";
    EXPECT_TRUE(support::meetsStreamContract(single.get(), contract));
    EXPECT_TRUE(support::meetsStreamContract(&list, contract));
    EXPECT_EQ(describe(read(writeStream(&list)).get()), "[6v 3t v2 s1 i1 c1 n1 01 11 f2; 6v 2t v2 s1]");
    orvel::counted_ptr<GeoBunch> copy = read(writeStream(single.get())).cast<GeoBunch>();
    const GeoBunchInternals& in = copy->internals();
    EXPECT_TRUE(in.ownerBunch() == copy.get() && copy->bounds() == single->bounds() && in.frames() == single->internals().frames());
    EXPECT_TRUE(in.vertexPointer() == in.vertices()->data() && in.colorPointer() == in.colors()->data() &&
                in.normalPointer() == in.normals()->data() && in.texCoordPointer(1) == in.texCoords(1)->data());
    // An empty stream reads back empty, without storage.
    GeoBunch empty;
    empty.setVertexData(orvel::ref_ptr<GeoBunch::vertex_data>(new GeoBunch::vertex_data), false);
    empty.setColorData(orvel::ref_ptr<GeoBunch::color_data>(new GeoBunch::color_data));
    copy = read(writeStream(&empty)).cast<GeoBunch>();
    EXPECT_EQ(describe(copy->internals().colors().get()), "0 held 1 no storage");
    EXPECT_TRUE(!copy->internals().colorPointer() && !copy->internals().vertexPointer() && copy->internals().valid());
    // Callbacks write their count.
    orvel::ref_ptr<kessa::BunchCallbacks> hook(new kessa::BunchCallbacks);
    Bytes101 s;
    s.declare(1, "zanthorium::kessa::BunchCallbacks").object(1, 1, body().byte(1).u32(0).byte(0)).end();
    EXPECT_EQ(writeStream(hook.get()), s.bytes);
    EXPECT_TRUE(read(s.bytes).cast<kessa::BunchCallbacks>());
}

TEST(GeoBunchStream, TheWriterWritesThisRecord) {
    GeoBunch b;
    b.setVertexData(positions({{1, 2, 3}}), false);
    Bytes101 s;
    s.declare(1, bunchTag).object(1, 1, body().byte(1).u32(2).byte(2).byte(0).byte(0));
    s.declare(2, internalsTag)
        .object(2, 2, body().raw({1, 1, 2}).u32(1).u32(0).byte(10).u32(0).byte(11).u32(0).byte(12).u32(3).byte(13).u32(0)
                          .byte(14).u32(0).byte(15).u32(2).u32(0).u32(0).raw({22, 0, 0}));
    s.declare(3, vertexTag).object(3, 3, body().raw({1}).u32(1).raw({2, 1}).f32(1).f32(2).f32(3).byte(0)).end();
    EXPECT_EQ(writeStream(&b), s.bytes);
}

// A stream record of three zero elements of `words` words each.
Bytes101 zeros(int words) {
    Bytes101 b = body().byte(2).byte(3);
    for (int i = 0; i < 3 * words; ++i)
        b.u32(0);
    return b.byte(0);
}

// A batch whose internals have the body given: vertex stream 3, texture
// coordinates 4, indices 5 (0, 1, 7); older streams add a material (4 or
// through record 6) and a texture (5).
Bytes batch(const Bytes101& internalsBody, bool legacy = false) {
    Bytes101 s;
    s.declare(1, bunchTag).object(1, 1, body().byte(1).u32(2).byte(0));
    s.declare(2, internalsTag).object(2, 2, internalsBody);
    s.declare(3, vertexTag).object(3, 3, zeros(3));
    if (!legacy) {
        s.declare(4, texTag).object(4, 4, zeros(2));
        s.declare(5, indexTag).object(5, 5, body().byte(2).byte(3).u32(0).u32(1).u32(7).byte(0));
        return s.end().bytes;
    }
    s.declare(4, "zanthorium::kessa::Material")
        .object(4, 4, body().byte(1).string("Old").byte(11).f32(0.5f).f32(0.25f).f32(0).f32(1).byte(0));
    s.declare(5, "zanthorium::kessa::Texture").object(5, 5, body().byte(4).string("bricks").byte(0));
    s.declare(6, "internals::counted_ptr::orvel").object(6, 6, body().u32(1).u32(4));
    return s.end().bytes;
}

// Several batches in a list.
Bytes listed(std::initializer_list<unsigned> internals, const Bytes101& rest, int bunches = 0) {
    Bytes101 s, entries = body().byte(int(internals.size()));
    unsigned id = 2;
    for (std::size_t i = 0; i < internals.size(); ++i)
        entries.u32(id++);
    s.declare(1, listTag).object(1, 1, entries).declare(2, bunchTag);
    id = 2;
    for (unsigned in : internals)
        s.object(2, id++, in ? body().byte(1).u32(in).byte(0) : body().byte(0));
    if (bunches)
        s.object(1, 9, body().byte(1).u32(2));
    s.bytes.insert(s.bytes.end(), rest.bytes.begin(), rest.bytes.end());
    return s.end().bytes;
}

Bytes record(const char* tag, const Bytes101& body) {
    Bytes101 s;
    return s.declare(1, tag).object(1, 1, body).end().bytes;
}

// Fields that cannot be used are passed over with the rest of the record
// read in step; counts the record cannot hold are refused before anything
// is allocated; inconsistent streams are reported after the read.
TEST(GeoBunchStream, HandBuiltAndHostileRecords) {
    const char* const colorTag = "zanthorium::kessa::GeoBunch::color_data";
    const Bytes101 vertices = body().byte(1).u32(0).byte(2).byte(1).f32(1).f32(2).f32(3).byte(0);
    auto shared = [&](unsigned stored) {
        Bytes101 rest;
        rest.bytes.clear();
        rest.declare(3, internalsTag).object(3, 4, body().byte(12).u32(6).byte(0)).object(3, 5, body().byte(12).u32(6).byte(0));
        return rest.declare(4, vertexTag).object(4, 6, body().byte(1).u32(stored).byte(2).byte(1).f32(1).f32(2).f32(3).byte(0));
    };
    Bytes101 oneInternals;
    oneInternals.bytes.clear();
    oneInternals.declare(3, internalsTag).object(3, 4, body().byte(12).u32(5).byte(0)).declare(4, vertexTag).object(4, 5, zeros(3));
    const struct {
        const char* what;
        Bytes bytes;
        const char* read;
        const char* log;
    } rows[] = {
        {"a vertex record", record(vertexTag, vertices), "1 held 0 1,2,3", ""},
        {"a colour is one word of its bytes", record(colorTag, body().byte(2).byte(1).u32(0xAABBCCDDu).byte(0)),
         "1 held 0 221,204,187,170", ""},
        {"an empty index record", record(indexTag, body().byte(1).u32(5).byte(2).byte(0).byte(0)), "0 held 0 no storage", ""},
        {"signed strip lengths", record("zanthorium::kessa::GeoBunch::strip_data", body().byte(2).byte(2).u32(4).u32(0xFFFFFFFBu).byte(0)),
         "2 held 0 4 -5", ""},
        {"an unknown tag", batch(body().byte(7).byte(12).u32(3).byte(0)), "3v 1t v1", ""},
        {"a negative count of sets", batch(body().byte(15).u32(0xFFFFFFFFu).byte(12).u32(3).byte(0)), "3v 1t v1", ""},
        {"a reference of the wrong kind", batch(body().byte(12).u32(4).byte(13).u32(3).byte(0)), "0v 0t", ""},
        {"a second reference to a slot", batch(body().byte(12).u32(3).byte(12).u32(0).byte(11).u32(5).byte(11).u32(5).byte(0)),
         "3v 1t invalid v1 i1", "GeoBunchInternals::verify() - Index out of range\n\n"},
        {"sets beyond two", batch(body().byte(15).u32(5).u32(4).u32(4).u32(4).u32(4).u32(4).byte(12).u32(3).byte(0)),
         "3v 1t v1 02 12", "5 texture-coordinate sets, only the first 2 are kept"},
        {"legacy fields in step",
         batch(body().byte(3).u32(0x409).byte(4).u32(7).byte(5).u32(0xFFFFFFFFu).byte(20).u32(0).byte(21).u32(2).u32(0)
                   .u32(0).byte(12).u32(3).byte(0)),
         "3v 1t v1 legacy 1033/7/-1", ""},
        {"a stored count of 0", listed({4, 5}, shared(0)), "[1v 0t v2; 1v 0t v2]", ""},
        {"a stored count of 1000", listed({4, 5}, shared(1000)), "[1v 0t v2; 1v 0t v2]", ""},
        {"internals named by two batches", listed({4, 4}, oneInternals), "[3v 1t v1; 0v 0t]", ""},
        {"a batch listed by two lists", listed({0}, body(), 1), "[0v 0t]", ""},
        {"internals first: the batch keeps its own",
         Bytes101().declare(1, internalsTag).object(1, 1, body().byte(0)).declare(2, bunchTag).object(2, 2, body().byte(1).u32(1).byte(0)).end().bytes,
         "internals f0", ""},
        {"a vertex stream first: its slot stays empty",
         Bytes101().declare(1, vertexTag).object(1, 1, body().byte(0)).declare(2, bunchTag).object(2, 2, body().byte(1).u32(3).byte(0))
             .declare(3, internalsTag).object(3, 3, body().byte(12).u32(1).byte(0)).end().bytes,
         "0 held 0 no storage", ""},
    };
    for (const auto& r : rows) {
        LogCapture log;
        orvel::counted_ptr<orvel::Streamable> got = read(r.bytes);
        EXPECT_EQ(describe(got.get()), r.read) << r.what;
        EXPECT_NE(log.text().find(r.log), std::string::npos) << r.what << ": " << log.text();
        use(got.get());
    }
    LogCapture log;
    for (unsigned n : {0xFFFFFFFFu, 0x10000000u, 1000u}) {
        EXPECT_EQ(describe(read(record(vertexTag, body().byte(2).compact(n).u32(0).u32(0).u32(0).byte(0))).get()), "0 held 0 no storage");
        EXPECT_EQ(describe(read(record(internalsTag, body().byte(22).compact(n).byte(0))).get()), "internals f0");
        EXPECT_EQ(describe(read(record(internalsTag, body().byte(22).byte(2).byte(0).compact(n).u32(0).u32(0).u32(0).byte(0))).get()),
                  "internals f0");
        Bytes101 rest;
        rest.bytes.clear();
        rest.declare(3, internalsTag).object(3, 4, body().byte(15).u32(n).u32(5).byte(0)).declare(4, texTag).object(4, 5, body().byte(0));
        if (int(n) >= 0) {
            EXPECT_EQ(describe(read(listed({4}, rest)).get()), "[0v 0t]") << n;
        }
    }
    const std::string text = log.text();
    for (const char* line : {"vertex_data: the stream ends inside its 1000 elements", "1000 animation frames do not fit in the record",
                             "the stream ends inside animation[1]", "1000 texture-coordinate sets do not fit in the record"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // Letting go of one of two batches leaves the other's stream alive.
    orvel::counted_ptr<BunchList> list = read(listed({4, 5}, shared(1))).cast<BunchList>();
    delete list->bunches[0];
    list->bunches.erase(list->bunches.begin());
    EXPECT_EQ(describe(list.get()), "[1v 0t v1]");
}

// A big-endian stream swaps every element word, but frames are written as
// they lie in memory.
TEST(GeoBunchStream, BigEndianStreamsSwapElementsButNotFrames) {
    auto be = [](Bytes101& b, unsigned v) -> Bytes101& { return b.raw({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)}); };
    Bytes101 vertexBody = body().byte(2).byte(2), internalsBody = body().byte(12), bunchBody = body().byte(1);
    for (unsigned word : {0x3F800000u, 0x40000000u, 0x40400000u, 0x40800000u, 0x40A00000u, 0x40C00000u})
        be(vertexBody, word);
    be(internalsBody, 3).byte(22).byte(1).byte(2);
    for (float f : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 7.0f})
        internalsBody.f32(f);
    be(bunchBody, 2).byte(0);
    vertexBody.byte(0), internalsBody.byte(0);
    Bytes101 s;
    const Bytes101* bodies[3] = {&bunchBody, &internalsBody, &vertexBody};
    const char* tags[3] = {bunchTag, internalsTag, vertexTag};
    for (int type = 1; type <= 3; ++type) {
        const Bytes& b = bodies[type - 1]->bytes;
        s.declare(type, tags[type - 1]).byte('!').byte(type);
        be(s, unsigned(type)).compact(unsigned(b.size())).text(std::string(b.begin(), b.end()));
    }
    s.end();
    orvel::MemoryDataSource source(s.bytes.data(), unsigned(s.bytes.size()), false);
    source.swap = true;
    kessa::registerTypes(source);
    orvel::counted_ptr<GeoBunch> b = StreamReader::read(source).cast<GeoBunch>();
    ASSERT_TRUE(b && b->internals().valid());
    EXPECT_TRUE((*b->internals().vertices())[1].z == 6 && b->internals().frames()[0][1].z == 7);
}

// A legacy material block becomes the batch's material, shared with equal
// blocks; a legacy material (directly or through a counted record) and
// texture are taken over.
TEST(GeoBunchStream, LegacyMaterialsAreTakenOver) {
    const struct {
        unsigned flags;
        const char* material;  // lighting, smooth, sphere map, colours, normals, shared; first, second
        bool withMaterial, throughRecord;
    } rows[] = {{0x409, "LS-CNs 00", false, false}, {0x002, "-S-C-s 11", false, false}, {0x014, "--MC-s 10", false, false},
                {0x001, "LS--Ns 10", true, false},   {0x001, "LS--Ns 10", true, true}};
    for (const auto& r : rows) {
        Bytes101 in = body().byte(3).u32(r.flags).byte(12).u32(3);
        if (r.withMaterial)
            in.byte(20).u32(r.throughRecord ? 6 : 4).byte(21).u32(2).u32(5).u32(0);
        orvel::counted_ptr<GeoBunch> b = read(batch(in.byte(0), true)).cast<GeoBunch>();
        ASSERT_TRUE(b);
        const kessa::Material& m = *b->material().material();
        std::string got = std::string(m.lighting() ? "L" : "-") + (m.smoothShading() ? "S" : "-") + (m.sphereMap() ? "M" : "-") +
                          (m.vertexColours() ? "C" : "-") + (m.vertexNormals() ? "N" : "-") + (m.shared() ? "s" : "-") + " " +
                          text(b->material().first) + text(b->material().second);
        EXPECT_EQ(got, r.material) << r.flags;
        if (!r.withMaterial) {
            EXPECT_EQ(read(batch(in, true)).cast<GeoBunch>()->material().material(), b->material().material());
            continue;
        }
        EXPECT_TRUE(m.diffuse().red == 0.5f && m.diffuse().green == 0.25f && m.texture(0) && !m.texture(1));
        EXPECT_TRUE(m.texture(0)->name() == "bricks" && m.usesTexCoords(0));
    }
    // 0x400 and 0x401 differ only in lighting: read in either order, each
    // keeps its own, since a lit batch drawn unlit (or the other way) looks wrong.
    for (unsigned first : {0x400u, 0x401u}) {
        auto legacy = [](unsigned flags) { return read(batch(body().byte(3).u32(flags).byte(12).u32(3).byte(0), true)).cast<GeoBunch>(); };
        orvel::counted_ptr<GeoBunch> a = legacy(first), b = legacy(first ^ 1);
        EXPECT_TRUE(a->material()->lighting() == bool(first & 1) && b->material()->lighting() == !(first & 1));
        EXPECT_NE(a->material().material(), b->material().material());
    }
}

}  // namespace
