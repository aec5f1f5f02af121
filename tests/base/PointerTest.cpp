#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/OwnedPtr.h"
#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "base/handle.h"

namespace {

std::atomic<int> liveNodes{0};

struct Node : orvel::Refcountable {
    Node() { ++liveNodes; }
    ~Node() override { --liveNodes; }
    orvel::ref_ptr<Node> next;
};

struct Shape {
    Shape() { ++liveNodes; }
    virtual ~Shape() { --liveNodes; }
    orvel::counted_ptr<Shape> next;
};

struct Circle : Shape {
    int radius = 3;
};

struct Record : orvel::HandleRecord {
    Record() { ++liveNodes; }
    ~Record() { --liveNodes; }
};

// Two holders of one object: the first release leaves it alive, the second
// deletes it, and releasing again does nothing.
template <class P>
void expectReleasedByTheLast(P& first, P& second) {
    first.release();
    EXPECT_EQ(liveNodes, 1);
    EXPECT_FALSE(first);
    second.release();
    EXPECT_EQ(liveNodes, 0);
    second.release();
}

class PointerTest : public ::testing::Test {
protected:
    void SetUp() override { liveNodes = 0; }
    void TearDown() override { EXPECT_EQ(liveNodes, 0); }
};

TEST_F(PointerTest, RefPtrSelfAndChainAssignment) {
    orvel::ref_ptr<Node> a(new Node);
    orvel::ref_ptr<Node> b(a);
    EXPECT_EQ(a->refCount(), 2u);
    a = a;
    a = b;
    b = a.get();
    EXPECT_EQ(a->refCount(), 2u);
    EXPECT_EQ(liveNodes, 1);
    b.reset();

    // a = a->next where the old node holds the only reference to the next one.
    a->next = new Node;
    a->next->next = new Node;
    EXPECT_EQ(liveNodes, 3);
    a = a->next;
    EXPECT_EQ(liveNodes, 2);
    a = a->next;
    EXPECT_EQ(liveNodes, 1);
    EXPECT_EQ(a->refCount(), 1u);
}

TEST_F(PointerTest, RefPtrZeroCountObjectIsDeletedOnRelease) {
    Node* n = new Node;
    EXPECT_EQ(n->refCount(), 0u);
    orvel::ref_ptr<Node> p(n);
    EXPECT_EQ(n->refCount(), 1u);
    p.reset();
    EXPECT_EQ(liveNodes, 0);
    EXPECT_FALSE(p);
    p.reset();  // null release does nothing
}

TEST_F(PointerTest, RefcountableCopyStartsUncounted) {
    struct Plain : orvel::Refcountable {};
    orvel::ref_ptr<Plain> a(new Plain);
    orvel::ref_ptr<Plain> b(a);
    Plain onStack(*a);
    EXPECT_EQ(onStack.refCount(), 0u);
    EXPECT_EQ(a->refCount(), 2u);
}

TEST_F(PointerTest, CountedPtrCopiesShareOneRecord) {
    orvel::counted_ptr<Shape> a(new Shape);
    orvel::counted_ptr<Shape> b(a);
    EXPECT_EQ(a.useCount(), 2u);
    EXPECT_EQ(a.record(), b.record());
    expectReleasedByTheLast(a, b);
}

TEST_F(PointerTest, CountedPtrNullHasNoRecord) {
    orvel::counted_ptr<Shape> n(static_cast<Shape*>(nullptr));
    EXPECT_EQ(n.record(), nullptr);
    EXPECT_EQ(n.useCount(), 0u);
    n.release();
}

TEST_F(PointerTest, CountedPtrSelfAndChainAssignment) {
    orvel::counted_ptr<Shape> a(new Shape);
    a = a;
    EXPECT_EQ(a.useCount(), 1u);
    EXPECT_EQ(liveNodes, 1);
    a->next = orvel::counted_ptr<Shape>(new Shape);
    a->next->next = orvel::counted_ptr<Shape>(new Shape);
    a = a->next;
    EXPECT_EQ(liveNodes, 2);
    a = a->next;
    EXPECT_EQ(liveNodes, 1);
    EXPECT_EQ(a.useCount(), 1u);
}

TEST_F(PointerTest, CountedPtrUpAndDownCastsShareTheRecord) {
    orvel::counted_ptr<Circle> c(new Circle);
    orvel::counted_ptr<Shape> s(c);
    EXPECT_EQ(c.useCount(), 2u);
    orvel::counted_ptr<Circle> back = s.cast<Circle>();
    EXPECT_EQ(back.get(), c.get());
    EXPECT_EQ(back->radius, 3);
    EXPECT_EQ(c.useCount(), 3u);
    orvel::counted_ptr<Shape> plain(new Shape);
    EXPECT_FALSE(plain.cast<Circle>());
    c.release();
    s.release();
    EXPECT_EQ(liveNodes, 2);
    back.release();
    plain.release();
}

TEST_F(PointerTest, HandleCountsAndFreesItsRecord) {
    orvel::handle<Record> a(new Record);
    orvel::handle<Record> b;
    b = a;
    EXPECT_EQ(a->handleCount, 2u);
    b = b;
    EXPECT_EQ(a->handleCount, 2u);
    expectReleasedByTheLast(a, b);
}

TEST_F(PointerTest, OwnedPtrReleaseClearsTheHolder) {
    orvel::OwnedPtr<Shape> p(new Circle);
    p.release();
    EXPECT_EQ(liveNodes, 0);
    EXPECT_FALSE(p);
    p.release();  // must not delete again
    p.reset(new Shape);
    p.reset(new Shape);
    EXPECT_EQ(liveNodes, 1);
}

TEST_F(PointerTest, CountsStayRightWhenEachThreadOwnsItsObjects) {
    // Counts are not atomic: each thread works on its own objects, and the
    // totals must come out exact.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 2000; ++i) {
                orvel::counted_ptr<Shape> a(new Circle);
                std::vector<orvel::counted_ptr<Shape>> copies(8, a);
                if (a.useCount() != 9)
                    ++wrong;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
