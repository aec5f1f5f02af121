// What the scene tests share: comparisons, stream bytes laid down by hand,
// a walk that records what branches ask of it, leaves with bounds of their
// own, and builders of batches, loose triangles and polygons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "scene/Bounds.h"
#include "scene/CollisionAction.h"
#include "scene/Database.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"
#include "scene/MemoryOption.h"
#include "scene/Polygon.h"
#include "scene/RayTracer.h"
#include "scene/SceneStream.h"
#include "scene/render/Material.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "tests/support/StreamContract.h"

namespace kessa_test {

using kessa::GeoBunch;
using kessa::Vector;

inline ::testing::AssertionResult vectorNear(const Vector& a, const Vector& b, double tolerance) {
    if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", "
                                         << b.y << ", " << b.z << ")";
}

inline kessa::Bounds box(const Vector& min, const Vector& max) {
    kessa::Bounds b;
    b.set(min, max);
    return b;
}

// The box alone: unions carry spheres of their own.
inline ::testing::AssertionResult boxIs(const kessa::Bounds& b, const Vector& min, const Vector& max) {
    if (b.valid() && b.min() == min && b.max() == max)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "valid " << b.valid() << " (" << b.min().x << ", " << b.min().y << ", "
                                         << b.min().z << ") - (" << b.max().x << ", " << b.max().y << ", "
                                         << b.max().z << ")";
}

// ---- streams ----

using Bytes = StreamBytes;

// registerMore registers the factories of a test's own types.
inline orvel::counted_ptr<orvel::Streamable> readScene(const Bytes& bytes,
                                                        void (*registerMore)(orvel::DataSource&) = nullptr) {
    return readStream(bytes, [&](orvel::DataSource& s) {
        kessa::registerTypes(s);
        if (registerMore)
            registerMore(s);
    });
}

template <class T>
orvel::counted_ptr<T> roundTrip(orvel::Streamable* root) {
    return readScene(writeStream(root)).template cast<T>();
}

// Stream bytes in version 1.01, little-endian; body() is a record's fields alone.
struct Bytes101 {
    Bytes bytes;

    Bytes101() { text("ZanthaStream 1.01\n"); }
    Bytes101& byte(int v) {
        bytes.push_back((unsigned char)v);
        return *this;
    }
    Bytes101& raw(std::initializer_list<int> values) {
        for (int v : values)
            byte(v);
        return *this;
    }
    Bytes101& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Bytes101& u32(unsigned v) { return raw({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }
    Bytes101& f32(float f) {
        unsigned u;
        std::memcpy(&u, &f, 4);
        return u32(u);
    }
    Bytes101& f64(double d) {
        unsigned long long u;
        std::memcpy(&u, &d, 8);
        return u32(unsigned(u)).u32(unsigned(u >> 32));
    }
    Bytes101& compact(unsigned v) { return v < 255 ? byte(int(v)) : byte(255).u32(v); }
    Bytes101& string(const std::string& s) { return compact(unsigned(s.size())).text(s); }
    Bytes101& declare(int id, const std::string& tag) { return byte('?').compact(unsigned(id)).string(tag); }
    Bytes101& object(int type, unsigned id, const Bytes101& body) {
        byte('!').compact(unsigned(type)).u32(id).compact(unsigned(body.bytes.size()));
        bytes.insert(bytes.end(), body.bytes.begin(), body.bytes.end());
        return *this;
    }
    Bytes101& end() { return byte('#'); }
};

inline Bytes101 body() {
    Bytes101 b;
    b.bytes.clear();
    return b;
}

// A whole stream of records {type tag, id, body}, each type declared before
// its first record.
struct Record {
    std::string type;
    unsigned id;
    Bytes101 body;
};
inline Bytes records(const std::vector<Record>& list) {
    Bytes101 s;
    std::vector<std::string> types;
    for (const Record& r : list) {
        auto at = std::find(types.begin(), types.end(), r.type);
        if (at == types.end())
            s.declare(int(types.size()) + 1, r.type), at = types.insert(types.end(), r.type);
        s.object(int(at - types.begin()) + 1, r.id, r.body);
    }
    return s.end().bytes;
}

// The bodies of a group listing children (with tag 9: also a callback
// record), an object (root, external database), a database and an
// instance branch.
inline Bytes101 grp(const char* name, const std::vector<unsigned>& children, unsigned callback = 0) {
    Bytes101 b = body();
    if (*name)
        b.byte(1).string(name);
    if (callback)
        b.byte(11).u32(callback);
    b.byte(0).byte(1).compact(unsigned(children.size()));
    for (unsigned c : children)
        b.u32(c);
    return b.byte(0);
}
inline Bytes101 obj(const char* name, const std::vector<unsigned>& roots, const std::string& file = "") {
    Bytes101 b = body().byte(1).string(name);
    for (unsigned r : roots)
        b.byte(20).u32(r);
    if (!file.empty())
        b.byte(21).string(file);
    return b.byte(0);
}
inline Bytes101 dbase(const std::vector<unsigned>& objects, unsigned root = 0) {
    Bytes101 b = body().byte(1).compact(unsigned(objects.size()));
    for (unsigned o : objects)
        b.u32(o);
    if (root)
        b.byte(2).u32(root);
    return b.byte(0);
}
inline Bytes101 inst(const char* name, unsigned object) { return body().byte(1).string(name).byte(0).byte(2).u32(object).byte(0); }

// ---- walks and branches ----

// What a branch was visited with.
struct Visit {
    std::string name;
    unsigned overrides;
    float alpha;
    int animation;
    kessa::Matrix modelview;
};

// A walk that logs every test, visit, view change and mask, records each
// visit with the accumulator's state, and culls the branches a test names
// (children of those listed as inside are not tested).
class RecordingTraverser : public kessa::Traverser {
public:
    explicit RecordingTraverser(int mode = 0) : kessa::Traverser(mode) { setCulling(false); }

    bool cullingActive() override { return cullingOn_; }
    bool isCulled(kessa::Branch* branch) override {
        log.push_back("test " + std::string(branch->name().c_str()));
        return culled.count(branch->name().c_str()) != 0;
    }
    void visitBranch(kessa::Branch* branch) override {
        log.push_back("visit " + std::string(branch->name().c_str()));
        kessa::RenderAccumulator& acc = accumulator();
        visits.push_back({branch->name().c_str(), acc.overrideState(), acc.transparency(), acc.animation(), modelview()});
        kessa::Traverser::visitBranch(branch);
    }
    void transformView(const kessa::Matrix&) override { log.push_back("push"); }
    void restoreView() override { log.push_back("pop"); }
    bool pushMask() override {
        const std::string& tested = lastTested();
        masks_.push_back(masks_.back() && !inside.count(tested));
        log.push_back("mask+");
        return masks_.back();
    }
    bool popMask() override {
        masks_.pop_back();
        log.push_back("mask-");
        return masks_.back();
    }
    // Starts a walk with culling on or off, or under m.
    void setCulling(bool on) {
        cullingOn_ = on;
        masks_ = {on};
        traverseWith(kessa::Matrix(), kessa::Matrix());
    }
    void setModelview(const kessa::Matrix& m) {
        kessa::Matrix inverse;
        m.invert(inverse);
        traverseWith(m, inverse);
    }
    std::string names() const {
        std::string out;
        for (const Visit& v : visits)
            out += (out.empty() ? "" : " ") + v.name;
        return out;
    }
    std::string trace() const {
        std::string out;
        for (const std::string& l : log)
            out += (out.empty() ? "" : ", ") + l;
        return out;
    }

    std::set<std::string> culled, inside;
    std::vector<std::string> log;
    std::vector<Visit> visits;

private:
    std::string lastTested() const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->compare(0, 5, "test ") == 0)
                return it->substr(5);
        return "";
    }
    bool cullingOn_ = false;
    std::vector<bool> masks_{false};
};

// A leaf with bounds of its own, as a geometry branch has; deaths counts
// the leaves deleted.
class TestLeaf : public kessa::Branch {
public:
    explicit TestLeaf(const char* name = "") { setName(name); }
    TestLeaf(const Vector& min, const Vector& max) { bounds_.set(min, max); }
    TestLeaf(const char* name, const Vector& min, const Vector& max) : TestLeaf(min, max) { setName(name); }
    ~TestLeaf() override { ++deaths; }
    // New geometry: the bounds are replaced and the change marked.
    void setBox(const Vector& min, const Vector& max) {
        box_.set(min, max);
        markDirty();
    }
    void clean() override {
        ++cleans;
        if (box_.valid())
            bounds_ = box_;
        dirty_ = false;
    }
    int cleans = 0;
    static inline int deaths = 0;

private:
    kessa::Bounds box_;
};

// A group that counts what reaches it from below.
class CountingGroup : public kessa::GroupBranch {
public:
    explicit CountingGroup(const char* name = "") { setName(name); }
    void markDirty() override {
        ++dirtyCalls;
        markings += !isDirty();
        kessa::GroupBranch::markDirty();
    }
    bool growBounds(const kessa::Bounds& b) override {
        ++growCalls;
        return kessa::GroupBranch::growBounds(b);
    }
    void clean() override {
        cleans += isDirty();
        kessa::GroupBranch::clean();
    }
    // markings counts the calls that found the group clean.
    int dirtyCalls = 0, markings = 0, growCalls = 0, cleans = 0;
};

// Makes a T of args, named, appends it to group and returns it.
template <class T, class... Args>
T* add(kessa::GroupBranch& group, const char* name, Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    raw->setName(name);
    group.addChild(std::move(owned));
    return raw;
}

// ---- batches and loose triangles ----

template <class S, class E>
orvel::ref_ptr<S> streamOf(std::initializer_list<E> elements) {
    orvel::ref_ptr<S> s(new S);
    for (const E& e : elements)
        s->push_back(e);
    return s;
}
inline orvel::ref_ptr<GeoBunch::vertex_data> positions(std::initializer_list<GeoBunch::Float3> p) {
    return streamOf<GeoBunch::vertex_data>(p);
}
inline orvel::ref_ptr<GeoBunch::strip_data> strips(std::initializer_list<int> s) {
    return streamOf<GeoBunch::strip_data>(s);
}
inline orvel::ref_ptr<GeoBunch::index_data> indices(std::initializer_list<unsigned> i) {
    return streamOf<GeoBunch::index_data>(i);
}
// n positions along x: (0, 0, 0), (1, 0, 0), ...
inline orvel::ref_ptr<GeoBunch::vertex_data> row(unsigned n) {
    orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
    for (unsigned i = 0; i < n; ++i)
        v->push_back({float(i), 0, 0});
    return v;
}
inline GeoBunch::Frame frame(std::initializer_list<GeoBunch::Float3> p) {
    GeoBunch::Frame f;
    for (const GeoBunch::Float3& e : p)
        f.push_back(e);
    return f;
}

// The vertex numbers forEachTriangle hands out, as "a b c, ...".
inline std::string trianglesOf(GeoBunch& bunch) {
    struct List : GeoBunch::TriangleProcessor {
        std::string text;
        void processTriangle(GeoBunch&, unsigned a, unsigned b, unsigned c) override {
            text += (text.empty() ? "" : ", ") + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
        }
    } list;
    bunch.internals().forEachTriangle(list);
    return list.text;
}

// Triangles of the batch that name one vertex twice.
inline int collapsedTriangles(const GeoBunch& bunch) {
    int collapsed = 0;
    bunch.internals().walkTriangles([&](unsigned a, unsigned b, unsigned c) {
        collapsed += a == b || b == c || c == a;
        return true;
    });
    return collapsed;
}

inline kessa::GeoBunchBuilder::Triangle triangle(GeoBunch::Float3 a, GeoBunch::Float3 b, GeoBunch::Float3 c,
                                                 GeoBunch::Float3 normal = {0, 0, 1},
                                                 GeoBunch::Color4 colour = {255, 255, 255, 255}) {
    kessa::GeoBunchBuilder::Triangle t = {};
    const GeoBunch::Float3 p[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        t.corners[k] = {p[k], normal, colour, {{0, 0}, {0, 0}}};
    return t;
}

inline kessa::GeoBunchBuilder builderOf(std::vector<kessa::GeoBunchBuilder::Triangle> triangles) {
    kessa::GeoBunchBuilder b;
    b.triangles = std::move(triangles);
    return b;
}

// A wall ten units ahead, facing the origin.
inline std::unique_ptr<kessa::GeometryBranch> wallAhead() {
    auto wall = std::make_unique<kessa::GeometryBranch>();
    wall->addTriangles(builderOf({triangle({-100, 10, -100}, {300, 10, -100}, {-100, 10, 300})}));
    return wall;
}

// Uses a database of walls ahead (wallAhead) the way the program would:
// cleans it, draws it through a view-culled walk, traces a ray and moves a
// sphere towards them, which stops short. Gives the walls drawn, each of
// which the sphere's gathering meets too.
inline std::size_t wallsMet(kessa::Database& db) {
    db.clean();
    kessa::Viewer viewer;
    viewer.setWindowSize(100, 100);
    kessa::ViewCulledTraverser view;
    view.traverse(viewer);
    db.accumulate(view);
    kessa::RayTracer tracer;
    kessa::Ray ray;
    ray.aimAt({0, 20, 0});
    kessa::CollisionAction action;
    action.setMotion({0, 0, 0}, {0, 20, 0}, 1);
    action.addCollider(&db);
    EXPECT_TRUE(tracer.traceDatabase(ray, db) && action.collide() && action.position.y < 9);
    const std::size_t walls = std::size_t(view.accumulator().itemCount(kessa::RenderAccumulator::solidStuff));
    EXPECT_EQ(db.triangles.size(), walls);
    return walls;
}

// A white material that puts only the asked-for attributes into its vertices.
inline orvel::counted_ptr<kessa::Material> materialWith(bool normals, bool colours) {
    orvel::counted_ptr<kessa::Material> m(new kessa::Material(pellium::Color{1, 1, 1, 1}));
    m->setVertexNormals(normals);
    m->setVertexColours(colours);
    return m;
}

using Corners = std::array<float, 9>;

inline Corners cornersOf(const kessa::GeoBunchBuilder::Triangle& t) {
    Corners out;
    for (int k = 0; k < 3; ++k) {
        const GeoBunch::Float3& p = t.corners[k].position;
        out[3 * k] = p.x, out[3 * k + 1] = p.y, out[3 * k + 2] = p.z;
    }
    return out;
}

// n triangles whose corners are drawn from a lattice of side `side` (so
// that many corners are shared), spread over [0, side * spacing) on each
// axis; each corner gets its face's unit normal.
inline kessa::GeoBunchBuilder latticeSoup(std::mt19937& random, int n, int side, float spacing) {
    kessa::GeoBunchBuilder b;
    std::uniform_int_distribution<int> cell(0, side - 1);
    auto point = [&] { return Vector(cell(random), cell(random), cell(random)) * spacing; };
    while (int(b.triangles.size()) < n) {
        Vector a = point(), p = point(), c = point(), normal = (p - a).cross(c - a);
        if (Vector::normalize(normal) == 0)
            continue;
        auto f = [](const Vector& v) { return GeoBunch::Float3{float(v.x), float(v.y), float(v.z)}; };
        b.triangles.push_back(triangle(f(a), f(p), f(c), f(normal)));
    }
    return b;
}

// Point i of a serpentine through rows of row unit steps in z = 0: each two
// in a row are one step apart (the far corners of a fan round one vertex).
inline Vector serpentine(int i, int row) {
    const int y = i / row;
    return Vector(y % 2 ? row - 1 - i % row : i % row, y, 0);
}

// ---- polygons ----

// Sets the arena switch; it is off again afterwards.
class ArenaSwitch {
public:
    explicit ArenaSwitch(bool on) { on ? kessa::enablePolygonArena() : kessa::disablePolygonArena(); }
    ~ArenaSwitch() { kessa::disablePolygonArena(); }
    ArenaSwitch(const ArenaSwitch&) = delete;
    ArenaSwitch& operator=(const ArenaSwitch&) = delete;
};

inline std::unique_ptr<kessa::PolygonVertex> vertexAt(const Vector& p) {
    std::unique_ptr<kessa::PolygonVertex> v(new kessa::PolygonVertex);
    const double xyz[3] = {p.x, p.y, p.z};
    v->setPosition(xyz);
    return v;
}

inline std::unique_ptr<kessa::Polygon> polygonOf(const std::vector<Vector>& corners) {
    std::unique_ptr<kessa::Polygon> p(new kessa::Polygon);
    for (const Vector& c : corners) {
        std::unique_ptr<kessa::PolygonVertex> v = vertexAt(c);
        p->addVertex(v);
    }
    return p;
}

}  // namespace kessa_test
