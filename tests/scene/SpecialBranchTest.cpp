#include <gtest/gtest.h>

#include <cmath>

#include "SceneDoubles.h"
#include "SceneTestUtil.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/SwitchBranch.h"
#include "tests/support/LogCapture.h"

using kessa::GroupBranch;
using kessa::LodBranch;
using kessa::Matrix;
using kessa::SwitchBranch;
using kessa::Vector;
using kessa_test::add;
using kessa_test::box;
using kessa_test::RecordingTraverser;
using kessa_test::TestLeaf;
using Names = std::vector<std::string>;

namespace {

void addLeaves(GroupBranch& g, std::initializer_list<const char*> names) {
    for (const char* n : names)
        add<TestLeaf>(g, n, Vector(-1, -1, -1), Vector(1, 1, 1));
}

Names traverseNames(kessa::Branch& b, RecordingTraverser&& t = RecordingTraverser()) {
    b.traverse(t);
    return t.visitedNames();
}

// ---- switch ----

TEST(SwitchBranch, ModeTwoShowsTheClampedSelection) {
    SwitchBranch s(2);
    s.setName("s");
    addLeaves(s, {"a", "b", "c"});
    EXPECT_EQ(traverseNames(s), (Names{"s", "a"}));
    s.select(1);
    EXPECT_EQ(traverseNames(s), (Names{"s", "b"}));
    s.select(-3);
    EXPECT_EQ(traverseNames(s), (Names{"s", "a"}));
    s.select(99);
    EXPECT_EQ(traverseNames(s), (Names{"s", "c"}));
    EXPECT_EQ(s.selected(), 99);
    SwitchBranch empty(2);
    empty.select(5);
    EXPECT_EQ(traverseNames(empty), Names{});
}

TEST(SwitchBranch, ModeTwoIsCulledAsAWhole) {
    SwitchBranch s(2);
    s.setName("s");
    addLeaves(s, {"a"});
    RecordingTraverser t;
    t.setCulling(true);
    t.culled = {"s"};
    EXPECT_EQ(traverseNames(s, std::move(t)), Names{});
}

TEST(SwitchBranch, ModeOneShowsAllOrNothing) {
    SwitchBranch s(1);
    s.setName("s");
    addLeaves(s, {"a", "b"});
    EXPECT_TRUE(s.visitAll());
    EXPECT_EQ(traverseNames(s), (Names{"s", "a", "b"}));
    s.setVisitAll(false);
    EXPECT_EQ(traverseNames(s), Names{});
}

TEST(SwitchBranch, OtherModesShowNothing) {
    for (int mode : {0, 3, -1}) {
        SwitchBranch s(mode);
        addLeaves(s, {"a"});
        EXPECT_EQ(traverseNames(s), Names{}) << mode;
    }
}

// ---- level of detail ----

LodBranch* addLevel(GroupBranch& parent, const char* name, double range, bool fade, const char* leaf) {
    LodBranch* lod = add<LodBranch>(parent);
    lod->setName(name);
    lod->setRange(range);
    lod->setFade(fade);
    addLeaves(*lod, {leaf});
    return lod;
}

// Walks b with the viewer at squared distance d.
std::unique_ptr<RecordingTraverser> walkAt(kessa::Branch& b, double d, int mode = 0) {
    auto t = std::make_unique<RecordingTraverser>(mode);
    t->setReferencePoint(std::sqrt(d), 0, 0);
    b.traverse(*t);
    return t;
}

// Two levels, ranges 10 and 100, each holding one leaf around the origin.
struct TwoLevels {
    TwoLevels(bool fadeFirst = false, bool fadeSecond = false) {
        first = addLevel(parent, "first", 10, fadeFirst, "near");
        second = addLevel(parent, "second", 100, fadeSecond, "far");
        parent.clean();
    }
    std::unique_ptr<RecordingTraverser> walk(double d, int mode = 0) { return walkAt(parent, d, mode); }
    GroupBranch parent;
    LodBranch* first;
    LodBranch* second;
};

class LodTest : public ::testing::Test {
protected:
    void TearDown() override { LodBranch::setFading(true); }
};

TEST_F(LodTest, DefaultsAndRange) {
    LodBranch lod;
    EXPECT_EQ(lod.range(), 1000);
    EXPECT_EQ(lod.rangeSquared(), 1000000);
    EXPECT_FALSE(lod.fade());
    lod.clean();
    lod.setRange(10);
    EXPECT_EQ(lod.rangeSquared(), 100);
    EXPECT_TRUE(lod.isDirty());
    EXPECT_TRUE(LodBranch::fading());
}

TEST_F(LodTest, DistancePicksOneLevelWithoutFading) {
    TwoLevels lods;
    EXPECT_EQ(lods.walk(50)->visitedNames(), (Names{"", "first", "near"}));
    EXPECT_EQ(lods.walk(20000)->visitedNames(), (Names{""}));
    std::unique_ptr<RecordingTraverser> far = lods.walk(5000);
    EXPECT_EQ(far->visitedNames(), (Names{"", "second", "far"}));
    for (const kessa_test::Visit& v : far->visits) {
        EXPECT_EQ(v.overrides, 0u);
        EXPECT_EQ(v.alpha, 1.0f);
    }
    // Only the first of a chain acts.
    EXPECT_TRUE(walkAt(*lods.second, 5000)->visits.empty());
}

// Inside the range the far level fades in over the near one; past it the
// near one fades out over the far one.
TEST_F(LodTest, CrossFadeAroundTheRange) {
    struct Row {
        double d;
        float farAlpha, nearAlpha;
    } rows[] = {{95, 0.5f, 1.0f}, {105, 1.0f, 0.5f}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.d);
        TwoLevels lods(true, true);
        LogCapture log;
        std::unique_ptr<RecordingTraverser> t = lods.walk(r.d);
        ASSERT_EQ(t->visitedNames(), (Names{"", "second", "far", "first", "near"}));
        EXPECT_EQ(t->visits[2].overrides, 3u);
        EXPECT_FLOAT_EQ(t->visits[2].alpha, r.farAlpha);
        EXPECT_EQ(t->visits[3].overrides, 1u);
        EXPECT_EQ(t->visits[4].overrides, 1u);
        EXPECT_FLOAT_EQ(t->visits[4].alpha, r.nearAlpha);
        EXPECT_EQ(t->accumulator().overrideState(), 0u);
        EXPECT_EQ(t->accumulator().transparency(), 1.0f);
        EXPECT_EQ(log.text(), "");
    }
}

TEST_F(LodTest, FadingNeedsTheSwitchARenderingWalkAndTheBranchFlag) {
    {
        TwoLevels lods(true, true);
        LodBranch::setFading(false);
        EXPECT_EQ(lods.walk(95)->visitedNames(), (Names{"", "first", "near"}));
        EXPECT_EQ(lods.walk(105)->visitedNames(), (Names{"", "second", "far"}));
        LodBranch::setFading(true);
        EXPECT_EQ(lods.walk(95, 1)->visitedNames(), (Names{"", "first", "near"}));
    }
    {
        TwoLevels lods(false, true);
        std::unique_ptr<RecordingTraverser> t = lods.walk(95);
        EXPECT_EQ(t->visitedNames(), (Names{"", "first", "near"}));
        for (const kessa_test::Visit& v : t->visits)
            EXPECT_EQ(v.overrides, 0u);
    }
}

TEST_F(LodTest, LastLevelFadesOutFurther) {
    GroupBranch parent;
    addLevel(parent, "only", 10, true, "leaf");
    parent.clean();
    std::unique_ptr<RecordingTraverser> t = walkAt(parent, 115);
    ASSERT_EQ(t->visitedNames(), (Names{"", "only", "leaf"}));
    EXPECT_EQ(t->visits[2].overrides, 1u);
    EXPECT_NEAR(t->visits[2].alpha, 0.25, 1e-6);
    // Fading in with no next level to show.
    t = walkAt(parent, 95);
    EXPECT_EQ(t->visits[2].overrides, 1u);
    EXPECT_EQ(t->visits[2].alpha, 1.0f);
    EXPECT_EQ(t->accumulator().overrideState(), 0u);
    EXPECT_EQ(walkAt(parent, 125)->visitedNames(), (Names{""}));
}

TEST_F(LodTest, AnotherChildStartsANewChain) {
    GroupBranch parent;
    addLevel(parent, "a", 10, false, "a-leaf");
    addLeaves(parent, {"between"});
    addLevel(parent, "b", 10, false, "b-leaf");
    parent.clean();
    EXPECT_EQ(walkAt(parent, 25)->visitedNames(), (Names{"", "a", "a-leaf", "between", "b", "b-leaf"}));
}

TEST_F(LodTest, DistanceFollowsTheModelviewScaleAndTheFactor) {
    GroupBranch parent;
    addLevel(parent, "lod", 10, false, "leaf");
    parent.clean();
    Matrix m;
    m.scale({2, 2, 2});
    m.translate({12, 0, 0});
    // 144 at scale 1 is past the range; the scaled distance is 144 / 2.
    RecordingTraverser scaled;
    scaled.setModelview(m);
    parent.traverse(scaled);
    EXPECT_EQ(scaled.visitedNames(), (Names{"", "lod", "leaf"}));
    m.setTranslation({12, 0, 0});
    RecordingTraverser plain;
    plain.setModelview(m);
    parent.traverse(plain);
    EXPECT_EQ(plain.visitedNames(), (Names{""}));
    RecordingTraverser factored;
    factored.setModelview(m);
    factored.setLodScale(float(std::sqrt(2.0)));
    parent.traverse(factored);
    EXPECT_EQ(factored.visitedNames(), (Names{"", "lod", "leaf"}));
}

// ---- joint ----

TEST(JointBranch, IdentityJointIsNoJoint) {
    kessa::JointBranch j;
    j.setJoint(Matrix());
    EXPECT_FALSE(j.hasJoint());
    Matrix t;
    t.setRotation(30, {0, 0, 1});
    t.translate({1, 2, 3});
    j.setTransform(t);
    EXPECT_EQ(j.current(), t);
    Matrix inverse;
    t.invert(inverse);
    EXPECT_EQ(j.currentInverse(), inverse);
}

TEST(JointBranch, TransformTurnsAboutTheJoint) {
    kessa::JointBranch j;
    Matrix frame;
    frame.setTranslation({5, 0, 0});
    j.setJoint(frame);
    ASSERT_TRUE(j.hasJoint());
    Matrix turn;
    turn.setRotation(90, {0, 0, 1});
    j.setTransform(turn);
    Vector p;
    Matrix::transformPoint(p, {5, 0, 0}, j.current());
    EXPECT_TRUE(kessa_test::vectorNear(p, {5, 0, 0}, 1e-12));
    Matrix::transformPoint(p, {6, 0, 0}, j.current());
    EXPECT_TRUE(kessa_test::vectorNear(p, {5, 1, 0}, 1e-12));
}

// A joint moved 100 along x: its children sit near x = 100 in their own space
// and near 0 in the parent's.
struct MovedJoint {
    MovedJoint() {
        joint = add<kessa::JointBranch>(parent);
        joint->setName("joint");
        Matrix t;
        t.setTranslation({100, 0, 0});
        joint->setTransform(t);
        leaf = add<TestLeaf>(*joint, "leaf", Vector(100, 0, 0), Vector(101, 1, 1));
        parent.setName("parent");
        parent.clean();
    }
    GroupBranch parent;
    kessa::JointBranch* joint;
    TestLeaf* leaf;
};

// Cleaning keeps both spaces.
TEST(JointBranch, GrowingFromAChildMovesTheBoundsIntoTheParentsSpace) {
    MovedJoint m;
    EXPECT_EQ(m.joint->childBounds(), box({100, 0, 0}, {101, 1, 1}));
    EXPECT_EQ(m.joint->bounds(), box({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(m.parent.bounds(), box({0, 0, 0}, {1, 1, 1}));
    m.leaf->growBounds(box({100, 0, 0}, {103, 1, 1}));
    EXPECT_EQ(m.joint->childBounds().max().x, 103);
    EXPECT_EQ(m.joint->bounds(), box({0, 0, 0}, {3, 1, 1}));
    EXPECT_EQ(m.parent.bounds(), box({0, 0, 0}, {3, 1, 1}));
}

TEST(JointBranch, NewTransformGrowsTheBoundsUpwards) {
    MovedJoint m;
    Matrix t;
    t.setTranslation({98, 0, 0});
    m.joint->setTransform(t);
    EXPECT_EQ(m.joint->bounds(), box({0, 0, 0}, {3, 1, 1}));
    EXPECT_EQ(m.parent.bounds(), box({0, 0, 0}, {3, 1, 1}));
}

TEST(JointBranch, IsCulledInTheParentsSpaceAndWalksChildrenInTheirs) {
    MovedJoint m;
    RecordingTraverser t;
    t.setCulling(true);
    m.parent.traverse(t);
    EXPECT_EQ(t.log, (Names{"test parent", "mask+", "visit parent", "test joint", "mask+", "push", "visit joint",
                            "test leaf", "visit leaf", "pop", "mask-", "mask-"}));
    // The leaf is drawn with the joint's inverse transform.
    EXPECT_EQ(t.visits[2].modelview, m.joint->currentInverse());
    RecordingTraverser culled;
    culled.setCulling(true);
    culled.culled = {"joint"};
    m.parent.traverse(culled);
    EXPECT_EQ(culled.visitedNames(), (Names{"parent"}));
}

// ---- external reference ----

struct Target {
    Target() : database(new kessa::Database) {
        auto o = std::make_unique<kessa::Object>();
        auto root = std::make_unique<GroupBranch>();
        root->setName("target-root");
        addLeaves(*root, {"target-leaf"});
        o->attach(std::move(root));
        database->addObject(std::move(o));
    }
    orvel::counted_ptr<kessa::Database> database;
};

TEST(ExrefBranch, TargetListsTheBranchWhileItPointsThere) {
    Target a, b;
    {
        kessa::ExrefBranch e;
        e.setTarget(a.database);
        e.setTarget(a.database);
        EXPECT_EQ(a.database->exrefs(), std::vector<kessa::ExrefBranch*>{&e});
        e.setTarget(b.database);
        EXPECT_TRUE(a.database->exrefs().empty());
        EXPECT_EQ(b.database->exrefs(), std::vector<kessa::ExrefBranch*>{&e});
        EXPECT_EQ(b.database.useCount(), 2u);
    }
    EXPECT_TRUE(b.database->exrefs().empty());
    EXPECT_EQ(b.database.useCount(), 1u);
}

TEST(ExrefBranch, CleaningTakesTheTargetsRootBoundsAndWalksShowIt) {
    LogCapture log;
    Target a;
    kessa::ExrefBranch e;
    e.setName("door");
    e.setTargetName("door.mdl");
    e.setTarget(a.database);
    e.clean();
    EXPECT_EQ(log.take(), "Cleaning exref branch \"door\"\n");
    EXPECT_FALSE(e.isDirty());
    EXPECT_FALSE(a.database->isDirty());
    EXPECT_EQ(e.bounds(), box({-1, -1, -1}, {1, 1, 1}));
    EXPECT_EQ(e.targetName(), "door.mdl");
    // Walks show the target's root object, unless the branch is culled.
    EXPECT_EQ(traverseNames(e), (Names{"target-root", "target-leaf"}));
    RecordingTraverser t;
    t.setCulling(true);
    t.culled = {"door"};
    EXPECT_EQ(traverseNames(e, std::move(t)), Names{});

    kessa::ExrefBranch empty;
    empty.clean();
    EXPECT_FALSE(empty.isDirty());
    EXPECT_FALSE(empty.bounds().valid());
    EXPECT_EQ(log.take(), "Cleaning exref branch \"\"\n");
    EXPECT_EQ(traverseNames(empty), Names{});
}

TEST(ExrefBranch, DatabaseThatShowsItselfStops) {
    LogCapture log;
    Target a;
    auto e = std::make_unique<kessa::ExrefBranch>();
    e->setName("self");
    e->setTarget(a.database);
    a.database->rootObject()->root()->group()->addChild(std::move(e));
    a.database->clean();
    EXPECT_NE(log.take().find("shows itself"), std::string::npos);
    RecordingTraverser t;
    a.database->accumulate(t);
    EXPECT_EQ(t.visitedNames(), (Names{"target-root", "target-leaf"}));
    // The database holds itself through the branch: break the loop to free it.
    a.database->rootObject()->attach(nullptr);
}

}  // namespace
