// Thousands of damaged streams: valid ones with bytes flipped, cut at
// every length, given lying lengths, counts and ids, with records lost or
// repeated. Whatever the bytes, a read ends, touches nothing outside its
// data or its objects (the sanitizers watch), leaks nothing, and asks for
// no more memory than the bytes could fill.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "tests/support/StreamRoundTrip.h"
#include "tests/base/AllocationWatch.h"
#include "tests/base/StreamLayout.h"
#include "base/Debug.h"
#include "tests/base/StreamTestTypes.h"
#include "tests/base/StreamingSource.h"

using namespace orvel;
using namespace streamtest;

namespace {

// Streams to damage: graphs of every kind of reference, a chain of the
// plain test classes, owners (whose ids, swapped, make records and owners
// claim one object, and owners name the root), an object that a plain link
// and a counted holder share (a lost or renamed holder leaves its record
// claiming what the link holds), and a version 1.00 stream.
std::vector<StreamBytes> validStreams() {
    std::vector<StreamBytes> streams;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Graph* g = randomGraph(4 + seed * 5, seed);
        streams.push_back(writeStream(g));
        destroyAll();
    }
    {
        Node* head = new Node(1);
        CountedNode* counted = new CountedNode;
        Faulty* harmless = new Faulty;
        head->link = counted;
        counted->link = harmless;
        harmless->link = new Node(4);
        streams.push_back(writeStream(head));
        destroyAll();
    }
    streams.push_back(writeStream(ownerTree()));
    destroyAll();
    {
        Graph* root = new Graph;
        Graph* keeper = new Graph;
        root->link = new Graph;
        root->link->value = 3;
        keeper->value = 2;
        keeper->shared = counted_ptr<Graph>(root->link);
        root->list = {keeper, root->link};
        streams.push_back(writeStream(root));
        destroyAll();
    }
    streams.push_back(text("ZanthaStream 1.00\n") + hex({0x3F, 0x01}) + text("zanthorium::test::Node") + hex({0}) +
                      record(1, 0x1000, u32(42) + u32(0x2000)) + record(1, 0x2000, u32(7) + u32(0)) + endMark);
    return streams;
}

// Every plain slot of every object alive holds an object alive: a read
// never frees what a slot it filled still points at.
bool slotsHoldLiveObjects() {
    auto alive = [](Streamable* p) { return !p || live().count(p) == 1; };
    for (Streamable* o : live()) {
        if (auto* node = dynamic_cast<Node*>(o); node && !alive(node->link))
            return false;
        if (auto* multi = dynamic_cast<MultiNode*>(o); multi && !alive(multi->back))
            return false;
        if (auto* graph = dynamic_cast<Graph*>(o)) {
            if (!alive(graph->link) || !alive(graph->multi))
                return false;
            for (Graph* g : graph->list)
                if (!alive(g))
                    return false;
        }
        if (auto* owner = dynamic_cast<Owner*>(o))
            for (Streamable* owned : owner->owned)
                if (!alive(owned))
                    return false;
    }
    return true;
}

StreamBytes mutate(StreamBytes bytes, std::mt19937& random) {
    auto at = [&] { return bytes.empty() ? size_t(0) : size_t(random() % bytes.size()); };
    for (unsigned rounds = random() % 4 == 0 ? 2 + random() % 2 : 1; rounds > 0 && !bytes.empty(); --rounds) {
        size_t p = at();
        switch (random() % 10) {
        case 0: bytes[p] ^= (unsigned char)(1 + random() % 255); break;
        case 1: {
            static const unsigned char special[] = {0x00, 0x01, 0x02, 0x05, 0x21, 0x23, 0x3F, 0xFE, 0xFF};
            bytes[p] = special[random() % sizeof special];
            break;
        }
        case 2:  // a lying compact value
            bytes.insert(bytes.begin() + long(p), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
            break;
        case 3: {  // a lying 32-bit word: a length, a count or an id
            unsigned v = random() % 2 ? unsigned(random()) : 0xFFFFFFF0u + random() % 16;
            for (int i = 0; i < 4 && p + i < bytes.size(); ++i)
                bytes[p + i] = (unsigned char)(v >> (8 * i));
            break;
        }
        case 4: {  // a record lost
            size_t n = std::min<size_t>(1 + random() % 24, bytes.size() - p);
            bytes.erase(bytes.begin() + long(p), bytes.begin() + long(p + n));
            break;
        }
        case 5: {  // a record repeated
            size_t n = std::min<size_t>(1 + random() % 24, bytes.size() - p);
            StreamBytes copy(bytes.begin() + long(p), bytes.begin() + long(p + n));
            bytes.insert(bytes.begin() + long(at()), copy.begin(), copy.end());
            break;
        }
        case 6: bytes.resize(at()); break;
        case 7:  // another object's id, a record's, a missing one, or null
            for (unsigned v = random() % 48, i = 0; i < 4 && p + i < bytes.size(); ++i)
                bytes[p + i] = (unsigned char)(i == 0 ? v : 0);
            break;
        case 8:  // a body a little longer or shorter
            bytes[p] = (unsigned char)(bytes[p] + int(random() % 7) - 3);
            break;
        default: bytes[p] = (unsigned char)(bytes[p] + 1); break;
        }
    }
    return bytes;
}

class ObjectStreamFuzzTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The log's formatting runs too, into nowhere.
        sink_ = std::fopen("/dev/null", "w");
        setDebugFile(sink_);
    }
    void TearDown() override {
        setDebugFile(nullptr);
        std::fclose(sink_);
    }

    // Reads bytes and takes down whatever came of them.
    void readOnce(const StreamBytes& bytes, bool seekable, size_t round) {
        AllocationWatch watch;
        auto readFrom = [](DataSource&& source) {
            registerTypes(source);
            return StreamReader::read(source);
        };
        counted_ptr<Streamable> root = seekable ? readFrom(MemoryDataSource(bytes.data(), unsigned(bytes.size()), false))
                                                : readFrom(StreamingSource(bytes));
        size_t largest = watch.largest();
        watch.stop();
        // Bounded: the tables sized for ordinary scenes, and then no more
        // than a few words per byte of data (a text from a source that
        // cannot tell its length may take its first 64 KiB step).
        size_t bound = 2 * 65536 + 64 * bytes.size();
        ASSERT_LE(largest, bound) << "round " << round << ", " << bytes.size() << " bytes";
        ASSERT_TRUE(slotsHoldLiveObjects()) << "round " << round;
        // postRead ran: the read got through its end mark.
        if (!postReads().empty())
            ++fixedUp_;
        postReads().clear();
        root.release();
        destroyAll();
        ASSERT_TRUE(live().empty()) << "round " << round;
    }

    size_t fixedUp_ = 0;

private:
    FILE* sink_ = nullptr;
};

}  // namespace

TEST_F(ObjectStreamFuzzTest, ValidStreamsReadWhole) {
    for (const StreamBytes& bytes : validStreams()) {
        MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
        registerTypes(source);
        EXPECT_TRUE(StreamReader::read(source));
        EXPECT_TRUE(source.good());
        destroyAll();
    }
}

TEST_F(ObjectStreamFuzzTest, CutAtEveryLength) {
    size_t round = 0;
    for (const StreamBytes& bytes : validStreams()) {
        for (size_t n = 0; n <= bytes.size(); ++n) {
            StreamBytes cut(bytes.begin(), bytes.begin() + long(n));
            readOnce(cut, n % 2 == 0, round++);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_F(ObjectStreamFuzzTest, MutatedStreams) {
    std::vector<StreamBytes> valid = validStreams();
    std::mt19937 random(20240611);
    auto start = std::chrono::steady_clock::now();
    for (size_t round = 0; round < 20000; ++round) {
        StreamBytes bytes = mutate(valid[round % valid.size()], random);
        readOnce(bytes, round % 4 != 0, round);
        if (HasFatalFailure())
            return;
    }
    // Many damaged streams still get as far as filling their references,
    // with ids swapped for others: the deep paths ran.
    EXPECT_GT(fixedUp_, 2000u);
    // Reading never hangs: the whole run stays well inside a test's time.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
}
