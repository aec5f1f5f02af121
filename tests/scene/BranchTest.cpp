// Branch trees, the special branches, objects with their instances,
// databases and geometry branches: links, dirtiness, bounds and walks.
#include <gtest/gtest.h>

#include <malloc.h>

#include <functional>
#include <stdexcept>
#include <utility>

#include "scene/BranchProcessor.h"
#include "scene/BunchSplitter.h"
#include "scene/BranchRenderable.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/Stopwatch.h"
#include "scene/SwitchBranch.h"
#include "scene/render/TraversalCallback.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SceneShape.h"

using namespace kessa;
using namespace kessa_test;

namespace {

// An object in a database, holding root -> middle -> leaf (0,0,0)-(1,1,1).
struct Chain {
    Chain() {
        auto r = std::make_unique<CountingGroup>("root");
        root = r.get();
        middle = add<CountingGroup>(*root, "middle");
        leaf = add<TestLeaf>(*middle, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
        auto o = std::make_unique<Object>();
        object = o.get();
        object->attach(std::move(r));
        database.addObject(std::move(o));
        database.clean();
    }
    Database database;
    Object* object;
    CountingGroup *root, *middle;
    TestLeaf* leaf;
};

std::string childNames(const Branch& g) {
    std::string out;
    for (Branch* b : g.group()->children())
        out += b->name().c_str();
    return out;
}

template <class F>
std::string thrown(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "nothing";
}

TEST(BranchTree, DirtinessAndBoundsTravelUpOnce) {
    Chain c;
    EXPECT_TRUE(!c.database.isDirty() && boxIs(c.database.bounds(), {0, 0, 0}, {1, 1, 1}));
    c.leaf->markDirty();
    EXPECT_TRUE(c.middle->isDirty() && c.root->isDirty() && c.object->isDirty() && c.database.isDirty());
    const int calls = c.middle->dirtyCalls + c.root->dirtyCalls;
    c.leaf->markDirty();
    EXPECT_EQ(c.middle->dirtyCalls + c.root->dirtyCalls, calls) << "marked once";
    // A changed leaf is recomputed along its ancestors only.
    TestLeaf* other = add<TestLeaf>(*c.root, "other", Vector(-1, -1, -1), Vector(0, 0, 0));
    c.database.clean();
    const int otherCleans = other->cleans, middleCleans = c.middle->cleans;
    c.leaf->setBox({0, 0, 0}, {5, 1, 1});
    c.database.clean();
    EXPECT_TRUE(other->cleans == otherCleans && c.middle->cleans == middleCleans + 1);
    EXPECT_TRUE(boxIs(c.database.bounds(), {-1, -1, -1}, {5, 1, 1}));
    // Growing goes to the object at once and marks nothing; inside the box it changes nothing.
    EXPECT_FALSE(c.leaf->growBounds(box({0.2, 0.2, 0.2}, {0.8, 0.8, 0.8})));
    EXPECT_EQ(c.middle->growCalls, 0);
    EXPECT_TRUE(c.leaf->growBounds(box({0, 0, 0}, {7, 1, 1})));
    EXPECT_TRUE(c.middle->growCalls == 1 && c.root->growCalls == 1 && !c.object->isDirty());
    EXPECT_TRUE(boxIs(c.object->bounds(), {-1, -1, -1}, {7, 1, 1}));
    Bounds moved;
    Matrix m;
    m.setTranslation({10, 0, 0});
    c.leaf->transformBounds(moved, m);
    EXPECT_TRUE(boxIs(moved, {10, 0, 0}, {17, 1, 1}));
    // Emptied groups clean to empty bounds.
    delete c.leaf;
    delete other;
    EXPECT_TRUE(c.object->isDirty());
    c.database.clean();
    EXPECT_FALSE(c.middle->bounds().valid() || c.root->bounds().valid() || c.object->bounds().valid());
}

TEST(BranchTree, ChildrenAreLinkedCountedAndNullRefused) {
    Branch plain;
    EXPECT_TRUE(plain.isDirty() && !plain.hasChildren() && plain.childCount() == 0 && plain.child(3) == &plain);
    Chain c;
    add<TestLeaf>(*c.middle, "added");
    EXPECT_TRUE(c.middle->hasChildren());
    EXPECT_EQ(support::sceneShape(c.object),
              "Object#1\"\" db=? dirty box=(0,0,0)-(1,1,1) shown by [] root: GroupBranch#2\"root\" o=#1 p=- dirty "
              "box=(0,0,0)-(1,1,1) [GroupBranch#3\"middle\" o=#1 p=#2 dirty box=(0,0,0)-(1,1,1) [Branch#4\"leaf\" "
              "o=#1 p=#3 box=(0,0,0)-(1,1,1), Branch#5\"added\" o=#1 p=#3 dirty]]");
    EXPECT_EQ(thrown([&] { c.middle->child(2); }), "invalid vector<T> subscript");
    EXPECT_EQ(thrown([&] { c.middle->child(-1); }), "invalid vector<T> subscript");
    c.database.clean();
    EXPECT_EQ(thrown([&] { c.middle->addChild(nullptr); }), "kessa::GroupBranch::addChild() - Can't add null branches");
    EXPECT_TRUE(c.middle->childCount() == 2 && !c.middle->isDirty());
}

template <class Kind, class... Args>
std::pair<std::unique_ptr<Branch>, std::size_t> made(Args... args) {
    return {std::make_unique<Kind>(args...), sizeof(Kind)};
}

// Every kind of branch, a kind made outside the library too, gets a heap
// block that, with the heap's word in front of it, covers whole cache lines.
TEST(BranchTree, EveryKindIsMadeInWholeCacheLines) {
    std::pair<std::unique_ptr<Branch>, std::size_t> kinds[] = {
        made<Branch>(),         made<GroupBranch>(),    made<SwitchBranch>(0), made<LodBranch>(),
        made<JointBranch>(),    made<InstanceBranch>(), made<ExrefBranch>(),   made<GeometryBranch>(),
        made<PolygonBranch>(),  made<TestLeaf>()};
    const std::size_t word = sizeof(std::size_t);
    for (const auto& [branch, size] : kinds) {
        const std::size_t block = malloc_usable_size(branch.get()) + word;
        EXPECT_GE(block, (size + word + 63) / 64 * 64) << branch->typeName() << ", " << size << " bytes";
    }
}

// A tree view opens a scene through the branches' viewable side: children
// as the groups give them, and one node per branch, made when first asked
// for, showing the name the branch has when asked. A view may hold a node
// past its branch.
TEST(BranchTree, TreeViewsOpenTheTreeAndShowTheNames) {
    GroupBranch root;
    root.setName("root");
    add<TestLeaf>(root, "first");
    add<GroupBranch>(root, "second");
    pellium::TreeViewable& view = root;
    ASSERT_TRUE(view.hasChildren() && view.childCount() == 2);
    pellium::TreeViewable *leaf = view.child(0), *second = view.child(1);
    EXPECT_EQ(leaf, root.child(0));
    EXPECT_TRUE(!leaf->hasChildren() && leaf->childCount() == 0);
    EXPECT_TRUE(second->hasChildren() && second->childCount() == 0) << "a group opens, even empty";
    EXPECT_EQ(view.treeNode()->text(), "root");
    EXPECT_EQ(second->treeNode()->text(), "second");

    orvel::counted_ptr<pellium::TreeNode> held = root.child(0)->treeNode();
    EXPECT_EQ(held.useCount(), 2u);
    root.child(0)->setName("renamed");
    EXPECT_EQ(held->text(), "first");
    EXPECT_EQ(root.child(0)->treeNode(), held);
    EXPECT_EQ(held->text(), "renamed");
    std::unique_ptr<Branch> replacement(new TestLeaf("new"));
    root.child(0)->replaceBy(replacement).reset();
    EXPECT_TRUE(held.useCount() == 1 && held->text() == "renamed");
}

// The processor may stop the walk, delete the branch it is given (nothing
// is skipped) or add a child after it (the new one is visited, the current
// one not again).
TEST(BranchTree, ApplyFollowsWhatTheProcessorDoes) {
    struct Collector : BranchProcessor {
        bool process(Branch* b) override {
            const char action = b->name().c_str()[0];
            seen += b->name().c_str();
            if (action == 'd')
                delete b;
            if (action == 'a')
                b->parent()->addChild(std::make_unique<TestLeaf>("new"));
            return action != 's';
        }
        std::string seen;
    };
    const char* const rows[][3] = {{"x", "xbgx", "xbx"}, {"s", "s", "sbx"}, {"d", "dbgx", "bx"}, {"a", "abgxnew", "abxnew"}};
    for (const auto& r : rows) {
        GroupBranch g;
        add<TestLeaf>(g, r[0]);
        add<TestLeaf>(*add<GroupBranch>(g, "b"), "g");
        add<TestLeaf>(g, "x");
        Collector c;
        EXPECT_EQ(g.apply(c), r[0][0] != 's');
        EXPECT_EQ(c.seen + "|" + childNames(g), std::string(r[1]) + "|" + r[2]);
    }
}

TEST(BranchTree, ReplacingMovingAndDeletingChildren) {
    Chain c;
    add<TestLeaf>(*c.middle, "after");
    std::unique_ptr<Branch> holder = std::make_unique<TestLeaf>("replacement");
    c.database.clean();
    std::unique_ptr<Branch> old = c.leaf->replaceBy(holder);
    EXPECT_TRUE(!holder && old.get() == c.leaf && !old->parent() && !old->owner());
    EXPECT_EQ(childNames(*c.middle), "replacementafter");
    EXPECT_TRUE(c.middle->child(0)->owner() == c.object && c.middle->isDirty() && c.database.isDirty());
    TestLeaf lone;
    holder = std::make_unique<TestLeaf>("x");
    EXPECT_TRUE(!lone.replaceBy(holder) && holder) << "nothing to replace without a parent";
    // Moved children belong to the target's owner; the target's own go.
    const int deaths = TestLeaf::deaths;
    GroupBranch source, target;
    add<TestLeaf>(target, "old");
    target.moveChildrenTo(target);
    add<TestLeaf>(source, "a");
    add<TestLeaf>(source, "b");
    source.clean();
    source.moveChildrenTo(*c.middle);
    EXPECT_TRUE(source.children().empty() && source.isDirty() && childNames(*c.middle) == "ab");
    EXPECT_TRUE(c.middle->child(1)->parent() == c.middle && c.middle->child(1)->owner() == c.object);
    EXPECT_EQ(TestLeaf::deaths, deaths + 2) << "replacement and after";
    source.moveChildrenTo(target);
    EXPECT_TRUE(target.children().empty() && TestLeaf::deaths == deaths + 3);
    {
        GroupBranch g;
        add<TestLeaf>(*add<GroupBranch>(g, "inner"), "a");
        add<TestLeaf>(g, "b");
    }
    EXPECT_EQ(TestLeaf::deaths, deaths + 5) << "a group deletes its children";
}

class ScriptedCallback : public TraversalCallback {
public:
    ScriptedCallback(std::vector<std::string>& log, bool go) : log_(log), go_(go) {}
    bool enter(Traverser&, Branch* b) override {
        log_.push_back(std::string("enter ") + b->name().c_str());
        return go_;
    }
    void leave(Traverser&, Branch* b) override { log_.push_back(std::string("leave ") + b->name().c_str()); }

private:
    std::vector<std::string>& log_;
    bool go_;
};

class Hook : public BranchRenderable {
public:
    void render(Traverser&) override {}
    void update() override { ++updates; }
    int updates = 0;
};

class RenderedLeaf : public TestLeaf {
public:
    explicit RenderedLeaf(Hook& hook) { setRenderable(&hook); }
};

// Walks of g { inner { hidden }, a, b }: culled branches go with their
// subtree, children of a branch wholly inside are not tested, a callback
// (on the branches named) that says no stops its branch with the masks balanced.
TEST(BranchTree, WalksTestVisitAndCallBack) {
    const struct {
        bool culling;
        std::set<std::string> culled, inside;
        const char *callbacks, *refusing, *trace;
    } rows[] = {
        {false, {}, {}, "gb", "", "enter g, visit g, visit inner, visit hidden, visit a, enter b, visit b, leave b, leave g"},
        {true, {"inner", "b"}, {}, "", "", "test g, mask+, visit g, test inner, test a, visit a, test b, mask-"},
        {true, {}, {"g"}, "", "", "test g, mask+, visit g, visit inner, visit hidden, visit a, visit b, mask-"},
        {true, {}, {}, "", "g", "test g, mask+, enter g, mask-"},
        {true, {}, {}, "", "a", "test g, mask+, visit g, test inner, mask+, visit inner, test hidden, visit hidden, mask-, "
                                "test a, enter a, test b, visit b, mask-"},
    };
    for (const auto& r : rows) {
        RecordingTraverser t;
        t.setCulling(r.culling);
        t.culled = r.culled, t.inside = r.inside;
        GroupBranch g;
        g.setName("g");
        add<TestLeaf>(*add<GroupBranch>(g, "inner"), "hidden");
        add<TestLeaf>(g, "a");
        add<TestLeaf>(g, "b");
        for (Branch* b : {static_cast<Branch*>(&g), g.child(1), g.child(2)})
            if (std::strchr(r.callbacks, b->name().c_str()[0]) || std::strchr(r.refusing, b->name().c_str()[0]))
                b->setCallback(orvel::counted_ptr<TraversalCallback>(
                    new ScriptedCallback(t.log, !std::strchr(r.refusing, b->name().c_str()[0]))));
        const unsigned long unculled = GroupBranch::unculledChildVisits(), single = GroupBranch::singleChildGroupVisits();
        g.traverse(t);
        EXPECT_EQ(t.trace(), r.trace);
        EXPECT_TRUE(r.culling || (GroupBranch::unculledChildVisits() == unculled + 4 && GroupBranch::singleChildGroupVisits() == single + 1));
    }
    Hook hook;
    GroupBranch g;
    add<RenderedLeaf>(*add<GroupBranch>(g, "inner"), "r1", hook);
    add<RenderedLeaf>(g, "r2", hook);
    add<TestLeaf>(g, "plain");
    g.update();
    EXPECT_EQ(hook.updates, 2);
}

// ---- switches and levels of detail ----

// s { a, b, c } walked after select(i): mode 2 shows the clamped selection
// (nothing without children, nothing when culled), mode 1 all or nothing,
// other modes nothing.
TEST(SwitchBranch, ModesChooseTheChildrenShown) {
    const struct {
        int mode, select, children;
        bool visitAll, culled;
        const char* names;
    } rows[] = {
        {2, 0, 3, true, false, "s a"},   {2, 1, 3, true, false, "s b"}, {2, -3, 3, true, false, "s a"},
        {2, 99, 3, true, false, "s c"},  {2, 5, 0, true, false, ""},    {2, 0, 3, true, true, ""},
        {1, 0, 2, true, false, "s a b"}, {1, 0, 2, false, false, ""},   {0, 0, 1, true, false, ""},
        {3, 0, 1, true, false, ""},      {-1, 0, 1, true, false, ""},
    };
    for (const auto& r : rows) {
        SwitchBranch s(r.mode);
        s.setName("s");
        for (int i = 0; i < r.children; ++i)
            add<TestLeaf>(s, std::string(1, char('a' + i)).c_str());
        s.select(r.select);
        s.setVisitAll(r.visitAll);
        RecordingTraverser t;
        t.setCulling(r.culled);
        t.culled = {"s"};
        s.traverse(t);
        EXPECT_EQ(t.names(), r.names) << r.mode << " " << r.select;
    }
}

class LodTest : public ::testing::Test {
protected:
    void TearDown() override { LodBranch::setFading(true); }
    LodBranch* level(const char* name, double range, bool fade) {
        LodBranch* lod = add<LodBranch>(parent, name);
        lod->setRange(range);
        lod->setFade(fade);
        add<TestLeaf>(*lod, (std::string(name) + "-leaf").c_str(), Vector(-1, -1, -1), Vector(1, 1, 1));
        return lod;
    }
    // The walk with the viewer at squared distance d, or under m: each visit
    // as name, and /overrides@alpha when the accumulator had any.
    std::string walk(double d, int mode = 0, const Matrix* m = nullptr, float scale = 1) {
        RecordingTraverser t(mode);
        t.setReferencePoint(std::sqrt(d), 0, 0);
        if (m)
            t.setModelview(*m);
        t.setLodScale(scale);
        parent.clean();
        parent.traverse(t);
        EXPECT_TRUE(t.accumulator().overrideState() == 0 && t.accumulator().transparency() == 1);
        std::string out;
        for (const Visit& v : t.visits) {
            out += (out.empty() ? "" : " ") + v.name;
            if (v.overrides || v.alpha != 1)
                out += "/" + std::to_string(v.overrides) + "@" + std::to_string(v.alpha).substr(0, 4);
        }
        return out;
    }
    GroupBranch parent;
};

// Inside the range the far level fades in over the near one; past it the
// near one fades out over the far one; only the first of a chain acts; the
// last level fades out further; another child starts a new chain;
// distances follow the modelview's scale (144 at scale 1 is past the range,
// 144 / 2 at scale 2 is not) and the scale factor.
TEST_F(LodTest, DistanceScaleAndCrossFadingPickTheLevels) {
    LodBranch* near = level("near", 10, true);
    level("far", 100, true);
    EXPECT_EQ(near->rangeSquared(), 100);
    EXPECT_EQ(walk(50) + "|" + walk(5000) + "|" + walk(20000), "near near-leaf|far far-leaf|");
    EXPECT_EQ(walk(95), "far/3@0.50 far-leaf/3@0.50 near/1@1.00 near-leaf/1@1.00");
    EXPECT_EQ(walk(105), "far/3@1.00 far-leaf/3@1.00 near/1@0.50 near-leaf/1@0.50");
    EXPECT_EQ(walk(95, 1), "near near-leaf") << "only drawing walks fade";
    LodBranch::setFading(false);
    EXPECT_EQ(walk(105), "far far-leaf");
    LodBranch::setFading(true);
    near->setFade(false);
    EXPECT_EQ(walk(95), "near near-leaf") << "the branch's own flag";
    add<TestLeaf>(parent, "between");
    level("last", 10, true);
    EXPECT_EQ(walk(115), "far far-leaf between last/1@0.25 last-leaf/1@0.25");
    Matrix scaled, moved;
    scaled.scale({2, 2, 2});
    scaled.translate({12, 0, 0});
    moved.setTranslation({12, 0, 0});
    EXPECT_EQ(walk(0, 0, &scaled) + "|" + walk(0, 0, &moved) + "|" + walk(0, 0, &moved, float(std::sqrt(2.0))),
              "near near-leaf between last last-leaf|far far-leaf between|near near-leaf between last last-leaf");
}

// A level replaced in its group and made another object's root shows
// itself alone, before its old group goes and after: it once kept its
// neighbours, drew the old group's next level, then read it freed.
TEST(LodBranch, ALevelThatLeavesKeepsNoLinkIntoItsGroup) {
    auto old = std::make_unique<GroupBranch>();
    for (const char* name : {"near", "far"}) {
        LodBranch* lod = add<LodBranch>(*old, name);
        lod->setRange(name[0] == 'n' ? 10 : 100);
        add<TestLeaf>(*lod, (std::string(name) + "-leaf").c_str(), Vector(-1, -1, -1), Vector(1, 1, 1));
    }
    std::unique_ptr<Branch> holder = std::make_unique<TestLeaf>("leaf");
    Object other;
    other.attach(old->child(0)->replaceBy(holder));
    auto shown = [&](double d) {
        RecordingTraverser t;
        t.setReferencePoint(std::sqrt(d), 0, 0);
        other.clean();
        other.traverse(t);
        return t.names();
    };
    for (int pass = 0; pass < 2; ++pass, old.reset())
        EXPECT_EQ(shown(50) + "|" + shown(5000), "near near-leaf|") << pass;
}

// Children added, taken from either end or the middle, or replaced in turn
// take steps in proportion to their number, four times the children about
// four times the steps (every change once relinked all the children), and
// leave the chains as a fresh walk over the children links them.
TEST(LodBranch, ChildrenComeAndGoInStepsInProportion) {
    auto levelOrLeaf = [](unsigned i) -> std::unique_ptr<Branch> {
        return i % 4 == 3 ? std::unique_ptr<Branch>(new TestLeaf) : std::make_unique<LodBranch>();
    };
    auto chainsHold = [](const GroupBranch& g) {
        const std::vector<Branch*>& c = g.children();
        // The index before the first wraps past the end.
        auto levelAt = [&](std::size_t i) { return i < c.size() ? dynamic_cast<LodBranch*>(c[i]) : nullptr; };
        for (std::size_t i = 0; i < c.size(); ++i)
            if (levelAt(i) && (levelAt(i)->previous() != levelAt(i - 1) || levelAt(i)->next() != levelAt(i + 1)))
                return false;
        return true;
    };
    enum Way { added, lastFirst, firstFirst, middleFirst, replacedInTurn };
    for (Way way : {added, lastFirst, firstFirst, middleFirst, replacedInTurn}) {
        SCOPED_TRACE(way);
        unsigned long steps[2];
        for (int size : {0, 1}) {
            const unsigned n = 400u << (2 * size);
            GroupBranch g;
            unsigned long before = GroupBranch::childSteps();
            for (unsigned i = 0; i < n; ++i)
                g.addChild(levelOrLeaf(i));
            ASSERT_TRUE(chainsHold(g));
            if (way != added)
                before = GroupBranch::childSteps();
            for (unsigned i = 0; way != added && i < n; ++i) {
                const int last = g.childCount() - 1;
                std::unique_ptr<Branch> holder = levelOrLeaf(i + 1);
                if (way == replacedInTurn)
                    g.child(int(i))->replaceBy(holder).reset();
                else
                    delete g.child(way == lastFirst ? last : way == firstFirst ? 0 : last / 2);
                ASSERT_TRUE(size || chainsHold(g)) << i;
            }
            steps[size] = GroupBranch::childSteps() - before;
        }
        EXPECT_LE(double(steps[1]), 5.0 * double(steps[0])) << steps[0] << " then " << steps[1];
    }
}

// ---- joints ----

// A joint moved 100 along x: its children sit near x = 100 in their own
// space and near 0 in the parent's, where it is culled and grows bounds.
TEST(JointBranch, BoundsAndCullingInTheParentsSpace) {
    JointBranch j;
    j.setJoint(Matrix());
    EXPECT_FALSE(j.hasJoint());
    Matrix frame, turn, p;
    frame.setTranslation({5, 0, 0});
    turn.setRotation(90, {0, 0, 1});
    j.setJoint(frame);
    j.setTransform(turn);
    Vector out;
    Matrix::transformPoint(out, {6, 0, 0}, j.current());
    EXPECT_TRUE(j.hasJoint() && vectorNear(out, {5, 1, 0}, 1e-12)) << "turned about the joint";
    j.current().invert(p);
    EXPECT_TRUE(j.currentInverse() == p && j.jointInverse().translation() == Vector(-5, 0, 0));

    GroupBranch parent;
    parent.setName("parent");
    auto* joint = add<JointBranch>(parent, "joint");
    Matrix t;
    t.setTranslation({100, 0, 0});
    joint->setTransform(t);
    TestLeaf* leaf = add<TestLeaf>(*joint, "leaf", Vector(100, 0, 0), Vector(101, 1, 1));
    parent.clean();
    EXPECT_TRUE(boxIs(joint->childBounds(), {100, 0, 0}, {101, 1, 1}) && boxIs(parent.bounds(), {0, 0, 0}, {1, 1, 1}));
    leaf->growBounds(box({100, 0, 0}, {103, 1, 1}));
    EXPECT_TRUE(joint->childBounds().max().x == 103 && boxIs(parent.bounds(), {0, 0, 0}, {3, 1, 1}));
    t.setTranslation({98, 0, 0});
    joint->setTransform(t);
    EXPECT_TRUE(boxIs(joint->bounds(), {0, 0, 0}, {5, 1, 1}) && boxIs(parent.bounds(), {0, 0, 0}, {5, 1, 1}));
    RecordingTraverser walk;
    walk.setCulling(true);
    parent.traverse(walk);
    EXPECT_EQ(walk.trace(), "test parent, mask+, visit parent, test joint, mask+, push, visit joint, test leaf, "
                            "visit leaf, pop, mask-, mask-");
    EXPECT_EQ(walk.visits[2].modelview, joint->currentInverse());
    walk.setCulling(true);
    walk.culled = {"joint"};
    walk.visits.clear();
    parent.traverse(walk);
    EXPECT_EQ(walk.names(), "parent");
}

// ---- external references ----

orvel::counted_ptr<Database> target() {
    orvel::counted_ptr<Database> db(new Database);
    auto o = std::make_unique<Object>();
    auto root = std::make_unique<GroupBranch>();
    root->setName("target-root");
    add<TestLeaf>(*root, "target-leaf", Vector(-1, -1, -1), Vector(1, 1, 1));
    o->attach(std::move(root));
    db->addObject(std::move(o));
    return db;
}

// A database that shows itself through its own branch stops there.
TEST(ExrefBranch, TheTargetIsListedCleanedAndShown) {
    LogCapture log;
    orvel::counted_ptr<Database> a = target(), b = target();
    {
        ExrefBranch e;
        e.setName("door");
        e.setTarget(a);
        e.setTarget(a);
        EXPECT_EQ(a->exrefs(), std::vector<ExrefBranch*>{&e});
        e.setTarget(b);
        EXPECT_TRUE(a->exrefs().empty() && b->exrefs().size() == 1 && b.useCount() == 2);
        e.clean();
        EXPECT_EQ(log.take(), "Cleaning exref branch \"door\"\n");
        EXPECT_TRUE(!e.isDirty() && !b->isDirty() && boxIs(e.bounds(), {-1, -1, -1}, {1, 1, 1}));
        RecordingTraverser t;
        e.traverse(t);
        t.setCulling(true);
        t.culled = {"door"};
        e.traverse(t);
        EXPECT_EQ(t.names(), "target-root target-leaf");
    }
    EXPECT_TRUE(b->exrefs().empty() && b.useCount() == 1);
    ExrefBranch empty;
    empty.clean();
    RecordingTraverser t;
    empty.traverse(t);
    EXPECT_TRUE(!empty.isDirty() && !empty.bounds().valid() && t.visits.empty());
    auto self = std::make_unique<ExrefBranch>();
    self->setTarget(a);
    a->rootObject()->root()->group()->addChild(std::move(self));
    a->clean();
    EXPECT_NE(log.take().find("shows itself"), std::string::npos);
    a->accumulate(t);
    EXPECT_EQ(t.names(), "target-root target-leaf");
    a->rootObject()->attach(nullptr);  // the database holds itself through the branch
}

// ---- objects and instances ----

// Object "part" (a leaf in (0,0,0)-(1,1,1)) shown twice in object "scene",
// moved by 10 and by 20 along x.
struct Scene {
    Scene() {
        auto p = std::make_unique<Object>(), s = std::make_unique<Object>();
        part = p.get(), scene = s.get();
        auto partRoot = std::make_unique<CountingGroup>("part-root"), sceneRoot = std::make_unique<CountingGroup>("scene-root");
        partGroup = partRoot.get(), sceneGroup = sceneRoot.get();
        leaf = add<TestLeaf>(*partRoot, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
        part->attach(std::move(partRoot));
        for (InstanceBranch** i : {&first, &second}) {
            *i = add<InstanceBranch>(*sceneRoot, i == &first ? "first" : "second");
            (*i)->setInstance(part);
            Matrix m;
            m.setTranslation({i == &first ? 10.0 : 20.0, 0, 0});
            (*i)->setMatrix(m);
        }
        scene->attach(std::move(sceneRoot));
        database.addObject(std::move(s));
        database.addObject(std::move(p));
        database.clean();
    }
    Database database;
    Object *part, *scene;
    CountingGroup *partGroup, *sceneGroup;
    TestLeaf* leaf;
    InstanceBranch *first, *second;
};

// Roots are attached, cleaned and deleted when replaced. An instance's
// bounds are its object's, moved; a change inside reaches every instance
// once, growing inside grows them all; a new matrix moves the bounds at
// once, stamped with the engine clock; cleaning an instance cleans its object.
TEST(Object, InstancesFollowTheirObject) {
    const int deaths = TestLeaf::deaths;
    Object o;
    o.clean();
    o.attach(std::make_unique<TestLeaf>());
    EXPECT_TRUE(o.isDirty() && o.root()->owner() == &o);
    o.attach(nullptr);
    o.clean();
    EXPECT_TRUE(!o.bounds().valid() && !o.isDirty() && TestLeaf::deaths == deaths + 1);
    Scene s;
    EXPECT_TRUE(boxIs(s.first->bounds(), {10, 0, 0}, {11, 1, 1}) && boxIs(s.scene->bounds(), {10, 0, 0}, {21, 1, 1}));
    EXPECT_EQ(s.part->instances(), (std::vector<InstanceBranch*>{s.first, s.second}));
    s.leaf->setBox({0, 0, 0}, {2, 1, 1});
    EXPECT_TRUE(s.first->isDirty() && s.second->isDirty() && s.scene->isDirty() && s.database.isDirty());
    EXPECT_TRUE(s.sceneGroup->markings == 1 && s.partGroup->markings == 1);
    s.database.clean();
    EXPECT_TRUE(boxIs(s.first->bounds(), {10, 0, 0}, {12, 1, 1}) && boxIs(s.scene->bounds(), {10, 0, 0}, {22, 1, 1}));
    s.leaf->growBounds(box({0, 0, 0}, {3, 1, 1}));
    EXPECT_TRUE(boxIs(s.second->bounds(), {20, 0, 0}, {23, 1, 1}) && boxIs(s.scene->bounds(), {10, 0, 0}, {23, 1, 1}));
    static double now = 0;
    Stopwatch::setTimeSource([] { return now; });
    Stopwatch::tick();
    now = 3.5;
    Stopwatch::tick();
    Matrix m, inverse;
    m.setTranslation({-5, 0, 0});
    s.first->setMatrix(m);
    m.invert(inverse);
    Stopwatch::setTimeSource(nullptr);
    EXPECT_TRUE(s.first->stamp() == 3.5 && s.first->inverse() == inverse);
    EXPECT_TRUE(boxIs(s.first->bounds(), {-5, 0, 0}, {-2, 1, 1}) && boxIs(s.sceneGroup->bounds(), {-5, 0, 0}, {23, 1, 1}));
    // Rebinding, and unbinding when an instance or its object goes.
    s.first->setInstance(s.part);
    s.first->setInstance(s.scene);
    EXPECT_TRUE(s.part->instances() == std::vector<InstanceBranch*>{s.second} && s.scene->instances().size() == 1);
    s.first->setInstance(nullptr);
    delete s.second;
    EXPECT_TRUE(s.scene->instances().empty() && !s.first->instance() && s.part->instances().empty());
    auto lone = std::make_unique<Object>();
    s.first->setInstance(lone.get());
    lone.reset();
    EXPECT_EQ(s.first->instance(), nullptr);
    o.attach(std::make_unique<TestLeaf>(Vector(0, 0, 0), Vector(1, 1, 1)));
    InstanceBranch i, empty;
    i.setInstance(&o);
    m.setRotation(90, {0, 0, 1});
    i.setMatrix(m);
    i.clean();
    empty.clean();
    EXPECT_TRUE(!o.isDirty() && !i.isDirty() && vectorNear(i.bounds().min(), {-1, 0, 0}, 1e-15) && !empty.isDirty());
    struct Count : BranchProcessor {
        bool process(Branch*) override { return ++n, true; }
        int n = 0;
    } count;
    EXPECT_TRUE(Object().apply(count) && s.part->apply(count) && count.n == 2);
}

// Many instance branches of one object leave its table in a step or two
// each, and those left keep the order they were bound in: whether the group
// holding them goes first (they leave in that order), the object goes first
// (its table empties from the end), or every third leaves before the rest.
// Twice the instances take about twice the steps (each once searched the
// table from its front, which made it four times).
TEST(Object, InstanceTablesEmptyInStepsInProportion) {
    enum Order { groupFirst, objectFirst, everyThirdFirst };
    for (Order order : {groupFirst, objectFirst, everyThirdFirst}) {
        SCOPED_TRACE(order);
        unsigned long steps[2];
        for (int size : {0, 1}) {
            const int n = 3000 << size;
            const unsigned long before = Object::instanceTableSteps();
            auto object = std::make_unique<Object>();
            auto group = std::make_unique<GroupBranch>();
            std::vector<InstanceBranch*> bound;
            for (int i = 0; i < n; ++i) {
                bound.push_back(add<InstanceBranch>(*group, ""));
                bound.back()->setInstance(object.get());
            }
            if (order == everyThirdFirst) {
                std::vector<InstanceBranch*> left;
                for (int i = 0; i < n; ++i)
                    if (i % 3)
                        left.push_back(bound[std::size_t(i)]);
                    else
                        bound[std::size_t(i)]->setInstance(nullptr);
                EXPECT_EQ(object->instances(), left);
                group->clean();
                object->markDirty();
                EXPECT_TRUE(bound[1]->isDirty() && !bound[0]->isDirty());
            }
            if (order == objectFirst)
                object.reset();
            group.reset();
            object.reset();
            steps[size] = Object::instanceTableSteps() - before;
        }
        EXPECT_LT(double(steps[1]), 2.5 * double(steps[0])) << steps[0] << " then " << steps[1];
    }
}

// Counts the branches recorded as instances when a leaf is entered.
class RecordingCheck : public TraversalCallback {
public:
    bool enter(Traverser& t, Branch*) override {
        depths += std::to_string(t.recordedBranches().size());
        return true;
    }
    std::string depths;
};

// Walks show the object under each instance, with its animation (drawing
// walks only) and matrix; a culled instance is visited but not entered.
TEST(Object, WalksShowTheObjectUnderEachInstance) {
    Scene s;
    s.part->setAnimation(7);
    s.scene->setAnimation(3);
    auto* check = new RecordingCheck;
    s.leaf->setCallback(orvel::counted_ptr<TraversalCallback>(check));
    for (int mode : {0, 1}) {
        RecordingTraverser t(mode);
        s.database.accumulate(t);
        EXPECT_EQ(t.names(), "scene-root first part-root leaf second part-root leaf");
        std::string animations;
        for (const Visit& v : t.visits)
            animations += std::to_string(v.animation);
        EXPECT_EQ(animations, mode ? "0000000" : "3377377");
        EXPECT_TRUE(t.visits[3].modelview == s.first->matrix() && t.visits[6].modelview == s.second->matrix());
        EXPECT_TRUE(t.instanceVisits() == 2 && t.recordedBranches().empty() && t.depth() == 0);
    }
    EXPECT_EQ(check->depths, "1111");
    RecordingTraverser culling;
    culling.setCulling(true);
    culling.culled = {"first"};
    s.database.accumulate(culling);
    EXPECT_EQ(culling.names(), "scene-root first second part-root leaf");
}

TEST(Object, AnObjectThatShowsItselfStopsAndFramesGoWhenSavingMemory) {
    LogCapture log;
    auto o = std::make_unique<Object>();
    o->setName("loop");
    auto root = std::make_unique<GroupBranch>();
    root->setName("loop-root");
    add<TestLeaf>(*root, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
    InstanceBranch* self = add<InstanceBranch>(*root, "self");
    o->attach(std::move(root));
    self->setInstance(o.get());
    o->clean();
    EXPECT_EQ(log.take(), "Object \"loop\" shows itself - not cleaned again\n");
    self->growBounds(box({0, 0, 0}, {2, 1, 1}));
    EXPECT_TRUE(!o->isDirty() && o->bounds().max().x == 2);
    RecordingTraverser t;
    o->traverse(t);
    EXPECT_EQ(t.names(), "loop-root leaf self");
    o->markDirty();
    EXPECT_TRUE(self->isDirty());
    Object framed;
    framed.setFrameTable({{{1, 2, 3, 4}}, {{5, 6, 7, 8}}});
    framed.clean();
    EXPECT_EQ(framed.frameTable()[1].words[2], 7u);
    ArenaSwitch saving(true);
    framed.markDirty();
    framed.clean();
    EXPECT_TRUE(framed.frameTable().empty());
}

TEST(Database, ObjectsRootNameAndExternalReferences) {
    Database db;
    EXPECT_TRUE(!db.rootObject() && !db.bounds().valid());
    db.setPath("Models\\Door.MDL");
    for (const char* name : {"a", "b", "c"}) {
        db.addObject(std::make_unique<Object>());
        db.objects().back()->setName(name);
    }
    EXPECT_TRUE(db.name() == "door.mdl" && db.rootObject() == db.objects()[0] && db.objects()[2]->database() == &db);
    db.setRootObject(db.objects()[1]);
    struct Names : Database::ObjectProcessor {
        void process(Object* o) override { seen += o->name().c_str(); }
        std::string seen;
    } names;
    db.processObjects(names);
    EXPECT_TRUE(names.seen == "abc" && db.rootObject() == db.objects()[1]);

    // From a counted holder the object moves only when nothing else holds it.
    orvel::counted_ptr<Object> alone(new Object), shared(new Object), sharer(shared);
    db.addObject(alone);
    LogCapture log;
    db.addObject(shared);
    EXPECT_TRUE(!alone && shared.useCount() == 2u && db.objects().size() == 4u);
    EXPECT_EQ(log.count("Database::addObject() - the object is held elsewhere\n"), 1);
}

// ---- geometry branches ----

GeoBunchBuilder unitTriangleAt(float x) { return builderOf({triangle({x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0})}); }

TEST(GeometryBranch, HoldsItsBatchesUntilItGoesAndSplitsEvenEqualTriangles) {
    orvel::ref_ptr<GeoBunch> kept[2];
    {
        GeometryBranch branch;
        branch.clean();
        EXPECT_FALSE(branch.bounds().valid());
        branch.addTriangles(GeoBunchBuilder());
        EXPECT_TRUE(branch.bunches().empty());
        for (int i = 0; i < 2; ++i) {
            branch.addTriangles(unitTriangleAt(float(2 * i)));
            kept[i] = branch.bunches()[std::size_t(i)];
            EXPECT_EQ(kept[i]->internals().ownerBranch(), &branch);
        }
        EXPECT_TRUE(boxIs(branch.bounds(), {0, 0, 0}, {3, 1, 0}));
        branch.addTriangles(builderOf({triangle({0, 0, 0}, {1, 0, 0}, {2, 0, 0})}));  // no area: no geometry
        EXPECT_TRUE(branch.bunches().size() == 3 && branch.bunches()[2]->vertexCount() == 0);
        branch.clean();
        EXPECT_TRUE(boxIs(branch.bounds(), {-1, -1, -1}, {3, 1, 1}));
    }
    for (const orvel::ref_ptr<GeoBunch>& b : kept)
        EXPECT_TRUE(!b->internals().ownerBranch() && b->refCount() == 1u);
    // Splitting ends also when all midpoints coincide.
    GeoBunchBuilder same;
    same.triangles.assign(3000, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    GeometryBranch source;
    kessa::GroupBranch tree;
    kessa::splitBunch(source, tree, same, 1);
    std::string leaves;
    std::function<void(Branch*)> visit = [&](Branch* b) {
        if (auto* g = dynamic_cast<GeometryBranch*>(b))
            leaves += std::to_string(g->bunches()[0]->triangleCount()) + " ";
        for (int i = 0; i < b->childCount(); ++i)
            visit(b->child(i));
    };
    visit(&tree);
    EXPECT_EQ(leaves, "750 750 750 750 ");
}

// The matrix a billboard branch hands its batch over under a walk that
// starts from above.
Matrix drawnUnder(int mode, const Matrix& above) {
    GeometryBranch branch;
    branch.addTriangles(unitTriangleAt(0));
    branch.setBillboardMode(mode);
    branch.clean();
    Matrix inverse;
    above.invert(inverse);
    Traverser walk;
    walk.traverseWith(above, inverse);
    branch.traverse(walk);
    return *walk.accumulator().item(RenderAccumulator::solidStuff, 0).matrix;
}

// Turned about z, the branch's front (its -y side) faces the walk's origin;
// facing the viewer, it loses the rotation and scale above but keeps its place.
TEST(GeometryBranch, BillboardsFaceTheViewer) {
    for (const Vector& viewer : {Vector(0, -10, 0), Vector(10, 0, 0), Vector(0, 10, 0), Vector(-10, 0, 0), Vector(3, -4, 7)}) {
        Matrix toCamera;
        toCamera.setTranslation(-viewer);
        Vector front;
        Matrix::transformPoint(front, {0, -1, 0}, drawnUnder(GeometryBranch::turnAboutZ, toCamera));
        EXPECT_NEAR(std::hypot(front.x, front.y), std::hypot(viewer.x, viewer.y) - 1, 1e-9) << viewer.x << viewer.y;
    }
    Matrix above;
    above.setRotation(30, {1, 0, 0});
    above.scale({2, 2, 2});
    above.translate({1, 2, 3});
    Matrix drawn = drawnUnder(GeometryBranch::faceViewer, above);
    EXPECT_TRUE(vectorNear(drawn.translation(), {1, 2, 3}, 1e-12) && vectorNear(drawn.row(0), {1, 0, 0}, 1e-12) &&
                vectorNear(drawn.row(2), {0, 0, 1}, 1e-12));
}

}  // namespace
