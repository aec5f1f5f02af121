// Walks: the matrix stacks and their pools, culling plane by plane against
// a plain all-or-nothing walk over random scenes, the render accumulator's
// lists and stacks, and spheres moved and rays traced through databases
// against the same geometry built where it is drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <type_traits>

#include "scene/BranchRenderable.h"
#include "scene/CollisionAction.h"
#include "scene/DBCollider.h"
#include "scene/Database.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/Random.h"
#include "scene/RayTracer.h"
#include "scene/SwitchBranch.h"
#include "scene/TriangleCollider.h"
#include "scene/render/BoxRenderList.h"
#include "scene/render/Fog.h"
#include "scene/render/Renderable.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa;
using namespace kessa_test;

namespace {

Matrix translation(const Vector& v) {
    Matrix m;
    m.setTranslation(v);
    return m;
}

// A point of an inner level goes through each level on its way out; pools
// of 128 records are added for deep walks and never move; a walk starts
// from the given matrices with its state reset; the box list joins each
// accumulator once a frame, however often walks that draw nothing run.
TEST(Traverser, StacksPoolsAndTheBoxList) {
    Traverser t;
    Matrix b, bi, ai = translation({-1, -2, -3});
    b.setRotation(90, Vector(0, 0, 1));
    b.translate(Vector(5, 0, 0));
    b.invert(bi);
    t.pushTransform(translation({1, 2, 3}), ai);
    t.pushTransform(b, bi);
    Vector p, back;
    Matrix::transformPoint(p, Vector(1, 0, 0), t.modelview());
    Matrix::transformPoint(back, p, t.inverseModelview());
    EXPECT_TRUE(t.depth() == 2 && vectorNear(p, Vector(6, 3, 3), 1e-12) && vectorNear(back, Vector(1, 0, 0), 1e-12));
    t.popTransform();
    EXPECT_TRUE(t.inverseModelview() == ai && t.recordCapacity() == 128);
    t.popTransform();
    t.popTransform();  // the first level has nothing above it
    EXPECT_TRUE(t.depth() == 0 && t.modelview().isIdentity());
    Traverser deep;
    std::vector<const Matrix*> records;
    for (int i = 0; i < 300; ++i) {
        deep.pushTransform(translation({1, 0, 0}), translation({-1, 0, 0}));
        records.push_back(&deep.modelview());
    }
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(records[std::size_t(i)]->translation().x, i + 1) << i;
    EXPECT_EQ(deep.recordCapacity(), 384);
    const Matrix m = translation({0, 7, 0});
    deep.traverseWith(m, m);
    for (int i = 0; i < 300; ++i)
        deep.pushTransform(translation({1, 0, 0}), translation({-1, 0, 0}));
    EXPECT_TRUE(deep.recordCapacity() == 384 && &deep.modelview() == records[299]) << "the next walk reuses the pools";
    GroupBranch g;
    t.setReferencePoint(1, 2, 3);
    t.setLodScale(2);
    EXPECT_EQ(t.lodFactor(), 0.25);
    t.pushRecordedBranch(&g);
    t.countInstanceVisit();
    t.traverseWith(m, m);
    EXPECT_TRUE(t.depth() == 0 && t.modelview() == m && t.referencePoint() == Vector() && t.lodScale() == 1.0f && t.lodFactor() == 1.0);
    EXPECT_TRUE(t.recordedBranches().empty() && t.instanceVisits() == 0 && t.mode() == 0 && Traverser(1).mode() == 1);
    RenderAccumulator& acc = t.accumulator();
    for (int i = 0; i < 10; ++i)
        t.traverseWith(m, m);
    EXPECT_TRUE(acc.itemCount(RenderAccumulator::solidRenderables) == 1 && acc.item(RenderAccumulator::solidRenderables, 0).renderable == static_cast<Renderable*>(&t.boxRenderList()));
    acc.reset();
    t.traverseWith(m, m);
    RenderAccumulator other;
    t.setAccumulator(&other);
    t.traverseWith(m, m);
    EXPECT_TRUE(acc.itemCount(RenderAccumulator::solidRenderables) == 1 && other.itemCount(RenderAccumulator::solidRenderables) == 1);
    t.setAccumulator(nullptr);
    EXPECT_NE(&t.accumulator(), &other);
}

// A leaf that adds itself to the accumulator when visited, as a geometry
// branch adds its batches; its sphere may be tighter than its box.
class DrawnLeaf : public TestLeaf, public BranchRenderable, public Renderable {
public:
    DrawnLeaf(const Vector& min, const Vector& max, double sphere) : TestLeaf(min, max) {
        setRenderable(this);
        if (sphere < 1)
            bounds_.setSphere(bounds_.centre(), bounds_.radius() * sphere);
    }
    void render(Traverser& t) override { t.accumulator().add(this, &t.modelview(), false); }
};

// The names of the leaves drawn in a frame (the walk's box list left out).
std::vector<std::string> drawn(Traverser& t) {
    std::vector<std::string> out;
    for (int i = 0; i < t.accumulator().itemCount(RenderAccumulator::solidRenderables); ++i)
        if (auto* leaf = dynamic_cast<DrawnLeaf*>(t.accumulator().item(RenderAccumulator::solidRenderables, i).renderable))
            out.push_back(leaf->name().c_str());
    return out;
}

// The rule plane masks replace, as a second walk: a branch is tested on all
// six planes unless a branch above it lay wholly inside all six; culled
// when empty, beyond a plane, outside the frustum's box or with all
// corners beyond one plane.
void walkOnAllPlanes(Branch* b, const ViewFrustum& f, bool testing, std::vector<std::string>& out) {
    const Bounds& box = b->bounds();
    auto side = [&](int i, const Vector& v) { return f.plane(i)[0] + f.plane(i)[1] * v.x + f.plane(i)[2] * v.y + f.plane(i)[3] * v.z; };
    if (testing) {
        if (!box.valid())
            return;
        int centreInside = 0, whollyInside = 0;
        for (int i = 0; i < 6; ++i) {
            const double s = side(i, box.centre());
            if (s > box.radius())
                return;
            centreInside += s < 0, whollyInside += s < -box.radius();
        }
        testing = whollyInside < 6;
        if (testing && centreInside < 6) {
            for (int a = 0; a < 3; ++a)
                if (f.boxMin()[a] > box.max()[a] || f.boxMax()[a] < box.min()[a])
                    return;
            for (int i = 0; i < 6; ++i) {
                int inside = 0;
                for (int k = 0; k < 8; ++k)
                    inside += side(i, box.corner(k)) < 0;
                if (inside == 0)
                    return;
            }
        }
    }
    ViewFrustum inside = f;
    if (auto* instance = dynamic_cast<InstanceBranch*>(b)) {
        inside.transform(f, instance->inverse());
        return walkOnAllPlanes(instance->instance()->root(), inside, testing, out);
    }
    if (auto* joint = dynamic_cast<JointBranch*>(b))
        inside.transform(f, joint->current());
    else if (!b->hasChildren())
        return out.push_back(b->name().c_str());
    for (int i = 0; i < b->childCount(); ++i)
        walkOnAllPlanes(b->child(i), inside, testing, out);
}

// Leaves, nested groups, joints, and instances of one part turned, scaled
// and mirrored, at random.
struct RandomScene {
    explicit RandomScene(int seed) : random(seed) {
        auto part = std::make_unique<Object>(), scene = std::make_unique<Object>();
        auto partRoot = std::make_unique<GroupBranch>(), root = std::make_unique<GroupBranch>();
        fill(*partRoot, 2, 10, nullptr);
        fill(*root, 3, 60, part.get());
        part->attach(std::move(partRoot));
        scene->attach(std::move(root));
        db.addObject(std::move(scene));
        db.addObject(std::move(part));
        db.clean();
    }
    double between(double lo, double hi) { return lo + (hi - lo) * random.next(); }
    Vector anywhere(double size) { return Vector(between(-size, size), between(-size, size), between(-size, size)); }
    Matrix placement(double reach) {
        Matrix m;
        m.setRotation(between(-180, 180), anywhere(1));
        if (random.next() < 0.7)
            m.preScale(Vector(between(0.3, 3) * (random.next() < 0.3 ? -1 : 1), between(0.3, 3), between(0.3, 3) * (random.next() < 0.3 ? -1 : 1)));
        m.translate(anywhere(reach));
        return m;
    }
    void fill(GroupBranch& group, int depth, int count, Object* part) {
        for (int i = 0; i < count; ++i) {
            const double pick = depth > 0 ? random.next() : 1;
            if (pick < 0.15) {
                fill(*add<GroupBranch>(group, ""), depth - 1, 3 + int(random.next() * 6), part);
            } else if (pick < 0.25) {
                auto* joint = add<JointBranch>(group, "");
                fill(*joint, depth - 1, 2 + int(random.next() * 4), part);
                joint->setTransform(placement(40));
            } else if (pick < 0.35 && part) {
                auto* instance = add<InstanceBranch>(group, "");
                instance->setInstance(part);
                instance->setMatrix(placement(150));
            } else {
                const Vector at = anywhere(150), size(between(0.5, 20), between(0.5, 20), between(0.5, 20));
                add<DrawnLeaf>(group, ("leaf" + std::to_string(leaves++)).c_str(), at, at + size, random.next() < 0.4 ? between(0.6, 1) : 1);
            }
        }
    }
    Random random;
    Database db;
    int leaves = 0;
};

TEST(Culling, PlaneByPlaneKeepsWhatTheAllOrNothingRuleKeeps) {
    long drawnLeaves = 0;
    for (int seed = 1; seed <= 20; ++seed) {
        RandomScene scene(seed);
        Viewer viewer;
        ViewCulledTraverser t;
        for (int view = 0; view < 25; ++view) {
            viewer.setWindowSize(int(scene.between(50, 400)), int(scene.between(50, 400)));
            Matrix camera;
            camera.setEuler(scene.between(-30, 30), scene.between(-60, 60), scene.between(-180, 180));
            camera.translate(scene.anywhere(200));
            viewer.setCameraMatrix(camera);
            t.accumulator().reset();
            t.traverse(viewer);
            scene.db.accumulate(t);
            std::vector<std::string> expected;
            walkOnAllPlanes(scene.db.rootObject()->root(), viewer.frustum(), true, expected);
            ASSERT_EQ(drawn(t), expected) << "scene " << seed << ", view " << view;
            drawnLeaves += long(expected.size());
        }
    }
    EXPECT_GT(drawnLeaves, 2000) << "enough is drawn (and culled) for the comparison to mean something";
}

// The root crosses the frustum, so every child is tested; below a branch
// wholly inside nothing is; only an instance that crosses a plane carries
// the frustum into its space; levels of detail and switches pick their
// children.
TEST(Culling, TestsTransformsAndChoices) {
    Viewer viewer;
    ViewCulledTraverser t;
    auto part = std::make_unique<Object>(), scene = std::make_unique<Object>();
    part->attach(std::make_unique<DrawnLeaf>(Vector(-1, -1, -1), Vector(1, 1, 1), 1));
    part->root()->setName("part");
    auto root = std::make_unique<GroupBranch>();
    GroupBranch* inside = add<GroupBranch>(*root, "inside");
    for (int i = 0; i < 5; ++i)
        add<DrawnLeaf>(*inside, "near", Vector(-1, 20 + i, -1), Vector(1, 22 + i, 1), 1);
    add<DrawnLeaf>(*root, "behind", Vector(-1, -22, -1), Vector(1, -20, 1), 1);
    add<DrawnLeaf>(*root, "side", Vector(100, 9, -1), Vector(102, 11, 1), 1);
    for (double y : {30.0, 999.5, -30.0}) {  // inside, across the far plane, behind
        auto* instance = add<InstanceBranch>(*root, "instance");
        instance->setInstance(part.get());
        instance->setMatrix(translation({0, y, 0}));
    }
    LodBranch* fine = add<LodBranch>(*root, "fine");
    fine->setRange(50);
    add<DrawnLeaf>(*fine, "fine", Vector(-1, 39, -1), Vector(1, 41, 1), 1);
    add<LodBranch>(*root, "coarse")->setRange(500);
    add<DrawnLeaf>(*root->children().back()->group(), "coarse", Vector(-1, 39, -1), Vector(1, 41, 1), 1);
    SwitchBranch* choice = add<SwitchBranch>(*root, "choice", SwitchBranch::selectOne);
    add<DrawnLeaf>(*choice, "zero", Vector(-1, 9, -1), Vector(1, 11, 1), 1);
    add<DrawnLeaf>(*choice, "one", Vector(-1, 9, -1), Vector(1, 11, 1), 1);
    choice->select(1);
    scene->attach(std::move(root));
    Database db;
    db.addObject(std::move(scene));
    db.addObject(std::move(part));
    LodBranch::setFading(false);
    db.clean();
    t.traverse(viewer);
    db.accumulate(t);
    EXPECT_EQ(drawn(t), (std::vector<std::string>{"near", "near", "near", "near", "near", "part", "part", "fine", "one"}));
    EXPECT_EQ(t.testCount(), 11);
    EXPECT_TRUE(t.transformCount() == 1 && t.instanceVisits() == 3 && t.accumulator().viewer() == &viewer) << t.transformCount() << " " << t.instanceVisits();
    viewer.setCameraMatrix(translation({0, -60, 0}));
    t.accumulator().reset();
    t.traverse(viewer);
    db.accumulate(t);
    EXPECT_EQ(drawn(t).back(), "one");
    EXPECT_EQ(drawn(t)[drawn(t).size() - 2], "coarse") << "farther away the coarse level shows";
    LodBranch::setFading(true);
}

// How the accumulator sorts what is added (solid, blended or transparent,
// ordered over everything; batches alike, opaque ones of one batch chained
// newest first); each item keeps the state of its moment; popping an
// initial entry is logged and keeps it; reset begins a frame.
TEST(RenderAccumulator, ListsStacksAndFrames) {
    RenderAccumulator acc;
    Renderable r;
    Matrix m;
    Fog thick;
    GeoBunch opaque, blended;
    blended.material().second = 1;
    const unsigned frame = acc.frame();
    acc.add(&r, &m, false);
    acc.pushOverrideState(RenderAccumulator::noDepthWrite);
    acc.pushAnimation(5);
    acc.pushFog(&thick);
    acc.add(&r, &m, false);
    acc.pushFog(nullptr);
    acc.add(&r, nullptr, true);
    acc.pushTransparency(0.5f);
    acc.add(&r, &m, false);
    acc.addBunch(&opaque, &m);
    acc.popTransparency();
    acc.addBunch(&opaque, &m);
    acc.addBunch(&blended, &m);
    acc.addBunch(&opaque, nullptr);
    acc.pushOverrideState(RenderAccumulator::ordered);
    acc.add(&r, &m, true);
    acc.addBunch(&blended, &m);
    auto items = [&](RenderAccumulator::List list) {
        std::string s;
        for (int i = 0; i < acc.itemCount(list); ++i) {
            const RenderAccumulator::Item& it = acc.item(list, i);
            s += std::string(it.bunch ? "b" : "r") + std::to_string(it.overrides) + std::to_string(it.animation) + (it.fog == &thick ? "f" : "") +
                 (it.transparency < 1 ? "t" : "") + (it.matrix ? "" : "0") + (it.bunch && it.next >= 0 ? ">" + std::to_string(it.next) : "") + " ";
        }
        return s;
    };
    EXPECT_EQ(items(RenderAccumulator::solidRenderables), "r00 r25f ");
    EXPECT_EQ(items(RenderAccumulator::solidStuff), "b25 b250>0 ");
    EXPECT_EQ(items(RenderAccumulator::bunches), "r250 r25t b25t b25 ");
    EXPECT_EQ(items(RenderAccumulator::orderedStuff), "r35 b35 ");
    acc.popOverrideState();
    acc.popFog();
    EXPECT_TRUE(acc.overrideState() == 2 && acc.fog() == &thick && acc.animation() == 5 && acc.defaultFog().end == 1000.0f);
    acc.reset();
    EXPECT_TRUE(acc.frame() == frame + 1 && acc.itemCount(RenderAccumulator::bunches) == 0 && acc.overrideState() == 0 && acc.animation() == 0);
    EXPECT_TRUE(acc.fog() == &acc.defaultFog() && acc.transparency() == 1 && acc.viewer() == nullptr);
    acc.addBunch(&opaque, &m);
    EXPECT_EQ(items(RenderAccumulator::solidStuff), "b00 ") << "a new frame starts new chains";
    LogCapture log;
    acc.popOverrideState();
    acc.popTransparency();
    acc.popAnimation();
    acc.popFog();
    EXPECT_EQ(log.text(), "Error: RenderAccumulator::popOverrideState() - stack underflow\nError: RenderAccumulator::popTransparency() - stack underflow\n"
                          "Error: RenderAccumulator::popAnimation() - stack underflow\nError: RenderAccumulator::popFog() - stack underflow\n");
    EXPECT_TRUE(acc.overrideState() == 0 && acc.transparency() == 1 && acc.animation() == 0 && acc.fog() == &acc.defaultFog());
    for (int i = 0; i < 5000; ++i) {
        acc.pushAnimation(i);
        acc.add(&r, &m, false);
    }
    EXPECT_TRUE(acc.itemCount(RenderAccumulator::solidRenderables) == 5000 && acc.item(RenderAccumulator::solidRenderables, 4999).animation == 4999);
    // A batch gathered by two accumulators at once: each keeps its own
    // chains, rather than follow the other's hint into a group of its own
    // that holds another batch.
    GeoBunch a, b;
    RenderAccumulator one, two;
    two.addBunch(&b, &m);
    one.addBunch(&a, &m);
    two.addBunch(&a, &m);
    one.addBunch(&a, &m);
    two.addBunch(&a, &m);
    EXPECT_TRUE(one.item(RenderAccumulator::solidStuff, 1).next == -1 && two.item(RenderAccumulator::solidStuff, 2).next == 1);
    EXPECT_TRUE(two.item(RenderAccumulator::solidStuff, 1).next == -1 && two.item(RenderAccumulator::solidStuff, 0).next == -1);
}

// ---- collision and ray tracing ----

// One-sided planes: a wall at y = 5 facing -y, a floor at z = 0 facing +z.
const GeoBunchBuilder::Triangle wall = triangle({-100, 5, -100}, {300, 5, -100}, {-100, 5, 300});
const GeoBunchBuilder::Triangle ground = triangle({-100, -100, 0}, {300, -100, 0}, {-100, 300, 0});

std::unique_ptr<GeometryBranch> leaf(std::vector<GeoBunchBuilder::Triangle> triangles) {
    auto branch = std::make_unique<GeometryBranch>();
    branch->addTriangles(builderOf(std::move(triangles)));
    return branch;
}

// A database whose root object holds the branch (and another object).
std::unique_ptr<Database> sceneOf(std::unique_ptr<Branch> root, Object* part = nullptr) {
    auto db = std::make_unique<Database>();
    db->addObject(std::make_unique<Object>());
    db->rootObject()->attach(std::move(root));
    if (part)
        db->addObject(std::unique_ptr<Object>(part));
    db->clean();
    return db;
}

std::pair<bool, Vector> move(Database& db, const Vector& start, const Vector& delta, double radius) {
    CollisionAction action;
    action.setMotion(start, delta, radius);
    action.addCollider(&db);
    const bool changed = action.collide();
    return {changed, action.position};
}

// Walks that draw nothing collect nothing, however often they run.
void expectNothingDrawn(Traverser& walk) {
    EXPECT_TRUE(walk.accumulator().itemCount(RenderAccumulator::solidStuff) == 0 && walk.accumulator().itemCount(RenderAccumulator::bunches) == 0);
    EXPECT_LE(walk.accumulator().itemCount(RenderAccumulator::solidRenderables), 1);
}

// Spheres stop 0.001 short of the first plane they meet and slide along
// it; along an edge they meet the border point nearest their path; a move
// or radius that is not finite is refused; the branches' collision modes
// and the database's switches choose what the database's collision
// traverser gathers, and nothing far from the path; its statistic counts
// one gathering.
TEST(Collision, SpheresStopAndSlide) {
    static_assert(std::is_base_of<CollisionTraverser, Database::DBCollider>::value, "");
    const double s = 7.0710678, inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        const GeoBunchBuilder::Triangle& plane;
        Vector start, delta;
        double radius;
        bool changed;
        Vector end;
    } rows[] = {
        {"straight at a wall", wall, {0, 0, 0}, {0, 10, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"a thin wall at any speed", wall, {0, 0, 0}, {0, 1e5, 0}, 1, true, {0, 3.9989999999525025, 0}},
        {"at 45 degrees into a wall", wall, {0, 0, 0}, {s, s, 0}, 1, true, {7.068896, 3.997124, 0}},
        {"at 45 degrees onto a floor", ground, {0, 0, 2}, {0, s, -s}, 1, true, {0, 7.066774, 1.004994}},
        {"through the back of a wall", wall, {0, 6, 0}, {0, -10, 0}, 1, false, {0, -4, 0}},
        {"parallel to a wall", wall, {0, 0, 0}, {10, 0, 0}, 1, false, {10, 0, 0}},
        {"starting half in front of a wall", wall, {0, 4.5, 0}, {0, 10, 0}, 1, true, {0, 4.4989999999525025, 0}},
        {"starting half behind a wall", wall, {0, 5.5, 0}, {0, 10, 0}, 1, false, {0, 15.5, 0}},
        {"without a radius", wall, {0, 0, 0}, {0, 10, 0}, 0, false, {0, 0, 0}},
        {"without a distance", wall, {0, 0, 0}, {0, 0, 0}, 1, false, {0, 0, 0}},
        {"too far to measure", wall, {0, 0, 0}, {0, 1e200, 0}, 1, false, {0, 0, 0}},
        {"infinitely far", wall, {0, 0, 0}, {0, inf, 0}, 1, false, {0, 0, 0}},
        {"nowhere", wall, {0, 0, 0}, {std::nan(""), 1, 0}, 1, false, {0, 0, 0}},
        {"without a radius that is a number", wall, {0, 0, 0}, {0, 10, 0}, std::nan(""), false, {0, 0, 0}},
        {"with an infinite radius", wall, {0, 0, 0}, {0, 10, 0}, inf, false, {0, 0, 0}},
    };
    for (const auto& r : rows) {
        LogCapture log;
        std::pair<bool, Vector> m = move(*sceneOf(leaf({r.plane})), r.start, r.delta, r.radius);
        EXPECT_TRUE(m.first == r.changed && vectorNear(m.second, r.end, 1e-6)) << r.what;
        const bool refused = !std::isfinite(r.delta.length() + r.radius);
        EXPECT_EQ(log.count("kessa::CollisionAction - a move or radius that is not finite was refused\n"), refused) << r.what;
    }
    std::unique_ptr<Database> edge = sceneOf(leaf({triangle({1, 5, -5}, {3, 5, 0}, {1, 5, 5})}));
    CollisionAction action;
    action.setMotion({0, 0, 0}, {0, 10, 0}, 1.5);
    edge->prepare(action);
    double t;
    Vector contact;
    ASSERT_TRUE(edge->collide(action, t, contact));
    EXPECT_TRUE(std::fabs(t - (5 - std::sqrt(1.25))) < 1e-12 && vectorNear(contact, {1, 5, 0}, 1e-12));
    auto root = std::make_unique<GroupBranch>();
    for (int mode = 0; mode < 4; ++mode) {
        root->addChild(leaf({wall}));
        root->children().back()->setCollisionMode(mode);
    }
    std::unique_ptr<Database> db = sceneOf(std::move(root));
    const struct {
        bool mode2, mode3;
        std::size_t gathered;
    } modes[] = {{false, false, 2}, {true, false, 3}, {true, true, 2}, {false, true, 1}};
    for (const auto& r : modes) {
        db->setMode2Collides(r.mode2);
        db->setMode3Ignored(r.mode3);
        db->prepare(action);
        EXPECT_TRUE(db->triangles.size() == r.gathered && db->collider()->walked() == 3 * r.gathered);
    }
    action.setMotion({0, -50, 0}, {0, 10, 0}, 1);
    db->prepare(action);
    EXPECT_TRUE(db->triangles.empty());
    expectNothingDrawn(*db->collider());
}

// A closed box of outward triangles, 2 units wide, centred on the origin
// and moved by m (its outside kept outward when m mirrors).
std::vector<GeoBunchBuilder::Triangle> closedBox(const Matrix& m = Matrix()) {
    std::vector<GeoBunchBuilder::Triangle> out;
    const bool mirror = m.row(0).cross(m.row(1)).dot(m.row(2)) < 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            auto at = [&](double du, double dv) {
                Vector p, q;
                p[axis] = sign, p[(axis + 1) % 3] = du * sign, p[(axis + 2) % 3] = dv;
                Matrix::transformPoint(q, p, m);
                return GeoBunch::Float3{float(q.x), float(q.y), float(q.z)};
            };
            out.push_back(triangle(at(-1, -1), mirror ? at(-1, 1) : at(1, -1), mirror ? at(1, -1) : at(-1, 1)));
            out.push_back(triangle(at(1, -1), mirror ? at(-1, 1) : at(1, 1), mirror ? at(1, 1) : at(-1, 1)));
        }
    return out;
}

// Spheres thrown and rays shot at a box shown through an instance (turned,
// scaled, mirrored) or a joint stop, slide and hit as against the same box
// built where it is drawn.
TEST(Collision, InstancesAndJointsAreMetWhereTheyAreDrawn) {
    Matrix turned, scaled, mirrored, jointTurn;
    turned.setRotation(90, {0, 0, 1});
    turned.translate({30, 0, 0});
    scaled.scale({2, 2, 2});
    scaled.translate({0, 20, 5});
    mirrored.scale({-1, 1, 1});
    mirrored.translate({-30, 0, 0});
    jointTurn.setRotation(40, {1, 0, 0});
    jointTurn.translate({0, -100, 0});
    std::mt19937 random(9);
    std::uniform_real_distribution<double> unit(-1, 1);
    RayTracer tracer, referenceTracer;
    for (const Matrix& m : {turned, scaled, mirrored, jointTurn}) {
        const bool throughJoint = &m == &jointTurn;
        auto root = std::make_unique<GroupBranch>();
        Object* part = nullptr;
        Matrix drawnWith = m;
        if (throughJoint) {
            auto* joint = add<JointBranch>(*root, "");
            joint->addChild(leaf(closedBox()));
            joint->setTransform(m);
            drawnWith = joint->currentInverse();
        } else {
            part = new Object;
            part->attach(leaf(closedBox()));
            auto* instance = add<InstanceBranch>(*root, "");
            instance->setInstance(part);
            instance->setMatrix(m);
        }
        std::unique_ptr<Database> db = sceneOf(std::move(root), part), reference = sceneOf(leaf(closedBox(drawnWith)));
        const Vector centre = drawnWith.translation();
        int hits = 0, rayHits = 0;
        for (int i = 0; i < 100; ++i) {
            const Vector from = centre + Vector(unit(random), unit(random), unit(random)) * 6;
            const Vector delta = (centre + Vector(unit(random), unit(random), unit(random)) * 1.5 - from) * 1.5;
            const double radius = 0.2 + 0.5 * std::fabs(unit(random));
            std::pair<bool, Vector> got = move(*db, from, delta, radius), expected = move(*reference, from, delta, radius);
            EXPECT_TRUE(got.first == expected.first && vectorNear(got.second, expected.second, 1e-6));
            hits += got.first;
            Ray ray;
            ray.setOrigin(from);
            ray.aimAt(from + delta);
            ASSERT_EQ(tracer.traceDatabase(ray, *db), referenceTracer.traceDatabase(ray, *reference));
            if (!tracer.hit())
                continue;
            ++rayHits;
            // The reference's corners were rounded to floats where drawn.
            EXPECT_TRUE(std::fabs(tracer.hitLength() - referenceTracer.hitLength()) < 1e-4 && dynamic_cast<GeometryBranch*>(tracer.hitBranch()));
            EXPECT_TRUE(tracer.instanceDepth() == (throughJoint ? 0 : 1) && tracer.instancePath().size() == std::size_t(tracer.instanceDepth()));
        }
        EXPECT_TRUE(hits > 50 && rayHits > 50);
    }
    expectNothingDrawn(tracer);
}

// ---- collision against a swept-sphere reference ----

// The point of a triangle nearest to p: p's foot on its plane when that
// lies on the inner side of every edge, else the nearest point of an edge.
Vector nearestOnTriangle(const Vector& p, const std::array<Vector, 3>& c) {
    const Vector n = (c[1] - c[0]).cross(c[2] - c[0]), foot = p - n * ((p - c[0]).dot(n) / n.lengthSquared());
    Vector best = foot;
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
        const Vector e = c[(k + 1) % 3] - c[k], q = c[k] + e * std::clamp((p - c[k]).dot(e) / e.lengthSquared(), 0.0, 1.0);
        inside = inside && e.cross(foot - c[k]).dot(n) >= 0;
        if (k == 0 || (q - p).lengthSquared() < (best - p).lengthSquared())
            best = q;
    }
    return inside ? foot : best;
}

// Where a function convex on [lo, hi] is least, by golden sections.
template <class F>
double convexMinimum(F f, double lo, double hi) {
    for (int i = 0; i < 200; ++i) {
        const double x1 = hi - 0.618034 * (hi - lo), x2 = lo + 0.618034 * (hi - lo);
        const bool left = f(x1) < f(x2);
        (left ? hi : lo) = left ? x2 : x1;
    }
    return 0.5 * (lo + hi);
}

struct Soup : TriangleCollider {
    void gatherTriangles(CollisionAction&, TriangleVector& out) override { out = held; }
    TriangleVector held;
};

// Spheres thrown at random triangles (a third of them slivers), mostly at
// their rims and many fast, meet each where the reference first finds it
// within the radius, and no other: the exact distance to a triangle is
// convex along the path, so its least value says whether the sphere meets
// the triangle and halving finds when. Only fronts are met (the centre in
// front of the plane as they touch); grazing throws are left out.
TEST(Collision, FirstContactsAgreeWithASweptSphereReference) {
    std::mt19937 random(27);
    std::uniform_real_distribution<double> unit(-1, 1), share(0, 1);
    auto point = [&](double spread) { return Vector(unit(random), unit(random), unit(random)) * spread; };
    auto asFloats = [](const Vector& v) { return Vector(float(v.x), float(v.y), float(v.z)); };
    int contacts = 0, atRims = 0, wrong = 0;
    for (int i = 0; i < 6000; ++i) {
        std::array<Vector, 3> c = {asFloats(point(1)), {}, asFloats(point(1))};
        c[1] = asFloats(i % 3 ? point(1) : c[0] + point(0.05));
        const double radius = 0.05 + 0.5 * share(random);
        const int k = int(3 * share(random)) % 3;
        const Vector aim = c[k] + (c[(k + 1) % 3] - c[k]) * (i % 2 ? share(random) : 0) + point(1.5 * radius);
        const Vector start = aim + point(3);
        Vector n = (c[1] - c[0]).cross(c[2] - c[0]);
        if (Vector::normalize(n) < 1e-6 || (start - nearestOnTriangle(start, c)).length() < radius + 0.01)
            continue;
        if (i % 4 && (start - c[0]).dot(n) < 0)
            std::swap(c[1], c[2]), n = -n;
        Soup soup;
        soup.held = {{{float(c[0].x), float(c[0].y), float(c[0].z), float(c[1].x), float(c[1].y), float(c[1].z), float(c[2].x), float(c[2].y), float(c[2].z)}}};
        CollisionAction action;
        action.setMotion(start, (aim - start) * (0.5 + share(random)), radius);
        auto gap = [&](double t) { return (start + action.direction * t - nearestOnTriangle(start + action.direction * t, c)).length(); };
        const double nearest = convexMinimum(gap, 0, action.distance);
        double lo = 0, hi = nearest;
        for (int h = 0; h < 100; ++h)
            (gap(0.5 * (lo + hi)) > radius ? lo : hi) = 0.5 * (lo + hi);
        const Vector centre = start + action.direction * hi, touch = nearestOnTriangle(centre, c);
        const double front = (centre - c[0]).dot(n);
        if (std::fabs(gap(nearest) - radius) < 1e-6 || (gap(nearest) < radius && std::fabs(front) < 1e-6))
            continue;
        const bool meets = gap(nearest) < radius && front > 0;
        soup.prepare(action);
        double t;
        Vector contact;
        const bool met = soup.collide(action, t, contact);
        contacts += meets;
        atRims += meets && (touch - (centre - n * front)).length() > 1e-9;
        wrong += met != meets || (meets && !(std::fabs(t - hi) < 1e-6 && vectorNear(contact, touch, 1e-5)));
    }
    EXPECT_EQ(wrong, 0) << "of " << contacts;
    EXPECT_TRUE(contacts > 1500 && atRims > contacts / 2) << contacts << " contacts, " << atRims << " at rims";
}

// Records where the sphere was at each contact, then slides.
struct PathRecorder : CollisionAction {
    void response(Vector& out, CollisionAction& action) override {
        path.push_back(action.position);
        slideResponse(out, action);
    }
    std::vector<Vector> path;
};

// The least distance from a point to a list of triangles; a triangle whose
// bounding sphere lies further off than the least so far is passed over.
struct TriangleGap {
    explicit TriangleGap(const std::vector<GeoBunchBuilder::Triangle>& triangles) {
        for (const GeoBunchBuilder::Triangle& t : triangles) {
            const Corners f = cornersOf(t);
            const std::array<Vector, 3> c = {Vector(f[0], f[1], f[2]), Vector(f[3], f[4], f[5]), Vector(f[6], f[7], f[8])};
            const Vector mid = (c[0] + c[1] + c[2]) * (1.0 / 3);
            corners.push_back(c);
            spheres.emplace_back(mid, std::max({(c[0] - mid).length(), (c[1] - mid).length(), (c[2] - mid).length()}));
        }
    }
    double operator()(const Vector& p) const {
        double least = 1e300;
        for (std::size_t i = 0; i < corners.size(); ++i)
            if ((p - spheres[i].first).length() - spheres[i].second < least)
                least = std::min(least, (p - nearestOnTriangle(p, corners[i])).length());
        return least;
    }
    std::vector<std::array<Vector, 3>> corners;
    std::vector<std::pair<Vector, double>> spheres;
};

// Whether a sphere moved through the database comes within its radius of
// the triangles anywhere on its path (start, each contact, end). Each piece
// is walked in steps as long as the gap left, and at least a twentieth of
// the radius.
bool cutsIn(Database& db, const TriangleGap& gap, const Vector& start, const Vector& delta, double radius) {
    PathRecorder recorder;
    CollisionAction action;
    action.setMotion(start, delta, radius);
    action.addCollider(&db, &recorder);
    action.collide();
    recorder.path.push_back(action.position);
    Vector from = start;
    for (const Vector& to : recorder.path) {
        const double length = (to - from).length();
        for (double t = 0;;) {
            const double g = gap(length > 0 ? from + (to - from) * (t / length) : to);
            if (g < radius - 1e-6)
                return true;
            if (t >= length)
                break;
            t = std::min(length, t + std::max(0.05 * radius, g - radius));
        }
        from = to;
    }
    return false;
}

// Spheres dropped onto rugged ground, thrown at a closed box's edges and
// corners and, fast, at the rims of a thin wall, slide over, round and
// along them but never cut into them, nor reach their other side.
TEST(Collision, SpheresNeverCutIntoWhatTheyMeet) {
    std::mt19937 random(4);
    std::uniform_real_distribution<double> unit(-1, 1), share(0, 1);
    auto point = [&](double spread) { return Vector(unit(random), unit(random), unit(random)) * spread; };
    std::vector<double> heights(17 * 17);
    for (double& h : heights)
        h = 1.5 * unit(random);
    auto at = [&](int i, int j) { return GeoBunch::Float3{float(i), float(j), float(heights[j * 17 + i])}; };
    std::vector<GeoBunchBuilder::Triangle> rugged;
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i)
            rugged.insert(rugged.end(), {triangle(at(i, j), at(i + 1, j), at(i, j + 1)), triangle(at(i + 1, j), at(i + 1, j + 1), at(i, j + 1))});
    Matrix cube, wall;
    cube.scale({1.5, 1, 0.75});
    cube.translate({3, -2, 1});
    wall.scale({5, 0.01, 5});
    const struct {
        std::vector<GeoBunchBuilder::Triangle> triangles;
        double reach;
    } scenes[] = {{rugged, 0}, {closedBox(cube), 4}, {closedBox(wall), 50}};
    for (const auto& scene : scenes) {
        std::unique_ptr<Database> db = sceneOf(leaf(scene.triangles));
        const TriangleGap gap(scene.triangles);
        const Vector centre = db->rootObject()->root()->bounds().centre();
        int cuts = 0;
        for (int i = 0; i < 400; ++i) {
            const double radius = 0.05 + 0.6 * share(random);
            const std::array<Vector, 3>& c = gap.corners[random() % gap.corners.size()];
            const int k = int(random() % 3);
            const Vector aim = c[k] + (c[(k + 1) % 3] - c[k]) * share(random) + point(radius);
            // Above the ground, or anywhere round the box and the wall.
            Vector start = point(1);
            Vector::normalize(start);
            start = scene.reach ? centre + start * scene.reach : Vector(std::clamp(aim.x + unit(random), 1.0, 15.0), std::clamp(aim.y + unit(random), 1.0, 15.0), 1.6 + radius);
            if (gap(start) > radius + 0.01)
                cuts += cutsIn(*db, gap, start, (aim - start) * (1 + 2 * share(random)), radius);
        }
        EXPECT_EQ(cuts, 0) << scene.reach;
    }
}

// The nearest hit wins in any order; a first-hit trace records nothing
// else; a dirty branch is reported (with its group); a segment meets a box
// where it crosses it or starts in it, past its sphere it does not.
TEST(RayTracer, NearestHitsFirstHitsAndSegments) {
    for (double first : {10.0, 20.0}) {
        auto root = std::make_unique<GroupBranch>();
        root->addChild(leaf(closedBox(translation({0, first, 0}))));
        root->addChild(leaf(closedBox(translation({0, 30 - first, 0}))));
        std::unique_ptr<Database> db = sceneOf(std::move(root));
        RayTracer tracer;
        Ray ray;
        ray.aimAt({0, 30, 0.5});
        ASSERT_TRUE(tracer.traceDatabase(ray, *db));
        Branch* nearer = tracer.hitBranch();
        EXPECT_TRUE(std::fabs(tracer.hitLength() - 9 * ray.length / 30) < 1e-9 && nearer == db->rootObject()->root()->child(first == 10 ? 0 : 1));
        tracer.firstHitOnly = true;
        ray.aimAt({0.5, 30, 0});
        EXPECT_TRUE(tracer.traceDatabase(ray, *db) && std::fabs(tracer.hitLength() - 9 * std::sqrt(900.25) / 30) < 1e-9 && tracer.hitBranch() == nearer);
        ray.aimAt({0, -30, 0});
        EXPECT_FALSE(tracer.traceDatabase(ray, *db));
        LogCapture log;
        db->rootObject()->root()->child(0)->markDirty();
        tracer.firstHitOnly = false;
        ray.aimAt({0, 30, 0.5});
        EXPECT_TRUE(tracer.traceDatabase(ray, *db));
        EXPECT_EQ(log.count("kessa::RayTracer - you tried to raytrace a dirty database!\n"), 2);
    }
    const Bounds cube = box({-1, -1, -1}, {1, 1, 1});
    const struct {
        Vector from, to;
        bool meets;
    } rows[] = {{{0, -5, 0}, {0, 5, 0}, true},  {{0, -5, 2}, {0, 5, 2}, false},  {{0, -5, 1.5}, {0, 5, 1.5}, false},
                {{0, 0, 0}, {0, 5, 0}, true},   {{0, -5, 0}, {0, -2, 0}, false}, {{3, 3, 0}, {0, 0, 0}, true},
                {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, false}};
    Ray ray;
    for (const auto& r : rows) {
        ray.setOrigin(r.from);
        ray.aimAt(r.to);
        EXPECT_EQ(ray.meets(cube), r.meets) << r.from.x << " " << r.from.y << " " << r.from.z;
    }
    EXPECT_FALSE(ray.meets(Bounds()));
}

}  // namespace
