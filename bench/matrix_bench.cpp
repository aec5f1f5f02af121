// Transforming a million points: the kind word lets a rotation-translation
// skip the homogeneous w that a general matrix needs.
#include <benchmark/benchmark.h>

#include <vector>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/Random.h"

namespace {

constexpr std::size_t pointCount = 1000000;

std::vector<kessa::Vector> makePoints() {
    kessa::Random random(4242);
    std::vector<kessa::Vector> points(pointCount);
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

void transformAll(benchmark::State& state, const kessa::Matrix& m) {
    std::vector<kessa::Vector> in = makePoints(), out(pointCount);
    for (auto _ : state) {
        m.transformPoints(in.data(), out.data(), pointCount);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pointCount);
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

BENCHMARK(BM_TransformGeneral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransformRotationTranslation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoundsSetTransformed);
