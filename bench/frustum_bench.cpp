// Frustum tests of a million bounding records, and material switches through
// the applied-state cache.
#include <benchmark/benchmark.h>

#include <vector>

#include "gui/gl/GLcontext.h"
#include "scene/Bounds.h"
#include "scene/Random.h"
#include "scene/render/Material.h"
#include "scene/render/Viewer.h"

namespace {

// Records scattered through a box around the default viewer's frustum
// (which reaches 1000 ahead): some inside, some outside, some crossing.
std::vector<kessa::Bounds> scatter(int count, double size, bool spheres) {
    kessa::Random random(777);
    std::vector<kessa::Bounds> list(static_cast<size_t>(count));
    for (kessa::Bounds& b : list) {
        kessa::Vector c(random.next() * 1600 - 800, random.next() * 1200 - 100, random.next() * 1600 - 800);
        kessa::Vector h(size * random.next(), size * random.next(), size * random.next());
        b.set(c - h, c + h);
        if (spheres)
            b.setSphere(c, h.length());
    }
    return list;
}

kessa::ViewFrustum defaultFrustum() {
    kessa::Viewer viewer;
    viewer.setWindowSize(800, 600);
    return viewer.frustum();
}

// Argument: the number of records; a million of them (about 100 MB) stream from
// memory, ten thousand stay in the cache.
void testAll(benchmark::State& state, double size) {
    const int count = int(state.range(0));
    std::vector<kessa::Bounds> list = scatter(count, size, true);
    kessa::ViewFrustum frustum = defaultFrustum();
    long culled = 0;
    for (auto _ : state) {
        for (const kessa::Bounds& b : list)
            culled += frustum.test(b, kessa::ViewFrustum::allPlanes);
        benchmark::DoNotOptimize(culled);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["culled"] = double(culled) / double(state.iterations() * count);
}

// Small records: the sphere pass decides nearly all of them.
void BM_FrustumSpheres(benchmark::State& state) { testAll(state, 2); }
BENCHMARK(BM_FrustumSpheres)->Arg(1000000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Large boxes: many cross a plane and go on to the box and corner passes.
void BM_FrustumBoxes(benchmark::State& state) { testAll(state, 150); }
BENCHMARK(BM_FrustumBoxes)->Arg(1000000)->Arg(10000)->Unit(benchmark::kMillisecond);

bool context() {
    static bool made = pellium::ensureContext(nullptr) != 0;
    return made;
}

std::vector<orvel::counted_ptr<kessa::Material>> materials(int count) {
    std::vector<orvel::counted_ptr<kessa::Material>> list;
    for (int i = 0; i < count; ++i) {
        kessa::Material m(pellium::Color{float(i) / float(count), 0.5f, 1 - float(i) / float(count), 1});
        m.setLighting(true);
        m.setSmoothShading(i % 2 == 0);
        list.push_back(kessa::Material::share(m));
    }
    return list;
}

void switchBetween(benchmark::State& state, int count) {
    if (!context()) {
        state.SkipWithError("no GL context (no display)");
        return;
    }
    std::vector<orvel::counted_ptr<kessa::Material>> list = materials(count);
    kessa::Material::forgetAppliedState();
    kessa::Material::beginFrame();
    size_t i = 0;
    for (auto _ : state) {
        list[i]->apply();
        if (++i == list.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

// Every switch changes the colours and the shading.
void BM_MaterialSwitchesDiffering(benchmark::State& state) { switchBetween(state, 8); }
BENCHMARK(BM_MaterialSwitchesDiffering);

// A switch to an equal material sends nothing to GL.
void BM_MaterialSwitchesEqual(benchmark::State& state) { switchBetween(state, 1); }
BENCHMARK(BM_MaterialSwitchesEqual);

}  // namespace
