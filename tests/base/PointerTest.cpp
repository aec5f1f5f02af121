#include <gtest/gtest.h>

#include <memory>

#include "base/OwnedPtr.h"
#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "base/handle.h"

namespace {

int liveObjects = 0;

struct Node : orvel::Refcountable {
    Node() { ++liveObjects; }
    ~Node() override { --liveObjects; }
    orvel::ref_ptr<Node> next;
};

struct Shape {
    Shape() { ++liveObjects; }
    virtual ~Shape() { --liveObjects; }
    orvel::counted_ptr<Shape> next;
};

struct Circle : Shape {};

struct Record : orvel::HandleRecord {
    Record() { ++liveObjects; }
    ~Record() { --liveObjects; }
};

class PointerTest : public ::testing::Test {
protected:
    void SetUp() override { liveObjects = 0; }
    void TearDown() override { EXPECT_EQ(liveObjects, 0); }
};

// p = p->next where the old object holds the only count of the next one,
// and p = p: the new object is counted before the old one is released.
template <class P, class T>
void expectChainAndSelfAssignmentSafe() {
    P p(new T);
    p->next = P(new T);
    p->next->next = P(new T);
    const P& alias = p;
    p = alias;
    p = p->next;
    EXPECT_EQ(liveObjects, 2);
    p = p->next;
    EXPECT_EQ(liveObjects, 1);
}

TEST_F(PointerTest, ChainAndSelfAssignment) {
    expectChainAndSelfAssignmentSafe<orvel::ref_ptr<Node>, Node>();
    expectChainAndSelfAssignmentSafe<orvel::counted_ptr<Shape>, Shape>();
    orvel::handle<Record> a(new Record), b;
    b = a;
    const orvel::handle<Record>& alias = b;
    b = alias;
    EXPECT_EQ(a->handleCount, 2u);
    a.release();
    EXPECT_EQ(liveObjects, 1);
    b.release();
    b.release();
    EXPECT_FALSE(b);
}

TEST_F(PointerTest, RefPtrDeletesAnObjectCountedFromZero) {
    Node* n = new Node;
    orvel::ref_ptr<Node> p(n), q(p);
    EXPECT_EQ(n->refCount(), 2u);
    struct Plain : orvel::Refcountable {};
    orvel::ref_ptr<Plain> counted(new Plain);
    EXPECT_EQ(Plain(*counted).refCount(), 0u);  // a copy is a new object, counted by nothing
    q = p.get();
    p.reset();
    EXPECT_EQ(liveObjects, 1);
    q.reset();
    q.reset();
    EXPECT_FALSE(q);
}

TEST_F(PointerTest, CountedPtrTakeMovesTheOnlyHoldersPointeeOut) {
    orvel::counted_ptr<Shape> alone(new Shape), shared(new Shape), sharer(shared);
    std::unique_ptr<Shape> taken(alone.take());
    EXPECT_NE(taken, nullptr);
    EXPECT_FALSE(alone);
    EXPECT_EQ(liveObjects, 2) << "the pointee outlives its record";
    EXPECT_EQ(shared.take(), nullptr);
    EXPECT_EQ(shared.useCount(), 2u);
}

TEST_F(PointerTest, CountedPtrCastsShareTheRecord) {
    orvel::counted_ptr<Circle> c(new Circle);
    orvel::counted_ptr<Shape> s(c), none(static_cast<Shape*>(nullptr));
    orvel::counted_ptr<Circle> back = s.cast<Circle>();
    EXPECT_EQ(back.get(), c.get());
    EXPECT_EQ(back.record(), c.record());
    EXPECT_EQ(c.useCount(), 3u);
    EXPECT_EQ(none.record(), nullptr);
    orvel::counted_ptr<Shape> plain(new Shape);
    EXPECT_FALSE(plain.cast<Circle>());
    c.release();
    s.release();
    EXPECT_EQ(liveObjects, 2);
}

TEST_F(PointerTest, OwnedPtrReleaseForgetsTheObject) {
    orvel::OwnedPtr<Shape> p(new Circle);
    p.release();
    EXPECT_EQ(liveObjects, 0);
    EXPECT_FALSE(p);
    p.release();  // must not delete again
    p.reset(new Shape);
    p.reset(new Shape);
    EXPECT_EQ(liveObjects, 1);
    orvel::OwnedPtr<Shape> q(new Shape);
    q = std::move(p);
    EXPECT_EQ(liveObjects, 1);
}

}  // namespace
