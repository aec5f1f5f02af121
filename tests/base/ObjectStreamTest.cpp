// Reading object streams laid down byte by byte: the header, records,
// references and their fix-up, counted records and owners, and what a
// broken or hostile stream leaves behind. Each stream is read from a memory
// source and from one that can neither seek nor tell what is left.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "tests/base/StreamLayout.h"
#include "tests/base/StreamTestTypes.h"
#include "tests/base/StreamingSource.h"
#include "tests/support/LogCapture.h"

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
const char looseTag[] = "zanthorium::test::Loose";

// Bodies: a Node's (value, reference), a counted record's (count,
// pointee), a Holder's (record), a Graph's (value, the fields given, end).
Bytes node(int type, unsigned id, int value, unsigned link) { return record(type, id, u32(unsigned(value)) + u32(link)); }
Bytes counted(int type, unsigned id, unsigned count, unsigned pointee) { return record(type, id, u32(count) + u32(pointee)); }
Bytes holder(int type, unsigned id, unsigned held) { return record(type, id, u32(held)); }
Bytes graph(int type, unsigned id, int value, const Bytes& fields = {}) {
    return record(type, id, hex({1}) + u32(unsigned(value)) + fields + hex({0}));
}
Bytes link(unsigned id) { return hex({4}) + u32(id); }
Bytes shared(unsigned id) { return hex({5}) + u32(id); }
// A list of references, count first: an Owner's body, or after tag 6 a Graph's list.
Bytes references(const std::vector<unsigned>& ids) {
    Bytes out = compact(unsigned(ids.size()));
    for (unsigned id : ids)
        out = out + u32(id);
    return out;
}
Bytes list(const std::vector<unsigned>& ids) { return hex({6}) + references(ids); }
Bytes faulty(int fault) {
    return stream101({nodeTag, faultyTag}, node(1, 10, 5, 20) + node(1, 20, 6, 30) + node(2, 30, fault, 10));
}
// A Graph listing n Graphs of the values 0 to n - 1.
Bytes listOf(unsigned n) {
    std::vector<unsigned> ids;
    Bytes members;
    for (unsigned i = 0; i < n; ++i) {
        ids.push_back(100 + i);
        members = members + graph(1, 100 + i, int(i));
    }
    return stream101({graphTag}, graph(1, 1, 1000, list(ids)) + members);
}
std::string listShape(unsigned n) {
    std::string members, names;
    for (unsigned i = 0; i < n; ++i) {
        names += (i ? " @" : "@") + std::to_string(i + 2);
        members += ", G" + std::to_string(i);
    }
    return "G1000{[" + names + "]}" + members;
}

// What a read gave: the shape of the graph (and the count of the root's
// record when others hold it too), the postRead calls in order, how many
// test objects live and whether the source failed.
std::string outcome(const counted_ptr<Streamable>& root, const DataSource& source) {
    std::string s = root ? shape(root.get()) : "null";
    if (root.useCount() > 1)
        s += " *" + std::to_string(root.useCount());
    s += " | post";
    for (int value : postReads())
        s += " " + std::to_string(value);
    return s + " | live " + std::to_string(live().size()) + (source.fail() ? " failed" : " good");
}

struct Row {
    std::string name;
    Bytes stream;
    // outcome(), then how many test objects are left once the caller lets
    // go of the root: those only plain links reach, for an owner to delete.
    std::string outcome;
    // A fragment the log holds; empty when nothing is logged.
    std::string log;
    // A body that reads less than its length is passed over only where the
    // source can seek.
    bool seekable = false;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const std::string unreferenced = "1 unreferenced objects deleted";

std::vector<Row> rows() {
    const Bytes example = node(1, 0x1000, 42, 0x2000) + node(1, 0x2000, 7, 0);
    const Bytes rootGraph = graph(1, 10, 1, link(20)) + graph(1, 20, 2);
    std::vector<Row> rows = {
        {"AnEmptyStream", header101() + endMark, "null | post | live 0 good | left 0", ""},
        {"TheFormatsExample", stream101({nodeTag}, example), "N42>@2, N7 | post 42 7 | live 2 good | left 1", ""},
        {"Version100DeclaresTerminatedTags",
         text("ZanthaStream 1.00\n") + hex({0x3F, 1}) + text(nodeTag) + hex({0}) + example + endMark,
         "N42>@2, N7 | post 42 7 | live 2 good | left 1", ""},
        {"Version100DoesNotReadCompactLengthTags", text("ZanthaStream 1.00\n") + declare(1, nodeTag) + example + endMark,
         "null | post | live 0 failed | left 0", "no factory registered for a \"\x16zanthorium::test::Node"},
        {"UndeclaredTypeIsSkippedByItsLength",
         stream101({nodeTag}, hex({0x21, 5}) + u32(0x3000) + hex({3, 0xAA, 0xBB, 0xCC}) + example),
         "N42>@2, N7 | post 42 7 | live 2 good | left 1", ""},
        {"LargeTypeIdsGoToAMap",
         header101() + hex({0x3F, 0xFF, 0, 0, 1, 0, 22}) + text(nodeTag) + hex({0x21, 0xFF, 0, 0, 1, 0}) + u32(10) + hex({8}) +
             u32(5) + u32(0) + endMark,
         "N5 | post 5 | live 1 good | left 0", ""},
        {"ShortBodyDoesNotDisturbTheNextRecord",
         stream101({nodeTag}, hex({0x21, 1}) + u32(10) + hex({12}) + u32(42) + u32(20) + u32(0xEEEEEEEE) + node(1, 20, 7, 0)),
         "N42>@2, N7 | post 42 7 | live 2 good | left 1", "", true},
        {"WithoutTheEndMarkOnlyTheRootStays", header101() + declare(1, nodeTag) + example, "N42 | post | live 1 failed | left 0", ""},
        {"UnknownRecordByteStopsWithoutFixUp", stream101({nodeTag}, node(1, 10, 42, 10) + hex({0x40})),
         "N42 | post | live 1 good | left 0", ""},
        {"TwoReferencesToOneIdShareTheObject", stream101({nodeTag}, node(1, 10, 1, 30) + node(1, 20, 2, 30) + node(1, 30, 3, 20)),
         "N1>@2, N3>@3, N2>@2 | post 1 2 3 | live 3 good | left 2", ""},
        {"CountedObjectsGetPostReadFirstInIdOrder",
         stream101({nodeTag, countedTag}, node(1, 32, 32, 16) + node(2, 48, 48, 5) + node(1, 5, 5, 0) + node(2, 16, 16, 48)),
         "N32>@2, C16>@3, C48>@4, N5 | post 16 48 5 32 | live 4 good | left 3", ""},
        // Broken streams fail the read, log why and delete everything.
        {"ReferenceToAMissingId", stream101({nodeTag}, node(1, 10, 42, 30) + node(1, 20, 7, 0)), "null | post | live 0 failed | left 0",
         "Bad pointer"},
        {"TypeWithoutAFactory", stream101({nodeTag}, node(1, 10, 42, 0) + declare(2, "zanthorium::test::Ghost") + node(2, 20, 7, 0)),
         "null | post | live 0 failed | left 0", "no factory registered for a \"zanthorium::test::Ghost\""},
        {"HugeUnknownTagIsLoggedCut",
         header101() + hex({0x3F, 1, 0xFF}) + u32(20000) + text(std::string(20000, 'g')) + endMark,
         "null | post | live 0 failed | left 0", "\nStream reader: no factory registered for a \"ggg"},
        {"CountedRecordAsTheRoot", stream101({nodeTag, recordTag}, counted(2, 10, 1, 20) + node(1, 20, 1, 0)),
         "null | post | live 0 failed | left 0", "root is a counted-pointer record"},
        {"BodyThrowsALogicError", faulty(Faulty::throwLogicInRead), "null | post | live 0 failed | left 0", "broken body"},
        {"BodyThrowsSomethingElse", faulty(Faulty::throwOtherInRead), "null | post | live 0 failed | left 0", ""},
        // The root holds record 8 of Node 10; 10, 20 and 30 link in a ring,
        // which owns nothing; 40 is named by nothing.
        {"FailedPostReadDropsTheRootAsACallerWould",
         stream101({nodeTag, faultyTag, recordTag, holderTag}, holder(4, 5, 8) + counted(3, 8, 1, 10) + node(1, 10, 5, 20) +
                                                               node(1, 20, 6, 30) + node(2, 30, Faulty::throwInPostRead, 10) +
                                                               node(1, 40, 7, 0)),
         "null | post 5 6 3 | live 2 failed | left 2", "broken link"},
        {"HoldersShareACountedRecord",
         stream101({nodeTag, recordTag, holderTag}, holder(3, 100, 10) + counted(2, 10, 2, 1000) + node(1, 1000, 42, 0)),
         "H42{r1/1@2}, N42 | post 42 | live 2 good | left 0", ""},
        // A record's count is the number of its holders, lower or higher
        // than the stream says.
        {"CountRaisedToItsHolders",
         stream101({graphTag, recordTag}, graph(1, 1, 1, shared(10) + list({2, 3, 2})) + graph(1, 2, 2, shared(10)) +
                                              graph(1, 3, 3, shared(10)) + counted(2, 10, 0, 4) + graph(1, 4, 4)),
         "G1{s:r1/3@2 [@3 @4 @3]}, G4, G2{s:r1/3@2}, G3{s:r1/3@2} | post 1 2 3 4 | live 4 good | left 3", ""},
        {"CountLoweredToItsHolders",
         stream101({graphTag, recordTag}, graph(1, 1, 1, shared(10)) + counted(2, 10, 0xFFFFFFFF, 4) + graph(1, 4, 4)),
         "G1{s:r1/1@2}, G4 | post 1 4 | live 2 good | left 0", ""},
        {"CountedSlotReadTwiceKeepsTheLast",
         stream101({graphTag, recordTag}, graph(1, 1, 1, shared(10) + shared(11)) + counted(2, 10, 1, 2) + counted(2, 11, 1, 3) +
                                              graph(1, 2, 2) + graph(1, 3, 3)),
         "G1{s:r1/1@2}, G3 | post 1 2 3 | live 2 good | left 0", unreferenced},
        // A counted slot takes a record only when its pointee is of the
        // slot's type, and never the pointee itself.
        {"CountedSlotGivenAnotherTypeStaysNull",
         stream101({graphTag, recordTag, nodeTag}, graph(1, 1, 1, shared(10)) + counted(2, 10, 1, 20) + node(3, 20, 9, 0)),
         "G1 | post 1 9 | live 1 good | left 0", unreferenced},
        {"CountedSlotGivenTheObjectItselfStaysNull", stream101({nodeTag, holderTag}, holder(2, 1, 20) + node(1, 20, 9, 0)),
         "H-2{-} | post 9 | live 1 good | left 0", unreferenced},
        {"CountedHolderIsTypedThroughACrossCast",
         stream101({graphTag, recordTag, multiTag}, graph(1, 1, 1, hex({7}) + u32(10) + hex({8}) + u32(30)) + counted(2, 10, 1, 30) +
                                                        record(3, 30, hex({1}) + u32(77) + hex({3}) + u32(1) + hex({0}))),
         "G1{x:r1/1@2=77 m:@2}, M77{- @1} | post 1 | live 2 good | left 0", ""},
        // Owner 20 owns Graph 30, whose counted slot names record 40 of
        // Owner 20: no Graph, so nothing keeps the ring.
        {"RingThroughAHolderOfAnotherTypeIsFreed",
         stream101({nodeTag, ownerTag, graphTag, recordTag}, node(1, 10, 1, 0) + record(2, 20, references({30})) +
                                                                 graph(3, 30, 3, shared(40)) + counted(4, 40, 1, 20)),
         "N1 | post 1 3 | live 1 good | left 0", unreferenced},
        // The Owner keeps Graph 40; record 30 (or 8, met first) holds nothing.
        {"RecordNeverOwnsWhatAnOwnerTook",
         stream101({ownerTag, graphTag, recordTag},
                   record(1, 10, references({20, 40})) + graph(2, 20, 2, shared(30)) + counted(3, 30, 1, 40) + graph(2, 40, 4)),
         "O[@2 @3], G2, G4 | post 2 4 | live 3 good | left 0", unreferenced},
        {"RecordMetFirstNeverOwnsWhatAnOwnerTook",
         stream101({ownerTag, graphTag, recordTag},
                   record(1, 10, references({20, 40})) + graph(2, 20, 2, shared(8)) + counted(3, 8, 1, 40) + graph(2, 40, 4)),
         "O[@2 @3], G2, G4 | post 2 4 | live 3 good | left 0", unreferenced},
        {"RecordOwnsWhatOnlyPlainSlotsReferTo",
         stream101({graphTag, recordTag}, graph(1, 1, 1, link(2) + shared(3) + list({2})) + counted(2, 3, 1, 2) + graph(1, 2, 2)),
         "G1{>@2 s:r1/1@2 [@2]}, G2 | post 1 2 | live 2 good | left 0", ""},
        // Records 10 and 11 both claim 40; 12 claims itself; 13 claims 10.
        {"ARecordOwnsItsObjectAloneAndOwnsNoRecord",
         stream101({graphTag, recordTag}, graph(1, 1, 1, shared(10) + list({2, 3, 5})) + graph(1, 2, 2, shared(11)) +
                                              graph(1, 3, 3, shared(12)) + graph(1, 5, 5, shared(13)) + counted(2, 10, 1, 40) +
                                              counted(2, 11, 1, 40) + counted(2, 12, 1, 12) + counted(2, 13, 1, 10) +
                                              graph(1, 40, 4)),
         "G1{s:r1/1@2 [@3 @4 @5]}, G4, G2, G3, G5 | post 1 2 3 5 4 | live 5 good | left 3", "3 unreferenced objects deleted"},
        {"OwnersAreNeverGivenTheRoot",
         stream101({ownerTag}, record(1, 1, references({1, 2})) + record(1, 2, references({1}))),
         "O[@2], O[] | post | live 2 good | left 0", "owners named the root 2 times"},
        // The root's counted slot holds a record of the root, which an
        // Owner nothing refers to may list too.
        {"RootHeldByARecordSharesIt",
         stream101({graphTag, recordTag}, graph(1, 1, 1, shared(3)) + counted(2, 3, 1, 1)),
         "G1{s:r1/2@1} *2 | post 1 | live 1 good | left 1", ""},
        {"RootHeldByARecordIsNotGivenToAnOwner",
         stream101({graphTag, recordTag, ownerTag}, graph(1, 1, 1, shared(3)) + counted(2, 3, 1, 1) + record(3, 2, references({1}))),
         "G1{s:r1/2@1} *2 | post 1 | live 1 good | left 1", "owners named the root 1 times"},
        {"RootSurvivesARecordNothingHolds",
         stream101({nodeTag, recordTag}, node(1, 1000, 42, 0) + counted(2, 10, 1, 1000)), "N42 | post 42 | live 1 good | left 0", ""},
        {"RootSurvivesARecordOfAHolderNothingRefersTo",
         stream101({nodeTag, recordTag, holderTag}, node(1, 1000, 42, 0) + holder(3, 100, 10) + counted(2, 10, 1, 1000)),
         "N42 | post 42 | live 1 good | left 0", unreferenced},
        // The root's plain link names Graph 20, which something nothing
        // keeps claims too: the claim goes, the Graph stays.
        {"PlainSlotsObjectOutlivesALonelyRecord",
         stream101({graphTag, recordTag}, rootGraph + counted(2, 30, 1, 20)), "G1{>@2}, G2 | post 1 2 | live 2 good | left 1",
         unreferenced},
        {"PlainSlotsObjectOutlivesARecordOfAnUnheldHolder",
         stream101({graphTag, recordTag}, rootGraph + counted(2, 30, 1, 20) + graph(1, 50, 5, shared(30))),
         "G1{>@2}, G2 | post 1 2 5 | live 2 good | left 1", unreferenced},
        {"PlainSlotsObjectOutlivesAnUnheldOwner",
         stream101({graphTag, ownerTag}, rootGraph + record(2, 40, references({20}))), "G1{>@2}, G2 | post 1 2 | live 3 good | left 2",
         ""},
        // The data cannot hold the list, so it is not taken; the body's
        // length puts the reader back before the end mark.
        {"LyingListCountCostsNoMemory",
         stream101({graphTag}, hex({0x21, 1}) + u32(1) + hex({20, 1}) + u32(1) + hex({6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + u32(1) +
                                   u32(0) + hex({0})),
         "G1 | post 1 | live 1 good | left 0", "Size=weird\n", true},
        {"ListOf20", listOf(20), listShape(20) + " | post 1000 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 | live 21 good | left 20", ""},
        {"ListOf21LogsSizeWeird", listOf(21),
         listShape(21) + " | post 1000 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 | live 22 good | left 21", "Size=weird\n"},
    };
    for (const char* header : {"ZanthaStream 1.1\n", "ZanthaStream1.01\n", "ZanthaStream 0.101\n", "ZanthaStream 1.01 x\n",
                               "ZanthaStream 1.01\r\n", "ZanthaStream 1.01\r", "ZanthaStream   +1.01\n"})
        rows.push_back({"HeaderScannedAsTheCLibraryDoes" + std::to_string(rows.size()),
                        text(header) + declare(1, nodeTag) + example + endMark, "N42>@2, N7 | post 42 7 | live 2 good | left 1", ""});
    for (const char* header : {"ZanthaStream 1.02\n", "ZanthaStream 2.00\n", "ZanthaStream 1\n", "zanthastream 1.01\n",
                               "ZanthaStream .01\n", "\n"})
        rows.push_back({"HeaderRefused" + std::to_string(rows.size()), text(header) + declare(1, nodeTag) + example + endMark,
                        "null | post | live 0 good | left 0", ""});
    return rows;
}

class HandBuiltStream : public StreamObjectsTest, public ::testing::WithParamInterface<Row> {};

TEST_P(HandBuiltStream, ReadsAsItShould) {
    const Row& row = GetParam();
    for (bool streaming : {false, !row.seekable}) {
        SCOPED_TRACE(streaming ? "streaming" : "memory");
        postReads().clear();
        LogCapture log;
        std::unique_ptr<DataSource> source;
        if (streaming)
            source = std::make_unique<StreamingSource>(row.stream);
        else
            source = std::make_unique<MemoryDataSource>(row.stream.data(), unsigned(row.stream.size()), false);
        registerTypes(*source);
        counted_ptr<Streamable> root = StreamReader::read(*source);
        std::string got = outcome(root, *source);
        root.release();
        EXPECT_EQ(got + " | left " + std::to_string(live().size()), row.outcome);
        EXPECT_EQ(source->context, nullptr);
        if (row.log.empty())
            EXPECT_EQ(log.text(), "");
        else
            EXPECT_NE(log.text().find(row.log), std::string::npos) << log.text();
        destroyAll();
    }
}

INSTANTIATE_TEST_SUITE_P(ObjectStream, HandBuiltStream, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

using ObjectStreamTest = StreamObjectsTest;

// Version 1.00 declares tags as terminated texts, 1.01 with a compact
// length; the source is left in that string mode.
TEST_F(ObjectStreamTest, BodiesKnowTheVersion) {
    static int seen = 0;
    struct Versioned : Node {
        void read(DataSource& source) override {
            seen = source.context->version();
            Node::read(source);
        }
    };
    for (int version : {100, 101}) {
        Bytes tag = version == 100 ? text(nodeTag) + hex({0}) : hex({22}) + text(nodeTag);
        Bytes stream = text("ZanthaStream 1.0" + std::to_string(version - 100) + "\n") + hex({0x3F, 1}) + tag +
                       node(1, 10, 1, 0) + endMark;
        MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
        StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Versioned); });
        EXPECT_TRUE(StreamReader::read(source));
        EXPECT_EQ(seen, version);
        EXPECT_EQ(source.stringMode, version == 100 ? stringTerminated : stringCompactLength);
    }
}

// A factory is registered once per tag, with the types it registers in
// turn; registration attaches a reader to the source, a read lets it go.
TEST_F(ObjectStreamTest, FactoriesAndTheReadersLife) {
    static int registered = 0, madeBy = 0;
    struct Registrar : Node {
        explicit Registrar(int by) { madeBy = by; }
        void registerTypes(DataSource& source) override {
            ++registered;
            StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(1)); });
        }
        const char* typeName() const override { return "zanthorium::test::Registrar"; }
    };
    Bytes stream = stream101({"zanthorium::test::Registrar"}, node(1, 10, 5, 0)) + stream101({nodeTag}, node(1, 10, 5, 0));
    MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(1)); });
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Registrar(2)); });
    EXPECT_EQ(registered, 1);
    EXPECT_EQ(source.readerTag, static_cast<void*>(source.context));
    madeBy = 0;
    EXPECT_TRUE(StreamReader::read(source));
    EXPECT_EQ(madeBy, 1);
    EXPECT_EQ(source.context, nullptr);
    EXPECT_EQ(source.readerTag, nullptr);
    // The second stream needs its types again.
    LogCapture log;
    EXPECT_FALSE(StreamReader::read(source));
    EXPECT_NE(log.text().find("no factory registered"), std::string::npos);

    // Without a reader references read nothing; a reader never used goes
    // with its source (the leak checker watches).
    Bytes bytes = u32(0x1000);
    MemoryDataSource plain(bytes.data(), unsigned(bytes.size()), false);
    Node other;
    Streamable* slot = &other;
    plain.readStreamable(slot);
    plain.noteCountedPtr();
    EXPECT_EQ(slot, &other);
    EXPECT_EQ(plain.position(), 0u);
    registerTypes(plain);
}

// A finisher every body asks for is made once per read and runs once,
// after every postRead and before node 30, which nothing refers to, is
// deleted; a read that stops short deletes it unrun; without a reader
// there is none.
TEST_F(ObjectStreamTest, AFinisherRunsOnceTheWholeStreamIsRead) {
    static int made = 0, finished = 0, gone = 0;
    static std::size_t postReadsThen = 0, aliveThen = 0;
    struct Finisher : ReadFinisher {
        Finisher() { ++made; }
        ~Finisher() override { ++gone; }
        void finish() override { ++finished, postReadsThen = postReads().size(), aliveThen = live().size(); }
        static ReadFinisher* make() { return new Finisher; }
    };
    struct Asking : Node {
        void read(DataSource& source) override { source.finisher(&Finisher::make), Node::read(source); }
    };
    const Bytes whole = stream101({nodeTag}, node(1, 10, 1, 20) + node(1, 20, 2, 0) + node(1, 30, 3, 0));
    for (const Bytes& bytes : {whole, Bytes(whole.begin(), whole.end() - 1)}) {
        MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
        StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Asking); });
        EXPECT_TRUE(StreamReader::read(source));
    }
    EXPECT_TRUE(made == 2 && finished == 1 && gone == 2 && postReadsThen == 3 && aliveThen == 3);
    MemoryDataSource plain(whole.data(), unsigned(whole.size()), false);
    EXPECT_EQ(plain.finisher(&Finisher::make), nullptr);
}

// A list of references comes back sized to its count. Without a reader only
// the count is read, and the elements stay as they were (new ones null). A
// list whose data ends before its last id is not taken: the source fails
// and the vector stays as it was.
TEST_F(ObjectStreamTest, AListIsSizedToItsCountOrNotTaken) {
    Node a, b, c;
    const std::vector<Node*> before{&a, &b, &c};
    const struct {
        const char* name;
        Bytes bytes;
        bool reader, streaming;
        std::vector<Node*> after;
        unsigned read;  // bytes taken
    } rows[] = {
        {"shorter", references({1, 2}), false, false, {&a, &b}, 1},
        {"longer", references({1, 2, 3, 4, 5}), false, false, {&a, &b, &c, nullptr, nullptr}, 1},
        {"empty", references({}), false, false, {}, 1},
        {"read by a reader", references({0, 0}), true, false, {nullptr, nullptr}, 9},
        {"ids cut short", compact(5) + u32(1) + u32(2), false, false, before, 0},
        {"ids cut short, by a reader", compact(5) + u32(1) + u32(2), true, false, before, 0},
        {"ids cut short, streamed to a reader", compact(5) + u32(1) + u32(2), true, true, before, 0},
        {"no count", {}, true, false, before, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<DataSource> source;
        if (row.streaming)
            source = std::make_unique<StreamingSource>(row.bytes);
        else
            source = std::make_unique<MemoryDataSource>(row.bytes.data(), unsigned(row.bytes.size()), false);
        if (row.reader)
            registerTypes(*source);
        std::vector<Node*> got = before;
        *source >> got;
        EXPECT_EQ(got, row.after);
        EXPECT_EQ(source->fail(), row.read == 0);
        if (!row.streaming && row.read > 0) {
            EXPECT_EQ(static_cast<MemoryDataSource&>(*source).position(), row.read);
        }
    }
}

// Root 5 and Holder 20, which nothing refers to, name record 8: the root's
// plain slot keeps a count of the record.
TEST_F(ObjectStreamTest, PlainSlotGivenARecordHoldsACount) {
    Bytes stream = stream101({nodeTag, recordTag, holderTag, looseTag},
                             record(4, 5, u32(8)) + counted(2, 8, 1, 10) + node(1, 10, 5, 0) + holder(3, 20, 8));
    MemoryDataSource source(stream.data(), unsigned(stream.size()), false);
    registerTypes(source);
    counted_ptr<Loose> root = StreamReader::read(source).cast<Loose>();
    ASSERT_TRUE(root);
    EXPECT_EQ(shape(root.get()), "L{r1/1@2}, N5");
    auto* record = dynamic_cast<CountedRecord*>(root->ref);
    counted_ptr<Node>::adopt(dynamic_cast<Node*>(record->pointee()), record).release();
    EXPECT_EQ(live().size(), 1u);
}

}  // namespace
