// Small streamable classes for the object-stream tests. Every one of them
// is counted while alive, so tests can see what a read made, deleted or
// left behind. Only Owner owns others outright, as a scene group owns its
// children; everything else is owned through counted holders, so that any
// graph a stream describes can be taken down again by destroyAll.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"

namespace streamtest {

// Every test object alive.
std::set<orvel::Streamable*>& live();
// The order of postRead calls, by each object's value.
std::vector<int>& postReads();

class Owner;
// The Owner of every object that one owns.
std::map<const orvel::Streamable*, Owner*>& owners();

class Tracker {
public:
    explicit Tracker(orvel::Streamable* object) : object_(object) { live().insert(object); }
    ~Tracker() {
        live().erase(object_);
        owners().erase(object_);
    }
    Tracker(const Tracker&) = delete;
    Tracker& operator=(const Tracker&) = delete;

private:
    orvel::Streamable* object_;
};

// Body: 32-bit value, then one reference.
class Node : public orvel::Streamable {
public:
    explicit Node(int v = 0) : value(v) {}
    void read(orvel::DataSource& source) override;
    void postRead() override { postReads().push_back(value); }
    const char* typeName() const override { return "zanthorium::test::Node"; }
    void write(orvel::DataDest& dest) override;

    int value;
    Node* link = nullptr;

private:
    Tracker tracker_{this};
};

// A Node that calls noteCountedPtr while it is read, as the
// counted-pointer records do.
class CountedNode : public Node {
public:
    void read(orvel::DataSource& source) override;
    const char* typeName() const override { return "zanthorium::test::CountedNode"; }
};

// Body: one reference, to anything.
class Loose : public orvel::Streamable {
public:
    void read(orvel::DataSource& source) override { source.readStreamable(ref); }
    const char* typeName() const override { return "zanthorium::test::Loose"; }
    void write(orvel::DataDest& dest) override { dest.writeStreamable(ref); }

    orvel::Streamable* ref = nullptr;

private:
    Tracker tracker_{this};
};

// Body: one counted reference to a Node.
class Holder : public orvel::Streamable {
public:
    void read(orvel::DataSource& source) override { source.readStreamable(node); }
    // Counted holders are filled before any postRead.
    void postRead() override { seen = node ? node->value : -2; }
    const char* typeName() const override { return "zanthorium::test::Holder"; }
    void write(orvel::DataDest& dest) override { dest.writeStreamable(node); }

    orvel::counted_ptr<Node> node;
    int seen = -1;

private:
    Tracker tracker_{this};
};

// A base that comes before Streamable in MultiNode.
class Extra {
public:
    virtual ~Extra() = default;
    int payload = 0;
};

class Graph;

// Streamable is its second base, so its Streamable part does not start
// where the object does.
class MultiNode : public Extra, public orvel::Streamable {
public:
    void read(orvel::DataSource& source) override;
    const char* typeName() const override { return "zanthorium::test::MultiNode"; }
    void write(orvel::DataDest& dest) override;

    orvel::counted_ptr<Graph> next;
    Graph* back = nullptr;

private:
    Tracker tracker_{this};
};

// A node of any shape, with tagged fields as the scene classes have them:
// a compact tag and its payload, tag 0 ends the body, unknown tags are
// passed over.
class Graph : public orvel::Streamable {
public:
    void read(orvel::DataSource& source) override;
    void postRead() override { postReads().push_back(value); }
    const char* typeName() const override { return "zanthorium::test::Graph"; }
    void write(orvel::DataDest& dest) override;

    int value = 0;
    orvel_string name;
    double weight = 0;
    Graph* link = nullptr;
    orvel::counted_ptr<Graph> shared;
    std::vector<Graph*> list;
    orvel::counted_ptr<Extra> extra;
    MultiNode* multi = nullptr;

private:
    Tracker tracker_{this};
};

// Owns the Graphs and Owners it lists, through owning references: each has
// one Owner at most, and no Owner owns itself or an Owner above it.
// Body: a list of references.
class Owner : public orvel::Streamable {
public:
    Owner() = default;
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() override;
    void read(orvel::DataSource& source) override;
    const char* typeName() const override { return "zanthorium::test::Owner"; }
    void write(orvel::DataDest& dest) override { dest << owned; }

    // Lets go of what it owns without deleting it.
    void forget();

    std::vector<orvel::Streamable*> owned;

private:
    static bool take(void* owner, unsigned, orvel::Streamable* object);

    Tracker tracker_{this};
};

// Fails in read or postRead as its value asks; body as Node.
class Faulty : public Node {
public:
    enum : int { throwLogicInRead = 1, throwOtherInRead = 2, throwInPostRead = 3 };
    void read(orvel::DataSource& source) override;
    void postRead() override;
    const char* typeName() const override { return "zanthorium::test::Faulty"; }
};

// A graph of n Graphs and some MultiNodes with every kind of reference,
// shared objects and cycles among them, all reachable from the root.
Graph* randomGraph(unsigned n, unsigned seed);

// Owners two deep over Graphs, which share counted Graphs outside the tree
// and refer to one another through plain links and lists.
Owner* ownerTree();

// The graph reachable from root as one line, objects in the order first
// met: @k names the k-th, rK/C@k the K-th counted record met, of count C,
// holding @k. "N42>@2, N7" is a Node 42 linking to a Node 7.
std::string shape(const orvel::Streamable* root);

// Registers the classes above.
void registerTypes(orvel::DataSource& source);

// Releases every counted holder of every live test object, then deletes
// the objects still alive: takes down whatever graph a read left.
void destroyAll();

// Starts with no postRead seen and takes down whatever a test left; that
// is then everything.
class StreamObjectsTest : public ::testing::Test {
protected:
    void SetUp() override { postReads().clear(); }
    void TearDown() override {
        destroyAll();
        EXPECT_TRUE(live().empty());
    }
};

}  // namespace streamtest
