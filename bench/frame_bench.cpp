// Culling and gathering one frame of a 100,000-branch scene, without drawing:
// 1,000 groups of 100 leaves, half of the groups behind the camera. Each
// leaf is a geometry branch with one triangle batch, or an instance of one
// of 100 such objects. After the first frame nothing may be allocated.
//
// Two layouts of the visible half: every group wholly inside the frustum
// (only the root and the groups are tested), or every group centred on one
// of the four side planes, as groups are while a camera flies through a
// world (each group straddles one plane and its leaves are tested).
//
// pad makes every leaf that many bytes larger, which moves the leaves, and
// what is made between them, against the 64-byte cache lines: the walk's
// time should not hang on the size a branch class happens to have. spacing
// is how far apart consecutive leaves lie.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "AllocationCount.h"
#include "scene/Database.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"

namespace {

using kessa::Vector;

template <class Leaf, std::size_t pad>
struct Padded : Leaf {
    char padding[pad];
};
template <class Leaf>
struct Padded<Leaf, 0> : Leaf {};

// A new Leaf, pad bytes larger (pad a multiple of 8 up to 64).
template <class Leaf, std::size_t... eighths>
std::unique_ptr<Leaf> makePadded(std::size_t pad, std::index_sequence<eighths...>) {
    using Maker = std::unique_ptr<Leaf> (*)();
    static const Maker makers[] = {
        []() -> std::unique_ptr<Leaf> { return std::make_unique<Padded<Leaf, 8 * eighths>>(); }...};
    return makers[pad / 8]();
}
template <class Leaf>
std::unique_ptr<Leaf> makeLeaf(std::size_t pad) {
    return makePadded<Leaf>(pad, std::make_index_sequence<9>());
}

// A unit square facing the camera, from corner at.
std::unique_ptr<kessa::GeometryBranch> square(const Vector& at, std::size_t pad = 0) {
    float x = float(at.x), y = float(at.y), z = float(at.z);
    kessa::GeoBunchBuilder b;
    kessa::GeoBunchBuilder::Triangle t = {};
    const kessa::GeoBunch::Float3 p[4] = {{x, y, z}, {x + 1, y, z}, {x, y, z + 1}, {x + 1, y, z + 1}};
    for (int half = 0; half < 2; ++half) {
        for (int k = 0; k < 3; ++k)
            t.corners[k].position = p[half + k];
        b.triangles.push_back(t);
    }
    auto branch = makeLeaf<kessa::GeometryBranch>(pad);
    branch->addTriangles(b);
    return branch;
}

// shared: the leaves of every group are instances of the same 100 objects
// (100 groups of batches a frame); otherwise each leaf has its own batch.
struct Scene {
    Scene(bool shared, bool straddling, std::size_t pad) {
        viewer.setWindowSize(1024, 768);
        const kessa::ViewFrustum& frustum = viewer.frustum();
        auto root = std::make_unique<kessa::GroupBranch>();
        kessa::Object* top = new kessa::Object;
        database.addObject(std::unique_ptr<kessa::Object>(top));
        std::vector<kessa::Object*> parts;
        for (int i = 0; shared && i < 100; ++i) {
            auto part = std::make_unique<kessa::Object>();
            part->attach(square(Vector(0, 0, 0)));
            parts.push_back(part.get());
            database.addObject(std::move(part));
        }
        for (int g = 0; g < 1000; ++g) {
            // Inside: a 10 x 50 grid of groups 100 to 400 units ahead;
            // outside: the same behind the camera.
            int k = g / 2;
            double y = (g % 2 ? -1 : 1) * (100 + (k / 10) * 6);
            Vector corner(-50 + (k % 10) * 10, y, -5);
            if (straddling && g % 2 == 0) {
                // Each group's centre (5, 0.5, 5) from its corner moved onto a
                // side plane, spread along it.
                static const int sides[4] = {kessa::ViewFrustum::firstColumn, kessa::ViewFrustum::firstRow,
                                             kessa::ViewFrustum::lastColumn, kessa::ViewFrustum::lastRow};
                const int side = sides[k % 4];
                const double* p = frustum.plane(side);
                const Vector n(p[1], p[2], p[3]);
                const double along = ((k / 4) % 3 - 1) * 12.0;
                const bool column = side == kessa::ViewFrustum::firstColumn || side == kessa::ViewFrustum::lastColumn;
                Vector centre(column ? 0 : along, 100 + (k / 12) * 7, column ? along : 0);
                centre = centre - n * (p[0] + n.dot(centre));
                corner = centre - Vector(5, 0.5, 5);
            }
            auto group = std::make_unique<kessa::GroupBranch>();
            for (int i = 0; i < 100; ++i) {
                Vector at = corner + Vector(i % 10, 0, i / 10);
                if (!shared) {
                    group->addChild(square(at, pad));
                    continue;
                }
                auto instance = makeLeaf<kessa::InstanceBranch>(pad);
                instance->setInstance(parts[std::size_t(i)]);
                kessa::Matrix m;
                m.setTranslation(at);
                instance->setMatrix(m);
                group->addChild(std::move(instance));
            }
            if (g == 0)
                first = group.get();
            root->addChild(std::move(group));
        }
        top->attach(std::move(root));
        database.clean();
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

    // The median distance in memory from one leaf to the next in the first
    // group.
    double spacing() {
        std::vector<std::intptr_t> steps;
        for (int i = 1; i < first->childCount(); ++i)
            steps.push_back(reinterpret_cast<std::intptr_t>(first->child(i)) -
                            reinterpret_cast<std::intptr_t>(first->child(i - 1)));
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        return double(steps[steps.size() / 2]);
    }

    kessa::Database database;
    kessa::Viewer viewer;
    kessa::ViewCulledTraverser walk;
    kessa::GroupBranch* first = nullptr;
};

void cullAndAccumulate(benchmark::State& state) {
    Scene scene(state.range(0) != 0, state.range(1) != 0, std::size_t(state.range(2)));
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
    state.counters["spacing"] = scene.spacing();
}

}  // namespace

BENCHMARK(cullAndAccumulate)
    ->ArgNames({"shared", "straddle", "pad"})
    ->ArgsProduct({{0, 1}, {0, 1}, benchmark::CreateDenseRange(0, 64, 8)})
    ->Unit(benchmark::kMillisecond);
