#include <gtest/gtest.h>

#include "SceneDoubles.h"
#include "SceneTestUtil.h"
#include "scene/BranchProcessor.h"
#include "scene/Database.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/MemoryOption.h"
#include "scene/Object.h"
#include "scene/Stopwatch.h"
#include "scene/render/TraversalCallback.h"
#include "tests/support/LogCapture.h"

using kessa::GroupBranch;
using kessa::InstanceBranch;
using kessa::Matrix;
using kessa::Object;
using kessa::Vector;
using kessa_test::add;
using kessa_test::box;
using kessa_test::CountingGroup;
using kessa_test::RecordingTraverser;
using kessa_test::TestLeaf;
using Names = std::vector<std::string>;

namespace {

// Object "part" (a leaf in (0,0,0)-(1,1,1)) shown twice in object "scene",
// moved by 10 and by 20 along x.
struct Scene {
    Scene() {
        auto p = std::make_unique<Object>();
        part = p.get();
        part->setName("part");
        auto partRoot = std::make_unique<CountingGroup>("part-root");
        partGroup = partRoot.get();
        leaf = add<TestLeaf>(*partRoot, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
        part->attach(std::move(partRoot));

        auto s = std::make_unique<Object>();
        scene = s.get();
        auto sceneRoot = std::make_unique<CountingGroup>("scene-root");
        sceneGroup = sceneRoot.get();
        first = add<InstanceBranch>(*sceneRoot);
        first->setName("first");
        second = add<InstanceBranch>(*sceneRoot);
        second->setName("second");
        first->setInstance(part);
        second->setInstance(part);
        Matrix m;
        m.setTranslation({10, 0, 0});
        first->setMatrix(m);
        m.setTranslation({20, 0, 0});
        second->setMatrix(m);
        scene->attach(std::move(sceneRoot));

        database.addObject(std::move(s));
        database.addObject(std::move(p));
        database.clean();
    }
    kessa::Database database;
    Object* part;
    Object* scene;
    CountingGroup* partGroup;
    CountingGroup* sceneGroup;
    TestLeaf* leaf;
    InstanceBranch* first;
    InstanceBranch* second;
};

// Cleaning without a root empties the bounds.
TEST(Object, NewObjectIsDirtyAndEmpty) {
    Object o;
    EXPECT_TRUE(o.isDirty());
    EXPECT_FALSE(o.bounds().valid());
    EXPECT_EQ(o.root(), nullptr);
    EXPECT_EQ(o.database(), nullptr);
    EXPECT_TRUE(o.instances().empty());
    o.clean();
    EXPECT_FALSE(o.isDirty());
    EXPECT_FALSE(o.bounds().valid());
    o.attach(std::make_unique<TestLeaf>("leaf", Vector(0, 0, 0), Vector(1, 1, 1)));
    o.clean();
    EXPECT_TRUE(o.bounds().valid());
    o.attach(nullptr);
    EXPECT_TRUE(o.isDirty());
    o.clean();
    EXPECT_FALSE(o.bounds().valid());
    EXPECT_FALSE(o.isDirty());
}

TEST(Object, AttachReplacesAndDeletesTheOldRoot) {
    Object o;
    o.clean();
    auto first = std::make_unique<GroupBranch>();
    GroupBranch* firstRaw = first.get();
    o.attach(std::move(first));
    EXPECT_EQ(firstRaw->owner(), &o);
    EXPECT_TRUE(o.isDirty());
    int deaths = 0;
    o.attach(std::make_unique<kessa_test::MortalLeaf>("mortal", deaths));
    o.attach(std::make_unique<TestLeaf>("next"));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(o.root()->name(), "next");
}

// An instance's bounds are its object's, moved.
TEST(Object, InstancesAreBoundInOrder) {
    Scene s;
    EXPECT_EQ(s.part->bounds(), box({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(s.first->bounds(), box({10, 0, 0}, {11, 1, 1}));
    EXPECT_EQ(s.second->bounds(), box({20, 0, 0}, {21, 1, 1}));
    EXPECT_TRUE(kessa_test::boxIs(s.scene->bounds(), {10, 0, 0}, {21, 1, 1}));
    EXPECT_EQ(s.part->instances(), (std::vector<InstanceBranch*>{s.first, s.second}));
    EXPECT_EQ(s.first->instance(), s.part);
    s.first->setInstance(s.part);
    EXPECT_EQ(s.part->instances().size(), 2u);
    s.first->setInstance(s.scene);
    EXPECT_EQ(s.part->instances(), std::vector<InstanceBranch*>{s.second});
    EXPECT_EQ(s.scene->instances(), std::vector<InstanceBranch*>{s.first});
    s.first->setInstance(nullptr);
    EXPECT_TRUE(s.scene->instances().empty());
    EXPECT_EQ(s.first->instance(), nullptr);
}

TEST(Object, SetMatrixMovesTheBoundsAndStampsTheTime) {
    static double now = 0;
    kessa::Stopwatch::setTimeSource([] { return now; });
    kessa::Stopwatch::tick();
    now = 3.5;
    kessa::Stopwatch::tick();
    Scene s;
    Matrix m;
    m.setTranslation({-5, 0, 0});
    s.first->setMatrix(m);
    EXPECT_EQ(s.first->stamp(), kessa::Stopwatch::lastTick());
    EXPECT_EQ(s.first->bounds(), box({-5, 0, 0}, {-4, 1, 1}));
    Matrix inverse;
    m.invert(inverse);
    EXPECT_EQ(s.first->inverse(), inverse);
    // The parent grew at once; it shrinks only when cleaned.
    EXPECT_TRUE(kessa_test::boxIs(s.sceneGroup->bounds(), {-5, 0, 0}, {21, 1, 1}));
    kessa::Stopwatch::setTimeSource(nullptr);
    InstanceBranch fresh;
    EXPECT_EQ(fresh.stamp(), -1);
    EXPECT_TRUE(fresh.flag());
}

TEST(Object, ChangeInsideReachesEveryInstanceOnce) {
    Scene s;
    s.leaf->setBox({0, 0, 0}, {2, 1, 1});
    EXPECT_TRUE(s.part->isDirty());
    EXPECT_TRUE(s.first->isDirty());
    EXPECT_TRUE(s.second->isDirty());
    EXPECT_TRUE(s.scene->isDirty());
    EXPECT_TRUE(s.database.isDirty());
    EXPECT_EQ(s.sceneGroup->markings, 1);
    EXPECT_EQ(s.partGroup->markings, 1);
    s.database.clean();
    EXPECT_EQ(s.first->bounds(), box({10, 0, 0}, {12, 1, 1}));
    EXPECT_TRUE(kessa_test::boxIs(s.scene->bounds(), {10, 0, 0}, {22, 1, 1}));
}

TEST(Object, GrowingInsideGrowsEveryInstance) {
    Scene s;
    s.leaf->growBounds(box({0, 0, 0}, {3, 1, 1}));
    EXPECT_EQ(s.part->bounds(), box({0, 0, 0}, {3, 1, 1}));
    EXPECT_EQ(s.first->bounds(), box({10, 0, 0}, {13, 1, 1}));
    EXPECT_TRUE(kessa_test::boxIs(s.scene->bounds(), {10, 0, 0}, {23, 1, 1}));
}

TEST(Object, DestroyingAnInstanceOrItsObjectUnbindsThem) {
    Scene s;
    delete s.first;
    EXPECT_EQ(s.part->instances(), std::vector<InstanceBranch*>{s.second});
    auto lone = std::make_unique<Object>();
    InstanceBranch a, b;
    a.setInstance(lone.get());
    b.setInstance(lone.get());
    lone.reset();
    EXPECT_EQ(a.instance(), nullptr);
    EXPECT_EQ(b.instance(), nullptr);
}

TEST(Object, InstanceCleaningCleansTheObject) {
    Object part;
    part.attach(std::make_unique<TestLeaf>("leaf", Vector(0, 0, 0), Vector(1, 1, 1)));
    InstanceBranch i;
    i.setInstance(&part);
    Matrix m;
    m.setRotation(90, {0, 0, 1});
    i.setMatrix(m);
    i.clean();
    EXPECT_FALSE(part.isDirty());
    EXPECT_FALSE(i.isDirty());
    EXPECT_TRUE(kessa_test::vectorNear(i.bounds().min(), {-1, 0, 0}, 1e-15));
    EXPECT_TRUE(kessa_test::vectorNear(i.bounds().max(), {0, 1, 1}, 1e-15));
    InstanceBranch empty;
    empty.clean();
    EXPECT_FALSE(empty.isDirty());
}

TEST(Object, TraversalShowsTheObjectUnderEachInstance) {
    Scene s;
    s.part->setAnimation(7);
    s.scene->setAnimation(3);
    RecordingTraverser t;
    s.database.accumulate(t);
    EXPECT_EQ(t.visitedNames(), (Names{"scene-root", "first", "part-root", "leaf", "second", "part-root", "leaf"}));
    EXPECT_EQ(t.instanceVisits(), 2);
    EXPECT_EQ(t.visits[3].animation, 7);
    EXPECT_EQ(t.visits[1].animation, 3);
    EXPECT_EQ(t.visits[4].animation, 3);
    EXPECT_EQ(t.visits[5].animation, 7);
    EXPECT_EQ(t.visits[3].modelview, s.first->matrix());
    EXPECT_EQ(t.visits[6].modelview, s.second->matrix());
    EXPECT_TRUE(t.recordedBranches().empty());
    EXPECT_EQ(t.depth(), 0);
    EXPECT_EQ(t.accumulator().animation(), 0);
    // Only rendering walks push the animation.
    RecordingTraverser other(1);
    s.database.accumulate(other);
    ASSERT_EQ(other.visits.size(), 7u);
    for (const kessa_test::Visit& v : other.visits)
        EXPECT_EQ(v.animation, 0) << v.name;
}

TEST(Object, CulledInstanceIsVisitedButNotEntered) {
    Scene s;
    RecordingTraverser t;
    t.setCulling(true);
    t.culled = {"first"};
    s.database.accumulate(t);
    EXPECT_EQ(t.visitedNames(), (Names{"scene-root", "first", "second", "part-root", "leaf"}));
    EXPECT_EQ(t.instanceVisits(), 2);
}

// Records the branches inside an instance while it is walked.
class RecordingCheck : public kessa::TraversalCallback {
public:
    explicit RecordingCheck(RecordingTraverser& t) : t_(t) {}
    bool enter(kessa::Traverser&, kessa::Branch*) override {
        depths.push_back(int(t_.recordedBranches().size()));
        return true;
    }
    std::vector<int> depths;

private:
    RecordingTraverser& t_;
};

TEST(Object, InstanceRecordsItselfWhileShowingItsObject) {
    Scene s;
    RecordingTraverser t;
    auto check = new RecordingCheck(t);
    orvel::counted_ptr<kessa::TraversalCallback> hold(check);
    s.leaf->setCallback(hold);
    s.database.accumulate(t);
    EXPECT_EQ(check->depths, (std::vector<int>{1, 1}));
}

TEST(Object, ApplyWalksTheRoot) {
    Scene s;
    struct Count : kessa::BranchProcessor {
        bool process(kessa::Branch*) override { return ++n, true; }
        int n = 0;
    } count;
    EXPECT_TRUE(s.part->apply(count));
    EXPECT_EQ(count.n, 2);
    Object empty;
    EXPECT_TRUE(empty.apply(count));
}

TEST(Object, FrameTableIsFreedOnCleanOnlyWhenSavingMemory) {
    Object o;
    o.setFrameTable({{{1, 2, 3, 4}}, {{5, 6, 7, 8}}});
    o.clean();
    EXPECT_EQ(o.frameTable().size(), 2u);
    EXPECT_EQ(o.frameTable()[1].words[2], 7u);
    kessa::enablePolygonArena();
    o.markDirty();
    o.clean();
    EXPECT_TRUE(o.frameTable().empty());
}

TEST(Object, ObjectThatShowsItselfStops) {
    LogCapture log;
    auto o = std::make_unique<Object>();
    o->setName("loop");
    auto root = std::make_unique<GroupBranch>();
    root->setName("loop-root");
    add<TestLeaf>(*root, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
    InstanceBranch* self = add<InstanceBranch>(*root);
    self->setName("self");
    o->attach(std::move(root));
    self->setInstance(o.get());
    o->clean();
    EXPECT_EQ(log.take(), "Object \"loop\" shows itself - not cleaned again\n");
    EXPECT_FALSE(o->isDirty());
    self->growBounds(box({0, 0, 0}, {2, 1, 1}));
    EXPECT_EQ(o->bounds().max().x, 2);
    RecordingTraverser t;
    o->traverse(t);
    EXPECT_EQ(t.visitedNames(), (Names{"loop-root", "leaf", "self"}));
    o->markDirty();
    EXPECT_TRUE(self->isDirty());
}

// ---- database ----

TEST(Database, FirstObjectBecomesTheRoot) {
    kessa::Database db;
    EXPECT_EQ(db.rootObject(), nullptr);
    EXPECT_FALSE(db.bounds().valid());
    auto a = std::make_unique<Object>();
    Object* first = a.get();
    db.addObject(std::move(a));
    db.addObject(std::make_unique<Object>());
    EXPECT_EQ(db.rootObject(), first);
    EXPECT_EQ(db.objects().size(), 2u);
    EXPECT_EQ(first->database(), &db);
    EXPECT_EQ(db.objects()[1]->database(), &db);
    db.setRootObject(db.objects()[1]);
    EXPECT_EQ(db.rootObject(), db.objects()[1]);
}

TEST(Database, ProcessObjectsInListOrderAndLowerCaseTheName) {
    kessa::Database db;
    db.setPath("Models\\Door.MDL");
    EXPECT_EQ(db.name(), "door.mdl");
    for (const char* name : {"a", "b", "c"}) {
        auto o = std::make_unique<Object>();
        o->setName(name);
        db.addObject(std::move(o));
    }
    struct Names : kessa::Database::ObjectProcessor {
        void process(Object* o) override { seen += o->name().c_str(); }
        std::string seen;
    } names;
    db.processObjects(names);
    EXPECT_EQ(names.seen, "abc");
}

TEST(Database, ExrefsAreListedOnce) {
    kessa::Database db;
    auto* a = reinterpret_cast<kessa::ExrefBranch*>(0x10);
    auto* b = reinterpret_cast<kessa::ExrefBranch*>(0x20);
    db.addExref(a);
    db.addExref(b);
    db.addExref(a);
    EXPECT_EQ(db.exrefs(), (std::vector<kessa::ExrefBranch*>{a, b}));
    db.removeExref(a);
    db.removeExref(a);
    EXPECT_EQ(db.exrefs(), std::vector<kessa::ExrefBranch*>{b});
}

}  // namespace
