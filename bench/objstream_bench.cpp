// Object streams of 100,000 small scene-like nodes: a tree whose groups own
// their children, a plain reference to another node each, and a counted
// pointer to one of 100 shared materials. Writing and reading, per object.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "base/StreamWriter.h"

using namespace orvel;

namespace {

constexpr unsigned nodeCount = 100000;
constexpr unsigned materialCount = 100;

class Material : public Streamable {
public:
    void read(DataSource& source) override { source >> colour >> shine; }
    const char* typeName() const override { return "zanthorium::bench::Material"; }
    void write(DataDest& dest) override { dest << colour << shine; }

    unsigned colour = 0;
    float shine = 0;
};

// Tagged fields, as the scene classes write them.
class Node : public Streamable {
public:
    ~Node() override {
        for (Node* child : children)
            delete child;
    }
    void read(DataSource& source) override {
        for (;;) {
            unsigned tag = source.readCompact();
            if (tag == 0 || !source.good())
                return;
            switch (tag) {
            case 1: source >> value; break;
            case 2: source >> weight; break;
            case 3: source >> children; break;
            case 4: source.readStreamable(partner); break;
            case 5: source.readStreamable(material); break;
            default: break;
            }
        }
    }
    const char* typeName() const override { return "zanthorium::bench::Node"; }
    void write(DataDest& dest) override {
        dest.writeCompact(1) << value;
        dest.writeCompact(2) << weight;
        if (!children.empty())
            dest.writeCompact(3) << children;
        dest.writeCompact(4).writeStreamable(partner);
        dest.writeCompact(5).writeStreamable(material);
        dest.writeCompact(0);
    }

    int value = 0;
    float weight = 0;
    std::vector<Node*> children;
    Node* partner = nullptr;
    counted_ptr<Material> material;
};

void registerTypes(DataSource& source) {
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Node); });
    StreamReader::addFactory(source, [] { return static_cast<Streamable*>(new Material); });
}

// A tree of nodeCount nodes, up to four children each.
Node* makeScene() {
    std::mt19937 random(7);
    std::vector<counted_ptr<Material>> materials;
    for (unsigned i = 0; i < materialCount; ++i) {
        materials.push_back(counted_ptr<Material>(new Material));
        materials.back()->colour = i;
    }
    std::vector<Node*> nodes;
    for (unsigned i = 0; i < nodeCount; ++i) {
        Node* n = new Node;
        n->value = int(i);
        n->weight = float(i) * 0.5f;
        n->material = materials[random() % materialCount];
        if (i > 0)
            nodes[(i - 1) / 4]->children.push_back(n);
        nodes.push_back(n);
    }
    for (Node* n : nodes)
        n->partner = nodes[random() % nodeCount];
    return nodes[0];
}

const std::vector<unsigned char>& sceneBytes() {
    static const std::vector<unsigned char> bytes = [] {
        Node* scene = makeScene();
        MemoryDataDest dest;
        StreamWriter::write(dest, scene);
        delete scene;
        return std::vector<unsigned char>(dest.data(), dest.data() + dest.size());
    }();
    return bytes;
}

constexpr double objectCount = nodeCount + 2 * materialCount;

void BM_WriteStream(benchmark::State& state) {
    Node* scene = makeScene();
    size_t bytes = 0;
    for (auto _ : state) {
        MemoryDataDest dest;
        StreamWriter::write(dest, scene);
        bytes = dest.size();
        benchmark::DoNotOptimize(dest.data());
    }
    delete scene;
    state.SetItemsProcessed(int64_t(state.iterations() * objectCount));
    state.counters["bytes/object"] = double(bytes) / objectCount;
    state.counters["time/object"] = benchmark::Counter(objectCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ReadStream(benchmark::State& state) {
    const std::vector<unsigned char>& bytes = sceneBytes();
    for (auto _ : state) {
        MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
        registerTypes(source);
        counted_ptr<Streamable> root = StreamReader::read(source);
        if (!root)
            state.SkipWithError("the stream did not read");
        state.PauseTiming();
        root.release();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * objectCount));
    state.counters["bytes/object"] = double(bytes.size()) / objectCount;
    state.counters["time/object"] = benchmark::Counter(objectCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_WriteStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStream)->Unit(benchmark::kMillisecond);
