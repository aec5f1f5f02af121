// Reading object streams byte by byte as they are laid down: both versions,
// the header's quirks, the records, references and their fix-up, counted
// pointers, and what a failed read leaves behind.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "tests/base/StreamLayout.h"
#include "tests/base/StreamTestTypes.h"
#include "tests/base/StreamingSource.h"

using namespace orvel;
using namespace streamtest;
using Bytes = std::vector<unsigned char>;

namespace {

const char nodeTag[] = "zanthorium::test::Node";
const char countedTag[] = "zanthorium::test::CountedNode";
const char holderTag[] = "zanthorium::test::Holder";
const char recordTag[] = "internals::counted_ptr::orvel";
const char faultyTag[] = "zanthorium::test::Faulty";
const char graphTag[] = "zanthorium::test::Graph";
const char multiTag[] = "zanthorium::test::MultiNode";
const char ownerTag[] = "zanthorium::test::Owner";

// A Node-shaped body (value, reference) in an object record.
Bytes nodeRecord(int type, unsigned id, int value, unsigned link) { return record(type, id, u32(unsigned(value)) + u32(link)); }

// A counted-pointer record: count, reference to the pointee.
Bytes countedRecord(int type, unsigned id, unsigned count, unsigned pointee) {
    return record(type, id, u32(count) + u32(pointee));
}

Bytes holderRecord(int type, unsigned id, unsigned held) { return record(type, id, u32(held)); }

// A Graph body: its value, the fields given, the end tag.
Bytes graphBody(int value, const Bytes& fields) { return hex({1}) + u32(unsigned(value)) + fields + hex({0}); }
Bytes shared(unsigned id) { return hex({5}) + u32(id); }

// A list of references, count first: an Owner's body, or a Graph's list
// field after its tag.
Bytes references(const std::vector<unsigned>& ids) {
    Bytes out = compact(unsigned(ids.size()));
    for (unsigned id : ids)
        out = out + u32(id);
    return out;
}
Bytes list(const std::vector<unsigned>& ids) { return hex({6}) + references(ids); }

// The stream of the format's own example: object 0x1000 (42) refers to
// object 0x2000 (7).
Bytes example() { return stream101({nodeTag}, nodeRecord(1, 0x1000, 42, 0x2000) + nodeRecord(1, 0x2000, 7, 0)); }

class ObjectStreamTest : public StreamObjectsTest {
protected:
    counted_ptr<Streamable> read(const Bytes& bytes) {
        source_.reset(new MemoryDataSource(bytes.data(), unsigned(bytes.size()), true));
        registerTypes(*source_);
        return StreamReader::read(*source_);
    }
    MemoryDataSource& source() { return *source_; }

private:
    std::unique_ptr<MemoryDataSource> source_;
};

}  // namespace

TEST_F(ObjectStreamTest, ReadsTheExampleInVersion101) {
    counted_ptr<Node> root = read(example()).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->value, 42);
    Node* next = root->link;
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->value, 7);
    EXPECT_EQ(next->link, nullptr);
    EXPECT_EQ(postReads(), (std::vector<int>{42, 7}));
    EXPECT_TRUE(source().good());
    EXPECT_EQ(root.useCount(), 1u);

    // A source that cannot seek reads the same stream.
    StreamingSource stream(example());
    registerTypes(stream);
    root = StreamReader::read(stream).cast<Node>();
    ASSERT_TRUE(root);
    ASSERT_NE(root->link, nullptr);
    EXPECT_EQ(root->link->value, 7);
}

TEST_F(ObjectStreamTest, Version100DoesNotReadCompactLengthTags) {
    LogCapture log;
    Bytes stream = text("ZanthaStream 1.00\n") + declare(1, nodeTag) + nodeRecord(1, 0x1000, 42, 0) + endMark;
    EXPECT_FALSE(read(stream));
    EXPECT_NE(log.text().find("StreamRead: no factory registered for a \"\x16zanthorium::test::Node"), std::string::npos);
}

TEST_F(ObjectStreamTest, OtherVersionsReadNothing) {
    for (const char* h : {"ZanthaStream 1.02\n", "ZanthaStream 0.99\n", "ZanthaStream 2.00\n"}) {
        Bytes stream = text(h) + declare(1, nodeTag) + nodeRecord(1, 0x1000, 42, 0) + endMark;
        EXPECT_FALSE(read(stream)) << h;
        EXPECT_TRUE(live().empty()) << h;
        EXPECT_EQ(source().position(), std::string(h).size()) << h;
    }
}

TEST_F(ObjectStreamTest, HeaderIsScannedAsTheCLibraryDoes) {
    Bytes body = declare(1, nodeTag) + nodeRecord(1, 0x1000, 42, 0) + endMark;
    for (const char* h : {"ZanthaStream 1.1\n", "ZanthaStream1.01\n", "ZanthaStream 0.101\n", "ZanthaStream 1.01 junk\n",
                          "ZanthaStream 1.01\r\n", "ZanthaStream 1.01\r", "ZanthaStream   +1.01\n"}) {
        Bytes stream = text(h) + body;
        counted_ptr<Streamable> root = read(stream);
        EXPECT_TRUE(root) << h;
    }
    for (const char* h : {"ZanthaStream 1\n", "zanthastream 1.01\n", "ZanthaStream .01\n", "Zantha 1.01\n", "\n"}) {
        EXPECT_FALSE(read(text(h) + body)) << h;
    }
    // A zero byte ends the header as a line end does.
    EXPECT_TRUE(read(text(std::string("ZanthaStream 1.01\0", 18)) + body));
    EXPECT_TRUE(live().empty());
}

// Version 1.00 declares tags as terminated texts, 1.01 with a compact
// length; the source is left in that string mode.
TEST_F(ObjectStreamTest, BodiesKnowTheVersionAndTagsFollowIt) {
    static int seen = 0;
    struct Versioned : Node {
        void read(DataSource& source) override {
            seen = source.context->version();
            Node::read(source);
        }
    };
    for (const char* h : {"ZanthaStream 1.00\n", "ZanthaStream 1.01\n"}) {
        Bytes tag = h[16] == '0' ? text(nodeTag) + hex({0}) : Bytes{22} + text(nodeTag);
        Bytes stream = text(h) + hex({0x3F, 0x01}) + tag + nodeRecord(1, 0x10, 1, 0) + endMark;
        MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
        StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Versioned); });
        seen = 0;
        EXPECT_TRUE(StreamReader::read(source));
        EXPECT_EQ(seen, h[16] == '0' ? 100 : 101);
        EXPECT_EQ(source.stringMode, h[16] == '0' ? stringTerminated : stringCompactLength);
    }
}

TEST_F(ObjectStreamTest, UndeclaredTypeIsSkippedByItsLength) {
    Bytes stream = stream101({nodeTag}, hex({0x21, 0x05, 0x00, 0x30, 0x00, 0x00, 0x03, 0xAA, 0xBB, 0xCC}) +
                                            nodeRecord(1, 0x1000, 42, 0x2000) + nodeRecord(1, 0x2000, 7, 0));
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->value, 42);
    ASSERT_NE(root->link, nullptr);
    EXPECT_EQ(root->link->value, 7);
    EXPECT_EQ(live().size(), 2u);
}

TEST_F(ObjectStreamTest, LargeTypeIdsAreDeclaredAndUsed) {
    Bytes stream = header101() + hex({0x3F, 0xFF, 0x00, 0x00, 0x01, 0x00, 22}) + text(nodeTag) +
                   hex({0x21, 0xFF, 0x00, 0x00, 0x01, 0x00}) + u32(0x10) + hex({8}) + u32(5) + u32(0) + endMark;
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->value, 5);
}

TEST_F(ObjectStreamTest, StreamWithoutEndMarkKeepsOnlyTheRoot) {
    Bytes stream = header101() + declare(1, nodeTag) + nodeRecord(1, 0x1000, 42, 0x2000) + nodeRecord(1, 0x2000, 7, 0);
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->value, 42);
    EXPECT_EQ(root->link, nullptr);
    EXPECT_TRUE(postReads().empty());
    // Nothing can reach the second object: it is gone.
    EXPECT_EQ(live().size(), 1u);
    // Running into the end of the data shows.
    EXPECT_FALSE(source().good());
}

TEST_F(ObjectStreamTest, UnknownRecordByteStopsWithoutFixUp) {
    Bytes stream = stream101({nodeTag}, nodeRecord(1, 0x1000, 42, 0x1000) + hex({0x40}));
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->link, nullptr);
    EXPECT_TRUE(postReads().empty());
}

TEST_F(ObjectStreamTest, TwoReferencesToOneIdShareTheObject) {
    Bytes stream =
        stream101({nodeTag}, nodeRecord(1, 0x10, 1, 0x30) + nodeRecord(1, 0x20, 2, 0x30) + nodeRecord(1, 0x30, 3, 0x20));
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    Node* three = root->link;
    ASSERT_NE(three, nullptr);
    Node* two = three->link;
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->value, 2);
    EXPECT_EQ(two->link, three);
}

TEST_F(ObjectStreamTest, BrokenStreamsFailTheReadLogWhyAndDeleteEverything) {
    auto faulty = [](int fault) {
        return stream101({nodeTag, faultyTag},
                         nodeRecord(1, 0x10, 5, 0x20) + nodeRecord(1, 0x20, 6, 0x30) + nodeRecord(2, 0x30, fault, 0x10));
    };
    struct Case {
        Bytes stream;
        const char* log;
    } cases[] = {
        // A reference to an id no record has.
        {stream101({nodeTag}, nodeRecord(1, 0x1000, 42, 0x3000) + nodeRecord(1, 0x2000, 7, 0)), "Stream reader: Bad pointer\n"},
        // A type without a factory.
        {stream101({nodeTag},
                   nodeRecord(1, 0x1000, 42, 0) + declare(2, "zanthorium::test::Ghost") + nodeRecord(2, 0x2000, 7, 0)),
         "StreamRead: no factory registered for a \"zanthorium::test::Ghost\"!\n"
         "Stream reader: no factory registered for a \"zanthorium::test::Ghost\"\n"},
        // A counted-pointer record as the root.
        {stream101({nodeTag, recordTag}, countedRecord(2, 0x10, 1, 0x20) + nodeRecord(1, 0x20, 1, 0)),
         "Stream reader: the root is a counted-pointer record\n"},
        // Bodies that throw before the fix-up.
        {faulty(Faulty::throwLogicInRead), "Stream reader: broken body\n"},
        {faulty(Faulty::throwOtherInRead), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        LogCapture log;
        EXPECT_FALSE(read(c.stream));
        EXPECT_FALSE(source().good());
        EXPECT_EQ(log.text(), c.log);
        EXPECT_TRUE(live().empty());
        EXPECT_TRUE(postReads().empty());
        EXPECT_EQ(source().context, nullptr);
    }
}
TEST_F(ObjectStreamTest, HugeUnknownTagIsLoggedWithoutBreakingTheLog) {
    LogCapture log;
    std::string ghost(20000, 'g');
    Bytes stream = header101() + hex({0x3F, 0x01, 0xFF}) + u32(unsigned(ghost.size())) + text(ghost) + endMark;
    EXPECT_FALSE(read(stream));
    std::string logged = log.text();
    EXPECT_EQ(logged.rfind("StreamRead: no factory registered for a \"ggg", 0), 0u);
    EXPECT_NE(logged.find("\nStream reader: no factory registered for a \"ggg"), std::string::npos);
}

TEST_F(ObjectStreamTest, CountedObjectsGetPostReadFirstInIdOrder) {
    // 0x20 (the root) -> 0x10 -> 0x30 -> 0x05; 0x10 and 0x30 call noteCountedPtr.
    Bytes stream = stream101({nodeTag, countedTag}, nodeRecord(1, 0x20, 0x20, 0x10) + nodeRecord(2, 0x30, 0x30, 0x05) +
                                                        nodeRecord(1, 0x05, 0x05, 0) + nodeRecord(2, 0x10, 0x10, 0x30));
    counted_ptr<Streamable> root = read(stream);
    ASSERT_TRUE(root);
    EXPECT_EQ(postReads(), (std::vector<int>{0x10, 0x30, 0x05, 0x20}));
}

TEST_F(ObjectStreamTest, ShortBodyDoesNotDisturbTheNextRecord) {
    // The first body says 12 bytes but Node reads 8.
    Bytes stream = stream101({nodeTag}, hex({0x21, 0x01}) + u32(0x10) + hex({12}) + u32(42) + u32(0x20) +
                                            hex({0xEE, 0xEE, 0xEE, 0xEE}) + nodeRecord(1, 0x20, 7, 0));
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    ASSERT_NE(root->link, nullptr);
    EXPECT_EQ(root->link->value, 7);

    TempFolder folder;
    writeFile(folder / "s.bin", stream);
    FileDataSource file((folder / "s.bin").c_str());
    registerTypes(file);
    root = StreamReader::read(file).cast<Node>();
    ASSERT_TRUE(root);
    ASSERT_NE(root->link, nullptr);
    EXPECT_EQ(root->link->value, 7);
    root.release();
}

TEST_F(ObjectStreamTest, RegisteringATagTwiceKeepsTheFirst) {
    static int madeBy = 0;
    static int registered = 0;
    struct Registrar : Node {
        explicit Registrar(int by) { madeBy = by; }
        void registerTypes(DataSource& source) override {
            ++registered;
            StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(1)); });
            StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Node); });
        }
        const char* typeName() const override { return "zanthorium::test::Registrar"; }
    };
    madeBy = registered = 0;
    Bytes stream = stream101({"zanthorium::test::Registrar"}, nodeRecord(1, 0x10, 5, 0));
    MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(1)); });
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(2)); });
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(1)); });
    EXPECT_EQ(registered, 1);
    EXPECT_TRUE(live().empty());
    madeBy = 0;
    counted_ptr<Streamable> root = StreamReader::read(source);
    ASSERT_TRUE(root);
    EXPECT_EQ(madeBy, 1);
    EXPECT_EQ(registered, 1);
}

TEST_F(ObjectStreamTest, ReaderIsAttachedByRegistrationAndDetachedByRead) {
    Bytes stream = example() + example();
    MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
    EXPECT_EQ(source.context, nullptr);
    registerTypes(source);
    EXPECT_NE(source.context, nullptr);
    EXPECT_EQ(source.readerTag, static_cast<void*>(source.context));
    EXPECT_TRUE(StreamReader::read(source));
    EXPECT_EQ(source.context, nullptr);
    EXPECT_EQ(source.readerTag, nullptr);
    // The second stream needs its types again.
    LogCapture log;
    EXPECT_FALSE(StreamReader::read(source));
    EXPECT_NE(log.text().find("no factory registered for a \"zanthorium::test::Node\""), std::string::npos);
    destroyAll();

    MemoryDataSource again(stream.data(), unsigned(stream.size()), false);
    registerTypes(again);
    EXPECT_TRUE(StreamReader::read(again));
    registerTypes(again);
    counted_ptr<Node> second = StreamReader::read(again).cast<Node>();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->value, 42);
}

TEST_F(ObjectStreamTest, SourceWithAReaderButNoReadReleasesIt) {
    // Leak checking watches this one.
    Bytes stream = example();
    MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
    registerTypes(source);
    EXPECT_NE(source.context, nullptr);
}

TEST_F(ObjectStreamTest, ReferencesReadWithoutAReaderAreNothing) {
    Bytes bytes = u32(0x1000) + hex({0x02}) + u32(1) + u32(2);
    MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    Node other;
    Streamable* slot = &other;
    source.readStreamable(slot);
    EXPECT_EQ(slot, &other);
    EXPECT_EQ(source.position(), 0u);
    source.noteCountedPtr();
    source.seek(4);
    std::vector<Graph*> list(3);
    source >> list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(source.position(), 5u);
}

TEST_F(ObjectStreamTest, CountedRecordsAreSharedByTheirHolders) {
    Bytes stream = stream101({nodeTag, recordTag, holderTag},
                             holderRecord(3, 0x100, 0x10) + countedRecord(2, 0x10, 2, 0x1000) + nodeRecord(1, 0x1000, 42, 0));
    counted_ptr<Holder> root = read(stream).cast<Holder>();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->node);
    EXPECT_EQ(root->node->value, 42);
    EXPECT_EQ(root->node.useCount(), 1u);
    EXPECT_EQ(root->node.record()->pointee(), root->node.get());
    EXPECT_EQ(root->seen, 42);
    EXPECT_EQ(live().size(), 2u);
    root.release();
    EXPECT_TRUE(live().empty());
}

TEST_F(ObjectStreamTest, CountIsTheNumberOfHoldersWhateverTheStreamSays) {
    for (unsigned written : {0u, 1u, 3u, 5u, 0xFFFFFFFFu}) {
        Bytes stream =
            stream101({graphTag, recordTag},
                      record(1, 0x100, graphBody(1, shared(0x10) + list({0x200, 0x300, 0x200}))) +
                          record(1, 0x200, graphBody(2, shared(0x10))) + record(1, 0x300, graphBody(3, shared(0x10))) +
                          countedRecord(2, 0x10, written, 0x400) + record(1, 0x400, graphBody(4, Bytes())));
        counted_ptr<Graph> root = read(stream).cast<Graph>();
        ASSERT_TRUE(root) << written;
        ASSERT_TRUE(root->shared) << written;
        EXPECT_EQ(root->shared->value, 4);
        EXPECT_EQ(root->shared.useCount(), 3u) << written;
        ASSERT_EQ(root->list.size(), 3u);
        EXPECT_EQ(root->list[0], root->list[2]);
        EXPECT_EQ(root->list[0]->shared.record(), root->shared.record());
        EXPECT_EQ(root->list[1]->shared.get(), root->shared.get());
        root.release();
        destroyAll();
        EXPECT_TRUE(live().empty()) << written;
    }
}

TEST_F(ObjectStreamTest, CountedSlotGivenAnUnsuitableObjectStaysNull) {
    // Graph's counted slot is for Graphs; this record holds a Node.
    LogCapture log;
    Bytes stream = stream101({graphTag, recordTag, nodeTag}, record(1, 0x100, graphBody(1, shared(0x10))) +
                                                                 countedRecord(2, 0x10, 1, 0x20) + nodeRecord(3, 0x20, 9, 0));
    counted_ptr<Graph> graph = read(stream).cast<Graph>();
    ASSERT_TRUE(graph);
    EXPECT_FALSE(graph->shared);
    EXPECT_EQ(graph->shared.record(), nullptr);
    // The record went as unreferenced, and the Node with it.
    EXPECT_EQ(live().size(), 1u);
    EXPECT_EQ(log.take(), "!!!Stream reader: 1 unreferenced objects deleted\n");

    // Holder's counted slot is given the Node itself, not a record.
    counted_ptr<Holder> holder =
        read(stream101({nodeTag, holderTag}, holderRecord(2, 0x100, 0x20) + nodeRecord(1, 0x20, 9, 0))).cast<Holder>();
    ASSERT_TRUE(holder);
    EXPECT_FALSE(holder->node);
    EXPECT_EQ(holder->node.record(), nullptr);
    EXPECT_EQ(live().size(), 2u);
    EXPECT_EQ(log.text(), "!!!Stream reader: 1 unreferenced objects deleted\n");
}

TEST_F(ObjectStreamTest, RingThroughAHolderOfAnotherTypeIsFreed) {
    // The root holds nothing. Owner 0x20 owns Graph 0x30, whose counted slot
    // names record 0x40, whose pointee is Owner 0x20: no Graph, so the slot
    // does not keep the record, and nothing keeps the ring.
    LogCapture log;
    Bytes stream = stream101({nodeTag, ownerTag, graphTag, recordTag},
                             nodeRecord(1, 0x10, 1, 0) + record(2, 0x20, references({0x30})) +
                                 record(3, 0x30, graphBody(3, shared(0x40))) + countedRecord(4, 0x40, 1, 0x20));
    counted_ptr<Node> root = read(stream).cast<Node>();
    ASSERT_TRUE(root);
    EXPECT_EQ(live().size(), 1u);
    EXPECT_EQ(log.text(), "!!!Stream reader: 1 unreferenced objects deleted\n");
}

TEST_F(ObjectStreamTest, RecordNeverOwnsWhatAnOwnerTook) {
    // Owner 0x10 (the root) owns Graphs 0x20 and 0x40; 0x20's counted slot
    // names record 0x30, whose pointee is 0x40. Wherever the record comes,
    // the Owner keeps 0x40 and the record holds nothing.
    for (bool recordFirst : {false, true}) {
        LogCapture log;
        Bytes records = countedRecord(3, recordFirst ? 0x08 : 0x30, 1, 0x40);
        Bytes stream =
            stream101({ownerTag, graphTag, recordTag}, record(1, 0x10, references({0x20, 0x40})) +
                                                           record(2, 0x20, graphBody(2, shared(recordFirst ? 0x08 : 0x30))) +
                                                           records + record(2, 0x40, graphBody(4, Bytes())));
        counted_ptr<Owner> root = read(stream).cast<Owner>();
        ASSERT_TRUE(root);
        ASSERT_EQ(root->owned.size(), 2u);
        auto* two = dynamic_cast<Graph*>(root->owned[0]);
        ASSERT_NE(two, nullptr);
        EXPECT_FALSE(two->shared);
        EXPECT_EQ(two->shared.record(), nullptr);
        EXPECT_EQ(static_cast<Graph*>(root->owned[1])->value, 4);
        EXPECT_EQ(live().size(), 3u);
        EXPECT_EQ(log.text(), "!!!Stream reader: 1 unreferenced objects deleted\n");
        // The Owner alone deletes what it owns.
        root.release();
        EXPECT_TRUE(live().empty()) << recordFirst;
    }
}

TEST_F(ObjectStreamTest, RecordOwnsWhatOnlyPlainSlotsReferTo) {
    // Graph 0x20 is named by the root's plain link and list, and by record
    // 0x30 that the root's counted slot holds: the record owns it.
    Bytes stream =
        stream101({graphTag, recordTag}, record(1, 0x10, graphBody(1, hex({4}) + u32(0x20) + shared(0x30) + list({0x20}))) +
                                             countedRecord(2, 0x30, 1, 0x20) + record(1, 0x20, graphBody(2, Bytes())));
    counted_ptr<Graph> root = read(stream).cast<Graph>();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->shared);
    EXPECT_EQ(root->shared.get(), root->link);
    EXPECT_EQ(root->list, std::vector<Graph*>{root->link});
    EXPECT_EQ(root->shared.useCount(), 1u);
    root->shared.release();
    EXPECT_EQ(live().size(), 1u);
}

TEST_F(ObjectStreamTest, OwnersAreNeverGivenTheRoot) {
    // The root lists itself and Owner 0x20, which lists the root.
    LogCapture log;
    Bytes stream = stream101({ownerTag}, record(1, 0x10, references({0x10, 0x20})) + record(1, 0x20, references({0x10})));
    counted_ptr<Owner> root = read(stream).cast<Owner>();
    ASSERT_TRUE(root);
    ASSERT_EQ(root->owned.size(), 1u);
    auto* second = dynamic_cast<Owner*>(root->owned[0]);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->owned.empty());
    EXPECT_EQ(log.text(), "!!!Stream reader: owners named the root 2 times; it stays the caller's\n");
    root.release();
    EXPECT_TRUE(live().empty());
}

TEST_F(ObjectStreamTest, RootHeldByARecordIsSharedWithItAndNotGivenToAnOwner) {
    // The root's counted slot holds record 0x30 of the root; Owner 0x20,
    // which nothing refers to, may list the root too.
    for (bool owner : {false, true}) {
        SCOPED_TRACE(owner);
        LogCapture log;
        Bytes stream = stream101({graphTag, recordTag, ownerTag}, record(1, 0x10, graphBody(1, shared(0x30))) +
                                                                      countedRecord(2, 0x30, 1, 0x10) +
                                                                      (owner ? record(3, 0x20, references({0x10})) : Bytes()));
        counted_ptr<Graph> root = read(stream).cast<Graph>();
        ASSERT_TRUE(root);
        EXPECT_EQ(root->shared.get(), root.get());
        EXPECT_EQ(root->shared.record(), root.record());
        EXPECT_EQ(root.useCount(), 2u);
        EXPECT_EQ(live().size(), 1u);
        EXPECT_EQ(log.text(), owner ? "!!!Stream reader: owners named the root 1 times; it stays the caller's\n"
                                      "!!!Stream reader: 1 unreferenced objects deleted\n"
                                    : "");
        root->shared.release();
        EXPECT_EQ(root.useCount(), 1u);
        root.release();
        EXPECT_TRUE(live().empty());
    }
}
TEST_F(ObjectStreamTest, CountedHolderIsTypedThroughACrossCast) {
    // Graph's extra slot holds an Extra, which MultiNode is beside Streamable.
    Bytes stream =
        stream101({graphTag, recordTag, multiTag}, record(1, 0x100, graphBody(1, hex({7}) + u32(0x10) + hex({8}) + u32(0x30))) +
                                                       countedRecord(2, 0x10, 1, 0x30) +
                                                       record(3, 0x30, hex({1}) + u32(77) + hex({3}) + u32(0x100) + hex({0})));
    counted_ptr<Graph> root = read(stream).cast<Graph>();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->extra);
    ASSERT_NE(root->multi, nullptr);
    EXPECT_EQ(root->extra.get(), static_cast<Extra*>(root->multi));
    EXPECT_EQ(root->extra->payload, 77);
    EXPECT_EQ(root->multi->back, root.get());
    EXPECT_NE(static_cast<void*>(static_cast<Streamable*>(root->multi)), static_cast<void*>(root->multi));
}

TEST_F(ObjectStreamTest, ARecordOwnsItsObjectAloneAndOwnsNoRecord) {
    // 0x10 and 0x11 both claim 0x400; 0x12 claims itself; 0x13 claims 0x10.
    Bytes stream = stream101({graphTag, recordTag},
                             record(1, 0x100, graphBody(1, shared(0x10) + list({0x200, 0x300, 0x500}))) +
                                 record(1, 0x200, graphBody(2, shared(0x11))) + record(1, 0x300, graphBody(3, shared(0x12))) +
                                 record(1, 0x500, graphBody(5, shared(0x13))) + countedRecord(2, 0x10, 1, 0x400) +
                                 countedRecord(2, 0x11, 1, 0x400) + countedRecord(2, 0x12, 1, 0x12) +
                                 countedRecord(2, 0x13, 1, 0x10) + record(1, 0x400, graphBody(4, Bytes())));
    LogCapture log;
    counted_ptr<Graph> root = read(stream).cast<Graph>();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->shared);
    EXPECT_EQ(root->shared->value, 4);
    ASSERT_EQ(root->list.size(), 3u);
    // The records cut hold nothing, so no slot keeps them, and their own
    // slots no longer count: 0x10 stays with the root alone.
    for (Graph* g : root->list) {
        ASSERT_NE(g, nullptr);
        EXPECT_FALSE(g->shared) << g->value;
        EXPECT_EQ(g->shared.record(), nullptr) << g->value;
    }
    EXPECT_EQ(root->shared.useCount(), 1u);
    EXPECT_EQ(log.text(), "!!!Stream reader: 3 unreferenced objects deleted\n");
    root.release();
}

TEST_F(ObjectStreamTest, RootSurvivesTheRecordsAndHoldersNothingRefersTo) {
    // Record 0x10 of the root, held by nothing or by Holder 0x100 that
    // nothing refers to.
    for (bool holder : {false, true}) {
        SCOPED_TRACE(holder);
        LogCapture log;
        Bytes stream = stream101({nodeTag, recordTag, holderTag}, nodeRecord(1, 0x1000, 42, 0) +
                                                                      (holder ? holderRecord(3, 0x100, 0x10) : Bytes()) +
                                                                      countedRecord(2, 0x10, 1, 0x1000));
        counted_ptr<Node> root = read(stream).cast<Node>();
        ASSERT_TRUE(root);
        EXPECT_EQ(root->value, 42);
        EXPECT_EQ(root.useCount(), 1u);
        EXPECT_EQ(live().size(), 1u);
        EXPECT_EQ(log.text(), holder ? "!!!Stream reader: 1 unreferenced objects deleted\n" : "");
        root.release();
        EXPECT_TRUE(live().empty());
    }
}
TEST_F(ObjectStreamTest, CountedSlotReadTwiceKeepsTheLast) {
    Bytes stream =
        stream101({graphTag, recordTag}, record(1, 0x100, graphBody(1, shared(0x10) + shared(0x11))) +
                                             countedRecord(2, 0x10, 1, 0x200) + countedRecord(2, 0x11, 1, 0x300) +
                                             record(1, 0x200, graphBody(2, Bytes())) + record(1, 0x300, graphBody(3, Bytes())));
    counted_ptr<Graph> root = read(stream).cast<Graph>();
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->shared);
    EXPECT_EQ(root->shared->value, 3);
    EXPECT_EQ(root->shared.useCount(), 1u);
    root.release();
}

TEST_F(ObjectStreamTest, ListOf25LogsSizeWeirdOnceAndReadsAll) {
    for (unsigned n : {20u, 21u, 25u}) {
        LogCapture log;
        std::vector<unsigned> ids;
        Bytes members;
        for (unsigned i = 0; i < n; ++i) {
            ids.push_back(0x200 + i);
            members = members + record(1, 0x200 + i, graphBody(int(i), Bytes()));
        }
        Bytes stream = stream101({graphTag}, record(1, 0x100, graphBody(1000, list(ids))) + members);
        counted_ptr<Graph> root = read(stream).cast<Graph>();
        ASSERT_TRUE(root);
        ASSERT_EQ(root->list.size(), n);
        for (unsigned i = 0; i < n; ++i) {
            ASSERT_NE(root->list[i], nullptr);
            EXPECT_EQ(root->list[i]->value, int(i));
        }
        EXPECT_EQ(log.text(), n >= 21 ? "Size=weird\n" : "") << n;
        root.release();
        destroyAll();
    }
}

TEST_F(ObjectStreamTest, LyingListCountCostsNoMemory) {
    Bytes stream = stream101({graphTag}, hex({0x21, 0x01}) + u32(0x100) + hex({20}) + hex({1}) + u32(1) +
                                             hex({6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + u32(0x100) + u32(0) + hex({0}));
    counted_ptr<Graph> root = read(stream).cast<Graph>();
    // The list took the two ids there were and ran out of data; the body's
    // length put the reader back before the end mark.
    ASSERT_TRUE(root);
    ASSERT_EQ(root->list.size(), 2u);
    EXPECT_EQ(root->list[0], root.get());
    EXPECT_EQ(root->list[1], nullptr);
}

TEST_F(ObjectStreamTest, FailedPostReadDropsTheRootAsACallerWould) {
    LogCapture log;
    // 0x05 (root) holds record 0x08 of 0x10; 0x10 -> 0x20 -> 0x30 -> 0x10 by
    // plain links, which own nothing; 0x40 is referred to by nothing.
    Bytes stream = stream101({nodeTag, faultyTag, recordTag, holderTag},
                             holderRecord(4, 0x05, 0x08) + countedRecord(3, 0x08, 1, 0x10) + nodeRecord(1, 0x10, 5, 0x20) +
                                 nodeRecord(1, 0x20, 6, 0x30) + nodeRecord(2, 0x30, Faulty::throwInPostRead, 0x10) +
                                 nodeRecord(1, 0x40, 7, 0));
    EXPECT_FALSE(read(stream));
    EXPECT_FALSE(source().good());
    EXPECT_EQ(log.text(),
              "Stream reader: broken link\n"
              "!!!Stream reader: 1 unreferenced objects deleted\n");
    // The root went, and its record with the object it held; what only
    // plain links reach is for its owner to take down.
    ASSERT_EQ(live().size(), 2u);
    for (Streamable* o : live()) {
        int value = static_cast<Node*>(o)->value;
        EXPECT_TRUE(value == 6 || value == Faulty::throwInPostRead) << value;
    }
}

TEST_F(ObjectStreamTest, PlainSlotGivenARecordHoldsACount) {
    Bytes stream = stream101({nodeTag, recordTag, holderTag, "zanthorium::test::Loose"},
                             hex({0x21, 0x04}) + u32(0x05) + hex({4}) + u32(0x08) + countedRecord(2, 0x08, 1, 0x10) +
                                 nodeRecord(1, 0x10, 5, 0) + holderRecord(3, 0x20, 0x08));
    // 0x05 (root) -> record 0x08 <- holder 0x20, which nothing refers to.
    counted_ptr<Loose> root = read(stream).cast<Loose>();
    ASSERT_TRUE(root);
    auto* record = dynamic_cast<CountedRecord*>(root->ref);
    ASSERT_NE(record, nullptr);
    // Two counts, one of them gone with the holder; the root's plain slot
    // keeps the other.
    EXPECT_EQ(record->count, 1u);
    EXPECT_EQ(static_cast<Node*>(record->pointee())->value, 5);
    counted_ptr<Node> typed = counted_ptr<Node>::adopt(dynamic_cast<Node*>(record->pointee()), record);
    root->ref = nullptr;
    typed.release();
    EXPECT_EQ(live().size(), 1u);
}

TEST_F(ObjectStreamTest, WhatAPlainSlotHoldsOutlivesTheClaimsNothingKeeps) {
    // The root's plain link names Graph 0x20; something that nothing keeps
    // claims it too: a record no counted slot names, a record whose only
    // holder nothing refers to, an Owner nothing refers to.
    const Bytes lonelyRecord = countedRecord(2, 0x30, 1, 0x20);
    const struct {
        const char* claim;
        Bytes records;
    } rows[] = {
        {"record", lonelyRecord},
        {"held record", lonelyRecord + record(1, 0x50, graphBody(5, shared(0x30)))},
        {"owner", record(3, 0x40, references({0x20}))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.claim);
        Bytes stream = stream101({graphTag, recordTag, ownerTag}, record(1, 0x10, graphBody(1, hex({4}) + u32(0x20))) +
                                                                      record(1, 0x20, graphBody(2, Bytes())) + row.records);
        counted_ptr<Graph> root = read(stream).cast<Graph>();
        ASSERT_TRUE(root);
        ASSERT_NE(root->link, nullptr);
        EXPECT_EQ(live().count(root->link), 1u);
        EXPECT_EQ(root->link->value, 2);
        root.release();
        destroyAll();
    }
}
