#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "SceneDoubles.h"
#include "SceneStreams.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/KessaDatabaseReader.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/SwitchBranch.h"
#include "scene/render/TraversalCallback.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SceneShape.h"
#include "tests/support/StreamContract.h"

using namespace kessa;
using kessa_test::addNamed;
using kessa_test::Bytes101;
using kessa_test::body;
using kessa_test::box;
using kessa_test::readScene;
using kessa_test::roundTrip;
using kessa_test::writeScene;

namespace {

// One of every kind: object "scene" shows object "part" through an
// instance branch.
struct FullScene {
    FullScene() {
        db.setPath("levels\\one.mdl");
        auto s = std::make_unique<Object>();
        scene = s.get();
        scene->setName("scene");
        auto p = std::make_unique<Object>();
        part = p.get();
        part->setName("part");

        auto partRoot = std::make_unique<GroupBranch>();
        partRoot->setName("part-root");
        addNamed<GroupBranch>(*partRoot, "part-leaf")->growBounds(box({0, 0, 0}, {1, 2, 3}));
        part->attach(std::move(partRoot));

        auto root = std::make_unique<GroupBranch>();
        root->setName("root");
        root->setUserWord(0xCAFEF00D);
        root->setCollisionMode(Branch::ignoredInMode3);
        orvel::counted_ptr<TraversalCallback> shared(new TraversalCallback);
        root->setCallback(shared);

        SwitchBranch* sw = addNamed<SwitchBranch>(*root, "switch", 1);
        sw->setVisitAll(false);
        sw->select(2);
        sw->setValue(1.5);
        addNamed<GroupBranch>(*sw, "s0");
        addNamed<GroupBranch>(*sw, "s1")->setCallback(shared);

        LodBranch* near = addNamed<LodBranch>(*root, "near");
        near->setRange(10);
        near->setFade(true);
        addNamed<GroupBranch>(*near, "near-leaf");
        addNamed<LodBranch>(*root, "far")->setRange(100);

        JointBranch* joint = addNamed<JointBranch>(*root, "joint");
        Matrix frame, turn;
        frame.setTranslation({1, 2, 3});
        turn.setRotation(30, {0, 0, 1});
        joint->setJoint(frame);
        joint->setTransform(turn);
        addNamed<GroupBranch>(*joint, "joint-child");

        InstanceBranch* inst = addNamed<InstanceBranch>(*root, "inst");
        inst->setFlag(false);
        inst->setInstance(part);
        Matrix m;
        m.setTranslation({10, 0, 0});
        inst->setMatrix(m);

        addNamed<ExrefBranch>(*root, "exref")->setTargetName("door.mdl");
        scene->attach(std::move(root));

        db.addObject(std::move(s));
        db.addObject(std::move(p));
        db.clean();
        scene->root()->group()->child(0)->markDirty();
    }
    Database db;
    Object* scene;
    Object* part;
};

void expectSameBranch(Branch* a, Branch* b);

void expectSameChildren(GroupBranch* a, GroupBranch* b) {
    ASSERT_EQ(a->childCount(), b->childCount()) << a->name().c_str();
    for (int i = 0; i < a->childCount(); ++i) {
        expectSameBranch(a->child(i), b->child(i));
        EXPECT_EQ(b->child(i)->parent(), b);
    }
}

void expectSameBranch(Branch* a, Branch* b) {
    ASSERT_NE(b, nullptr);
    SCOPED_TRACE(a->name().c_str());
    EXPECT_STREQ(a->typeName(), b->typeName());
    EXPECT_EQ(a->name(), b->name());
    EXPECT_EQ(a->userWord(), b->userWord());
    EXPECT_EQ(a->collisionMode(), b->collisionMode());
    EXPECT_EQ(a->isDirty(), b->isDirty());
    EXPECT_EQ(a->bounds(), b->bounds());
    EXPECT_EQ(bool(a->callback()), bool(b->callback()));
    if (auto* s = dynamic_cast<SwitchBranch*>(a)) {
        auto* t = dynamic_cast<SwitchBranch*>(b);
        EXPECT_EQ(s->mode(), t->mode());
        EXPECT_EQ(s->visitAll(), t->visitAll());
        EXPECT_EQ(s->selected(), t->selected());
        EXPECT_EQ(s->value(), t->value());
    }
    if (auto* l = dynamic_cast<LodBranch*>(a)) {
        auto* m = dynamic_cast<LodBranch*>(b);
        EXPECT_EQ(l->fade(), m->fade());
        EXPECT_EQ(l->range(), m->range());
        EXPECT_EQ(l->rangeSquared(), m->rangeSquared());
        if (b->parent()) {
            EXPECT_EQ(bool(l->previous()), bool(m->previous()));
            EXPECT_EQ(bool(l->next()), bool(m->next()));
        }
    }
    if (auto* j = dynamic_cast<JointBranch*>(a)) {
        auto* k = dynamic_cast<JointBranch*>(b);
        EXPECT_EQ(j->hasJoint(), k->hasJoint());
        EXPECT_EQ(j->joint(), k->joint());
        EXPECT_EQ(j->jointInverse(), k->jointInverse());
        EXPECT_EQ(j->current(), k->current());
        EXPECT_EQ(j->currentInverse(), k->currentInverse());
    }
    if (auto* i = dynamic_cast<InstanceBranch*>(a)) {
        auto* k = dynamic_cast<InstanceBranch*>(b);
        EXPECT_EQ(i->flag(), k->flag());
        EXPECT_EQ(i->matrix(), k->matrix());
        EXPECT_EQ(i->inverse(), k->inverse());
        // Only a database keeps the object an instance shows.
        if (k->owner() && k->owner()->database()) {
            ASSERT_EQ(bool(i->instance()), bool(k->instance()));
        } else {
            EXPECT_EQ(k->instance(), nullptr);
        }
        if (k->instance()) {
            EXPECT_EQ(i->instance()->name(), k->instance()->name());
        }
    }
    if (auto* e = dynamic_cast<ExrefBranch*>(a)) {
        EXPECT_EQ(e->targetName(), dynamic_cast<ExrefBranch*>(b)->targetName());
    }
    if (a->group()) {
        expectSameChildren(a->group(), b->group());
    }
}

void expectSameObject(Object* a, Object* b) {
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->name(), b->name());
    EXPECT_EQ(a->isDirty(), b->isDirty());
    EXPECT_EQ(a->bounds(), b->bounds());
    if (b->database()) {
        EXPECT_EQ(a->instances().size(), b->instances().size());
    }
    for (InstanceBranch* i : b->instances())
        EXPECT_EQ(i->instance(), b);
    ASSERT_EQ(bool(a->root()), bool(b->root()));
    if (a->root()) {
        expectSameBranch(a->root(), b->root());
        EXPECT_EQ(b->root()->owner(), b);
        EXPECT_EQ(b->root()->parent(), nullptr);
    }
}

TEST(SceneStream, EveryKindReadsBackEqual) {
    FullScene s;
    orvel::counted_ptr<Database> back = roundTrip<Database>(&s.db);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->path(), s.db.path());
    EXPECT_EQ(back->isDirty(), s.db.isDirty());
    ASSERT_EQ(back->objects().size(), 2u);
    EXPECT_EQ(back->rootObject(), back->objects()[0]);
    for (int i = 0; i < 2; ++i) {
        expectSameObject(s.db.objects()[i], back->objects()[i]);
        EXPECT_EQ(back->objects()[i]->database(), back.get());
    }
    Object* scene = back->objects()[0];
    Object* part = back->objects()[1];
    GroupBranch* root = scene->root()->group();
    // Links rebuilt: owners, the instance binding, the level-of-detail chain.
    EXPECT_EQ(root->child(0)->group()->child(1)->owner(), scene);
    auto* inst = dynamic_cast<InstanceBranch*>(root->child(4));
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->instance(), part);
    EXPECT_EQ(part->instances(), std::vector<InstanceBranch*>{inst});
    EXPECT_EQ(dynamic_cast<LodBranch*>(root->child(1))->next(), root->child(2));
    // One callback shared by two branches is one callback again.
    Branch* s1 = root->child(0)->group()->child(1);
    EXPECT_EQ(root->callback().get(), s1->callback().get());
    EXPECT_EQ(root->callback().useCount(), 2u);
    // Writing what was read gives the same bytes.
    EXPECT_EQ(writeScene(back.get()), writeScene(&s.db));
    // And the scene works as the original does.
    back->clean();
    s.db.clean();
    EXPECT_EQ(back->bounds(), s.db.bounds());
}

// An object, each branch kind and a callback each read back as the root of
// a stream of their own.
TEST(SceneStream, EachKindReadsBackAsTheRootOfItsOwnStream) {
    FullScene s;
    GroupBranch* root = s.scene->root()->group();
    std::vector<Branch*> kinds{root};
    for (Branch* b : root->children())
        kinds.push_back(b);
    for (Branch* b : kinds) {
        orvel::counted_ptr<Branch> back = roundTrip<Branch>(b);
        ASSERT_TRUE(back) << b->name().c_str();
        expectSameBranch(b, back.get());
        EXPECT_EQ(back->parent(), nullptr);
        EXPECT_EQ(back->owner(), nullptr);
    }
    orvel::counted_ptr<Object> object = roundTrip<Object>(s.scene);
    ASSERT_TRUE(object);
    expectSameObject(s.scene, object.get());
    EXPECT_EQ(object->database(), nullptr);
    TraversalCallback cb;
    orvel::counted_ptr<TraversalCallback> callback = roundTrip<TraversalCallback>(&cb);
    ASSERT_TRUE(callback);
    EXPECT_STREQ(callback->typeName(), "zanthorium::kessa::TraverserCallbacks");
}

// ---- hand-built streams ----

const char* const databaseTag = "zanthorium::kessa::Database";
const char* const objectTag = "zanthorium::kessa::Object";
const char* const groupTag = "zanthorium::kessa::GroupBranch";

TEST(SceneStream, HandBuiltDatabase) {
    Bytes101 s;
    s.declare(1, databaseTag)
        .object(1, 0x10, body().raw({1, 1}).u32(0x20).byte(2).u32(0x20).byte(0))
        .declare(2, objectTag)
        .object(2, 0x20, body().byte(1).string("o").byte(2).u32(0x10).byte(20).u32(0x30).byte(0))
        .declare(3, groupTag)
        .object(3, 0x30,
                body().byte(1).string("g").byte(2).u32(0x20).byte(9).byte(0).raw({1, 0}).byte(0))
        .end();
    orvel::counted_ptr<Database> db = readScene(s.bytes).cast<Database>();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->objects().size(), 1u);
    Object* o = db->rootObject();
    ASSERT_EQ(o, db->objects()[0]);
    EXPECT_EQ(o->name(), "o");
    EXPECT_EQ(o->database(), db.get());
    ASSERT_NE(o->root(), nullptr);
    EXPECT_EQ(o->root()->name(), "g");
    EXPECT_EQ(o->root()->owner(), o);
    db->clean();
    EXPECT_FALSE(db->bounds().valid());
}

TEST(SceneStream, UnknownTagsBetweenKnownFieldsAreIgnored) {
    Bytes101 s;
    s.declare(1, groupTag)
        .object(1, 1,
                body().raw({40, 1}).string("named").raw({9, 6}).u32(1).raw({77, 10}).u32(42).byte(8).u32(0xFFFFFFFF)
                    .raw({4, 0, 0, 33, 0}))
        .end();
    orvel::counted_ptr<GroupBranch> g = readScene(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->name(), "named");
    EXPECT_EQ(g->collisionMode(), 1);
    EXPECT_EQ(g->userWord(), 42u);
    EXPECT_FALSE(g->isDirty());
}

TEST(SceneStream, LongChildListLogsAndReadsAll) {
    LogCapture log;
    Bytes101 s, list = body().byte(0).byte(1).compact(25);
    for (unsigned i = 0; i < 25; ++i)
        list.u32(100 + i);
    s.declare(1, groupTag).object(1, 1, list.byte(0));
    for (unsigned i = 0; i < 25; ++i)
        s.object(1, 100 + i, body().byte(1).string("c" + std::to_string(i)).byte(0).byte(0));
    s.end();
    orvel::counted_ptr<GroupBranch> g = readScene(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->childCount(), 25);
    EXPECT_EQ(g->child(24)->name(), "c24");
    EXPECT_EQ(log.text(), "Size=weird\n");
}

// And a child that is no branch is not taken.
TEST(SceneStream, ChildListedTwiceBelongsToTheFirstGroup) {
    LogCapture log;
    Bytes101 s;
    s.declare(1, groupTag)
        .object(1, 1, body().byte(0).raw({1, 3}).u32(2).u32(3).u32(5).byte(0))
        .object(1, 2, body().byte(1).string("a").byte(0).raw({1, 1}).u32(4).byte(0))
        .object(1, 3, body().byte(1).string("b").byte(0).raw({1, 2}).u32(4).u32(4).byte(0))
        .object(1, 4, body().byte(1).string("shared").byte(0).byte(0))
        .declare(2, objectTag)
        .object(2, 5, body().byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readScene(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->childCount(), 2);
    EXPECT_EQ(g->child(0)->group()->childCount(), 1);
    EXPECT_EQ(g->child(1)->group()->childCount(), 0);
    EXPECT_NE(log.text().find("a child that belongs elsewhere was dropped"), std::string::npos);
}

TEST(SceneStream, GroupsThatHoldThemselvesAreCut) {
    LogCapture log;
    Bytes101 s;
    // 1 holds 2, 2 holds 3 and 1, 3 holds 3.
    s.declare(1, groupTag)
        .object(1, 1, body().byte(0).raw({1, 1}).u32(2).byte(0))
        .object(1, 2, body().byte(0).raw({1, 2}).u32(3).u32(1).byte(0))
        .object(1, 3, body().byte(0).raw({1, 1}).u32(3).byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readScene(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->parent(), nullptr);
    GroupBranch* two = g->child(0)->group();
    ASSERT_EQ(two->childCount(), 1);
    EXPECT_EQ(two->child(0)->group()->childCount(), 0);
    g->clean();
}

TEST(SceneStream, TheRootIsNeverTakenByAnUnlistedGroup) {
    LogCapture log;
    Bytes101 s;
    // Group 2 is referred to by nothing but lists the root.
    s.declare(1, groupTag)
        .object(1, 1, body().byte(1).string("root").byte(0).byte(0))
        .object(1, 2, body().byte(0).raw({1, 1}).u32(1).byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readScene(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->name(), "root");
    EXPECT_EQ(g->parent(), nullptr);
}

TEST(SceneStream, ObjectListedByTwoDatabasesBelongsToTheFirst) {
    LogCapture log;
    Bytes101 s;
    Bytes101 list = body().raw({1, 1}).u32(3).byte(2).u32(3).byte(0);
    s.declare(1, databaseTag)
        .object(1, 1, body().raw({1, 1}).u32(2).byte(0))
        .object(1, 2, list)
        .object(1, 4, list)
        .declare(2, objectTag)
        .object(2, 3, body().byte(1).string("o").byte(0))
        .end();
    // Database 2 is held only by the first one's list, which cannot take a
    // database: it is dropped by the reader; database 4 (unlisted) too.
    orvel::counted_ptr<Database> db = readScene(s.bytes).cast<Database>();
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->objects().empty());
}

// A group and an object that count the ones alive, under types of the
// tests' own, so that a test sees what a read left behind.
int groupsAlive = 0, objectsAlive = 0;
const char* const countedGroupTag = "zanthorium::kessa_test::CountedGroup";
const char* const countedObjectTag = "zanthorium::kessa_test::CountedObject";

class CountedGroup : public GroupBranch {
public:
    CountedGroup() { ++groupsAlive; }
    ~CountedGroup() override { --groupsAlive; }
    const char* typeName() const override { return countedGroupTag; }
};

class CountedObject : public Object {
public:
    CountedObject() { ++objectsAlive; }
    ~CountedObject() override { --objectsAlive; }
    const char* typeName() const override { return countedObjectTag; }
};

orvel::counted_ptr<orvel::Streamable> readCounted(const kessa_test::Bytes& bytes) {
    orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    registerTypes(source);
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new CountedGroup; });
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new CountedObject; });
    return StreamReader::read(source);
}

TEST(SceneStream, GroupsThatOnlyHoldEachOtherAreFreed) {
    LogCapture log;
    Bytes101 s;
    // The root holds nothing; 2 and 3 list each other, 4 lists itself.
    s.declare(1, groupTag)
        .object(1, 1, body().byte(0).byte(0))
        .declare(2, countedGroupTag)
        .object(2, 2, body().byte(0).raw({1, 1}).u32(3).byte(0))
        .object(2, 3, body().byte(0).raw({1, 1}).u32(2).byte(0))
        .object(2, 4, body().byte(0).raw({1, 1}).u32(4).byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readCounted(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->childCount(), 0);
    EXPECT_EQ(groupsAlive, 0);
}

TEST(SceneStream, ADatabaseRootThatIsNoneOfItsObjectsIsFreed) {
    LogCapture log;
    Bytes101 s;
    s.declare(1, databaseTag)
        .object(1, 1, body().byte(2).u32(2).byte(0))
        .declare(2, countedObjectTag)
        .object(2, 2, body().byte(1).string("o").byte(0))
        .end();
    orvel::counted_ptr<Database> db = readCounted(s.bytes).cast<Database>();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->rootObject(), nullptr);
    EXPECT_EQ(objectsAlive, 0);
    EXPECT_NE(log.text().find("the root object is not one of its objects"), std::string::npos);
}

TEST(SceneStream, AnObjectNamingTwoRootsKeepsTheFirstAndTheOtherIsFreed) {
    Bytes101 s;
    s.declare(1, objectTag)
        .object(1, 1, body().byte(20).u32(2).byte(20).u32(3).byte(0))
        .declare(2, countedGroupTag)
        .object(2, 2, body().byte(1).string("first").byte(0).byte(0))
        .object(2, 3, body().byte(1).string("second").byte(0).byte(0))
        .end();
    orvel::counted_ptr<Object> o = readCounted(s.bytes).cast<Object>();
    ASSERT_TRUE(o);
    ASSERT_NE(o->root(), nullptr);
    EXPECT_EQ(o->root()->name(), "first");
    EXPECT_EQ(groupsAlive, 1);
    o.release();
    EXPECT_EQ(groupsAlive, 0);
}

TEST(SceneStream, InstanceTablesComeFromTheInstanceBranches) {
    Bytes101 s;
    // Object 2 claims instance 4 in its table, but 4 shows object 3.
    s.declare(1, databaseTag)
        .object(1, 1, body().raw({1, 2}).u32(2).u32(3).byte(0))
        .declare(2, objectTag)
        .object(2, 2, body().byte(1).string("a").raw({12, 1}).u32(4).byte(20).u32(5).byte(0))
        .object(2, 3, body().byte(1).string("b").byte(0))
        .declare(3, "zanthorium::kessa::InstanceBranch")
        .object(3, 4, body().byte(0).raw({2}).u32(3).byte(0))
        .declare(4, groupTag)
        .object(4, 5, body().byte(0).raw({1, 1}).u32(4).byte(0))
        .end();
    orvel::counted_ptr<Database> db = readScene(s.bytes).cast<Database>();
    ASSERT_TRUE(db);
    Object* a = db->objects()[0];
    Object* b = db->objects()[1];
    EXPECT_TRUE(a->instances().empty());
    ASSERT_EQ(b->instances().size(), 1u);
    EXPECT_EQ(b->instances()[0]->instance(), b);
    db.release();
}

TEST(SceneStream, RetiredObjectLayoutRejectsTheStreamAndLegacyListsAreDropped) {
    LogCapture log;
    Bytes101 s;
    s.declare(1, objectTag).object(1, 1, body().byte(1).string("old").byte(13).u32(0).byte(0)).end();
    EXPECT_FALSE(readScene(s.bytes));
    EXPECT_NE(log.text().find("Stream reader: kessa::Object::read() - object \"old\" uses a retired layout (tag 13)"),
              std::string::npos);
    // The lists of older layouts are read and dropped.
    Bytes101 t;
    t.declare(1, objectTag)
        .object(1, 1, body().byte(1).string("o").raw({10, 2}).u32(5).u32(6).raw({11, 0, 5, 6, 7}).byte(0))
        .end();
    orvel::counted_ptr<Object> o = readScene(t.bytes).cast<Object>();
    ASSERT_TRUE(o);
    EXPECT_EQ(o->name(), "o");
    EXPECT_EQ(o->root(), nullptr);
}

// Databases by name, made on request.
class TestReader : public KessaDatabaseReader {
public:
    void read(orvel::counted_ptr<Database>& out, const orvel_string& name) override {
        names.push_back(name.c_str());
        if (name != "door.mdl")
            return;
        out = orvel::counted_ptr<Database>(new Database);
        auto o = std::make_unique<Object>();
        o->attach(std::make_unique<kessa_test::TestLeaf>("door", Vector(-2, -2, 0), Vector(2, 2, 4)));
        out->addObject(std::move(o));
    }
    std::vector<std::string> names;
};

Bytes101 externalObject(const std::string& file) {
    Bytes101 s;
    s.declare(1, objectTag).object(1, 1, body().byte(1).string("o").byte(21).string(file).byte(0)).end();
    return s;
}

TEST(SceneStream, ExternalDatabaseBecomesTheRoot) {
    LogCapture log;
    TestReader reader;
    setReadHook(&reader);
    orvel::counted_ptr<Object> o = readScene(externalObject("door.mdl").bytes).cast<Object>();
    setReadHook(nullptr);
    ASSERT_TRUE(o);
    EXPECT_EQ(reader.names, std::vector<std::string>{"door.mdl"});
    auto* exref = dynamic_cast<ExrefBranch*>(o->root());
    ASSERT_NE(exref, nullptr);
    ASSERT_TRUE(exref->target());
    EXPECT_EQ(exref->target()->exrefs(), std::vector<ExrefBranch*>{exref});
    EXPECT_EQ(exref->owner(), o.get());
    EXPECT_TRUE(o->isDirty());
    o->clean();
    EXPECT_TRUE(kessa_test::boxIs(o->bounds(), {-2, -2, 0}, {2, 2, 4}));
    EXPECT_EQ(exref->target().useCount(), 1u);
}

TEST(SceneStream, ExternalDatabaseThatCannotBeReadLeavesTheRoot) {
    LogCapture log;
    orvel::counted_ptr<Object> o = readScene(externalObject("door.mdl").bytes).cast<Object>();
    ASSERT_TRUE(o);
    EXPECT_EQ(o->root(), nullptr);
    EXPECT_EQ(log.take(), "No database reader to read door.mdl\n");
    TestReader reader;
    setReadHook(&reader);
    o = readScene(externalObject("missing.mdl").bytes).cast<Object>();
    setReadHook(nullptr);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->root(), nullptr);
}

TEST(SceneStream, AnExternalDatabaseWinsOverARootNamedBesideIt) {
    LogCapture log;
    TestReader reader;
    setReadHook(&reader);
    // The branch comes after the object: it is read, and finished, after it.
    Bytes101 s;
    s.declare(1, objectTag)
        .object(1, 1, body().byte(20).u32(2).byte(21).string("door.mdl").byte(0))
        .declare(2, countedGroupTag)
        .object(2, 2, body().byte(1).string("named").byte(0).raw({1, 0}).byte(0))
        .end();
    orvel::counted_ptr<Object> o = readCounted(s.bytes).cast<Object>();
    setReadHook(nullptr);
    ASSERT_TRUE(o);
    EXPECT_NE(dynamic_cast<ExrefBranch*>(o->root()), nullptr);
    EXPECT_EQ(groupsAlive, 0);
}

const char* const recordTag = "internals::counted_ptr::orvel";

TEST(SceneStream, NoOwnerTakesTheRoot) {
    LogCapture log;
    // Root object 1 is listed by database 2 and is the root of nothing;
    // database 2 is referred to by nothing.
    Bytes101 s;
    s.declare(1, countedObjectTag)
        .object(1, 1, body().byte(1).string("root").byte(20).u32(3).byte(0))
        .declare(2, databaseTag)
        .object(2, 2, body().raw({1, 1}).u32(1).byte(2).u32(1).byte(0))
        .declare(3, countedGroupTag)
        .object(3, 3, body().byte(0).byte(0))
        .object(3, 4, body().byte(0).raw({1, 1}).u32(3).byte(0))
        .declare(4, objectTag)
        .object(4, 5, body().byte(20).u32(3).byte(0))
        .end();
    orvel::counted_ptr<Object> o = readCounted(s.bytes).cast<Object>();
    ASSERT_TRUE(o);
    EXPECT_EQ(o->database(), nullptr);
    ASSERT_NE(o->root(), nullptr);
    EXPECT_EQ(o->root()->owner(), o.get());
    EXPECT_EQ(o->root()->parent(), nullptr);
    EXPECT_EQ(objectsAlive, 1);
    EXPECT_EQ(groupsAlive, 1);
    EXPECT_NE(log.text().find("!!!Stream reader: owners named the root 1 times; it stays the caller's\n"),
              std::string::npos);
    o.release();
    EXPECT_EQ(groupsAlive, 0);
    EXPECT_EQ(objectsAlive, 0);

    // A group cannot take the root over either, however it is named.
    Bytes101 t;
    t.declare(1, countedGroupTag)
        .object(1, 1, body().byte(0).raw({1, 2}).u32(1).u32(2).byte(0))
        .object(1, 2, body().byte(0).raw({1, 1}).u32(1).byte(0))
        .declare(2, objectTag)
        .object(2, 3, body().byte(20).u32(1).byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readCounted(t.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->parent(), nullptr);
    EXPECT_EQ(g->owner(), nullptr);
    ASSERT_EQ(g->childCount(), 1);
    EXPECT_EQ(g->child(0)->group()->childCount(), 0);
    g.release();
    EXPECT_EQ(groupsAlive, 0);
}

// Reads the database it is asked for from a stream of its own, while the
// stream that asked is being read.
class InnerStreamReader : public KessaDatabaseReader {
public:
    void read(orvel::counted_ptr<Database>& out, const orvel_string&) override {
        Bytes101 s;
        s.declare(1, databaseTag)
            .object(1, 1, body().raw({1, 1}).u32(2).byte(2).u32(2).byte(0))
            .declare(2, countedObjectTag)
            .object(2, 2, body().byte(1).string("inner").byte(20).u32(3).byte(0))
            .declare(3, countedGroupTag)
            .object(3, 3, body().byte(1).string("inner-root").byte(0).byte(0))
            .end();
        out = readCounted(s.bytes).cast<Database>();
    }
};

TEST(SceneStream, AStreamReadInsideAnotherHandsOutItsOwnRoot) {
    LogCapture log;
    InnerStreamReader reader;
    setReadHook(&reader);
    Bytes101 s;
    s.declare(1, countedObjectTag)
        .object(1, 1, body().byte(1).string("outer").byte(21).string("inner.mdl").byte(0))
        .end();
    orvel::counted_ptr<Object> o = readCounted(s.bytes).cast<Object>();
    setReadHook(nullptr);
    ASSERT_TRUE(o);
    auto* exref = dynamic_cast<ExrefBranch*>(o->root());
    ASSERT_NE(exref, nullptr);
    ASSERT_TRUE(exref->target());
    ASSERT_EQ(exref->target()->objects().size(), 1u);
    Object* inner = exref->target()->rootObject();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->name(), "inner");
    EXPECT_EQ(inner->database(), exref->target().get());
    ASSERT_NE(inner->root(), nullptr);
    EXPECT_EQ(inner->root()->name(), "inner-root");
    EXPECT_EQ(objectsAlive, 2);
    EXPECT_EQ(groupsAlive, 1);
    EXPECT_EQ(log.text(), "");
    o.release();
    EXPECT_EQ(objectsAlive, 0);
    EXPECT_EQ(groupsAlive, 0);
}

TEST(SceneStream, ACallbackRecordNamingAChildOfAGroupDoesNotOwnIt) {
    LogCapture log;
    Bytes101 s;
    // Group 1 lists 2 and 4; 2's callback is record 3, whose pointee is 4.
    s.declare(1, countedGroupTag)
        .object(1, 1, body().byte(0).raw({1, 2}).u32(2).u32(4).byte(0))
        .object(1, 2, body().byte(11).u32(3).byte(0).byte(0))
        .declare(2, recordTag)
        .object(2, 3, body().u32(1).u32(4))
        .object(1, 4, body().byte(1).string("four").byte(0).byte(0))
        .end();
    orvel::counted_ptr<GroupBranch> g = readCounted(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    ASSERT_EQ(g->childCount(), 2);
    EXPECT_FALSE(g->child(0)->callback());
    EXPECT_EQ(g->child(0)->callback().record(), nullptr);
    EXPECT_EQ(g->child(1)->name(), "four");
    EXPECT_EQ(g->child(1)->parent(), g.get());
    EXPECT_EQ(groupsAlive, 3);
    g.release();
    EXPECT_EQ(groupsAlive, 0);
}

TEST(SceneStream, ACallbackRecordNamingADatabaseIsFreedWithWhatItHolds) {
    LogCapture log;
    Bytes101 s;
    // The root holds nothing. Database 2 lists object 3, whose root is group
    // 4, whose callback is record 5, whose pointee is database 2: a ring.
    s.declare(1, groupTag)
        .object(1, 1, body().byte(0).byte(0))
        .declare(2, databaseTag)
        .object(2, 2, body().raw({1, 1}).u32(3).byte(0))
        .declare(3, countedObjectTag)
        .object(3, 3, body().byte(20).u32(4).byte(0))
        .declare(4, countedGroupTag)
        .object(4, 4, body().byte(11).u32(5).byte(0).byte(0))
        .declare(5, recordTag)
        .object(5, 5, body().u32(1).u32(2))
        .end();
    orvel::counted_ptr<GroupBranch> g = readCounted(s.bytes).cast<GroupBranch>();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->childCount(), 0);
    EXPECT_EQ(objectsAlive, 0);
    EXPECT_EQ(groupsAlive, 0);
}

// Uses what a read gave the way the program would: clean it, walk it.
void use(orvel::Streamable* root) {
    kessa_test::RecordingTraverser t;
    if (auto* db = dynamic_cast<Database*>(root)) {
        db->clean();
        db->bounds();
        db->accumulate(t);
    } else if (auto* object = dynamic_cast<Object*>(root)) {
        object->clean();
        object->traverse(t);
    } else if (auto* branch = dynamic_cast<Branch*>(root)) {
        branch->clean();
        branch->traverse(t);
    }
}

void readAndUse(const kessa_test::Bytes& bytes) {
    orvel::counted_ptr<orvel::Streamable> root = readScene(bytes);
    if (root)
        use(root.get());
}

// Round trip, the same bytes written again, an unknown tag in every body,
// every cut and seeded damage, for a scene with every kind of branch.
TEST(SceneStreamFuzz, TheFullSceneMeetsTheStreamContract) {
    LogCapture log;
    FullScene s;
    support::StreamContract contract;
    contract.registerTypes = kessa::registerTypes;
    contract.shape = [](orvel::Streamable* o) { return support::sceneShape(o); };
    contract.use = use;
    contract.mutations = 6000;
    contract.seed = 20240611;
    contract.unknownTag = 200;
    contract.taggedTypes = "zanthorium::kessa::";
    EXPECT_TRUE(support::meetsStreamContract(&s.db, contract));
}

TEST(SceneStreamFuzz, LyingCounts) {
    LogCapture log;
    for (unsigned count : {2u, 21u, 1000u, 0xFFFFFFF0u}) {
        Bytes101 s;
        s.declare(1, groupTag)
            .object(1, 1, body().byte(0).byte(1).compact(count).u32(2).byte(0))
            .object(1, 2, body().byte(0).byte(0))
            .end();
        readAndUse(s.bytes);
        Bytes101 d;
        d.declare(1, databaseTag).object(1, 1, body().byte(1).compact(count).u32(1).byte(0)).end();
        readAndUse(d.bytes);
    }
}

}  // namespace
