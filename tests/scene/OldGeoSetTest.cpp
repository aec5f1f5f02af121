// Older geometry sets, laid down byte by byte: their conversion into the
// owner branch's batches, texture-coordinate repair and marking, hostile
// ranges and counts, and the deferred split of marked branches.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "scene/BunchSplitter.h"
#include "scene/Database.h"
#include "scene/GeoBunchInternals.h"
#include "scene/GroupBranch.h"
#include "scene/PolygonBranch.h"
#include "tests/scene/SceneStreams.h"
#include "tests/support/LogCapture.h"

using kessa::GeoBunch;
using kessa::PolygonBranch;
using kessa_test::Bytes101;

namespace {

// A set of vertices (i, i mod 2, i mod 3) (non-degenerate triangles in
// threes), owned by a polygon branch under a group.
struct Set {
    int vertices = 3;
    std::vector<unsigned> colours, indices;
    std::vector<int> strips;
    std::vector<float> texCoords;  // s, t pairs
    std::vector<std::array<int, 4>> primitives;  // flags, strip entries, vertex count, first vertex
    int announced = -1;

    Bytes101& words(Bytes101& b, int tag, const void* data, unsigned count, unsigned size) const {
        b.compact(unsigned(tag)).compact(count);
        for (unsigned i = 0; i < count * size; i += 4) {
            unsigned w;
            std::memcpy(&w, static_cast<const char*>(data) + i, 4);
            b.u32(w);
        }
        return b;
    }
    kessa_test::Bytes stream() const {
        Bytes101 set = kessa_test::body();
        std::vector<float> p;
        for (int i = 0; i < vertices; ++i)
            p.insert(p.end(), {float(i), float(i % 2), float(i % 3)});
        words(set, 3, p.data(), unsigned(vertices), 12);
        words(set, 1, colours.data(), unsigned(colours.size()), 4);
        words(set, 4, texCoords.data(), unsigned(texCoords.size() / 2), 8);
        words(set, 6, indices.data(), unsigned(indices.size()), 4);
        words(set, 7, strips.data(), unsigned(strips.size()), 4);
        set.byte(10).compact(unsigned(announced < 0 ? int(primitives.size()) : announced));
        for (const auto& p : primitives)
            set.byte(11).u32(0).u32(0).u32(0).u32(0).u32(unsigned(p[0])).u32(unsigned(p[1])).u32(unsigned(p[2])).u32(unsigned(p[3]));
        set.byte(20).u32(2).raw({22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 23, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0});
        Bytes101 s;
        s.declare(1, "zanthorium::kessa::GroupBranch").object(1, 1, kessa_test::body().raw({0, 1, 1}).u32(2).byte(0));
        s.declare(2, "zanthorium::kessa::PolygonBranch").object(2, 2, kessa_test::body().raw({0, 1}).u32(3).byte(0));
        s.declare(3, "zanthorium::kessa::GeoSet").object(3, 3, set).end();
        return s.bytes;
    }
};

constexpr int lit = 1, texCoordsWithoutTexture = 1 << 8, coloured = 1 << 6, twoSided = 1 << 12;

PolygonBranch* branchOf(const orvel::counted_ptr<orvel::Streamable>& root) {
    auto* group = dynamic_cast<kessa::GroupBranch*>(root.get());
    return group && group->childCount() == 1 ? dynamic_cast<PolygonBranch*>(group->child(0)) : nullptr;
}

}  // namespace

// A leading negative strip entry is a marker for plain-triangle indices
// after the strips' own; indices count from the primitive's first vertex.
TEST(OldGeoSet, PrimitiveBecomesABatch) {
    LogCapture log;
    Set s;
    s.vertices = 115;
    s.strips = {-6, 4, 5};
    for (unsigned i = 0; i < 15; ++i)
        s.indices.push_back(103 + i % 12);
    s.colours.assign(115, 0xFFFFFFFF);
    s.colours[107] = 0xFEFFFFFF;
    s.primitives = {{lit | coloured | twoSided, 3, 15, 100}};
    orvel::counted_ptr<orvel::Streamable> root = kessa_test::readScene(s.stream());
    PolygonBranch* b = branchOf(root);
    ASSERT_TRUE(b && b->bunches().size() == 1);
    GeoBunch& bunch = *b->bunches()[0];
    kessa::GeoBunchInternals& in = bunch.internals();
    EXPECT_TRUE(in.valid() && bunch.vertexCount() == 15 && in.indices()->size() == 15 && in.indices()->data()[0] == 3);
    EXPECT_TRUE(in.strips()->size() == 2 && in.strips()->data()[0] == 4 && in.strips()->data()[1] == 5);
    EXPECT_EQ(bunch.triangleCount(), 2 + 3 + 2);
    EXPECT_EQ(in.vertexPointer()[0].x, 100);
    EXPECT_TRUE(bunch.material().first == 0 && bunch.material().second == 1);
    EXPECT_TRUE(bunch.material()->lighting() && bunch.material()->vertexColours() && bunch.material()->colourMaterial() &&
                !bunch.material()->vertexNormals());
    EXPECT_TRUE(b->bounds().valid());
    EXPECT_EQ(log.text(), "");
}

// Coordinates far out are moved back by whole units; stretched ones, and a
// batch of 1,401 triangles or more, mark the branch for splitting. A branch
// destroyed while marked leaves the list.
TEST(OldGeoSet, TextureCoordinatesRepairedOrMarked) {
    LogCapture log;
    struct Row {
        float s0, s1, t1;
        int vertices;
        const char* logged;
        bool marked;
        float firstS;
    };
    const Row rows[] = {{50, 60, 1, 6, "fix   10.000000  1.000000\n", false, -5},
                        {0, 200, 1, 6, " is drastic\n", true, 0},
                        {0, 1, 1, 4200, "", false, 0},
                        {0, 1, 1, 4203, "", true, 0}};
    for (const Row& row : rows) {
        Set s;
        s.vertices = row.vertices;
        for (int i = 0; i < row.vertices; ++i)
            s.texCoords.insert(s.texCoords.end(), {i % 2 ? row.s1 : row.s0, i % 3 ? row.t1 : 0});
        s.primitives = {{texCoordsWithoutTexture, 0, row.vertices, 0}};
        orvel::counted_ptr<orvel::Streamable> root = kessa_test::readScene(s.stream());
        PolygonBranch* b = branchOf(root);
        ASSERT_TRUE(b && b->bunches().size() == 1);
        EXPECT_EQ(log.take(), row.logged);
        EXPECT_EQ(kessa::isPendingSplit(b), row.marked);
        EXPECT_EQ(b->bunches()[0]->internals().texCoordPointer(0)[0].s, row.firstS);
        root = nullptr;
        EXPECT_FALSE(kessa::isPendingSplit(b));
        kessa::splitPendingBranches();
    }
}

// A marked branch is split by the next database's clean.
TEST(OldGeoSet, MarkedBranchSplitByTheNextDatabaseClean) {
    LogCapture log;
    Set s;
    s.vertices = 4203;
    s.texCoords.assign(2 * 4203, 0.5f);
    s.primitives = {{texCoordsWithoutTexture, 0, 4203, 0}};
    orvel::counted_ptr<orvel::Streamable> root = kessa_test::readScene(s.stream());
    ASSERT_TRUE(branchOf(root));
    kessa::Database().clean();
    auto* group = root.cast<kessa::GroupBranch>().get();
    EXPECT_EQ(group->child(0)->name(), "split 1");
    EXPECT_EQ(log.count("Splitting bunch in branch \n"), 1);
}

// Ranges outside the arrays are refused primitive by primitive; the cursors
// stay in step, so a sound primitive after them still converts.
TEST(OldGeoSet, HostileRangesAreLeftOut) {
    LogCapture log;
    const std::array<int, 4> bad[] = {{0, 0, 3, -1},     {0, 0, 4, 0},  {0, 0, -3, 0},       {coloured, 0, 3, 0},
                                      {0, 2, 3, 0},      {0, -1, 3, 0}, {0, 1, 3, 0},        {0, 0, 0x7FFFFFFF, 2},
                                      {0, 0, 3, 0x7FFFFFFF}};
    for (const auto& primitive : bad) {
        Set s;
        s.strips = {-3, 0x7FFFFFFF};
        s.indices = {0, 1, 2};
        s.primitives = {primitive, {0, 0, 3, 0}};
        if (primitive[1] == 1)  // the marker names more plain indices than there are
            s.strips = {-4};
        orvel::counted_ptr<orvel::Streamable> root = kessa_test::readScene(s.stream());
        PolygonBranch* b = branchOf(root);
        ASSERT_TRUE(b);
        EXPECT_EQ(log.take(), "---OldGeoSet: primitive 0 names data outside its set - left out\n");
        ASSERT_EQ(b->bunches().size(), 1u);
        EXPECT_EQ(b->bunches()[0]->triangleCount(), 1);
    }
    // More primitives than announced make the read fail.
    Set s;
    s.primitives = {{0, 0, 3, 0}, {0, 0, 3, 0}, {0, 0, 3, 0}};
    s.announced = 2;
    EXPECT_FALSE(kessa_test::readScene(s.stream()));
    EXPECT_NE(log.text().find("Bad geoset"), std::string::npos);
}

// Every cut and seeded damage of a full set reads without harm, and what
// comes back is cleaned, split and let go.
TEST(OldGeoSet, CutAndDamagedStreams) {
    LogCapture log;
    Set s;
    s.vertices = 12;
    s.strips = {-3, 3, -3};
    s.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    s.colours.assign(12, 0x80FFFFFF);
    s.texCoords.assign(24, 70);
    s.primitives = {{coloured | texCoordsWithoutTexture, 3, 9, 0}, {lit, 0, 3, 9}};
    const kessa_test::Bytes whole = s.stream();
    auto use = [](const kessa_test::Bytes& bytes) {
        orvel::counted_ptr<orvel::Streamable> root = kessa_test::readScene(bytes);
        if (auto* b = dynamic_cast<kessa::Branch*>(root.get()))
            b->clean();
        kessa::splitPendingBranches();
    };
    kessa_test::forEachCut(whole, use);
    std::mt19937 random(19);
    for (int round = 0; round < 3000; ++round) {
        kessa_test::Bytes bytes = whole;
        kessa_test::mutateStream(bytes, random, 18);
        use(bytes);
    }
}
