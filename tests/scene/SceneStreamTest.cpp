// Scenes through the object stream: every kind of branch, objects and
// databases meet the stream contract; the back links they write are read by
// a reader of the tests' own; hand-built and hostile streams are rows of
// bytes, the shape read and a log fragment; the shared field forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "scene/CullTree.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/GeoBunchStreams.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/KessaDatabaseReader.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/StreamFields.h"
#include "scene/StreamNesting.h"
#include "scene/SwitchBranch.h"
#include "scene/render/TraversalCallback.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SceneShape.h"

using namespace kessa;
using namespace kessa_test;
using support::sceneShape;

namespace {

// One of every kind: object "scene" shows object "part" through an
// instance branch.
struct FullScene {
    FullScene() {
        db.setPath("levels\\one.mdl");
        auto p = std::make_unique<Object>();
        part = p.get();
        part->setName("part");
        auto partRoot = std::make_unique<GroupBranch>();
        partRoot->setName("part-root");
        add<GroupBranch>(*partRoot, "part-leaf")->growBounds(box({0, 0, 0}, {1, 2, 3}));
        part->attach(std::move(partRoot));

        auto root = std::make_unique<GroupBranch>();
        root->setName("root");
        root->setUserWord(0xCAFEF00D);
        root->setCollisionMode(Branch::ignoredInMode3);
        orvel::counted_ptr<TraversalCallback> shared(new TraversalCallback);
        root->setCallback(shared);
        SwitchBranch* sw = add<SwitchBranch>(*root, "switch", 1);
        sw->setVisitAll(false);
        sw->select(2);
        sw->setValue(1.5);
        add<GroupBranch>(*sw, "s0");
        add<GroupBranch>(*sw, "s1")->setCallback(shared);
        LodBranch* near = add<LodBranch>(*root, "near");
        near->setRange(10);
        near->setFade(true);
        add<GroupBranch>(*near, "near-leaf");
        add<LodBranch>(*root, "far")->setRange(100);
        JointBranch* joint = add<JointBranch>(*root, "joint");
        Matrix frame, turn;
        frame.setTranslation({1, 2, 3});
        turn.setRotation(30, {0, 0, 1});
        joint->setJoint(frame);
        joint->setTransform(turn);
        add<GroupBranch>(*joint, "joint-child");
        InstanceBranch* inst = add<InstanceBranch>(*root, "inst");
        inst->setFlag(false);
        inst->setInstance(part);
        Matrix m;
        m.setTranslation({10, 0, 0});
        inst->setMatrix(m);
        add<ExrefBranch>(*root, "exref")->setTargetName("door.mdl");
        auto s = std::make_unique<Object>();
        scene = s.get();
        scene->setName("scene");
        scene->attach(std::move(root));
        db.addObject(std::move(s));
        db.addObject(std::move(p));
        db.clean();
        scene->root()->group()->child(0)->markDirty();
    }
    Database db;
    Object *scene, *part;
};

// Uses what a read gave the way the program would: clean it, walk it.
void use(orvel::Streamable* root) {
    RecordingTraverser t;
    if (auto* db = dynamic_cast<Database*>(root)) {
        db->clean();
        db->accumulate(t);
    } else if (auto* object = dynamic_cast<Object*>(root)) {
        object->clean();
        object->traverse(t);
    } else if (auto* branch = dynamic_cast<Branch*>(root)) {
        branch->clean();
        branch->traverse(t);
    }
}

// Round trip, the same bytes written again, an unknown tag in every body,
// every cut and seeded damage, for a scene with every kind of branch; each
// kind and a callback also as the root of a stream of their own.
TEST(SceneStream, EveryKindMeetsTheStreamContract) {
    LogCapture log;
    FullScene s;
    support::StreamContract contract;
    contract.registerTypes = registerTypes;
    contract.shape = [](orvel::Streamable* o) { return sceneShape(o); };
    contract.use = use;
    contract.mutations = 6000;
    contract.seed = 20240611;
    contract.unknownTag = 200;
    contract.taggedTypes = "zanthorium::kessa::";
    EXPECT_TRUE(support::meetsStreamContract(&s.db, contract));
    // One callback shared by two branches is one callback again.
    orvel::counted_ptr<Database> back = roundTrip<Database>(&s.db);
    GroupBranch* root = back->rootObject()->root()->group();
    EXPECT_EQ(root->callback().get(), root->child(0)->child(1)->callback().get());
    EXPECT_EQ(root->callback().useCount(), 2u);
    std::vector<orvel::Streamable*> kinds{s.scene};
    for (Branch* b : s.scene->root()->group()->children())
        kinds.push_back(b);
    for (orvel::Streamable* o : kinds) {
        // Links out of the stream read back as none.
        std::string expected = sceneShape(o);
        for (std::size_t at; (at = expected.find("=?")) != std::string::npos;)
            expected[at + 1] = '-';
        EXPECT_EQ(sceneShape(readScene(writeStream(o)).get()), expected);
    }
    TraversalCallback cb;
    EXPECT_STREQ(roundTrip<TraversalCallback>(&cb)->typeName(), "zanthorium::kessa::TraverserCallbacks");
}

std::string sortedLines(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

// The back links of a scene stream as a reader that follows the stored form
// alone takes them: each branch's owner and parent, each object's database,
// the level-of-detail neighbours and a batch's branch, knowing nothing of
// what groups, objects and databases list. "name: link=name ..." per record
// that has links, sorted; records counts the records.
std::string linksRead(const Bytes& b, std::size_t* records = nullptr) {
    std::size_t at = std::size_t(std::find(b.begin(), b.end(), '\n') - b.begin()) + 1;
    auto byte = [&] { return at < b.size() ? int(b[at++]) : -1; };
    auto u32 = [&] {
        unsigned v = 0;
        for (int i = 0; i < 4; ++i)
            v |= unsigned(byte() & 0xFF) << (8 * i);
        return v;
    };
    auto compact = [&] {
        const int c = byte();
        return c == 255 ? u32() : unsigned(c);
    };
    auto string = [&] {
        const std::size_t n = compact();
        at += n;
        return std::string(b.begin() + long(at - n), b.begin() + long(at));
    };
    std::map<unsigned, std::string> types, names;
    std::vector<std::tuple<unsigned, std::string, unsigned>> links;  // from, label, to
    int c;
    while ((c = byte()) == '?' || c == '!') {
        const unsigned declared = compact();
        if (c == '?') {
            types[declared] = string();
            continue;
        }
        const std::string type = types[declared].substr(types[declared].rfind("::") + 2);
        const unsigned id = u32();
        const std::size_t length = compact(), end = at + length;
        std::string& name = names[id];
        auto link = [&](const char* label) { links.emplace_back(id, label, u32()); };
        if (type == "Database") {
            name = "database";
        } else if (type == "Object") {
            for (unsigned tag; (tag = compact()) != 0 && tag != 3;)
                tag == 1 ? void(name = string()) : link("database");
        } else if (type == "GeoBunchInternals") {
            at += 7;  // tag 1 and its byte, tag 2 and the batch
            link("branch");
            name = "batch";
        } else if (type.find("Branch") != std::string::npos) {
            for (unsigned tag; (tag = compact()) != 0;)
                if (tag == 1)
                    name = string();
                else if (tag == 2 || tag == 3)
                    link(tag == 2 ? "owner" : "parent");
                else if (tag == 5)
                    while (unsigned part = compact())
                        at += part == 1 ? 48 : 32;
                else
                    at += tag == 4 ? 1 : 4;
            if (type == "LodBranch") {
                ++at;  // the group's tag 1, its children, tag 0
                const unsigned children = compact();
                at += 4 * children + 1;
                for (unsigned tag; (tag = compact()) != 0;)
                    if (tag == 3)
                        link("previous"), link("next");
                    else
                        at += tag == 1 ? 1 : 16;
            }
        }
        at = end;
    }
    EXPECT_EQ(c, '#');
    std::map<unsigned, std::string> lines;
    for (const auto& [from, label, to] : links)
        lines[from] += " " + label + "=" + (to == 0 ? "-" : names.count(to) ? names[to] : "#" + std::to_string(to) + "?");
    std::vector<std::string> out;
    for (const auto& [id, line] : lines)
        out.push_back(names[id] + ":" + line);
    if (records)
        *records = names.size();
    return sortedLines(out);
}

// The same links as the scene in memory has them.
std::string linksOf(const Database& db) {
    std::vector<std::string> lines;
    auto name = [](const auto* p) { return p ? std::string(p->name().c_str()) : std::string("-"); };
    std::function<void(const Branch*)> walk = [&](const Branch* b) {
        std::string line = std::string(b->name().c_str()) + ": owner=" + name(b->owner()) + " parent=" + name(b->parent());
        if (auto* lod = dynamic_cast<const LodBranch*>(b))
            line += " previous=" + name(lod->previous()) + " next=" + name(lod->next());
        lines.push_back(line);
        if (auto* g = dynamic_cast<const GeometryBranch*>(b))
            lines.insert(lines.end(), g->bunches().size(), "batch: branch=" + name(b));
        if (b->group())
            for (const Branch* c : b->group()->children())
                walk(c);
    };
    for (const Object* o : db.objects()) {
        lines.push_back(std::string(o->name().c_str()) + ": database=" + (o->database() == &db ? "database" : "-"));
        walk(o->root());
    }
    return sortedLines(lines);
}

// Back links are written: a reader that takes them alone finds every owner,
// parent, database, neighbour and batch branch the scene has, also once read
// back and written again. They never take the scene around a part into the
// part's stream.
TEST(SceneStream, BackLinksNameWhatHoldsEachPart) {
    FullScene s;
    GeometryBranch* geometry = add<GeometryBranch>(*s.scene->root()->group(), "geometry");
    for (float x : {0.0f, 5.0f})
        geometry->addTriangles(builderOf({triangle({x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0})}));
    const std::string expected = linksOf(s.db);
    EXPECT_NE(expected.find("near: owner=scene parent=root previous=- next=far\n"), std::string::npos) << expected;
    EXPECT_EQ(linksRead(writeStream(&s.db)), expected);
    EXPECT_EQ(linksRead(writeStream(roundTrip<Database>(&s.db).get())), expected);

    LodBranch* near = dynamic_cast<LodBranch*>(s.scene->root()->child(1));
    ASSERT_TRUE(near && near->next());
    std::size_t records = 0;
    EXPECT_EQ(linksRead(writeStream(near), &records), "near-leaf: owner=- parent=near\nnear: owner=- parent=- previous=- next=-\n");
    EXPECT_EQ(records, 2u);
    EXPECT_EQ(linksRead(writeStream(geometry->bunches()[0])), "batch: branch=-\n");
}

// The shared field readers and writers: every value in the stream's byte
// order, calls chained, and a read cut short keeps what it did not reach.
// The batches' position, normal and texture-coordinate streams hold their
// elements in the same form.
TEST(StreamFields, OneFormForPointsColoursNormalsAndTextureCoordinates) {
    for (bool swap : {false, true}) {
        SCOPED_TRACE(swap);
        auto put = [&](Bytes& to, auto value) {
            unsigned char b[sizeof value];
            std::memcpy(b, &value, sizeof value);
            if (swap)
                std::reverse(b, b + sizeof value);
            to.insert(to.end(), b, b + sizeof value);
        };
        Bytes expected;
        for (double d : {1.0, -2.0, 0.5})
            put(expected, d);
        for (float f : {0.25f, 0.5f, 0.75f, 1.0f, 3.0f, -4.0f, 5.5f, 6.0f, 7.0f})
            put(expected, f);
        orvel::MemoryDataDest out;
        out.swap = swap;
        writeTexCoord(writeNormal(writeColour(writePoint(out, Vector(1, -2, 0.5)), pellium::Color{0.25f, 0.5f, 0.75f, 1}), {3, -4, 5.5f}),
                      {6, 7});
        EXPECT_EQ(Bytes(out.data(), out.data() + out.size()), expected);

        orvel::MemoryDataSource in(expected.data(), unsigned(expected.size()), false);
        in.swap = swap;
        Vector p;
        pellium::Color c;
        GeoBunch::Float3 n{};
        GeoBunch::Float2 t{};
        readTexCoord(readNormal(readColour(readPoint(in, p), c), n), t);
        EXPECT_TRUE(in.good() && p == Vector(1, -2, 0.5) && c.red == 0.25f && c.alpha == 1);
        EXPECT_TRUE(n.x == 3 && n.y == -4 && n.z == 5.5f && t.s == 6 && t.t == 7);
        orvel::MemoryDataSource cut(expected.data(), 24 + 8, false);
        cut.swap = swap;
        pellium::Color kept{9, 9, 9, 9};
        readColour(readPoint(cut, p), kept);
        EXPECT_TRUE(cut.fail() && p == Vector(1, -2, 0.5) && kept.green == 0.5f && kept.blue == 9 && kept.alpha == 9);

        // Past tag 1, a word, tag 2 and the count; before tag 0.
        auto elements = [&](orvel::Streamable& s) {
            orvel::MemoryDataDest d;
            d.swap = swap;
            s.write(d);
            return Bytes(d.data() + 7, d.data() + d.size() - 1);
        };
        const Bytes normal(expected.begin() + 40, expected.begin() + 52), texCoord(expected.begin() + 52, expected.end());
        EXPECT_EQ(elements(*streamOf<GeoBunch::vertex_data>({GeoBunch::Float3{3, -4, 5.5f}})), normal);
        EXPECT_EQ(elements(*streamOf<GeoBunch::normal_data>({GeoBunch::Float3{3, -4, 5.5f}})), normal);
        EXPECT_EQ(elements(*streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{6, 7}})), texCoord);
    }
}

// A group and an object that count the ones alive, under types of the
// tests' own, so that a row sees what a read left behind.
int alive = 0;
const std::string D = "zanthorium::kessa::Database", O = "zanthorium::kessa::Object", G = "zanthorium::kessa::GroupBranch",
                  X = "zanthorium::kessa::ExrefBranch",
                  CO = "zanthorium::kessa_test::CountedObject", CG = "zanthorium::kessa_test::CountedGroup",
                  R = "internals::counted_ptr::orvel";

class CountedGroup : public GroupBranch {
public:
    CountedGroup() { ++alive; }
    ~CountedGroup() override { --alive; }
    const char* typeName() const override { return CG.c_str(); }
};

class CountedObject : public Object {
public:
    CountedObject() { ++alive; }
    ~CountedObject() override { --alive; }
    const char* typeName() const override { return CO.c_str(); }
};

void registerCounted(orvel::DataSource& source) {
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new CountedGroup; });
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new CountedObject; });
}

// Databases by name: "door.mdl" holds a leaf, "inner.mdl" is read from a
// stream of its own while the stream that asked is being read, a name
// beginning "again" from a stream that names it again; built by code,
// "loop.mdl" shows itself and "deep.mdl" is 1,001 groups deep.
class TestReader : public KessaDatabaseReader {
public:
    void read(orvel::counted_ptr<Database>& out, const orvel_string& name) override {
        if (name == "inner.mdl")
            out = readScene(records({{D, 1, dbase({2}, 2)}, {CO, 2, obj("inner", {3})}, {CG, 3, grp("inner-root", {})}}),
                            registerCounted).cast<Database>();
        if (std::strncmp(name.c_str(), "again", 5) == 0)
            out = readScene(records({{D, 1, dbase({2}, 2)}, {O, 2, obj("", {}, name.c_str())}})).cast<Database>();
        if (name != "door.mdl" && name != "loop.mdl" && name != "deep.mdl")
            return;
        out = orvel::counted_ptr<Database>(new Database);
        out->setPath(name.c_str());
        std::unique_ptr<Object> o = name == "loop.mdl" ? std::make_unique<CountedObject>() : std::make_unique<Object>();
        if (name == "door.mdl") {
            o->attach(std::make_unique<TestLeaf>("door", Vector(-2, -2, 0), Vector(2, 2, 4)));
        } else if (name == "loop.mdl") {
            auto exref = std::make_unique<ExrefBranch>();
            exref->setTarget(out);
            o->attach(std::move(exref));
        } else {
            auto top = std::make_unique<GroupBranch>();
            GroupBranch* g = top.get();
            for (int depth = 0; depth < StreamNesting::maxDepth; ++depth)
                g = add<GroupBranch>(*g, "");
            o->attach(std::move(top));
        }
        out->addObject(std::move(o));
    }
};

TEST(SceneStream, HandBuiltAndHostileStreams) {
    const struct {
        const char* what;
        Bytes bytes;
        const char* shape;  // a part of the shape read ("null": nothing read)
        const char* log;    // a part of the log
        int alive;          // counted objects held by what was read
    } rows[] = {
        {"a database by hand", records({{D, 0x10, dbase({0x20}, 0x20)}, {O, 0x20, obj("o", {0x30})}, {G, 0x30, grp("g", {})}}),
         "Database#1\"\" dirty root=#2 [Object#2\"o\" db=#1 dirty shown by [] root: GroupBranch#3\"g\" o=#2 p=- dirty []]", "", 0},
        {"a child listed twice, and one that is no branch",
         records({{G, 1, grp("", {2, 3, 5})}, {G, 2, grp("a", {4})}, {G, 3, grp("b", {4, 4})}, {G, 4, grp("shared", {})}, {O, 5, obj("", {})}}),
         "[GroupBranch#2\"a\" o=- p=#1 dirty [GroupBranch#3\"shared\" o=- p=#2 dirty []], GroupBranch#4\"b\" o=- p=#1 dirty []]",
         "a child that belongs elsewhere was dropped", 0},
        // The reader takes links from what holds a part, not from its back links.
        {"back links naming what does not hold the branch",
         records({{G, 1, grp("", {2})}, {G, 2, body().byte(1).string("c").byte(2).u32(3).byte(3).u32(4).raw({0, 1, 0, 0})},
                  {O, 3, obj("o", {})}, {G, 4, grp("other", {})}}),
         "GroupBranch#1\"\" o=- p=- dirty [GroupBranch#2\"c\" o=- p=#1 dirty []]", "", 0},
        {"groups that hold themselves", records({{G, 1, grp("", {2})}, {G, 2, grp("", {3, 1})}, {G, 3, grp("", {3})}}),
         "GroupBranch#1\"\" o=- p=- dirty [GroupBranch#2\"\" o=- p=#1 dirty [GroupBranch#3\"\" o=- p=#2 dirty []]]", "", 0},
        {"the root listed by a group nothing holds", records({{G, 1, grp("root", {})}, {G, 2, grp("", {1})}}),
         "GroupBranch#1\"root\" o=- p=- dirty []", "", 0},
        // Database 2 is held only by the first one's list, which cannot take
        // a database; database 4 is unlisted.
        {"an object listed by two databases",
         records({{D, 1, dbase({2})}, {D, 2, dbase({3}, 3)}, {D, 4, dbase({3}, 3)}, {O, 3, obj("o", {})}}),
         "Database#1\"\" dirty root=- []", "", 0},
        {"groups that only hold each other", records({{G, 1, grp("", {})}, {CG, 2, grp("", {3})}, {CG, 3, grp("", {2})}, {CG, 4, grp("", {4})}}),
         "GroupBranch#1\"\" o=- p=- dirty []", "", 0},
        {"a database root that is none of its objects", records({{D, 1, dbase({}, 2)}, {CO, 2, obj("o", {})}}),
         "Database#1\"\" dirty root=- []", "the root object is not one of its objects", 0},
        {"an object naming two roots", records({{O, 1, obj("", {2, 3})}, {CG, 2, grp("first", {})}, {CG, 3, grp("second", {})}}),
         "root: CountedGroup#2\"first\" o=#1 p=- dirty []", "", 1},
        // Object 2 claims instance 4 in its old table, but 4 shows object 3.
        {"an instance table against the instance branches",
         records({{D, 1, dbase({2, 3})}, {O, 2, body().byte(1).string("a").raw({12, 1}).u32(4).byte(20).u32(5).byte(0)},
                  {O, 3, obj("b", {})}, {"zanthorium::kessa::InstanceBranch", 4, body().byte(0).raw({2}).u32(3).byte(0)},
                  {G, 5, grp("", {4})}}),
         "InstanceBranch#4\"\" o=#2 p=#3 dirty shows=#5 flag], Object#5\"b\" db=#1 dirty shown by [#4] no root]", "", 0},
        {"a retired object layout", records({{O, 1, body().byte(1).string("old").byte(13).u32(0).byte(0)}}), "null",
         "Stream reader: kessa::Object::read() - object \"old\" uses a retired layout (tag 13)", 0},
        {"lists of older layouts, dropped", records({{O, 1, body().byte(1).string("o").raw({10, 2}).u32(5).u32(6).raw({11, 0, 5, 6, 7}).byte(0)}}),
         "Object#1\"o\" db=- dirty shown by [] no root", "", 0},
        {"an external database", records({{O, 1, obj("o", {}, "door.mdl")}}),
         "root: ExrefBranch#2\"\" o=#1 p=- dirty target=\"door.mdl\" loaded", "", 0},
        {"a missing external database", records({{O, 1, obj("o", {}, "missing.mdl")}}), "no root", "", 0},
        // The database's own reference is dropped, which lets it go.
        {"an external database that shows itself", records({{O, 1, obj("o", {}, "loop.mdl")}}),
         "root: ExrefBranch#2\"\" o=#1 p=- dirty target=\"loop.mdl\" loaded",
         "!!!ExrefBranch \"\": database loop.mdl holds the branch and was dropped\n", 1},
        {"an external database too deep", records({{O, 1, obj("o", {}, "deep.mdl")}}),
         "Object#1\"o\" db=- dirty shown by [] root: ExrefBranch#2\"\" o=#1 p=- dirty target=\"deep.mdl\"",
         "!!!ExrefBranch \"\": database deep.mdl would nest more than 1000 levels deep and was dropped\n", 0},
        {"a stream read inside another", records({{CO, 1, obj("o", {}, "inner.mdl")}}), "loaded", "", 3},
        // The named root comes after the object: it is read, and finished, after it.
        {"an external database beside a named root", records({{O, 1, obj("", {2}, "door.mdl")}, {CG, 2, grp("named", {})}}),
         "root: ExrefBranch#2\"\" o=#1 p=- dirty target=\"door.mdl\" loaded", "", 0},
        // Root object 1 is listed by database 2 and is the root of nothing;
        // database 2 is referred to by nothing.
        {"no owner takes the root object",
         records({{CO, 1, obj("root", {3})}, {D, 2, dbase({1}, 1)}, {CG, 3, grp("", {})}, {CG, 4, grp("", {3})}, {O, 5, obj("", {3})}}),
         "Object#1\"root\" db=- dirty shown by [] root: CountedGroup#2\"\" o=#1 p=- dirty []",
         "!!!Stream reader: owners named the root 1 times; it stays the caller's\n", 2},
        {"no group takes the root", records({{CG, 1, grp("", {1, 2})}, {CG, 2, grp("", {1})}, {O, 3, obj("", {1})}}),
         "CountedGroup#1\"\" o=- p=- dirty [CountedGroup#2\"\" o=- p=#1 dirty []]", "", 2},
        // Group 1 lists 2 and 4; 2's callback is record 3, whose pointee is 4.
        {"a callback record naming a child of a group",
         records({{CG, 1, grp("", {2, 4})}, {CG, 2, grp("", {}, 3)}, {R, 3, body().u32(1).u32(4)}, {CG, 4, grp("four", {})}}),
         "CountedGroup#1\"\" o=- p=- dirty [CountedGroup#2\"\" o=- p=#1 dirty [], CountedGroup#3\"four\" o=- p=#1 dirty []]", "", 3},
        // Database 2 lists object 3, whose root is group 4, whose callback is
        // record 5, whose pointee is database 2: a ring nothing holds.
        {"a callback record naming a database",
         records({{G, 1, grp("", {})}, {D, 2, dbase({3})}, {CO, 3, obj("", {4})}, {CG, 4, grp("", {}, 5)}, {R, 5, body().u32(1).u32(2)}}),
         "GroupBranch#1\"\" o=- p=- dirty []", "", 0},
        {"a lying child count", records({{G, 1, body().raw({0, 1}).compact(0xFFFFFFF0u).u32(2).byte(0)}, {G, 2, grp("", {})}}), "", "", 0},
        {"a lying object count", records({{D, 1, body().byte(1).compact(1000).u32(1).byte(0)}}), "Database#1", "", 0},
    };
    TestReader reader;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        LogCapture log;
        setReadHook(&reader);
        orvel::counted_ptr<orvel::Streamable> read = readScene(r.bytes, registerCounted);
        setReadHook(nullptr);
        const std::string shape = sceneShape(read.get());
        EXPECT_NE(shape.find(r.shape), std::string::npos) << shape;
        EXPECT_NE(log.text().find(r.log), std::string::npos) << log.text();
        EXPECT_EQ(alive, r.alive);
        if (read)
            use(read.get());
        read = nullptr;
        EXPECT_EQ(alive, 0);
    }
    LogCapture log;
    EXPECT_EQ(sceneShape(readScene(records({{O, 1, obj("o", {}, "door.mdl")}})).get()), "Object#1\"o\" db=- dirty shown by [] no root");
    EXPECT_EQ(log.text(), "No database reader to read door.mdl\n");
    // Lines print no more than 2,000 characters of a name.
    const std::string name(12000, 'n'), again = "again" + name;
    log.take();
    EXPECT_EQ(sceneShape(readScene(records({{O, 1, obj("o", {}, name)}})).get()), "Object#1\"o\" db=- dirty shown by [] no root");
    setReadHook(&reader);
    orvel::counted_ptr<orvel::Streamable> read =
        readScene(records({{G, 1, grp("", {2})}, {X, 2, body().byte(1).string(name).byte(0).byte(0)}, {O, 3, obj("", {}, again)}}));
    setReadHook(nullptr);
    ASSERT_TRUE(read);
    use(read.get());
    EXPECT_EQ(log.text(), "No database reader to read " + name.substr(0, 2000) + "\nDatabase " + again.substr(0, 2000) +
                              " refers back to itself - not read again\n!!!Stream reader: 1 unreferenced objects deleted\n"
                              "Cleaning exref branch \"" + name.substr(0, 2000) + "\"\n");
    log.take();
    read = readScene(records({{G, 1, grp("", {2})}, {G, 2, grp("", {})}, {O, 3, obj(name.c_str(), {2})}}));
    EXPECT_NE(sceneShape(read.get()).find("GroupBranch#2"), std::string::npos);
    EXPECT_NE(log.text().find("!!!Object \"" + name.substr(0, 2000) + "\": a root that belongs elsewhere was dropped\n"),
              std::string::npos);
}

// ---- nesting ----

// A group that counts the times an owner is passed to it.
unsigned long ownerVisits = 0;
const std::string OG = "zanthorium::kessa_test::OwnerProbeGroup";

class OwnerProbeGroup : public GroupBranch {
public:
    void setOwner(Object* owner) override {
        ++ownerVisits;
        GroupBranch::setOwner(owner);
    }
    const char* typeName() const override { return OG.c_str(); }
};

void registerProbe(orvel::DataSource& source) {
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new OwnerProbeGroup; });
}

// An object whose root group has `levels` groups below it, each the only
// child of the one before. Bottom up, the groups below the root come
// deepest first, so that each one takes over the whole chain below it.
Bytes nestedGroups(unsigned levels, bool bottomUp) {
    Bytes101 s;
    s.declare(1, O).declare(2, OG);
    s.object(1, 1, obj("nested", {2}));
    const unsigned last = levels + 2;
    auto group = [&](unsigned id) { s.object(2, id, id == last ? grp("", {}) : grp("", {id + 1})); };
    group(2);
    for (unsigned k = 3; k <= last; ++k)
        group(bottomUp ? last + 3 - k : k);
    return s.end().bytes;
}

int depthOf(const Branch* b) {
    int depth = 0;
    for (; b->childCount() > 0; b = const_cast<Branch*>(b)->child(0))
        ++depth;
    return depth;
}

// Each group a stream nests in the one before takes a step or two to link
// whatever the order its records come in: at twice the depth the steps are
// about twice as many (looking for a ring through every ancestor, or passing
// the owner down every chain taken over, made them four times as many).
TEST(SceneStream, NestingTakesStepsInProportion) {
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom up" : "top down");
        unsigned long steps[2];
        for (unsigned size : {0, 1}) {
            const unsigned n = 400u << size;
            const unsigned long links = StreamNesting::steps(), owners = ownerVisits;
            orvel::counted_ptr<orvel::Streamable> read = readScene(nestedGroups(n, bottomUp), registerProbe);
            steps[size] = StreamNesting::steps() - links + ownerVisits - owners;
            const Object* o = read.cast<Object>().get();
            ASSERT_TRUE(o && o->root());
            EXPECT_EQ(depthOf(o->root()), int(n));
        }
        EXPECT_LT(double(steps[1]), 2.5 * double(steps[0])) << steps[0] << " then " << steps[1];
    }
}

// A stream of 100,000 nested groups reads in a moment whichever way its
// records come: no branch is put more than maxDepth levels below its
// top, with a log line; what is read is cleaned, walked and deleted on the
// stack a thread has by default. Rings are refused however far round.
TEST(SceneStream, NestingIsBounded) {
    const int bound = StreamNesting::maxDepth;
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom up" : "top down");
        LogCapture log;
        orvel::counted_ptr<orvel::Streamable> read = readScene(nestedGroups(100000, bottomUp), registerProbe);
        const Object* o = read.cast<Object>().get();
        ASSERT_TRUE(o && o->root());
        // Bottom up, chains grow from the deepest group until one would pass
        // the bound and restarts: the 100,000 groups below the root make
        // chains of bound + 1, and the root takes the last, shorter one.
        EXPECT_EQ(depthOf(o->root()), bottomUp ? 1 + (100000 - 1) % (bound + 1) : bound);
        EXPECT_NE(log.text().find("!!!GroupBranch \"\": a child that would nest more than 1000 levels deep was dropped\n"),
                  std::string::npos);
        use(read.get());
    }
    LogCapture log;
    EXPECT_EQ(depthOf(readScene(nestedGroups(unsigned(bound), false), registerProbe).cast<Object>()->root()), bound);
    EXPECT_TRUE(log.text().empty()) << log.text();
    EXPECT_EQ(depthOf(readScene(nestedGroups(unsigned(bound) + 1, false), registerProbe).cast<Object>()->root()), bound);
    // Groups 2 to 6 in a ring, linked in an order that closes it last,
    // across from where it was first joined; nothing holds them.
    readScene(records({{G, 1, grp("top", {})}, {CG, 4, grp("", {5})}, {CG, 2, grp("", {3})}, {CG, 5, grp("", {6})},
                       {CG, 3, grp("", {4})}, {CG, 6, grp("", {2})}}),
              registerCounted);
    EXPECT_EQ(alive, 0);
    EXPECT_NE(log.text().find("a child that belongs elsewhere was dropped"), std::string::npos);
}

// Objects 0 to n - 1, each `groups` groups nested one in the next, the
// deepest showing the next object (after the last, in a ring, the first)
// and object n: a wall ten units ahead, facing the origin, that each object
// a walk reaches draws, traces and gathers once.
std::unique_ptr<Database> instanceChain(unsigned n, unsigned groups, bool ring) {
    auto db = std::make_unique<Database>();
    for (unsigned k = 0; k <= n; ++k)
        db->addObject(std::make_unique<Object>());
    const std::vector<Object*>& objects = db->objects();
    objects[n]->attach(wallAhead());
    for (unsigned k = 0; k < n; ++k) {
        auto root = std::make_unique<GroupBranch>();
        GroupBranch* deepest = root.get();
        for (unsigned g = 1; g < groups; ++g)
            deepest = add<GroupBranch>(*deepest, "");
        if (k + 1 < n || ring)
            add<InstanceBranch>(*deepest, "next")->setInstance(objects[(k + 1) % n]);
        add<InstanceBranch>(*deepest, "wall")->setInstance(objects[n]);
        objects[k]->attach(std::move(root));
    }
    return db;
}

// Instances nest objects in objects, past the groups' bound. Read, an
// instance that would put a branch more than maxDepth levels below the top
// of a walk, or that shows the object holding it, is dropped with a log
// line, in steps in proportion to the stream; what is left is cleaned,
// drawn, traced, met and gathered, written (and read back as it was) and
// freed on the stack a thread has by default.
TEST(SceneStream, InstanceNestingIsBounded) {
    const struct {
        unsigned objects, groups;
        bool ring;
        std::size_t walls;
        int cuts;
        const char* cut;
    } rows[] = {
        // Two levels an object: chains of 500 objects, counted from the bottom.
        {5000, 1, false, 500, 9, "would nest more than 1000 levels deep"},
        {20000, 1, false, 500, 39, "would nest more than 1000 levels deep"},
        {60, 999, false, 1, 59, "would nest more than 1000 levels deep"},
        // Cut where it comes back round to the root object.
        {3, 1, true, 3, 1, "holds the branch"},
    };
    unsigned long steps = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.objects) + " objects of " + std::to_string(r.groups));
        LogCapture log;
        const unsigned long before = InstanceNesting::steps();
        orvel::counted_ptr<Database> db = roundTrip<Database>(instanceChain(r.objects, r.groups, r.ring).get());
        const unsigned long taken = InstanceNesting::steps() - before;
        if (&r == rows + 1) {  // four times as long as the chain before
            EXPECT_LT(double(taken), 4.5 * double(steps)) << steps << " then " << taken;
        }
        steps = taken;
        EXPECT_EQ(log.count("!!!InstanceBranch \"next\": an object that " + std::string(r.cut) + " was dropped\n"), r.cuts);
        EXPECT_EQ(wallsMet(*db), r.walls);
        const Bytes written = writeStream(db.get());
        log.take();
        EXPECT_EQ(writeStream(readScene(written).get()), written);
        EXPECT_EQ(log.text().find("!!!"), std::string::npos) << log.text();
    }
}

// ---- geometry branches ----

// Batches (each owned by the branch) with their triangles, the hook, the
// billboard mode and the cull tree's shape, with what each node's first
// field names: h the hook, b the last batch.
std::string geometryShape(orvel::Streamable* o) {
    auto* b = dynamic_cast<GeometryBranch*>(o);
    if (!b)
        return "not a geometry branch";
    std::string s;
    for (GeoBunch* bunch : b->bunches())
        s += std::to_string(bunch->triangleCount()) + (bunch->internals().ownerBranch() == b ? "" : "?") + " ";
    std::function<std::string(const CullTree*)> tree = [&](const CullTree* t) -> std::string {
        if (!t)
            return "-";
        const orvel::Refcountable* named = t->reference();
        std::string mark = !named ? "" : named == b->attachment().get() ? "h" : !b->bunches().empty() && named == b->bunches().back() ? "b" : "?";
        return mark + (t->bounds().valid() ? "[" : "(") + tree(t->child(0)) + tree(t->child(1)) + ")";
    };
    return s + (b->attachment() ? "hook " : "") + std::to_string(b->billboardMode()) + " " + tree(b->cullTree());
}

TEST(GeometryBranchStream, BatchesHookModeAndCullTreeTravel) {
    GeometryBranch branch;
    for (int i = 0; i < 25; ++i)
        branch.addTriangles(builderOf({triangle({float(i), 0, 0}, {i + 1.0f, 0, 0}, {float(i), 1, 0})}));
    branch.setAttachment(new BunchCallbacks);
    branch.setBillboardMode(GeometryBranch::faceViewer);
    auto tree = std::make_unique<CullTree>();
    tree->setBounds(box({0, 0, 0}, {25, 1, 0}));
    tree->setReference(branch.attachment());
    auto left = std::make_unique<CullTree>();
    left->setChild(1, std::make_unique<CullTree>());
    left->setReference(branch.bunches().back());
    tree->setChild(0, std::move(left));
    tree->setChild(1, std::make_unique<CullTree>());
    branch.setCullTree(std::move(tree));
    LogCapture log;
    orvel::counted_ptr<GeometryBranch> back = roundTrip<GeometryBranch>(&branch);
    EXPECT_EQ(log.text(), "Size=weird\n");
    EXPECT_EQ(geometryShape(back.get()), geometryShape(&branch));
    EXPECT_EQ(geometryShape(back.get()).substr(50), "hook 2 h[b(-(--))(--))");
    support::StreamContract contract;
    contract.registerTypes = registerTypes;
    contract.shape = geometryShape;
    contract.use = use;
    contract.mutations = 1000;
    EXPECT_TRUE(support::meetsStreamContract(&branch, contract));

    // Entries naming nothing or something other than a batch are left out;
    // a tree cannot hold itself, nor name the branch that holds it; own
    // fields count only after a first tag 10.
    Bytes101 s;
    s.declare(1, "zanthorium::kessa::GeometryBranch").declare(2, "zanthorium::kessa::GeoBunch");
    s.declare(3, "zanthorium::kessa::CullTree");
    s.object(1, 0x10, body().byte(0).byte(10).byte(3).u32(0x20).u32(0).u32(0x10).byte(12).u32(0x30).byte(0));
    s.object(2, 0x20, body().byte(0));
    s.object(3, 0x30, body().byte(1).u32(0x10).byte(3).u32(0x30).u32(0).byte(0)).end();
    EXPECT_EQ(geometryShape(readScene(s.bytes).get()), "0 0 (--)");
    Bytes101 late;
    late.declare(1, "zanthorium::kessa::GeometryBranch").object(1, 0x10, body().byte(0).byte(13).u32(2).byte(0)).end();
    EXPECT_EQ(geometryShape(readScene(late.bytes).get()), "0 -");
}

// A geometry branch whose cull tree is a chain of n trees, each the first
// child of the one before, their records top down or deepest first.
Bytes cullChain(unsigned n, bool deepestFirst) {
    Bytes101 s;
    s.declare(1, "zanthorium::kessa::GeometryBranch").declare(2, "zanthorium::kessa::CullTree");
    s.object(1, 1, body().byte(0).byte(10).byte(0).byte(12).u32(2).byte(0));
    for (unsigned k = 0; k < n; ++k) {
        const unsigned id = deepestFirst ? n + 1 - k : 2 + k;
        s.object(2, id, body().byte(3).u32(id == n + 1 ? 0 : id + 1).u32(0).byte(0));
    }
    return s.end().bytes;
}

int depthOf(const CullTree* t) {
    int depth = 0;
    for (; t && t->child(0); t = t->child(0))
        ++depth;
    return depth;
}

// A cull tree read from a stream is cut at maxDepth levels with a log line,
// whichever way its records come, in steps in proportion to its length
// (looking for a ring through every ancestor made them sixteen times as
// many at four times the length); deepest first, the chains grow from the
// bottom and the branch takes the last, shorter one. The branch is used,
// written, freed with what nothing took, and read back as it was. A tree
// built by code, deeper still, is freed without recursion.
TEST(GeometryBranchStream, CullTreeNestingIsBounded) {
    const int bound = StreamNesting::maxDepth;
    const struct {
        unsigned n;
        bool deepestFirst;
        int depth;
    } rows[] = {{5000, false, bound}, {20000, false, bound}, {300000, true, (300000 - 1) % (bound + 1)}};
    unsigned long steps = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.n) + (r.deepestFirst ? " deepest first" : " top down"));
        LogCapture log;
        const unsigned long before = StreamNesting::steps();
        orvel::counted_ptr<GeometryBranch> branch = readScene(cullChain(r.n, r.deepestFirst)).cast<GeometryBranch>();
        const unsigned long taken = StreamNesting::steps() - before;
        if (&r == rows + 1) {  // four times as long as the chain before
            EXPECT_LT(double(taken), 4.5 * double(steps)) << steps << " then " << taken;
        }
        steps = taken;
        ASSERT_TRUE(branch);
        EXPECT_EQ(depthOf(branch->cullTree()), r.depth);
        EXPECT_NE(log.text().find("!!!CullTree: a child that would nest more than 1000 levels deep was dropped\n"), std::string::npos);
        use(branch.get());
        const Bytes written = writeStream(branch.get());
        branch = nullptr;
        EXPECT_EQ(depthOf(readScene(written).cast<GeometryBranch>()->cullTree()), r.depth);
    }
    auto tree = std::make_unique<CullTree>();
    CullTree* end = tree.get();
    for (int i = 0; i < 200000; ++i) {
        end->setChild(0, std::make_unique<CullTree>());
        end = end->child(0);
    }
    tree.reset();
}

}  // namespace
