// The walk's matrix stacks and their pools, and the culling walk against the
// default viewer (camera at the origin looking along +y, near 1, far 1000,
// 45 degrees, 100 x 100 pixels).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "SceneDoubles.h"
#include "SceneTestUtil.h"
#include "scene/BranchRenderable.h"
#include "scene/Database.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/Random.h"
#include "scene/SwitchBranch.h"
#include "scene/render/BoxRenderList.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Renderable.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"

using kessa::GroupBranch;
using kessa::Matrix;
using kessa::RenderAccumulator;
using kessa::Traverser;
using kessa::Vector;
using kessa::ViewCulledTraverser;
using kessa_test::add;
using kessa_test::TestLeaf;
using Names = std::vector<std::string>;

namespace {

// A leaf that adds itself to the accumulator when visited, under the
// current modelview, as a geometry branch adds its batches.
class DrawnLeaf : public TestLeaf, public kessa::BranchRenderable, public kessa::Renderable {
public:
    DrawnLeaf(const char* name, const Vector& min, const Vector& max) : TestLeaf(name, min, max) {
        setRenderable(this);
    }
    // Without geometry: empty bounds.
    explicit DrawnLeaf(const char* name) : TestLeaf(name) { setRenderable(this); }
    void render(Traverser& t) override { t.accumulator().add(this, &t.modelview(), false); }
    // A sphere f times the box's, as a batch's around its vertices may be.
    void tightenSphere(double f) { bounds_.setSphere(bounds_.centre(), bounds_.radius() * f); }
};

// The names of the leaves drawn in a frame's solid list (the walk's own box
// list, which every walk adds, left out).
Names drawn(Traverser& t) {
    Names out;
    RenderAccumulator& acc = t.accumulator();
    for (int i = 0; i < acc.itemCount(RenderAccumulator::solidRenderables); ++i) {
        const RenderAccumulator::Item& item = acc.item(RenderAccumulator::solidRenderables, i);
        if (auto* leaf = dynamic_cast<DrawnLeaf*>(item.renderable))
            out.push_back(leaf->name().c_str());
    }
    return out;
}

Matrix translation(const Vector& v) {
    Matrix m;
    m.setTranslation(v);
    return m;
}

}  // namespace

// ---- matrix stacks ----

TEST(Traverser, PushComposesWithTheCurrentLevelAndPopGoesBack) {
    Traverser t;
    Matrix a = translation({1, 2, 3}), ai, b, bi;
    a.invert(ai);
    b.setRotation(90, Vector(0, 0, 1));
    b.translate(Vector(5, 0, 0));
    b.invert(bi);
    EXPECT_EQ(t.depth(), 0);
    t.pushTransform(a, ai);
    t.pushTransform(b, bi);
    EXPECT_EQ(t.depth(), 2);
    // A point of the inner level goes through b, then a, on its way out.
    Vector p;
    Matrix::transformPoint(p, Vector(1, 0, 0), t.modelview());
    EXPECT_TRUE(kessa_test::vectorNear(p, Vector(6, 3, 3), 1e-12));
    Vector back;
    Matrix::transformPoint(back, p, t.inverseModelview());
    EXPECT_TRUE(kessa_test::vectorNear(back, Vector(1, 0, 0), 1e-12));
    t.popTransform();
    EXPECT_EQ(t.modelview(), a);
    EXPECT_EQ(t.inverseModelview(), ai);
    t.popTransform();
    EXPECT_TRUE(t.modelview().isIdentity());
    // The first level has nothing above it.
    t.popTransform();
    EXPECT_EQ(t.depth(), 0);
    EXPECT_TRUE(t.modelview().isIdentity());
}

TEST(Traverser, DeepNestingAddsPoolsAndKeepsEarlierRecords) {
    Traverser t;
    EXPECT_EQ(t.recordCapacity(), 128);
    std::vector<const Matrix*> records;
    Matrix step = translation({1, 0, 0}), stepInverse = translation({-1, 0, 0});
    for (int i = 0; i < 300; ++i) {
        t.pushTransform(step, stepInverse);
        records.push_back(&t.modelview());
    }
    EXPECT_EQ(t.recordCapacity(), 384);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(records[i]->translation().x, i + 1) << i;
    for (int i = 0; i < 300; ++i)
        t.popTransform();
    // Popping keeps the records: a sibling level takes a fresh one.
    t.pushTransform(step, stepInverse);
    EXPECT_NE(&t.modelview(), records[0]);
    EXPECT_EQ(records[299]->translation().x, 300);
    // The next walk reuses the pools.
    Matrix identity;
    t.traverseWith(identity, identity);
    for (int i = 0; i < 300; ++i)
        t.pushTransform(step, stepInverse);
    EXPECT_EQ(t.recordCapacity(), 384);
    EXPECT_EQ(&t.modelview(), records[299]);
}

TEST(Traverser, AWalkStartsFromTheGivenMatricesAndResetsItsState) {
    Traverser t;
    t.setReferencePoint(1, 2, 3);
    t.setLodScale(2);
    EXPECT_EQ(t.lodFactor(), 0.25);
    t.setLodScale(0);
    EXPECT_EQ(t.lodFactor(), 0.0);
    GroupBranch g;
    t.pushRecordedBranch(&g);
    t.countInstanceVisit();
    t.pushTransform(translation({4, 0, 0}), translation({-4, 0, 0}));
    Matrix m = translation({0, 7, 0}), mi = translation({0, -7, 0});
    t.traverseWith(m, mi);
    EXPECT_EQ(t.depth(), 0);
    EXPECT_EQ(t.modelview(), m);
    EXPECT_EQ(t.inverseModelview(), mi);
    EXPECT_EQ(t.referencePoint(), Vector());
    EXPECT_EQ(t.lodScale(), 1.0f);
    EXPECT_EQ(t.lodFactor(), 1.0);
    EXPECT_TRUE(t.recordedBranches().empty());
    EXPECT_EQ(t.instanceVisits(), 0);
    EXPECT_EQ(t.mode(), 0);
    EXPECT_EQ(Traverser(1).mode(), 1);
}

TEST(Traverser, TheBaseWalkNeverCulls) {
    Traverser t;
    EXPECT_TRUE(t.isCullingActive());
    GroupBranch root;
    add<DrawnLeaf>(root, "empty");
    add<DrawnLeaf>(root, "behind", Vector(-1, -11, -1), Vector(1, -9, 1));
    root.clean();
    root.traverse(t);
    EXPECT_EQ(drawn(t), (Names{"empty", "behind"}));
}

TEST(Traverser, TheBoxListJoinsTheAccumulatorOncePerFrame) {
    Traverser t;
    RenderAccumulator& acc = t.accumulator();
    ASSERT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 1);
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 0).renderable, &t.boxRenderList());
    EXPECT_EQ(acc.item(RenderAccumulator::solidRenderables, 0).matrix, nullptr);
    // Walks whose accumulator is never drawn (collision, ray tests) must not
    // grow it.
    Matrix identity;
    for (int i = 0; i < 10; ++i)
        t.traverseWith(identity, identity);
    EXPECT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 1);
    // Once the frame is over, the next walk adds it again.
    acc.reset();
    t.traverseWith(identity, identity);
    EXPECT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 1);
    // So does a walk into another accumulator.
    RenderAccumulator other;
    t.setAccumulator(&other);
    t.traverseWith(identity, identity);
    EXPECT_EQ(other.itemCount(RenderAccumulator::solidRenderables), 1);
    EXPECT_EQ(acc.itemCount(RenderAccumulator::solidRenderables), 1);
}

TEST(Traverser, ItemsGoToTheAccumulatorSet) {
    Traverser t;
    RenderAccumulator other;
    t.setAccumulator(&other);
    EXPECT_EQ(&t.accumulator(), &other);
    GroupBranch root;
    add<DrawnLeaf>(root, "a", Vector(-1, -1, -1), Vector(1, 1, 1));
    root.clean();
    root.traverse(t);
    EXPECT_EQ(other.itemCount(RenderAccumulator::solidRenderables), 1);
    t.setAccumulator(nullptr);
    EXPECT_NE(&t.accumulator(), &other);
    EXPECT_EQ(t.accumulator().itemCount(RenderAccumulator::solidRenderables), 1);  // its box list only
}

// ---- culling ----

class CullingTest : public ::testing::Test {
protected:
    // Walks root as the frame's culling walk does.
    void walk(kessa::Branch& root) {
        root.clean();
        t.traverse(viewer);
        root.traverse(t);
    }
    kessa::Viewer viewer;
    ViewCulledTraverser t;
};

TEST_F(CullingTest, BranchesOutsideTheFrustumAreNotAccumulated) {
    GroupBranch root;
    // Ten leaves in front of the camera, ten behind it, five to the sides.
    for (int i = 0; i < 10; ++i) {
        double y = 10 + 20 * i;
        add<DrawnLeaf>(root, ("in" + std::to_string(i)).c_str(), Vector(-1, y - 1, -1), Vector(1, y + 1, 1));
        add<DrawnLeaf>(root, ("out" + std::to_string(i)).c_str(), Vector(-1, -y - 1, -1), Vector(1, -y + 1, 1));
    }
    for (int i = 0; i < 5; ++i)
        add<DrawnLeaf>(root, "side", Vector(100, 9 + i, -1), Vector(102, 11 + i, 1));
    add<DrawnLeaf>(root, "beyond", Vector(-1, 1100, -1), Vector(1, 1102, 1));
    walk(root);
    Names expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back("in" + std::to_string(i));
    EXPECT_EQ(drawn(t), expected);
    // The root crosses the frustum, so every child is tested.
    EXPECT_EQ(t.testCount(), 1 + 26);
    EXPECT_EQ(t.accumulator().viewer(), &viewer);
}

TEST_F(CullingTest, AnEmptyBranchIsCulled) {
    GroupBranch root;
    add<DrawnLeaf>(root, "box", Vector(-1, 9, -1), Vector(1, 11, 1));
    DrawnLeaf* empty = add<DrawnLeaf>(root, "empty");
    // Makes the root cross the frustum, so that its children are tested.
    add<DrawnLeaf>(root, "behind", Vector(-1, -11, -1), Vector(1, -9, 1));
    walk(root);
    ASSERT_FALSE(empty->bounds().valid());
    EXPECT_EQ(drawn(t), (Names{"box"}));
    EXPECT_EQ(t.testCount(), 4);
}

TEST_F(CullingTest, NothingBelowABranchWhollyInsideIsTested) {
    GroupBranch root;
    GroupBranch* inside = add<GroupBranch>(root);
    for (int i = 0; i < 5; ++i)
        add<DrawnLeaf>(*inside, "near", Vector(-1, 20 + i, -1), Vector(1, 22 + i, 1));
    GroupBranch* crossing = add<GroupBranch>(root);
    add<DrawnLeaf>(*crossing, "front", Vector(-1, 20, -1), Vector(1, 22, 1));
    add<DrawnLeaf>(*crossing, "back", Vector(-1, -22, -1), Vector(1, -20, 1));
    walk(root);
    EXPECT_EQ(drawn(t), (Names{"near", "near", "near", "near", "near", "front"}));
    // root, the two groups, and the two children of the crossing group.
    EXPECT_EQ(t.testCount(), 5);
    EXPECT_EQ(t.activeMask(), kessa::ViewFrustum::allPlanes);
}

TEST_F(CullingTest, TheFrustumFollowsTransformsAndComesBack) {
    GroupBranch root;
    // A joint that moves its child from behind the camera to across the
    // near plane, where the child must be tested in its own space.
    auto* joint = add<kessa::JointBranch>(root);
    joint->setTransform(translation({0, -40, 0}));
    add<DrawnLeaf>(*joint, "moved", Vector(-5, -42, -1), Vector(5, -38, 1));
    // Its sibling, where it stands, is behind the camera.
    add<DrawnLeaf>(root, "sibling", Vector(-5, -42, -1), Vector(5, -38, 1));
    joint->markDirty();
    walk(root);
    EXPECT_EQ(drawn(t), (Names{"moved"}));
    EXPECT_EQ(t.transformCount(), 1);
    // The item is drawn under the joint's matrix.
    const RenderAccumulator::Item& item = t.accumulator().item(RenderAccumulator::solidRenderables, 1);
    ASSERT_NE(item.matrix, nullptr);
    EXPECT_EQ(item.matrix->translation(), Vector(0, 40, 0));
}

TEST_F(CullingTest, AWhollyInsideInstanceMovesNoFrustum) {
    kessa::Database db;
    auto scene = std::make_unique<kessa::Object>();
    auto part = std::make_unique<kessa::Object>();
    auto partRoot = std::make_unique<GroupBranch>();
    add<DrawnLeaf>(*partRoot, "part", Vector(-1, -1, -1), Vector(1, 1, 1));
    part->attach(std::move(partRoot));
    auto sceneRoot = std::make_unique<GroupBranch>();
    auto* near = add<kessa::InstanceBranch>(*sceneRoot);
    auto* far = add<kessa::InstanceBranch>(*sceneRoot);
    auto* behind = add<kessa::InstanceBranch>(*sceneRoot);
    near->setInstance(part.get());
    far->setInstance(part.get());
    behind->setInstance(part.get());
    near->setMatrix(translation({0, 30, 0}));
    far->setMatrix(translation({0, 999.5, 0}));  // crosses the far plane
    behind->setMatrix(translation({0, -30, 0}));
    scene->attach(std::move(sceneRoot));
    db.addObject(std::move(scene));
    db.addObject(std::move(part));
    db.clean();
    t.traverse(viewer);
    db.accumulate(t);
    EXPECT_EQ(drawn(t), (Names{"part", "part"}));
    EXPECT_EQ(t.instanceVisits(), 3);
    // Only the crossing instance carries the frustum into its space.
    EXPECT_EQ(t.transformCount(), 1);
}

TEST_F(CullingTest, LevelOfDetailAndSwitchPickTheirChildren) {
    GroupBranch root;
    auto* lodParent = add<GroupBranch>(root);
    auto* fine = add<kessa::LodBranch>(*lodParent);
    fine->setRange(50);
    add<DrawnLeaf>(*fine, "fine", Vector(-1, 39, -1), Vector(1, 41, 1));
    auto* coarse = add<kessa::LodBranch>(*lodParent);
    coarse->setRange(500);
    add<DrawnLeaf>(*coarse, "coarse", Vector(-1, 39, -1), Vector(1, 41, 1));
    auto* choice = add<kessa::SwitchBranch>(root, kessa::SwitchBranch::selectOne);
    add<DrawnLeaf>(*choice, "zero", Vector(-1, 9, -1), Vector(1, 11, 1));
    add<DrawnLeaf>(*choice, "one", Vector(-1, 9, -1), Vector(1, 11, 1));
    choice->select(1);
    kessa::LodBranch::setFading(false);
    walk(root);
    EXPECT_EQ(drawn(t), (Names{"fine", "one"}));
    // Farther away the coarse level shows.
    Matrix camera = translation({0, -60, 0});
    viewer.setCameraMatrix(camera);
    t.accumulator().reset();
    walk(root);
    EXPECT_EQ(drawn(t), (Names{"coarse", "one"}));
    kessa::LodBranch::setFading(true);
}

// ---- culling plane by plane against the all-or-nothing rule ----

namespace {

// The rule plane masks replace, as a second walk: a branch is tested on all
// six planes unless a branch above it lay wholly inside all six. Returns
// whether b is culled, and sets whether its children still need testing.
bool culledOnAllPlanes(const kessa::ViewFrustum& f, const kessa::Bounds& b, bool& testChildren) {
    if (!b.valid())
        return true;
    auto side = [&](int i, const Vector& v) {
        const double* p = f.plane(i);
        return p[0] + p[1] * v.x + p[2] * v.y + p[3] * v.z;
    };
    int centreInside = 0, whollyInside = 0;
    for (int i = 0; i < 6; ++i) {
        double s = side(i, b.centre());
        if (s > b.radius())
            return true;
        centreInside += s < 0;
        whollyInside += s < -b.radius();
    }
    testChildren = whollyInside < 6;
    if (!testChildren || centreInside == 6)
        return false;
    for (int a = 0; a < 3; ++a)
        if (f.boxMin()[a] > b.max()[a] || f.boxMax()[a] < b.min()[a])
            return true;
    for (int i = 0; i < 6; ++i) {
        int inside = 0;
        for (int k = 0; k < 8; ++k)
            inside += side(i, b.corner(k)) < 0;
        if (inside == 0)
            return true;
    }
    return false;
}

// The leaves that rule draws, in walk order.
void walkOnAllPlanes(kessa::Branch* b, const kessa::ViewFrustum& f, bool testing, Names& out) {
    bool testChildren = testing;
    if (testing && culledOnAllPlanes(f, b->bounds(), testChildren))
        return;
    kessa::ViewFrustum inside = f;
    kessa::Branch* below = b;
    if (auto* instance = dynamic_cast<kessa::InstanceBranch*>(b)) {
        inside.transform(f, instance->inverse());
        below = instance->instance()->root();
    } else if (auto* joint = dynamic_cast<kessa::JointBranch*>(b)) {
        inside.transform(f, joint->current());
    } else if (!b->hasChildren()) {
        out.push_back(b->name().c_str());
        return;
    }
    if (below != b)
        return walkOnAllPlanes(below, inside, testChildren, out);
    for (int i = 0; i < b->childCount(); ++i)
        walkOnAllPlanes(b->child(i), inside, testChildren, out);
}

// Leaves (some with a sphere tighter than their box, as a batch's is), nested
// groups, joints, and instances of one part turned, scaled and mirrored.
struct RandomScene {
    explicit RandomScene(int seed) : random(seed) {
        auto part = std::make_unique<kessa::Object>(), scene = std::make_unique<kessa::Object>();
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
        if (random.next() < 0.7) {
            Vector s(between(0.3, 3), between(0.3, 3), between(0.3, 3));
            for (int a = 0; a < 3; ++a)
                s[a] *= random.next() < 0.3 ? -1 : 1;
            m.preScale(s);
        }
        m.translate(anywhere(reach));
        return m;
    }
    void fill(GroupBranch& group, int depth, int count, kessa::Object* part) {
        for (int i = 0; i < count; ++i) {
            double pick = depth > 0 ? random.next() : 1;
            if (pick < 0.15) {
                fill(*add<GroupBranch>(group), depth - 1, 3 + int(random.next() * 6), part);
            } else if (pick < 0.25) {
                auto* joint = add<kessa::JointBranch>(group);
                fill(*joint, depth - 1, 2 + int(random.next() * 4), part);
                joint->setTransform(placement(40));
            } else if (pick < 0.35 && part) {
                auto* instance = add<kessa::InstanceBranch>(group);
                instance->setInstance(part);
                instance->setMatrix(placement(150));
            } else {
                Vector at = anywhere(150), size(between(0.5, 20), between(0.5, 20), between(0.5, 20));
                auto* leaf = add<DrawnLeaf>(group, ("leaf" + std::to_string(leaves++)).c_str(), at, at + size);
                if (random.next() < 0.4)
                    leaf->tightenSphere(between(0.6, 1));
            }
        }
    }

    kessa::Random random;
    kessa::Database db;
    int leaves = 0;
};

}  // namespace

TEST(CullingByPlane, KeepsWhatTheAllOrNothingRuleKeeps) {
    long drawnLeaves = 0;
    for (int seed = 1; seed <= 20; ++seed) {
        RandomScene scene(seed);
        kessa::Viewer viewer;
        ViewCulledTraverser t;
        for (int view = 0; view < 25; ++view) {
            SCOPED_TRACE(testing::Message() << "scene " << seed << ", view " << view);
            viewer.setWindowSize(int(scene.between(50, 400)), int(scene.between(50, 400)));
            Matrix camera;
            camera.setEuler(scene.between(-30, 30), scene.between(-60, 60), scene.between(-180, 180));
            camera.translate(scene.anywhere(200));
            viewer.setCameraMatrix(camera);
            t.accumulator().reset();
            t.traverse(viewer);
            scene.db.accumulate(t);
            Names expected;
            walkOnAllPlanes(scene.db.rootObject()->root(), viewer.frustum(), true, expected);
            ASSERT_EQ(drawn(t), expected);
            drawnLeaves += long(expected.size());
        }
    }
    // Enough is drawn (and culled) for the comparison to mean something.
    EXPECT_GT(drawnLeaves, 2000);
}
