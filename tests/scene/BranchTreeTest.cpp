#include <gtest/gtest.h>

#include <stdexcept>

#include "SceneDoubles.h"
#include "scene/BranchProcessor.h"
#include "scene/BranchRenderable.h"
#include "scene/Database.h"
#include "scene/GroupBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/render/TraversalCallback.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SceneShape.h"

using kessa::Branch;
using kessa::GroupBranch;
using kessa::Vector;
using kessa_test::add;
using kessa_test::addNamed;
using kessa_test::box;
using kessa_test::CountingGroup;
using kessa_test::MortalLeaf;
using kessa_test::RecordingTraverser;
using kessa_test::TestLeaf;

namespace {

std::vector<std::string> childNames(const GroupBranch& g) {
    std::vector<std::string> out;
    for (Branch* b : g.children())
        out.push_back(b->name().c_str());
    return out;
}

// An object with a database, holding root -> middle -> leaf.
struct Chain {
    Chain() {
        auto o = std::make_unique<kessa::Object>();
        object = o.get();
        auto r = std::make_unique<CountingGroup>("root");
        root = r.get();
        middle = add<CountingGroup>(*root, "middle");
        leaf = add<TestLeaf>(*middle, "leaf", Vector(0, 0, 0), Vector(1, 1, 1));
        object->attach(std::move(r));
        database.addObject(std::move(o));
        database.clean();
    }
    kessa::Database database;
    kessa::Object* object;
    CountingGroup* root;
    CountingGroup* middle;
    TestLeaf* leaf;
};

TEST(BranchTree, NewBranchIsDirtyWithoutLinks) {
    Branch b;
    EXPECT_TRUE(b.isDirty());
    EXPECT_FALSE(b.bounds().valid());
    EXPECT_EQ(b.parent(), nullptr);
    EXPECT_EQ(b.owner(), nullptr);
    EXPECT_EQ(b.group(), nullptr);
    EXPECT_FALSE(b.hasChildren());
    EXPECT_EQ(b.childCount(), 0);
    EXPECT_EQ(b.child(3), &b);
    GroupBranch g;
    EXPECT_EQ(g.group(), &g);
    EXPECT_TRUE(g.hasChildren());
}

// Cleaning computed the bounds bottom up.
TEST(BranchTree, MarkDirtyReachesEveryAncestorObjectAndDatabaseOnce) {
    Chain c;
    EXPECT_FALSE(c.object->isDirty());
    EXPECT_FALSE(c.database.isDirty());
    EXPECT_EQ(c.root->bounds(), box({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(c.object->bounds(), box({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(c.database.bounds(), box({0, 0, 0}, {1, 1, 1}));
    c.leaf->markDirty();
    EXPECT_TRUE(c.leaf->isDirty());
    EXPECT_TRUE(c.middle->isDirty());
    EXPECT_TRUE(c.root->isDirty());
    EXPECT_TRUE(c.object->isDirty());
    EXPECT_TRUE(c.database.isDirty());
    int middleCalls = c.middle->dirtyCalls, rootCalls = c.root->dirtyCalls;
    c.leaf->markDirty();
    EXPECT_EQ(c.middle->dirtyCalls, middleCalls);
    EXPECT_EQ(c.root->dirtyCalls, rootCalls);
}

TEST(BranchTree, ChangedLeafIsRecomputedAlongItsAncestorsOnly) {
    Chain c;
    TestLeaf* other = add<TestLeaf>(*c.root, "other", Vector(-1, -1, -1), Vector(0, 0, 0));
    c.database.clean();
    int otherCleans = other->cleans;
    int middleCleans = c.middle->cleans;
    c.leaf->setBox({0, 0, 0}, {5, 1, 1});
    c.database.clean();
    EXPECT_EQ(other->cleans, otherCleans);
    EXPECT_EQ(c.middle->cleans, middleCleans + 1);
    EXPECT_TRUE(kessa_test::boxIs(c.root->bounds(), {-1, -1, -1}, {5, 1, 1}));
    EXPECT_TRUE(kessa_test::boxIs(c.database.bounds(), {-1, -1, -1}, {5, 1, 1}));
}

// Inside the box it changes nothing.
TEST(BranchTree, GrowBoundsTravelsToTheObjectAtOnce) {
    Chain c;
    EXPECT_FALSE(c.leaf->growBounds(box({0.2, 0.2, 0.2}, {0.8, 0.8, 0.8})));
    EXPECT_EQ(c.middle->growCalls, 0);
    EXPECT_EQ(c.leaf->bounds(), box({0, 0, 0}, {1, 1, 1}));
    EXPECT_TRUE(c.leaf->growBounds(box({0, 0, 0}, {3, 1, 1})));
    EXPECT_EQ(c.middle->growCalls, 1);
    EXPECT_EQ(c.root->growCalls, 1);
    EXPECT_EQ(c.root->bounds(), box({0, 0, 0}, {3, 1, 1}));
    EXPECT_EQ(c.object->bounds(), box({0, 0, 0}, {3, 1, 1}));
    // Growing is no change to mark: nothing waits for a clean.
    EXPECT_FALSE(c.object->isDirty());
}

TEST(BranchTree, EmptiedGroupCleansToEmptyBounds) {
    Chain c;
    delete c.leaf;
    EXPECT_TRUE(c.middle->children().empty());
    EXPECT_TRUE(c.object->isDirty());
    c.database.clean();
    EXPECT_FALSE(c.middle->bounds().valid());
    EXPECT_FALSE(c.root->bounds().valid());
    EXPECT_FALSE(c.object->bounds().valid());
}

TEST(BranchTree, ChildOutsideTheChildrenThrows) {
    GroupBranch g;
    add<TestLeaf>(g, "a");
    EXPECT_EQ(g.child(0)->name(), "a");
    try {
        g.child(1);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
    EXPECT_THROW(g.child(-1), std::out_of_range);
}

TEST(BranchTree, AddingNothingThrowsAndLeavesTheGroup) {
    GroupBranch g;
    add<TestLeaf>(g, "a");
    g.clean();
    try {
        g.addChild(nullptr);
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "kessa::GroupBranch::addChild() - Can't add null branches");
    }
    EXPECT_EQ(g.childCount(), 1);
    EXPECT_FALSE(g.isDirty());
}

TEST(BranchTree, AddChildLinksParentAndOwnerAndMarksDirty) {
    Chain c;
    TestLeaf* added = add<TestLeaf>(*c.middle, "added");
    EXPECT_EQ(added->parent(), c.middle);
    EXPECT_EQ(added->owner(), c.object);
    EXPECT_TRUE(c.middle->isDirty());
    EXPECT_TRUE(c.database.isDirty());
    EXPECT_EQ(childNames(*c.middle), (std::vector<std::string>{"leaf", "added"}));
}

TEST(BranchTree, SetOwnerReachesTheWholeTree) {
    kessa::Object o;
    auto root = std::make_unique<GroupBranch>();
    GroupBranch* inner = add<GroupBranch>(*root);
    add<TestLeaf>(*inner, "leaf");
    o.attach(std::move(root));
    EXPECT_EQ(support::sceneShape(&o), "Object#1\"\" db=- dirty shown by [] root: GroupBranch#2\"\" o=#1 p=- dirty "
                                       "[GroupBranch#3\"\" o=#1 p=#2 dirty [Branch#4\"leaf\" o=#1 p=#3 dirty]]");
}

class Collector : public kessa::BranchProcessor {
public:
    bool process(Branch* b) override {
        std::string name = b->name().c_str();
        seen.push_back(name);
        if (!deleteName.empty() && name == deleteName)
            delete b;
        if (!addOn.empty() && name == addOn && !added) {
            added = true;
            b->parent()->addChild(std::make_unique<TestLeaf>("new"));
        }
        return stopAt.empty() || name != stopAt;
    }
    std::vector<std::string> seen;
    std::string deleteName, addOn, stopAt;
    bool added = false;
};

TEST(BranchTree, ApplyVisitsTheGroupThenEachSubtree) {
    GroupBranch g;
    g.setName("g");
    add<TestLeaf>(*addNamed<GroupBranch>(g, "inner"), "x");
    add<TestLeaf>(g, "y");
    Collector c;
    EXPECT_TRUE(g.apply(c));
    EXPECT_EQ(c.seen, (std::vector<std::string>{"g", "inner", "x", "y"}));
}

// The processor may stop the walk, delete the branch it is given (nothing
// is skipped) or add a child after it (the new one is visited, the current
// one not again).
TEST(BranchTree, ApplyFollowsWhatTheProcessorDoes) {
    using Names = std::vector<std::string>;
    struct Row {
        const char *stopAt, *deleteName, *addOn;
        bool finished;
        Names seen, left;
    } rows[] = {
        {"b", "", "", false, {"", "a", "b"}, {"a", "b", "c"}},
        {"", "b", "", true, {"", "a", "b", "c"}, {"a", "c"}},
        {"", "", "a", true, {"", "a", "b", "c", "new"}, {"a", "b", "c", "new"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.seen.size());
        GroupBranch g;
        for (const char* name : {"a", "b", "c"})
            add<TestLeaf>(g, name);
        Collector c;
        c.stopAt = r.stopAt;
        c.deleteName = r.deleteName;
        c.addOn = r.addOn;
        EXPECT_EQ(g.apply(c), r.finished);
        EXPECT_EQ(c.seen, r.seen);
        EXPECT_EQ(childNames(g), r.left);
    }
}

TEST(BranchTree, ReplaceByTakesThePlaceAndDetaches) {
    Chain c;
    add<TestLeaf>(*c.middle, "after");
    std::unique_ptr<Branch> holder = std::make_unique<TestLeaf>("replacement");
    Branch* replacement = holder.get();
    c.database.clean();
    std::unique_ptr<Branch> old = c.leaf->replaceBy(holder);
    EXPECT_FALSE(holder);
    ASSERT_EQ(old.get(), c.leaf);
    EXPECT_EQ(childNames(*c.middle), (std::vector<std::string>{"replacement", "after"}));
    EXPECT_EQ(replacement->parent(), c.middle);
    EXPECT_EQ(replacement->owner(), c.object);
    EXPECT_EQ(old->parent(), nullptr);
    EXPECT_EQ(old->owner(), nullptr);
    EXPECT_TRUE(c.middle->isDirty());
    EXPECT_TRUE(c.database.isDirty());
}

TEST(BranchTree, ReplaceByWithoutParentDoesNothing) {
    TestLeaf lone("lone");
    std::unique_ptr<Branch> holder = std::make_unique<TestLeaf>("x");
    EXPECT_EQ(lone.replaceBy(holder), nullptr);
    EXPECT_TRUE(holder);
}

TEST(BranchTree, MoveChildrenToReplacesTheTargetsChildren) {
    int deaths = 0;
    GroupBranch source, target;
    add<TestLeaf>(source, "a");
    add<TestLeaf>(source, "b");
    add<MortalLeaf>(target, "old", deaths);
    kessa::Object o;
    auto holder = std::make_unique<GroupBranch>();
    GroupBranch* owned = holder.get();
    o.attach(std::move(holder));
    add<TestLeaf>(source, "c");
    source.clean();
    owned->clean();
    source.moveChildrenTo(*owned);
    EXPECT_TRUE(source.children().empty());
    EXPECT_TRUE(source.isDirty());
    EXPECT_TRUE(owned->isDirty());
    EXPECT_EQ(childNames(*owned), (std::vector<std::string>{"a", "b", "c"}));
    for (Branch* b : owned->children()) {
        EXPECT_EQ(b->parent(), owned);
        EXPECT_EQ(b->owner(), &o);
    }
    target.moveChildrenTo(target);
    EXPECT_EQ(deaths, 0);
    source.moveChildrenTo(target);
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(target.children().empty());
}

TEST(BranchTree, DeletingAGroupDeletesItsChildren) {
    int deaths = 0;
    {
        GroupBranch g;
        GroupBranch* inner = add<GroupBranch>(g);
        add<MortalLeaf>(*inner, "a", deaths);
        add<MortalLeaf>(g, "b", deaths);
    }
    EXPECT_EQ(deaths, 2);
}

TEST(BranchTree, LevelOfDetailChainsFollowTheChildren) {
    GroupBranch g;
    auto* a = add<kessa::LodBranch>(g);
    auto* b = add<kessa::LodBranch>(g);
    TestLeaf* between = add<TestLeaf>(g, "between");
    auto* c = add<kessa::LodBranch>(g);
    auto* d = add<kessa::LodBranch>(g);
    EXPECT_EQ(a->previous(), nullptr);
    EXPECT_EQ(a->next(), b);
    EXPECT_EQ(b->previous(), a);
    EXPECT_EQ(b->next(), nullptr);
    EXPECT_EQ(c->previous(), nullptr);
    EXPECT_EQ(c->next(), d);
    EXPECT_EQ(d->previous(), c);
    // Without the branch between them the two chains join.
    delete between;
    EXPECT_EQ(b->next(), c);
    EXPECT_EQ(c->previous(), b);
    // Replacing a link by a plain branch splits the chain there.
    std::unique_ptr<Branch> plain = std::make_unique<TestLeaf>("plain");
    std::unique_ptr<Branch> old = b->replaceBy(plain);
    EXPECT_EQ(a->next(), nullptr);
    EXPECT_EQ(c->previous(), nullptr);
}

class HookCounter : public kessa::BranchRenderable {
public:
    void render(kessa::Traverser&) override {}
    void update() override { ++updates; }
    int updates = 0;
};

class RenderedLeaf : public TestLeaf {
public:
    explicit RenderedLeaf(HookCounter& hook) : TestLeaf("rendered") { setRenderable(&hook); }
};

TEST(BranchTree, UpdateReachesEveryRenderable) {
    HookCounter hook;
    GroupBranch g;
    GroupBranch* inner = add<GroupBranch>(g);
    add<RenderedLeaf>(*inner, hook);
    add<RenderedLeaf>(g, hook);
    add<TestLeaf>(g, "plain");
    g.update();
    EXPECT_EQ(hook.updates, 2);
}

class ScriptedCallback : public kessa::TraversalCallback {
public:
    explicit ScriptedCallback(std::vector<std::string>& log, bool go = true) : log_(log), go_(go) {}
    bool enter(kessa::Traverser&, Branch* b) override {
        log_.push_back(std::string("enter ") + b->name().c_str());
        return go_;
    }
    void leave(kessa::Traverser&, Branch* b) override {
        log_.push_back(std::string("leave ") + b->name().c_str());
    }

private:
    std::vector<std::string>& log_;
    bool go_;
};

TEST(BranchTree, TraversalOrderWithoutCulling) {
    RecordingTraverser t;
    GroupBranch g;
    g.setName("g");
    g.setCallback(orvel::counted_ptr<kessa::TraversalCallback>(new ScriptedCallback(t.log)));
    add<TestLeaf>(g, "a");
    TestLeaf* b = add<TestLeaf>(g, "b");
    b->setCallback(orvel::counted_ptr<kessa::TraversalCallback>(new ScriptedCallback(t.log)));
    unsigned long unculled = GroupBranch::unculledChildVisits();
    g.traverse(t);
    EXPECT_EQ(t.log, (std::vector<std::string>{"enter g", "visit g", "visit a", "enter b", "visit b", "leave b",
                                               "leave g"}));
    EXPECT_EQ(GroupBranch::unculledChildVisits(), unculled + 2);
}

TEST(BranchTree, CulledBranchesAreSkippedWithTheirSubtree) {
    RecordingTraverser t;
    t.setCulling(true);
    t.culled = {"inner", "b"};
    GroupBranch g;
    g.setName("g");
    add<TestLeaf>(*addNamed<GroupBranch>(g, "inner"), "hidden");
    add<TestLeaf>(g, "a");
    add<TestLeaf>(g, "b");
    unsigned long unculled = GroupBranch::unculledChildVisits();
    g.traverse(t);
    EXPECT_EQ(t.log, (std::vector<std::string>{"test g", "mask+", "visit g", "test inner", "test a", "visit a",
                                               "test b", "mask-"}));
    EXPECT_EQ(GroupBranch::unculledChildVisits(), unculled);
}

TEST(BranchTree, ChildrenOfAWhollyVisibleGroupAreNotTested) {
    RecordingTraverser t;
    t.setCulling(true);
    t.inside = {"g"};
    GroupBranch g;
    g.setName("g");
    add<TestLeaf>(g, "a");
    g.traverse(t);
    EXPECT_EQ(t.log, (std::vector<std::string>{"test g", "mask+", "visit g", "visit a", "mask-"}));
}

TEST(BranchTree, EnterThatSaysNoStopsTheBranchButKeepsTheMaskBalanced) {
    RecordingTraverser t;
    t.setCulling(true);
    GroupBranch g;
    g.setName("g");
    g.setCallback(orvel::counted_ptr<kessa::TraversalCallback>(new ScriptedCallback(t.log, false)));
    add<TestLeaf>(g, "a");
    g.traverse(t);
    EXPECT_EQ(t.log, (std::vector<std::string>{"test g", "mask+", "enter g", "mask-"}));

    t.log.clear();
    TestLeaf leaf("leaf");
    leaf.setCallback(orvel::counted_ptr<kessa::TraversalCallback>(new ScriptedCallback(t.log, false)));
    leaf.traverse(t);
    EXPECT_EQ(t.log, (std::vector<std::string>{"test leaf", "enter leaf"}));
}

TEST(BranchTree, SingleChildGroupsAreCounted) {
    RecordingTraverser t;
    GroupBranch g;
    GroupBranch* inner = add<GroupBranch>(g);
    add<TestLeaf>(*inner, "a");
    add<TestLeaf>(g, "b");
    unsigned long single = GroupBranch::singleChildGroupVisits();
    g.traverse(t);
    EXPECT_EQ(GroupBranch::singleChildGroupVisits(), single + 1);
}

TEST(BranchTree, TransformBoundsMovesTheBounds) {
    TestLeaf leaf("leaf", {0, 0, 0}, {2, 1, 1});
    kessa::Matrix m;
    m.setTranslation({10, 0, 0});
    kessa::Bounds out;
    leaf.transformBounds(out, m);
    EXPECT_EQ(out, box({10, 0, 0}, {12, 1, 1}));
}

TEST(BranchTree, ABranchHoldsItsCallbackWhileItIsSet) {
    Branch b;
    orvel::counted_ptr<kessa::TraversalCallback> cb(new kessa::TraversalCallback);
    b.setCallback(cb);
    EXPECT_EQ(cb.useCount(), 2u);
    b.setCallback(nullptr);
    EXPECT_EQ(cb.useCount(), 1u);
}

}  // namespace
