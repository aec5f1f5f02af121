// The 3D view window's default scene (the lit teapot) at 800 x 600 on the
// display's driver (llvmpipe under Xvfb): frames per second alone and with
// 10,000 and 100,000 live sprite particles around it; and the cost of one
// particle's update, a flat pass over the records. After the first frame
// nothing is allocated.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <memory>

#include "TimeFrames.h"
#include "scene/Database.h"
#include "scene/Stopwatch.h"
#include "scene/render/KessaWindow.h"
#include "scene/render/ParticleInternals.h"
#include "scene/render/ParticleSystem.h"

namespace {

constexpr int width = 800, height = 600;

class BenchWindow : public kessa::KessaWindow {
public:
    BenchWindow() {
        setTitle("view bench");
        setResizable(false);
        setBounds({-1, -1, width, height});
        open();
        scene();
    }
    void addToFrame(kessa::RenderAccumulator& accumulator, pellium::GLRenderInfo&) override {
        if (!effect)
            return;
        effect->update(viewer().position(), centre, false);
        effect->accumulate(accumulator, viewer());
    }
    kessa::ParticleSystem* effect = nullptr;
    kessa::Vector centre;
};

// count live sprites around a point, drifting and falling onto a ground.
std::unique_ptr<kessa::ParticleSystem> cloud(int count, const kessa::Vector& at) {
    auto s = std::make_unique<kessa::ParticleSystem>();
    const std::pair<const char*, double> values[] = {
        {"enabled", 1},       {"birthrate", count}, {"particleType", 2}, {"outerRadius", 0.3},
        {"height", 0.3},      {"minLife", 1e5},     {"maxLife", 1e5},    {"minVelocity", 0.01},
        {"maxVelocity", 0.05}, {"gravity", 0.01},   {"ground", -0.2},    {"minSize", 0.02},
        {"maxSize", 0.05},    {"birthType", 0},     {"deathType", 0}};
    for (const auto& v : values)
        s->setParameter(v.first, v.second);
    s->reset(at);
    return s;
}

void frames(benchmark::State& state) {
    BenchWindow window;
    if (!window.isOpen()) {
        state.SkipWithError("no window");
        return;
    }
    std::unique_ptr<kessa::ParticleSystem> effect;
    if (state.range(0) > 0) {
        window.centre = window.scene()->bounds().centre();
        effect = cloud(int(state.range(0)), window.centre);
        window.effect = effect.get();
    }
    auto frame = [&] {
        kessa::Stopwatch::tick();
        window.paintGL();
        glFinish();
    };
    timeFrames(state, frame);
    state.counters["particles"] = effect ? double(effect->internals()->particles.size()) : 0;
}

void particleUpdate(benchmark::State& state) {
    const int count = int(state.range(0));
    std::unique_ptr<kessa::ParticleSystem> effect = cloud(count, kessa::Vector());
    effect->update(kessa::Vector(), kessa::Vector(), false);
    const unsigned long before = allocationCount();
    for (auto _ : state) {
        kessa::Stopwatch::tick();
        effect->update(kessa::Vector(), kessa::Vector(), false);
    }
    state.counters["new_per_update"] = double(allocationCount() - before) / double(state.iterations());
    state.counters["ns_per_particle"] = benchmark::Counter(double(state.iterations()) * count,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Real time: llvmpipe rasterises on threads of its own.
BENCHMARK(frames)->Name("BM_DefaultScene")->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->MinTime(3)->UseRealTime();
BENCHMARK(particleUpdate)->Name("BM_ParticleUpdate")->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
