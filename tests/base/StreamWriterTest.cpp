// Writing object streams: the exact layout the reader takes, and what a
// sink or a class that fails leaves.
#include <gtest/gtest.h>

#include <functional>

#include "base/FileDataDest.h"
#include "tests/base/StreamLayout.h"
#include "tests/base/StreamTestTypes.h"
#include "tests/base/StreamingSource.h"
#include "tests/support/LogCapture.h"
#include "tests/support/StreamRoundTrip.h"

using namespace orvel;
using namespace streamtest;

namespace {

using StreamWriterTest = StreamObjectsTest;

StreamBytes written(Streamable* root, bool swap = false, int mode = stringCompactLength) {
    MemoryDataDest dest;
    dest.swap = swap;
    dest.setStringMode(mode);
    EXPECT_TRUE(StreamWriter::write(dest, root));
    EXPECT_EQ(dest.swap, swap);
    EXPECT_EQ(dest.stringMode, mode);
    return StreamBytes(dest.data(), dest.data() + dest.size());
}

}  // namespace

// Header 1.01, each type declared once before its first object, ids from 1
// in the order met, references as ids, a counted holder as its record with
// the number of holders in the stream as its count; whatever the sink's
// byte order and string mode.
TEST_F(StreamWriterTest, WritesTheLayoutTheReaderReads) {
    const char* node = "zanthorium::test::Node";
    Node a(1), c(3);
    CountedNode b;
    b.value = 2;
    a.link = &b;
    b.link = &c;
    c.link = &a;
    EXPECT_EQ(written(&a, true, stringTerminated),
              header101() + declare(1, node) + record(1, 1, u32(1) + u32(2)) + declare(2, "zanthorium::test::CountedNode") +
                  record(2, 2, u32(2) + u32(3)) + record(1, 3, u32(3) + u32(1)) + endMark);

    Holder h;
    h.node = counted_ptr<Node>(new Node(9));
    counted_ptr<Node> outside = h.node;
    EXPECT_EQ(written(&h), header101() + declare(1, "zanthorium::test::Holder") + record(1, 1, u32(2)) +
                               declare(2, "internals::counted_ptr::orvel") + record(2, 2, u32(1) + u32(3)) + declare(3, node) +
                               record(3, 3, u32(9) + u32(0)) + endMark);
    EXPECT_EQ(written(nullptr), header101() + endMark);
    counted_ptr<MultiNode> multi(new MultiNode);  // its Streamable part is not its first
    MemoryDataDest fromHolder;
    EXPECT_TRUE(StreamWriter::write(fromHolder, multi));
    EXPECT_EQ(StreamBytes(fromHolder.data(), fromHolder.data() + fromHolder.size()), writeStream(multi.get()));

    // Outside a writer a reference writes nothing, a list its count only.
    MemoryDataDest dest;
    dest.writeStreamable(&a).writeStreamable(h.node);
    dest << std::vector<Node*>{&a, &c};
    EXPECT_EQ(StreamBytes(dest.data(), dest.data() + dest.size()), hex({2}));
}

TEST_F(StreamWriterTest, AFailingSinkOrBodyFailsTheWrite) {
    struct Broken : Node {
        void write(DataDest&) override { throw std::logic_error("cannot write"); }
    };
    LogCapture log;
    Node a(1);
    FileDataDest unopened(nullptr);
    EXPECT_FALSE(StreamWriter::write(unopened, &a));
    Broken b;
    a.link = &b;
    MemoryDataDest dest;
    EXPECT_FALSE(StreamWriter::write(dest, &a));
    EXPECT_FALSE(dest.good());
    EXPECT_NE(log.text().find("cannot write"), std::string::npos);
}

// The writer finds objects by running each body once: an object a body
// names only when it is really written is written too.
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
    counted_ptr<Streamable> root = readStream(writeStream(&a), registerTypes);
    EXPECT_EQ(shape(root.get()), "N0>@2, N5");
}

// More objects than the reader's tables are made ready for, from a source
// that cannot tell its length.
TEST_F(StreamWriterTest, ManyObjectsOutgrowTheReadyTables) {
    Graph* original = randomGraph(5000, 5);
    StreamingSource source(writeStream(original));
    registerTypes(source);
    counted_ptr<Streamable> copy = StreamReader::read(source);
    ASSERT_TRUE(copy);
    EXPECT_EQ(shape(copy.get()), shape(original));
}
