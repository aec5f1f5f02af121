// Graphs of every kind of reference through the stream contract: each comes
// back the same and writes the same bytes again, and cut at every length or
// damaged, a read ends, touches nothing outside its data or its objects (the
// sanitizers watch), leaks nothing, and asks for no more memory than the
// bytes could fill.
#include <gtest/gtest.h>

#include "base/Debug.h"
#include "tests/base/AllocationWatch.h"
#include "tests/base/StreamTestTypes.h"
#include "tests/support/StreamContract.h"

using namespace orvel;
using namespace streamtest;

namespace {

class ObjectStreamContract : public StreamObjectsTest {
protected:
    void SetUp() override {
        StreamObjectsTest::SetUp();
        sink_ = std::fopen("/dev/null", "w");  // the log's formatting runs too, into nowhere
        setDebugFile(sink_);
    }
    void TearDown() override {
        setDebugFile(nullptr);
        std::fclose(sink_);
        StreamObjectsTest::TearDown();
    }

    // Tagged: the graph has only Graphs and MultiNodes, whose bodies are
    // tagged blocks that pass over an unknown tag.
    ::testing::AssertionResult meetsContract(Streamable* root, bool tagged) {
        support::StreamContract c;
        c.registerTypes = registerTypes;
        c.shape = [](Streamable* read) { return shape(read); };
        c.use = [](Streamable* read) { shape(read); };
        c.unknownTag = tagged ? 99 : 0;
        c.taggedTypes = "zanthorium::test::";
        c.mutations = 3000;
        // The tables sized for ordinary scenes, and then no more than a few
        // words per byte of data.
        const size_t bound = 2 * 65536 + 64 * (writeStream(root).size() + 64);
        AllocationWatch watch;
        ::testing::AssertionResult met = support::meetsStreamContract(root, c);
        if (met && watch.largest() > bound)
            return ::testing::AssertionFailure() << "an allocation of " << watch.largest() << " bytes";
        return met;
    }

private:
    FILE* sink_ = nullptr;
};

}  // namespace

TEST_F(ObjectStreamContract, RandomGraphs) {
    for (unsigned seed = 1; seed <= 6; ++seed)
        EXPECT_TRUE(meetsContract(randomGraph(4 + seed * 5, seed), true)) << seed;
}

// Owners, whose ids swapped make records and owners claim one object and
// owners name the root; a chain of the plain classes.
TEST_F(ObjectStreamContract, OwnersAndChains) {
    EXPECT_TRUE(meetsContract(ownerTree(), false));
    Node* head = new Node(1);
    auto* counted = new CountedNode;
    auto* harmless = new Faulty;
    head->link = counted;
    counted->link = harmless;
    harmless->link = new Node(4);
    EXPECT_TRUE(meetsContract(head, false));
}

// Objects held by a plain link and a counted holder at once (a holder lost
// leaves its record claiming what the link holds), and roots held by their
// own graph: the originals are held from outside as well, as the caller
// holds what a read gives, so that the counts match.
TEST_F(ObjectStreamContract, SharedObjectsAndRootsHeldByTheirGraph) {
    Graph* root = new Graph;
    Graph* keeper = new Graph;
    root->link = new Graph;
    root->link->value = 3;
    keeper->value = 2;
    keeper->shared = counted_ptr<Graph>(root->link);
    root->list = {keeper, root->link};
    EXPECT_TRUE(meetsContract(root, true));

    Graph* a = new Graph;
    a->value = 1;
    a->shared = counted_ptr<Graph>(new Graph);
    a->shared->link = a->shared.get();
    a->shared->shared = counted_ptr<Graph>(a);
    counted_ptr<Graph> outside = a->shared->shared;
    EXPECT_TRUE(meetsContract(a, true));

    counted_ptr<MultiNode> multi(new MultiNode);
    multi->payload = 31;
    multi->next = counted_ptr<Graph>(new Graph);
    multi->next->extra = multi.cast<Extra>();
    multi->next->multi = multi.get();
    multi->back = multi->next.get();
    EXPECT_EQ(shape(multi.get()), "M31{r1/1@2 @2}, G0{x:r2/2@1=31 m:@1}");
    EXPECT_TRUE(meetsContract(multi.get(), true));
}
