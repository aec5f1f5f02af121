// Writing object streams: the exact layout the reader takes, and round
// trips of graphs with shared objects, cycles, counted pointers and
// classes whose Streamable part is not their first base.
#include <gtest/gtest.h>

#include <map>
#include <queue>

#include "tests/support/LogCapture.h"
#include "tests/support/StreamRoundTrip.h"
#include "tests/support/TempFolder.h"
#include "base/FileDataDest.h"
#include "base/FileDataSource.h"
#include "tests/base/StreamLayout.h"
#include "tests/base/StreamTestTypes.h"

using namespace orvel;
using namespace streamtest;

namespace {

using StreamWriterTest = StreamObjectsTest;

// Walks two graphs side by side from their roots and checks that they are
// the same shape with the same values: every reference of one matches the
// reference of the other, sharing and counts included.
class SameGraph {
public:
    // heldOutside: a record of b's graph that the caller holds as well.
    void expect(Streamable* a, Streamable* b, CountedRecord* heldOutside = nullptr) {
        if (heldOutside)
            holdersOf_[heldOutside] = 1;
        pair(a, b);
        while (!queue_.empty()) {
            auto [x, y] = queue_.front();
            queue_.pop();
            if (auto* g = dynamic_cast<Graph*>(x)) {
                auto* h = dynamic_cast<Graph*>(y);
                ASSERT_NE(h, nullptr);
                EXPECT_EQ(g->value, h->value);
                EXPECT_EQ(g->name, h->name);
                EXPECT_EQ(g->weight, h->weight);
                pair(g->link, h->link);
                holders(g->shared, h->shared);
                ASSERT_EQ(g->list.size(), h->list.size());
                for (size_t i = 0; i < g->list.size(); ++i)
                    pair(g->list[i], h->list[i]);
                holders(g->extra, h->extra);
                pair(g->multi, h->multi);
            } else if (auto* m = dynamic_cast<MultiNode*>(x)) {
                auto* n = dynamic_cast<MultiNode*>(y);
                ASSERT_NE(n, nullptr);
                EXPECT_EQ(m->payload, n->payload);
                holders(m->next, n->next);
                pair(m->back, n->back);
            } else {
                ADD_FAILURE() << "unexpected object";
            }
        }
        // Every record read back is counted once per holder in the graph.
        for (auto& [record, holders] : holdersOf_)
            EXPECT_EQ(record->count, holders);
    }

private:
    template <class T>
    void pair(T* a, T* b) {
        pair(static_cast<Streamable*>(a), static_cast<Streamable*>(b));
    }
    void pair(Streamable* a, Streamable* b) {
        ASSERT_EQ(a == nullptr, b == nullptr);
        if (!a)
            return;
        auto found = seen_.find(a);
        if (found != seen_.end()) {
            EXPECT_EQ(found->second, b);
            return;
        }
        seen_[a] = b;
        queue_.push({a, b});
    }
    template <class T>
    void holders(const counted_ptr<T>& a, const counted_ptr<T>& b) {
        ASSERT_EQ(a.record() == nullptr, b.record() == nullptr);
        if (!a.record())
            return;
        auto found = records_.find(a.record());
        if (found != records_.end()) {
            EXPECT_EQ(found->second, b.record());
        }
        records_[a.record()] = b.record();
        ++holdersOf_[b.record()];
        pair(a.record()->pointee(), b.record()->pointee());
    }

    std::map<Streamable*, Streamable*> seen_;
    std::map<CountedRecord*, CountedRecord*> records_;
    std::map<CountedRecord*, unsigned> holdersOf_;
    std::queue<std::pair<Streamable*, Streamable*>> queue_;
};

}  // namespace

TEST_F(StreamWriterTest, WritesTheLayoutTheReaderReads) {
    Node a(42), b(7);
    a.link = &b;
    EXPECT_EQ(writeStream(&a),
              stream101({"zanthorium::test::Node"}, record(1, 1, u32(42) + u32(2)) + record(1, 2, u32(7) + u32(0))));
}

TEST_F(StreamWriterTest, DeclaresEachTypeOnceBeforeItsFirstObject) {
    Node a(1), c(3);
    CountedNode b;
    b.value = 2;
    a.link = &b;
    b.link = &c;
    c.link = &a;
    StreamBytes expected = header101() + declare(1, "zanthorium::test::Node") + record(1, 1, u32(1) + u32(2)) +
                           declare(2, "zanthorium::test::CountedNode") + record(2, 2, u32(2) + u32(3)) +
                           record(1, 3, u32(3) + u32(1)) + endMark;
    EXPECT_EQ(writeStream(&a), expected);
}

TEST_F(StreamWriterTest, CountedHolderIsWrittenAsItsRecordWithTheStreamsCount) {
    Holder h1;
    h1.node = counted_ptr<Node>(new Node(9));
    counted_ptr<Node> outside = h1.node;
    EXPECT_EQ(outside.useCount(), 2u);
    StreamBytes expected = header101() + declare(1, "zanthorium::test::Holder") + record(1, 1, u32(2)) +
                           declare(2, "internals::counted_ptr::orvel") + record(2, 2, u32(1) + u32(3)) +
                           declare(3, "zanthorium::test::Node") + record(3, 3, u32(9) + u32(0)) + endMark;
    EXPECT_EQ(writeStream(&h1), expected);
}

TEST_F(StreamWriterTest, NullRootGivesAnEmptyStream) {
    MemoryDataDest dest;
    EXPECT_TRUE(StreamWriter::write(dest, nullptr));
    StreamBytes bytes(dest.data(), dest.data() + dest.size());
    EXPECT_EQ(bytes, header101() + endMark);
    MemoryDataSource source(dest.data(), dest.size(), false);
    registerTypes(source);
    EXPECT_FALSE(StreamReader::read(source));
    EXPECT_TRUE(source.good());
}

TEST_F(StreamWriterTest, OutsideAWriterReferencesWriteNothing) {
    Node a(1), b(2);
    Holder h;
    h.node = counted_ptr<Node>(new Node(3));
    MemoryDataDest dest;
    dest.writeStreamable(&a);
    dest.writeStreamable(h.node);
    dest.writeStreamable(nullptr);
    std::vector<Node*> list{&a, &b};
    dest << list;
    ASSERT_EQ(dest.size(), 1u);
    EXPECT_EQ(dest.data()[0], 2);
}

TEST_F(StreamWriterTest, SinkSettingsDoNotChangeTheStream) {
    Node a(0x01020304), b(7);
    a.link = &b;
    StreamBytes plain = writeStream(&a);
    MemoryDataDest dest;
    dest.swap = true;
    dest.setStringMode(stringTerminated);
    EXPECT_TRUE(StreamWriter::write(dest, &a));
    EXPECT_EQ(StreamBytes(dest.data(), dest.data() + dest.size()), plain);
    EXPECT_TRUE(dest.swap);
    EXPECT_EQ(dest.stringMode, stringTerminated);
}

TEST_F(StreamWriterTest, FailingSinkIsReported) {
    Node a(1);
    FileDataDest dest(nullptr);
    EXPECT_FALSE(StreamWriter::write(dest, &a));
}

TEST_F(StreamWriterTest, ThrowingWriteFailsTheSinkAndIsLogged) {
    struct Broken : Node {
        void write(DataDest&) override { throw std::logic_error("cannot write"); }
    };
    LogCapture log;
    Node a(1);
    Broken b;
    a.link = &b;
    MemoryDataDest dest;
    EXPECT_FALSE(StreamWriter::write(dest, &a));
    EXPECT_FALSE(dest.good());
    EXPECT_EQ(log.text(), "Stream writer: cannot write\n");
}

TEST_F(StreamWriterTest, ObjectNamedOnlyWhenBodiesAreWrittenIsWrittenToo) {
    struct Fickle : Node {
        int runs = 0;
        Node* late = nullptr;
        void write(DataDest& dest) override {
            link = ++runs == 2 ? late : nullptr;
            Node::write(dest);
        }
    };
    Fickle a;
    Node b(5);
    a.late = &b;
    counted_ptr<Node> root = readStream(writeStream(&a), registerTypes).cast<Node>();
    ASSERT_TRUE(root);
    ASSERT_NE(root->link, nullptr);
    EXPECT_EQ(root->link->value, 5);
}

TEST_F(StreamWriterTest, RandomGraphsComeBackTheSame) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Graph* original = randomGraph(10 + seed * 7, seed);
        StreamBytes bytes = writeStream(original);
        counted_ptr<Graph> copy = readStream(bytes, registerTypes).cast<Graph>();
        ASSERT_TRUE(copy) << seed;
        SameGraph().expect(original, copy.get());
        // Written again, the copy gives the very same bytes.
        EXPECT_EQ(writeStream(copy.get()), bytes) << seed;
        copy.release();
        destroyAll();
        ASSERT_TRUE(live().empty()) << seed;
    }
}

TEST_F(StreamWriterTest, OwnerTreeComesBackOwnedAsItWas) {
    Owner* original = ownerTree();
    size_t made = live().size();
    StreamBytes bytes = writeStream(original);
    LogCapture log;
    counted_ptr<Owner> copy = readStream(bytes, registerTypes).cast<Owner>();
    ASSERT_TRUE(copy);
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(live().size(), 2 * made);
    ASSERT_EQ(copy->owned.size(), 3u);
    auto* middle = dynamic_cast<Owner*>(copy->owned[0]);
    ASSERT_NE(middle, nullptr);
    ASSERT_EQ(middle->owned.size(), 2u);
    auto* inner = dynamic_cast<Owner*>(middle->owned[1]);
    ASSERT_NE(inner, nullptr);
    ASSERT_EQ(inner->owned.size(), 2u);
    auto* g0 = dynamic_cast<Graph*>(copy->owned[1]);
    auto* g3 = dynamic_cast<Graph*>(inner->owned[0]);
    ASSERT_NE(g0, nullptr);
    ASSERT_NE(g3, nullptr);
    // The Graph outside the tree is shared by its two holders' record.
    ASSERT_TRUE(g0->shared);
    EXPECT_EQ(g0->shared.record(), g3->shared.record());
    EXPECT_EQ(g0->shared.useCount(), 2u);
    EXPECT_EQ(g0->shared->value, -1);
    EXPECT_EQ(writeStream(copy.get()), bytes);
    // The owners and records take the whole copy down with the root.
    copy.release();
    EXPECT_EQ(live().size(), made);
    delete original;
    EXPECT_TRUE(live().empty());
}

TEST_F(StreamWriterTest, CountedCycleComesBackAndCanBeBroken) {
    Graph* a = new Graph;
    a->value = 1;
    counted_ptr<Graph> b(new Graph);
    b->value = 2;
    a->shared = b;
    b->shared = counted_ptr<Graph>(a);
    b->link = b.get();
    counted_ptr<Graph> copy = readStream(writeStream(a), registerTypes).cast<Graph>();
    ASSERT_TRUE(copy);
    ASSERT_TRUE(copy->shared);
    EXPECT_EQ(copy->shared->value, 2);
    EXPECT_EQ(copy->shared->link, copy->shared.get());
    // The root's own record comes back held by b and by the caller.
    EXPECT_EQ(copy->shared->shared.get(), copy.get());
    EXPECT_EQ(copy.useCount(), 2u);
    EXPECT_EQ(copy->shared.useCount(), 1u);
    copy->shared->shared.release();
    EXPECT_EQ(live().size(), 4u);
    copy.release();
    EXPECT_EQ(live().size(), 2u);
    b->shared.release();
    b.release();
}

TEST_F(StreamWriterTest, RootWhoseStreamablePartIsNotFirst) {
    counted_ptr<MultiNode> root(new MultiNode);
    root->payload = 31;
    root->next = counted_ptr<Graph>(new Graph);
    root->next->value = 8;
    root->next->extra = root.cast<Extra>();
    root->next->multi = root.get();
    root->back = root->next.get();

    MemoryDataDest dest;
    ASSERT_TRUE(StreamWriter::write(dest, root));
    MemoryDataSource source(dest.data(), dest.size(), false);
    registerTypes(source);
    counted_ptr<MultiNode> copy = StreamReader::read(source).cast<MultiNode>();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->payload, 31);
    ASSERT_TRUE(copy->next);
    EXPECT_EQ(copy->next->value, 8);
    EXPECT_EQ(copy->back, copy->next.get());
    EXPECT_EQ(copy->next->multi, copy.get());
    EXPECT_EQ(copy->next->extra.get(), static_cast<Extra*>(copy.get()));
    EXPECT_EQ(copy->next->extra.record(), copy.record());
    SameGraph().expect(root.get(), copy.get(), copy.record());

    copy->next->extra.release();
    copy.release();
    root->next->extra.release();
    root.release();
}

TEST_F(StreamWriterTest, ManyObjectsOutgrowTheReadyTablesThroughAFile) {
    TempFolder folder;
    std::string name = folder / "graph.stream";
    Graph* original = randomGraph(5000, 5);
    {
        FileDataDest dest(name.c_str());
        ASSERT_TRUE(StreamWriter::write(dest, original));
    }
    FileDataSource source(name.c_str());
    registerTypes(source);
    counted_ptr<Graph> copy = StreamReader::read(source).cast<Graph>();
    ASSERT_TRUE(copy);
    SameGraph().expect(original, copy.get());
    copy.release();
}
