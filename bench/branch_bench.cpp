// Re-bounding a scene after one leaf changes: in a tree of 111,111 branches
// (five levels of ten-way groups over 100,000 leaves) only the leaf's
// ancestors may be recomputed, so a change costs a few hundred operations, not
// a walk of the tree. The full clean is there to compare. Size series of what
// once grew with the square: reading a stream of groups nested one in the
// next, top down and bottom up, and taking down many instances of one object.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "scene/Database.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"

namespace {

using kessa::Vector;

unsigned long leafCleans = 0;

class Leaf : public kessa::Branch {
public:
    explicit Leaf(double x) { box_.set({x, 0, 0}, {x + 1, 1, 1}); }
    void setBox(const kessa::Bounds& b) {
        box_ = b;
        markDirty();
    }
    void clean() override {
        ++leafCleans;
        bounds_ = box_;
        dirty_ = false;
    }

private:
    kessa::Bounds box_;
};

struct Tree {
    Tree() {
        auto object = std::make_unique<kessa::Object>();
        auto root = std::make_unique<kessa::GroupBranch>();
        fill(*root, 5, 0);
        object->attach(std::move(root));
        database.addObject(std::move(object));
        database.clean();
    }
    void fill(kessa::GroupBranch& g, int levels, double x) {
        for (int i = 0; i < 10; ++i) {
            double cx = x * 10 + i;
            if (levels == 1) {
                auto leaf = std::make_unique<Leaf>(cx);
                leaves.push_back(leaf.get());
                g.addChild(std::move(leaf));
            } else {
                auto child = std::make_unique<kessa::GroupBranch>();
                fill(*child, levels - 1, cx);
                g.addChild(std::move(child));
            }
        }
    }
    kessa::Database database;
    std::vector<Leaf*> leaves;
};

Tree& tree() {
    static Tree t;
    return t;
}

void BM_ReboundAfterOneLeafChanges(benchmark::State& state) {
    Tree& t = tree();
    Leaf* leaf = t.leaves[t.leaves.size() / 2];
    kessa::Bounds a, b;
    a.set({0, 0, 0}, {1, 1, 1});
    b.set({0, 0, 0}, {2, 1, 1});
    bool flip = false;
    unsigned long before = leafCleans;
    for (auto _ : state) {
        leaf->setBox(flip ? a : b);
        flip = !flip;
        t.database.clean();
        benchmark::DoNotOptimize(t.database.rootObject()->bounds());
    }
    state.counters["leavesCleaned"] = benchmark::Counter(double(leafCleans - before) / state.iterations());
}
BENCHMARK(BM_ReboundAfterOneLeafChanges);

void BM_GrowBoundsFromOneLeaf(benchmark::State& state) {
    Tree& t = tree();
    Leaf* leaf = t.leaves[t.leaves.size() / 3];
    double reach = 1e6;
    kessa::Bounds b;
    for (auto _ : state) {
        reach += 1;
        b.set({0, 0, 0}, {reach, 1, 1});
        benchmark::DoNotOptimize(leaf->growBounds(b));
    }
    t.database.rootObject()->markDirty();
}
BENCHMARK(BM_GrowBoundsFromOneLeaf);

void BM_FullClean(benchmark::State& state) {
    Tree& t = tree();
    for (auto _ : state) {
        state.PauseTiming();
        for (Leaf* leaf : t.leaves)
            leaf->markDirty();
        state.ResumeTiming();
        t.database.clean();
    }
}
BENCHMARK(BM_FullClean)->Unit(benchmark::kMillisecond);

// A stream of n groups, each the only child of the one before: 15 bytes a
// group. The first record is the top; bottom up, the others come deepest
// first, so that each group takes over a whole chain.
std::vector<unsigned char> nestedGroups(unsigned n, bool bottomUp) {
    std::vector<unsigned char> s;
    auto u32 = [&s](unsigned v) {
        for (int i = 0; i < 4; ++i)
            s.push_back((unsigned char)(v >> 8 * i));
    };
    const std::string header = "ZanthaStream 1.01\n", tag = "zanthorium::kessa::GroupBranch";
    s.insert(s.end(), header.begin(), header.end());
    s.push_back('?');
    s.push_back(1);
    s.push_back((unsigned char)tag.size());
    s.insert(s.end(), tag.begin(), tag.end());
    auto group = [&](unsigned id) {
        s.push_back('!');
        s.push_back(1);
        u32(id);
        if (id == n) {
            s.insert(s.end(), {2, 0, 0});
            return;
        }
        s.insert(s.end(), {8, 0, 1, 1});
        u32(id + 1);
        s.push_back(0);
    };
    group(1);
    for (unsigned k = 2; k <= n; ++k)
        group(bottomUp ? n + 2 - k : k);
    s.push_back('#');
    return s;
}

void readNestedGroups(benchmark::State& state) {
    const std::vector<unsigned char> bytes = nestedGroups(unsigned(state.range(0)), state.range(1));
    for (auto _ : state) {
        orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
        kessa::registerTypes(source);
        orvel::counted_ptr<orvel::Streamable> root = StreamReader::read(source);
        state.PauseTiming();
        root = nullptr;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(readNestedGroups)
    ->ArgNames({"groups", "bottomUp"})
    ->ArgsProduct({{10000, 40000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Taking down n instance branches of one object: the group that holds them
// first (they leave the object's table in the order they were bound), or
// the object first (the table empties from its end).
void dropInstances(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto object = std::make_unique<kessa::Object>();
        auto group = std::make_unique<kessa::GroupBranch>();
        for (int i = 0; i < n; ++i) {
            auto instance = std::make_unique<kessa::InstanceBranch>();
            instance->setInstance(object.get());
            group->addChild(std::move(instance));
        }
        state.ResumeTiming();
        if (state.range(1)) {
            object.reset();
            group.reset();
        } else {
            group.reset();
            object.reset();
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(dropInstances)
    ->ArgNames({"instances", "objectFirst"})
    ->ArgsProduct({{10000, 20000, 40000, 80000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
