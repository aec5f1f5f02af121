// Transforming points: the kind word lets a rotation-translation skip the
// homogeneous w that a general matrix needs. A million points (48 MB in and
// out) stream from memory; ten thousand stay in the cache and show the
// code's own cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/Random.h"

namespace {

std::vector<kessa::Vector> makePoints(std::size_t count) {
    kessa::Random random(4242);
    std::vector<kessa::Vector> points(count);
    for (kessa::Vector& p : points)
        p = kessa::Vector(random.next() * 200 - 100, random.next() * 200 - 100, random.next() * 200 - 100);
    return points;
}

kessa::Matrix rotationTranslation() {
    kessa::Matrix m;
    m.setEuler(10, 20, 30);
    m.translate(kessa::Vector(5, -3, 2));
    return m;
}

kessa::Matrix general() {
    // A perspective-style matrix: its fourth column is not (0, 0, 0, 1).
    const double values[16] = {1.2, 0, 0, 0, 0, 0.1, 1.5, 1, 0, 1.3, 0, 0, 0.5, -0.2, 0.3, 2};
    kessa::Matrix m;
    m.set(values);
    return m;
}

// Argument: the number of points.
void transformAll(benchmark::State& state, const kessa::Matrix& m) {
    const std::size_t count = std::size_t(state.range(0));
    std::vector<kessa::Vector> in = makePoints(count), out(count);
    for (auto _ : state) {
        m.transformPoints(in.data(), out.data(), count);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(count));
}

void BM_TransformGeneral(benchmark::State& state) { transformAll(state, general()); }
void BM_TransformRotationTranslation(benchmark::State& state) { transformAll(state, rotationTranslation()); }

void BM_BoundsSetTransformed(benchmark::State& state) {
    kessa::Bounds box, out;
    box.set(kessa::Vector(-1, -2, -3), kessa::Vector(4, 5, 6));
    kessa::Matrix m = rotationTranslation();
    for (auto _ : state) {
        out.setTransformed(box, m);
        benchmark::DoNotOptimize(out);
    }
}

}  // namespace

BENCHMARK(BM_TransformGeneral)->Arg(1000000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformRotationTranslation)->Arg(1000000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BoundsSetTransformed);
