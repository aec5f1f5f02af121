// Batches built from loose triangles and extracted again, the corner
// welder, and ray tests and triangle gathering against plain references
// over random triangle soups.
#include <gtest/gtest.h>

#include "scene/CornerMatcher.h"
#include "scene/CornerWelder.h"
#include "scene/GeometryBranch.h"
#include "scene/Object.h"
#include "scene/Ray.h"
#include "scene/Teapot.h"
#include "scene/render/Texture.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa::Ray;
using kessa::RayHit;

namespace {

// T1 (0,0,0) (1,0,0) (0,1,0) and T2 (1,0,0) (1,1,0) (0,1,0): T2's copies of
// the shared corners moved along x, its normals and colours changed; what
// the material does not use does not keep corners apart.
TEST(GeoBunchBuilder, CornersWeldByPositionAndTheAttributesTheMaterialUses) {
    const struct {
        const char* what;
        bool lit;
        float move, turnDegrees, normalLength;
        unsigned char red;
        int vertices;
    } rows[] = {
        {"shared edge", true, 0, 0, 1, 255, 4},
        {"normals 2 degrees apart", true, 0, 2, 1, 255, 6},
        {"normals apart, unlit", false, 0, 2, 1, 255, 4},
        {"colours differ, unlit", false, 0, 0, 1, 0, 6},
        {"colours differ, lit", true, 0, 0, 1, 0, 4},
        {"moved within the tolerance", true, 4e-5f, 0, 1, 255, 4},
        {"moved past the tolerance", true, 8e-5f, 0, 1, 255, 6},
        {"short normals alike", true, 0, 0, 0.03f, 255, 4},
        {"long normals 10 degrees apart", true, 0, 10, 2, 255, 6},
    };
    for (const auto& c : rows) {
        const float a = float(c.turnDegrees * std::acos(-1.0) / 180), l = c.normalLength;
        GeoBunchBuilder b = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, l}),
                                       triangle({1 + c.move, 0, 0}, {1, 1, 0}, {0 + c.move, 1, 0},
                                                {0, l * std::sin(a), l * std::cos(a)}, {c.red, 255, 255, 255})});
        b.material.setMaterial(materialWith(c.lit, !c.lit));
        GeoBunch bunch;
        bunch.setTriangles(b);
        EXPECT_EQ(bunch.vertexCount(), c.vertices) << c.what;
        EXPECT_TRUE(bunch.triangleCount() == 2 && bunch.internals().valid() && !bunch.internals().strips()) << c.what;
        EXPECT_TRUE(bool(bunch.internals().normals()) == c.lit && bool(bunch.internals().colors()) == !c.lit) << c.what;
        EXPECT_TRUE(c.vertices == 6 || trianglesOf(bunch) == "0 1 2, 1 3 2") << c.what;
    }
}

TEST(GeoBunchBuilder, TrianglesWithoutAreaAreLeftOutAndRebuildsDropOldStreams) {
    GeoBunchBuilder b = builderOf({triangle({0, 0, 0}, {1e-5f, 0, 0}, {0, 1e-5f, 0}), triangle({0, 0, 0}, {1e-4f, 0, 0}, {0, 1e-4f, 0})});
    b.material.setMaterial(materialWith(true, false));
    GeoBunch bunch;
    bunch.setVertexData(row(4), true);
    bunch.setStripData(strips({4}));
    bunch.setColorData(streamOf<GeoBunch::color_data>({GeoBunch::Color4{1, 2, 3, 4}}));
    bunch.setTriangles(b);
    EXPECT_TRUE(bunch.triangleCount() == 1 && bunch.vertexCount() == 3 && bunch.internals().valid());
    EXPECT_TRUE(!bunch.internals().strips() && !bunch.internals().colors());
    // Nothing with an area: only the material is taken.
    const GeoBunch::vertex_data* before = bunch.internals().vertices().get();
    GeoBunchBuilder flat = builderOf({b.triangles[0]});
    flat.material.first = 0;
    bunch.setTriangles(flat);
    EXPECT_TRUE(bunch.internals().vertices().get() == before && bunch.material() == flat.material);
}

// A triangle with a corner that is not finite is left out with one line,
// wherever the corner is: the 100 x 100 ground around it is built as it
// is without it.
TEST(GeoBunchBuilder, CornersThatAreNotFiniteLeaveTheRestAlone) {
    GeoBunchBuilder ground;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            const float x = float(i), y = float(j);
            ground.triangles.push_back(triangle({x, y, 0}, {x + 1, y, 0}, {x, y + 1, 0}));
            ground.triangles.push_back(triangle({x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0}));
        }
    GeoBunch whole;
    whole.setTriangles(ground);
    const float nan = std::nanf(""), inf = INFINITY;
    for (const GeoBunch::Float3 far : {GeoBunch::Float3{nan, 50, 0}, {50, 50, inf}, {-inf, 50, 0}, {nan, nan, nan}}) {
        GeoBunchBuilder b = ground;
        b.triangles.insert(b.triangles.begin() + 9999, triangle({50, 50, 0}, {51, 50, 0}, far));
        LogCapture log;
        GeoBunch bunch;
        bunch.setTriangles(b);
        EXPECT_EQ(log.text(), "GeoBunch::setTriangles() - 1 triangles with a corner that is not finite left out\n");
        EXPECT_TRUE(*bunch.internals().vertices() == *whole.internals().vertices() && *bunch.internals().indices() == *whole.internals().indices());
    }
}

// Coordinates far out move by whole tiles towards the origin; equal stored
// coordinates in different tiles make different vertices.
TEST(GeoBunchBuilder, TextureCoordinatesFarOutMoveByWholeTiles) {
    const struct {
        float s[3], t[3], expectS[3], expectT[3];
    } rows[] = {
        {{100, 101, 102}, {0, 0, 1}, {0, 1, 2}, {0, 0, 1}},         {{79, 80, 81}, {0, 0, 1}, {-21, -20, -19}, {0, 0, 1}},
        {{-26, 24, 0}, {0, 1, 0}, {-26, 24, 0}, {0, 1, 0}},         {{-81, -80, -79}, {0, 0, 1}, {19, 20, 21}, {0, 0, 1}},
        {{30, 31, 30.5f}, {0, 1, 0}, {-20, -19, -19.5f}, {0, 1, 0}}, {{0, 0, 1}, {130, 130, 131}, {0, 0, 1}, {-20, -20, -19}},
        {{2e11f, 2e11f, 2e11f}, {0, 1, 0}, {2e11f, 2e11f, 2e11f}, {0, 1, 0}},
    };
    orvel::counted_ptr<kessa::Material> textured = materialWith(false, false);
    textured->setTexture(orvel::counted_ptr<kessa::Texture>(new kessa::Texture), 0);
    for (const auto& r : rows) {
        GeoBunchBuilder b = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0})});
        b.material.setMaterial(textured);
        for (int k = 0; k < 3; ++k)
            b.triangles[0].corners[k].texCoords[0] = {r.s[k], r.t[k]};
        GeoBunch bunch;
        bunch.setTriangles(b);
        const GeoBunch::Float2* coords = bunch.internals().texCoordPointer(0);
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(coords[k].s == r.expectS[k] && coords[k].t == r.expectT[k]) << r.s[k] << " " << r.t[k];
    }
    GeoBunchBuilder b = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), triangle({1, 0, 0}, {1, 1, 0}, {0, 1, 0})});
    b.material.setMaterial(textured);
    for (int k = 0; k < 6; ++k)
        b.triangles[std::size_t(k / 3)].corners[k % 3].texCoords[0] = {k == 0 ? 0.f : k == 4 ? 60.f : 30.f, 0};
    GeoBunch bunch;
    bunch.setTriangles(b);
    EXPECT_EQ(bunch.vertexCount(), 6);
}

namespace {

struct Uses {
    bool normals, colours, sets[2];
};

// Each corner takes the vertex of the first earlier corner at its place
// whose used attributes match (normals within 0.99985 in cosine, equal
// colours, texture coordinates within 0.00015 squared and in the same
// tile), else a new one; tile[i] is triangle i's tile in s.
std::vector<unsigned> indicesByScanning(const GeoBunchBuilder& b, const Uses& u, const std::vector<int>& tile) {
    auto corner = [&](std::size_t i) -> const GeoBunchBuilder::Corner& { return b.triangles[i / 3].corners[i % 3]; };
    auto match = [&](std::size_t i, std::size_t j) {
        const GeoBunchBuilder::Corner &a = corner(i), &c = corner(j);
        const Vector na(a.normal.x, a.normal.y, a.normal.z), nc(c.normal.x, c.normal.y, c.normal.z);
        bool alike = !u.normals || (na.dot(nc) > 0 && na.dot(nc) >= 0.99985 * na.length() * nc.length());
        alike = alike && (!u.colours || std::memcmp(&a.colour, &c.colour, 4) == 0);
        for (int set = 0; set < 2; ++set) {
            const double ds = double(a.texCoords[set].s) - c.texCoords[set].s;
            const double dt = double(a.texCoords[set].t) - c.texCoords[set].t;
            alike = alike && (!u.sets[set] || (tile[i / 3] == tile[j / 3] && ds * ds + dt * dt <= 1 - 0.99985));
        }
        return alike && std::memcmp(&a.position, &c.position, 12) == 0;
    };
    std::vector<unsigned> index(3 * b.triangles.size());
    for (std::size_t i = 0, vertices = 0; i < index.size(); ++i) {
        std::size_t j = 0;
        while (j < i && !match(i, j))
            ++j;
        index[i] = j < i ? index[j] : unsigned(vertices++);
    }
    return index;
}

// No triangles yet, a material that takes the attributes u names.
GeoBunchBuilder builderUsing(const Uses& u) {
    orvel::counted_ptr<kessa::Material> m = materialWith(u.normals, u.colours);
    for (int set = 0; set < 2; ++set)
        if (u.sets[set])
            m->setTexture(orvel::counted_ptr<kessa::Texture>(new kessa::Texture), set);
    GeoBunchBuilder b;
    b.material.setMaterial(m);
    return b;
}

// n triangles round one corner above a square, their far corners on a
// serpentine, textured; the middle corner of triangle i has the texture
// coordinates middle(i).
template <class Middle>
GeoBunchBuilder fan(int n, Middle middle) {
    GeoBunchBuilder b = builderUsing({false, false, {true, false}});
    for (int i = 0; i < n; ++i) {
        const Vector p = serpentine(i, 256), q = serpentine(i + 1, 256);
        b.triangles.push_back(triangle({128, 128, 10}, {float(p.x), float(p.y), 0}, {float(q.x), float(q.y), 0}));
        GeoBunchBuilder::Corner* c = b.triangles.back().corners;
        c[0].texCoords[0] = middle(i);
        c[1].texCoords[0] = {float(p.x / 256), float(p.y / 256)};
        c[2].texCoords[0] = {float(q.x / 256), float(q.y / 256)};
    }
    return b;
}

// Comparisons a matcher makes for the corners of a fan, asked in order: the
// middle corners share a position, each far one with a corner beside it.
long long fanComparisons(const GeoBunchBuilder& fan) {
    std::vector<const GeoBunchBuilder::Triangle*> triangles;
    std::vector<int> groupOf;
    for (const GeoBunchBuilder::Triangle& t : fan.triangles) {
        groupOf.insert(groupOf.end(), {0, int(triangles.size()) + 1, int(triangles.size()) + 2});
        triangles.push_back(&t);
    }
    const std::vector<kessa::CornerMatcher::Shift> shifts(2 * triangles.size());
    kessa::CornerMatcher::Uses uses;
    uses.sets[0] = true;
    kessa::CornerMatcher matcher(uses, triangles, shifts, groupOf, int(triangles.size()) + 2);
    for (int corner = 0; corner < int(groupOf.size()); ++corner)
        matcher.earlier(corner);
    return matcher.comparisons();
}

}  // namespace

// Corners at one place whose attributes differ in small steps, so that
// matches chain, take the vertex of the first earlier corner they match;
// attributes not finite and normals of no length match nothing. Round the
// middle of a fan, each corner apart from all others makes a vertex and
// each a little from the one before joins the first; four times the
// corners take under six times the comparisons, the tree a little deeper
// (each once looked at every earlier corner there: sixteen).
TEST(GeoBunchBuilder, CornersTakeTheVertexOfTheFirstEarlierCornerTheyMatch) {
    std::mt19937 random(5);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    for (int round = 0; round < 32; ++round) {
        const Uses u = {round % 2 == 1, round / 2 % 2 == 1, {round / 4 % 2 == 1, round / 8 % 2 == 1}};
        GeoBunchBuilder b = latticeSoup(random, 300, 3, 1.0f);
        std::vector<int> tile(b.triangles.size());
        for (std::size_t i = 0; i < b.triangles.size(); ++i) {
            tile[i] = pick(4) == 0 ? 1 + pick(2) : 0;
            for (GeoBunchBuilder::Corner& c : b.triangles[i].corners) {
                const float turn = float(pick(3)) * 0.0122f, length = pick(40) == 0 ? 0.0f : 1.0f + float(pick(2));
                c.normal = {0, length * std::sin(turn), length * std::cos(turn)};
                c.colour = {255, (unsigned char)(255 * pick(2)), 255, 255};
                for (auto& coords : c.texCoords)
                    coords = {0.008f * float(pick(4)) + 50.0f * float(tile[i]), 0.008f * float(pick(2))};
                if (tile[i] == 0 && pick(40) == 0)
                    c.texCoords[pick(2)].t = pick(2) ? NAN : INFINITY;
            }
        }
        b.material = builderUsing(u).material;
        GeoBunch bunch;
        bunch.setTriangles(b);
        const GeoBunch::index_data& built = *bunch.internals().indices();
        EXPECT_EQ(std::vector<unsigned>(&built[0], &built[0] + built.size()), indicesByScanning(b, u, tile))
            << "round " << round;
    }
    for (bool chained : {false, true}) {
        long long comparisons[2];
        for (int i = 0; i < 2; ++i) {
            const int n = 3000 << (2 * i);
            const GeoBunchBuilder b = fan(n, [&](int k) {
                return chained ? GeoBunch::Float2{0.05f * float(k) / float(n), 0}
                               : GeoBunch::Float2{0.02f * float(k % 256), 0.02f * float(k / 256)};
            });
            GeoBunch bunch;
            bunch.setTriangles(b);
            EXPECT_EQ(bunch.vertexCount(), chained ? n + 2 : 2 * n + 1);
            comparisons[i] = fanComparisons(b);
        }
        EXPECT_LT(comparisons[1], 6 * comparisons[0]) << comparisons[0] << ", then " << comparisons[1];
    }
}

// Halves ordered along the widest spread of midpoints; equal spreads go to
// the later axis (x = y over z, then y = z over x).
TEST(GeoBunchBuilder, SplittingInTwoOrdersAlongTheWidestSpreadOfMidpoints) {
    GeoBunchBuilder b, first, second;
    b.material.first = 0;
    for (float x : {4.f, 0.f, 3.f, 1.f, 2.f})
        b.triangles.push_back(triangle({x, 0, 0}, {x + 0.5f, 0, 0}, {x, 0.5f, 0}));
    first.triangles.push_back(b.triangles[0]);
    b.splitInTwo(first, second);
    ASSERT_TRUE(first.triangles.size() == 2 && second.triangles.size() == 3);
    EXPECT_TRUE(first.triangles[1].corners[0].position.x == 1 && second.triangles[2].corners[0].position.x == 4);
    EXPECT_TRUE(second.material == b.material && boxIs(b.bounds(), {0, 0, 0}, {4.5, 0.5, 0}));
    const float points[4][2] = {{0, 3}, {1, 0}, {2, 2}, {3, 1}};
    for (int axis = 0; axis < 2; ++axis) {
        GeoBunchBuilder d;
        for (const float* p : points) {
            GeoBunch::Float3 at = axis == 0 ? GeoBunch::Float3{p[0], p[1], 0} : GeoBunch::Float3{0, p[0], p[1]};
            d.triangles.push_back(triangle(at, at, at));
        }
        d.splitInTwo(first, second);
        const GeoBunch::Float3 &p0 = first.triangles[0].corners[0].position, &p1 = first.triangles[1].corners[0].position;
        EXPECT_TRUE((axis == 0 ? p0.x : p0.y) == 1 && (axis == 0 ? p1.x : p1.y) == 3) << axis;
    }
}

std::vector<Corners> cornersOf(GeoBunch& bunch) {
    std::vector<Corners> out;
    const GeoBunch::Float3* v = bunch.internals().vertexPointer();
    bunch.internals().walkTriangles([&](unsigned a, unsigned b, unsigned c) {
        out.push_back({v[a].x, v[a].y, v[a].z, v[b].x, v[b].y, v[b].z, v[c].x, v[c].y, v[c].z});
        return true;
    });
    return out;
}

// Built, extracted and built again, a soup keeps its triangles and
// vertices. On a lattice far coarser than the tolerance, positions alone
// make as many vertices as there are distinct corners.
TEST(GeoBunchBuilder, BuildExtractAndBuildAgainKeepTheTriangles) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        GeoBunchBuilder b = latticeSoup(random, 1 + round * 37, 3 + round % 5, 0.5f);
        const bool lit = round % 2 == 1;
        b.material.setMaterial(materialWith(lit, false));
        GeoBunch first;
        first.setTriangles(b);
        std::set<std::array<float, 3>> distinct;
        std::vector<Corners> expected;
        for (const GeoBunchBuilder::Triangle& t : b.triangles) {
            expected.push_back(kessa_test::cornersOf(t));
            for (const GeoBunchBuilder::Corner& c : t.corners)
                distinct.insert({c.position.x, c.position.y, c.position.z});
        }
        EXPECT_TRUE(lit ? first.vertexCount() >= int(distinct.size()) : first.vertexCount() == int(distinct.size()));
        EXPECT_EQ(cornersOf(first), expected);
        LogCapture log;
        GeoBunchBuilder extracted(first);
        EXPECT_EQ(log.text(), std::to_string(b.triangles.size()) + " triangles extracted\n");
        GeoBunch second;
        second.setTriangles(extracted);
        EXPECT_TRUE(second.vertexCount() == first.vertexCount() && cornersOf(second) == expected);
    }
}

// Corners welded within the tolerance of a batch's size never take two
// corners of one triangle together. A ribbon 1 wide and 40,000 long (its
// tolerance, 1.6, spans its width) keeps a vertex at each of its 80,002
// corner places; a triangle with an edge shorter than the tolerance keeps
// that edge, while the corners of the others still weld within it; a
// group no cell could divide gives a corner of a triangle it holds twice a
// vertex of its own.
TEST(GeoBunchBuilder, NoTriangleLosesACornerToWelding) {
    GeoBunchBuilder ribbon;
    for (int i = 0; i < 40000; ++i) {
        const float x = float(i);
        ribbon.triangles.push_back(triangle({x, 0, 0}, {x + 1, 0, 0}, {x + 1, 1, 0}));
        ribbon.triangles.push_back(triangle({x, 0, 0}, {x + 1, 1, 0}, {x, 1, 0}));
    }
    const GeoBunchBuilder sliver = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                                              triangle({1 + 4e-5f, 0, 0}, {1, 1, 0}, {4e-5f, 1, 0}),
                                              triangle({0.25f, 0.25f, 0}, {0.25f + 3e-5f, 0.25f, 0}, {0.25f, 0.5f, 0})});
    // Near x = 500 (the tolerance is 0.089) corners a little apart that no
    // cell can divide: the group holds two corners of the last triangle.
    const GeoBunchBuilder chain = builderOf(
        {triangle({-1000, 0, 0}, {1000, 0, 0}, {0, 1000, 0}),
         triangle({499.947083f, 0, 0}, {499.953766f, 0.113900006f, 0}, {499.969177f, 0.0536000021f, 0}),
         triangle({500.032837f, 0, 0}, {499.963135f, 0, 0}, {10, 1000, 0}),
         triangle({500.045563f, 0.080400005f, 0}, {499.947754f, 0, 0}, {499.940369f, 0, 0})});
    const struct {
        const char* shape;
        const GeoBunchBuilder& triangles;
        int vertices;
        bool undivided;
    } rows[] = {{"ribbon 1 x 40,000", ribbon, 80002, false},
                {"an edge shorter than the tolerance", sliver, 7, false},
                {"corners no cell can divide", chain, 10, true}};
    for (const auto& r : rows) {
        LogCapture log;
        GeoBunch bunch;
        bunch.setTriangles(r.triangles);
        EXPECT_EQ(log.text().rfind("Safety...\n", 0) == 0, r.undivided) << r.shape;
        EXPECT_EQ(bunch.vertexCount(), r.vertices) << r.shape;
        EXPECT_EQ(collapsedTriangles(bunch), 0) << r.shape;
        EXPECT_EQ(bunch.triangleCount(), int(r.triangles.triangles.size())) << r.shape;
    }
}

namespace {

// FNV-1a over every stream of the batch, each after its size.
std::uint64_t digestOf(const GeoBunch& bunch) {
    std::uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    };
    auto stream = [&](const auto& s) {
        const unsigned size = s ? s->size() : 0;
        add(&size, sizeof size);
        if (size > 0)
            add(s->data(), size * sizeof(*s->data()));
    };
    const kessa::GeoBunchInternals& in = bunch.internals();
    stream(in.vertices()), stream(in.indices()), stream(in.normals()), stream(in.colors()), stream(in.texCoords(0));
    return hash;
}

// A ground of unit cells `side` wide round the origin, two triangles a
// cell, each triangle's copy of a corner moved by up to `by` on every axis
// and given a normal a little aside and one of two colours: copies land on
// either side of the tolerance and of the planes that divide the cells.
GeoBunchBuilder jitteredGround(std::mt19937& random, int side, float by, bool coloured) {
    auto jitter = [&random] { return float(random()) / 2147483648.0f - 1; };
    GeoBunchBuilder b = builderUsing({!coloured, coloured, {false, false}});
    static const int cut[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    for (int j = 0; j < side * side; ++j)
        for (int k = 0; k < 6; ++k) {
            if (k % 3 == 0)
                b.triangles.emplace_back();
            const float x = float(j % side - side / 2 + cut[k][0]), y = float(j / side - side / 2 + cut[k][1]);
            b.triangles.back().corners[k % 3] = {{x + by * jitter(), y + by * jitter(), by * jitter()},
                                                 {0.01f * jitter(), 0.01f * jitter(), 1},
                                                 {255, (unsigned char)(random() % 2 * 255), 255, 255},
                                                 {}};
        }
    return b;
}

}  // namespace

// Batches of ordinary shapes weld as they always did: the digests of their
// streams as building gave them before welding minded the triangles' own
// size (the tolerance of the grounds is 2.3e-3 and 1.7e-3).
TEST(GeoBunchBuilder, OrdinaryShapesWeldAsTheyAlwaysDid) {
    orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(8, nullptr);
    teapot->clean();
    std::mt19937 random(17);
    GeoBunchBuilder soup = latticeSoup(random, 600, 6, 0.5f), litSoup = soup;
    litSoup.material.setMaterial(materialWith(true, false));
    auto built = [](const GeoBunchBuilder& b) {
        orvel::ref_ptr<GeoBunch> bunch(new GeoBunch);
        bunch->setTriangles(b);
        return bunch;
    };
    const struct {
        const char* shape;
        orvel::ref_ptr<GeoBunch> bunch;
        std::uint64_t digest;
    } rows[] = {
        {"teapot", dynamic_cast<const kessa::GeometryBranch&>(*teapot->root()->group()->child(0)).bunches()[0],
         0xf18945bb54199fd2ull},
        {"lattice soup", built(soup), 0x1e889cf3b166df29ull},
        {"lattice soup, lit", built(litSoup), 0x3bd0e3a2ee38fabdull},
        {"ground jittered a little", built(jitteredGround(random, 40, 1e-3f, false)), 0xaa708c70d4971c3dull},
        {"ground jittered past the tolerance", built(jitteredGround(random, 40, 4e-3f, false)), 0xa78b224db81178acull},
        {"ground jittered, coloured", built(jitteredGround(random, 30, 2e-3f, true)), 0x1df174f661923520ull},
        {"fan round one corner", built(fan(3000, [](int k) { return GeoBunch::Float2{0.02f * float(k % 256), 0}; })),
         0x7cc372ab7b71e709ull},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(collapsedTriangles(*r.bunch), 0) << r.shape;
        EXPECT_EQ(digestOf(*r.bunch), r.digest) << r.shape;
    }
}

// Flat shading shows the last corner's normal and colour everywhere; the
// default material takes colours, which a bare batch has none of; an index
// past the vertices leaves its triangle out.
TEST(RawGeometryBuilder, ReadsOnlyWhatTheBatchHas) {
    GeoBunchBuilder b = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1, 1})});
    orvel::counted_ptr<kessa::Material> flat = materialWith(true, true);
    flat->setSmoothShading(false);
    b.material.setMaterial(flat);
    b.triangles[0].corners[2].normal = {0, 0.6f, 0.8f};
    b.triangles[0].corners[2].colour = {9, 8, 7, 6};
    GeoBunch bunch;
    bunch.setTriangles(b);
    GeoBunchBuilder back(bunch);
    ASSERT_EQ(back.triangles.size(), 1u);
    for (const GeoBunchBuilder::Corner& c : back.triangles[0].corners)
        EXPECT_TRUE(c.normal.y == 0.6f && c.colour.r == 9);
    GeoBunch bare;
    bare.setVertexData(row(3), false);
    bare.setIndexData(indices({0, 1, 2, 0, 1, 3}));
    LogCapture log;
    GeoBunchBuilder some(bare);
    EXPECT_EQ(log.text(), "Bad index\n2 triangles extracted\n");
    ASSERT_EQ(some.triangles.size(), 1u);
    EXPECT_TRUE(some.triangles[0].corners[2].colour.a == 0 && some.triangles[0].corners[2].normal.z == 1);
}

TEST(CornerWelder, StraddlersWeldAcrossCellsAndChainsThatCannotBeDividedAreLogged) {
    // Two corners a third of the tolerance either side of the centre's x.
    std::vector<GeoBunch::Float3> corners = {{-10, -10, -10}, {10, 10, 10}, {-2e-4f, 5, 5}, {2e-4f, 5, 5}};
    std::vector<int> groups;
    kessa::CornerWelder welder;
    EXPECT_EQ(welder.weld(corners, groups), 3);
    EXPECT_EQ(groups[2], groups[3]);
    // Near x = 500 (the tolerance is 0.08): h1, ten corners 0.076 from it
    // and h2 0.096 from it, which no cell can divide.
    corners = {{-1000, 0, 0}, {1000, 0, 0}, {499.92f, 0, 0}, {499.824f, 0, 0}};
    corners.insert(corners.end(), 10, {499.996f, 0, 0});
    LogCapture log;
    EXPECT_EQ(welder.weld(corners, groups), 3);
    std::string expected = "Safety...\nv=499.920013427734,0.000000000000,0.000000000000  match=0\n";
    for (int i = 0; i < 10; ++i)
        expected += "v=499.996002197266,0.000000000000,0.000000000000  match=0\n";
    EXPECT_EQ(log.text(), expected + "v=499.824005126953,0.000000000000,0.000000000000  match=1\n");
}

// ---- ray tests and gathering ----

Vector corner(const Corners& t, int k) { return Vector(t[3 * k], t[3 * k + 1], t[3 * k + 2]); }

// Möller and Trumbore's test: the distance of a hit strictly inside the
// triangle and strictly inside the segment, or -1.
double reference(const Corners& t, const Ray& ray, bool oneSided) {
    Vector a = corner(t, 0), e1 = corner(t, 1) - a, e2 = corner(t, 2) - a;
    if (oneSided && e1.cross(e2).dot(ray.direction) >= 0)
        return -1;
    Vector p = ray.direction.cross(e2), s = ray.origin - a, q = s.cross(e1);
    double det = e1.dot(p);
    if (det == 0)
        return -1;
    double u = s.dot(p) / det, v = ray.direction.dot(q) / det, d = e2.dot(q) / det;
    return u > 0 && v > 0 && u + v < 1 && d > 0 && d < ray.length ? d : -1;
}

// A batch of the triangles as they are (no index list) or built (indexed).
orvel::ref_ptr<GeoBunch> batchOf(const GeoBunchBuilder& b, bool indexed, bool oneSided) {
    orvel::ref_ptr<GeoBunch> bunch(new GeoBunch);
    if (indexed) {
        bunch->setTriangles(b);
    } else {
        orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
        for (const GeoBunchBuilder::Triangle& t : b.triangles)
            for (const GeoBunchBuilder::Corner& c : t.corners)
                v->push_back(c.position);
        bunch->setVertexData(v, true);
    }
    bunch->material().first = oneSided ? 1 : 0;
    return bunch;
}

Ray rayFrom(const Vector& from, const Vector& to) {
    Ray r;
    r.setOrigin(from);
    r.aimAt(to);
    return r;
}

TEST(GeoBunchRay, RandomSoupsAgreeWithAPlainReference) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> at(-1, 5);
    for (int round = 0; round < 40; ++round) {
        GeoBunchBuilder soup = latticeSoup(random, 50, 9, 0.5f);
        const bool oneSided = round % 2 == 0;
        orvel::ref_ptr<GeoBunch> bunch = batchOf(soup, round % 4 < 2, oneSided);
        for (int i = 0; i < 50; ++i) {
            Ray ray = rayFrom({at(random), at(random), at(random)}, {at(random), at(random), at(random)});
            double nearest = ray.length;
            for (const GeoBunchBuilder::Triangle& t : soup.triangles) {
                double d = reference(kessa_test::cornersOf(t), ray, oneSided);
                nearest = d >= 0 && d < nearest ? d : nearest;
            }
            RayHit hit;
            hit.distance = ray.length;
            ASSERT_EQ(bunch->intersectRay(ray, hit, true), nearest < ray.length);
            EXPECT_EQ(hit.distance, ray.length) << "a first hit records nothing";
            ASSERT_EQ(bunch->intersectRay(ray, hit, false), nearest < ray.length);
            EXPECT_NEAR(hit.distance, nearest, 1e-9);
        }
    }
    // Edges, corners, plane ends and backs are no hits; a wall at 45 degrees
    // (its normal's largest components equal) is.
    const GeoBunchBuilder one = builderOf({triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), triangle({0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f})});
    const GeoBunchBuilder wall = builderOf({triangle({0, 0, 0}, {0, 0, 1}, {1, 1, 0})});
    const struct {
        const GeoBunchBuilder& soup;
        bool oneSided;
        Vector from, to;
        double distance;  // -1: no hit
    } rows[] = {
        {one, true, {0.25, 0.25, 1}, {0.25, 0.25, -1}, 0.5},    {one, true, {0.25, 0.25, 1}, {0.25, 0.25, 0.5}, -1},
        {one, true, {0.25, 0.25, 0.6}, {0.25, 0.25, -1}, 0.1},  {one, true, {0.5, 0, 1}, {0.5, 0, -1}, -1},
        {one, true, {0.5, 0.5, 0.2}, {0.5, 0.5, -1}, -1},       {one, true, {0, 0, 0.2}, {0, 0, -1}, -1},
        {one, true, {0.25, 0.25, -1}, {0.25, 0.25, 0.2}, -1},   {one, false, {0.25, 0.25, -1}, {0.25, 0.25, 0.2}, 1},
        {wall, true, {0, 1, 0.25}, {2 / std::sqrt(2.0), 1 - 2 / std::sqrt(2.0), 0.25}, std::sqrt(0.5)},
    };
    for (const auto& r : rows) {
        Ray ray = rayFrom(r.from, r.to);
        for (bool indexed : {false, true}) {
            RayHit hit;
            hit.distance = ray.length;
            EXPECT_EQ(batchOf(r.soup, indexed, r.oneSided)->intersectRay(ray, hit, false), r.distance >= 0);
            EXPECT_NEAR(hit.distance, r.distance >= 0 ? r.distance : ray.length, 1e-12) << r.from.x << " " << r.from.z;
        }
    }
    // A vertex stream grown in place has moved: ray tests and gathering read
    // it where it is now (the new positions, at the origin, make no triangle).
    orvel::ref_ptr<GeoBunch> grown = batchOf(one, false, true);
    grown->internals().vertices()->resize(100000);
    RayHit hit;
    hit.distance = 2;
    EXPECT_TRUE(grown->intersectRay(rayFrom({0.25, 0.25, 1}, {0.25, 0.25, -1}), hit, false) && std::fabs(hit.distance - 0.5) < 1e-12);
    kessa::TriangleVector gathered;
    grown->gatherTriangles(box({0, 0, 0.4}, {1, 1, 1}), gathered);
    EXPECT_TRUE(gathered.size() == 1 && gathered[0].p[2] == 0.5f);
}

// Every triangle not wholly beyond one face of the box, as a plain loop
// over the soup finds them; two-sided batches give each twice.
TEST(GeoBunchGather, RandomBoxesAgreeWithAPlainReference) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> at(-1, 5);
    for (int round = 0; round < 40; ++round) {
        GeoBunchBuilder soup = latticeSoup(random, 60, 9, 0.5f);
        const bool twoSided = round % 2 == 1;
        orvel::ref_ptr<GeoBunch> bunch = batchOf(soup, round % 4 < 2, !twoSided);
        Vector p(at(random), at(random), at(random)), q(at(random), at(random), at(random));
        kessa::Bounds region = box({std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z)},
                                   {std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z)});
        std::vector<Corners> expected;
        for (const GeoBunchBuilder::Triangle& t : soup.triangles) {
            Corners c = kessa_test::cornersOf(t);
            int outside = 63;
            for (int k = 0; k < 3; ++k) {
                int code = 0;
                for (int axis = 0; axis < 3; ++axis)
                    code |= (c[3 * k + axis] < region.min()[axis] ? 1 : c[3 * k + axis] > region.max()[axis] ? 2 : 0) << 2 * axis;
                outside &= code;
            }
            if (outside)
                continue;
            expected.push_back(c);
            if (twoSided)
                expected.push_back({c[0], c[1], c[2], c[6], c[7], c[8], c[3], c[4], c[5]});
        }
        kessa::TriangleVector gathered;
        bunch->gatherTriangles(region, gathered);
        ASSERT_EQ(gathered.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(std::equal(expected[i].begin(), expected[i].end(), gathered[i].p));
    }
    // The count walked: strip lengths, and the plain indices of an indexed batch.
    GeoBunch s;
    s.setVertexData(row(12), true);
    s.setStripData(strips({4, -5}));
    kessa::TriangleVector out;
    EXPECT_EQ(s.gatherTriangles(box({-1, -1, -1}, {20, 1, 1}), out), 9u);
    s.setIndexData(indices({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(s.gatherTriangles(box({-1, -1, -1}, {20, 1, 1}), out), 12u);
}

// A geometry branch names the nearest batch the filter leaves in.
TEST(GeometryBranchRay, TheNearestBatchNotFilteredOutIsNamed) {
    kessa::GeometryBranch branch;
    for (float z : {0.f, 0.5f})
        branch.addTriangles(builderOf({triangle({0, 0, z}, {1, 0, z}, {0, 1, z})}));
    struct SkipOne : kessa::BunchFilter {
        const GeoBunch* skipped = nullptr;
        bool skip(const GeoBunch& b) override { return &b == skipped; }
    } filter;
    const Ray ray = rayFrom({0.25, 0.25, 1}, {0.25, 0.25, -1});
    for (std::size_t skipped : {0u, 1u}) {
        filter.skipped = branch.bunches()[skipped];
        RayHit hit;
        EXPECT_TRUE(branch.intersectRay(ray, hit, false, &filter));
        EXPECT_TRUE(hit.bunch == branch.bunches()[1 - skipped] && hit.distance == (skipped ? 1 : 0.5));
    }
    kessa::TriangleVector out;
    EXPECT_EQ(branch.gatherTriangles(box({0, 0, 0}, {1, 1, 1}), out, &filter), 3u);
    EXPECT_EQ(out.size(), 1u);
}

}  // namespace
