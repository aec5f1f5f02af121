// Culling and gathering one frame of a 100,000-branch scene, without drawing:
// 1,000 groups of 100 leaves, half of the groups behind the camera. Each
// leaf hands one triangle batch to the render accumulator, as a geometry
// branch does. After the first frame nothing may be allocated.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "AllocationCount.h"
#include "scene/BranchRenderable.h"
#include "scene/Database.h"
#include "scene/GeoBunch.h"
#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"

namespace {

using kessa::Vector;

class Leaf : public kessa::Branch, public kessa::BranchRenderable {
public:
    Leaf(kessa::GeoBunch* bunch, const Vector& at) : bunch_(bunch) {
        setRenderable(this);
        box_.set(at, at + Vector(1, 1, 1));
    }
    void clean() override {
        bounds_ = box_;
        dirty_ = false;
    }
    void render(kessa::Traverser& t) override { t.accumulator().addBunch(bunch_, &t.modelview()); }

private:
    kessa::GeoBunch* bunch_;
    kessa::Bounds box_;
};

// shared: the leaves of every group show the same 100 batches (instanced
// geometry, 100 groups of batches a frame); otherwise each leaf has its own.
struct Scene {
    explicit Scene(bool shared) {
        const int batchCount = shared ? 100 : 100000;
        for (int i = 0; i < batchCount; ++i)
            bunches.push_back(std::make_unique<kessa::GeoBunch>());
        auto root = std::make_unique<kessa::GroupBranch>();
        for (int g = 0; g < 1000; ++g) {
            // Inside: a 10 x 50 grid of groups 100 to 400 units ahead;
            // outside: the same behind the camera.
            int k = g / 2;
            double y = (g % 2 ? -1 : 1) * (100 + (k / 10) * 6);
            Vector corner(-50 + (k % 10) * 10, y, -5);
            auto group = std::make_unique<kessa::GroupBranch>();
            for (int i = 0; i < 100; ++i) {
                kessa::GeoBunch* bunch = bunches[shared ? i : g * 100 + i].get();
                group->addChild(std::make_unique<Leaf>(bunch, corner + Vector(i % 10, 0, i / 10)));
            }
            root->addChild(std::move(group));
        }
        auto object = std::make_unique<kessa::Object>();
        object->attach(std::move(root));
        database.addObject(std::move(object));
        database.clean();
        viewer.setWindowSize(1024, 768);
    }

    // One frame without drawing; returns the batches gathered.
    int frame() {
        database.clean();
        walk.traverse(viewer);
        database.accumulate(walk);
        int gathered = walk.accumulator().itemCount(kessa::RenderAccumulator::solidStuff);
        walk.accumulator().reset();
        return gathered;
    }

    std::vector<std::unique_ptr<kessa::GeoBunch>> bunches;
    kessa::Database database;
    kessa::Viewer viewer;
    kessa::ViewCulledTraverser walk;
};

void cullAndAccumulate(benchmark::State& state) {
    Scene scene(state.range(0) != 0);
    int gathered = scene.frame();
    const unsigned long before = allocationCount();
    long frames = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.frame());
        ++frames;
    }
    state.counters["new_per_frame"] = double(allocationCount() - before) / double(frames);
    state.counters["gathered"] = gathered;
    state.counters["tests"] = double(scene.walk.testCount());
}

}  // namespace

BENCHMARK(cullAndAccumulate)->ArgName("shared")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
