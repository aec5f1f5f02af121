// Polygons into batches: the teapot built and compiled at 8 and 32
// subdivisions, with the arenas off and on, and a flat ground of quads (on the plane through its own
// centre, the welder's hardest case) welded and compiled at 250,000,
// 500,000 and 1,000,000 polygons, to show both grow in proportion. With the
// arenas on, reports the heap allocations per polygon of building,
// welding and compiling the ground. Size series of the cases that once grew
// with the square: a ground with one triangle far away prepared, a fan of
// triangles round one vertex prepared, one polygon of many vertices
// compiled, ribbons and narrow grounds of triangles compiled (strips tried
// along them and refused), and grounds of many materials compiled.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "scene/GeoBunchBuilder.h"
#include "scene/MemoryOption.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/PolygonCompiler.h"
#include "scene/Teapot.h"
#include "scene/Vector.h"

#include "AllocationCount.h"

namespace {

using kessa::PolygonBranch;

using Corners = std::vector<kessa::Vector>;

void addPolygon(PolygonBranch& b, const Corners& corners) {
    std::unique_ptr<kessa::Polygon> p(new kessa::Polygon);
    for (const kessa::Vector& c : corners) {
        std::unique_ptr<kessa::PolygonVertex> v(new kessa::PolygonVertex);
        const double xyz[3] = {c.x, c.y, c.z};
        v->setPosition(xyz);
        p->addVertex(v);
    }
    b.addPolygon(std::move(p));
}

// side x side unit quads in z = 0, sharing their corners.
std::unique_ptr<PolygonBranch> ground(int side) {
    auto b = std::make_unique<PolygonBranch>();
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            addPolygon(*b, {{double(i), double(j), 0}, {i + 1.0, double(j), 0}, {i + 1.0, j + 1.0, 0}, {double(i), j + 1.0, 0}});
    return b;
}

// n triangles round one vertex above a square: their far corners follow a
// serpentine through a grid of unit steps, so that every two in a row are
// neighbours and the whole stays much larger than its steps.
std::unique_ptr<PolygonBranch> fan(int n) {
    auto b = std::make_unique<PolygonBranch>();
    const int row = int(std::ceil(std::sqrt(double(n + 1))));
    auto rim = [row](int i) {
        const int y = i / row;
        return kessa::Vector(y % 2 ? row - 1 - i % row : i % row, y, 0);
    };
    for (int i = 0; i < n; ++i)
        addPolygon(*b, {{row / 2.0, row / 2.0, 10}, rim(i), rim(i + 1)});
    return b;
}

// Times the preparation of a branch that make builds anew for each run,
// or, when compiling, its compiling after a preparation not timed.
template <class Make>
void timeBranch(benchmark::State& state, Make make, bool compiling, long items) {
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<PolygonBranch> b = make();
        kessa::GeoBunchBuilder builder;
        if (compiling)
            b->prepare();
        state.ResumeTiming();
        if (compiling)
            kessa::compilePolygons(builder, *b);
        else
            b->prepare();
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * items);
}

// With the arenas on as the program runs, a clean also drops the polygons
// and splits the batches of more than 1,400 triangles.
void teapot(benchmark::State& state) {
    if (state.range(1))
        kessa::enablePolygonArena();
    for (auto _ : state) {
        orvel::counted_ptr<kessa::Object> t = kessa::makeTeapot(int(state.range(0)), nullptr);
        t->clean();
        benchmark::DoNotOptimize(t.get());
    }
    kessa::disablePolygonArena();
}
BENCHMARK(teapot)->ArgNames({"n", "arenas"})->ArgsProduct({{8, 32}, {0, 1}})->Unit(benchmark::kMillisecond);

void weldGround(benchmark::State& state) {
    const int side = int(state.range(0));
    timeBranch(state, [side] { return ground(side); }, false, side * side);
}
BENCHMARK(weldGround)->Arg(500)->Arg(707)->Arg(1000)->Unit(benchmark::kMillisecond);

void compileGround(benchmark::State& state) {
    const int side = int(state.range(0));
    timeBranch(state, [side] { return ground(side); }, true, side * side);
}
BENCHMARK(compileGround)->Arg(500)->Arg(707)->Arg(1000)->Unit(benchmark::kMillisecond);

// The ground with one triangle a million million units away: its corners
// must not stretch the welding tolerance over the ground.
void farTriangle(benchmark::State& state) {
    const int side = int(state.range(0));
    auto make = [side] {
        std::unique_ptr<PolygonBranch> b = ground(side);
        addPolygon(*b, {{1e12, 0, 0}, {1e12 + 1, 0, 0}, {1e12, 1, 0}});
        return b;
    };
    timeBranch(state, make, false, side * side);
}
BENCHMARK(farTriangle)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

// Welding, neighbours and edges of a fan whose middle vertex has n
// polygons round it.
void fanPrepare(benchmark::State& state) {
    const int n = int(state.range(0));
    timeBranch(state, [n] { return fan(n); }, false, n);
}
BENCHMARK(fanPrepare)->Arg(16000)->Arg(32000)->Arg(64000)->Arg(128000)->Arg(256000)->Unit(benchmark::kMillisecond);

// One convex polygon of n vertices on a circle, compiled.
void polygonCompile(benchmark::State& state) {
    const int n = int(state.range(0));
    auto make = [n] {
        auto b = std::make_unique<PolygonBranch>();
        Corners corners;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * 3.141592653589793 * i / n;
            corners.emplace_back(1000 * std::cos(a), 1000 * std::sin(a), 0);
        }
        addPolygon(*b, corners);
        return b;
    };
    timeBranch(state, make, true, n);
}
BENCHMARK(polygonCompile)->Arg(25000)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The two triangles of each cell of a ground `across` cells wide and
// `triangles / across / 2` long, and one triangle more when the count is odd.
std::unique_ptr<PolygonBranch> triangulated(int across, int triangles) {
    auto b = std::make_unique<PolygonBranch>();
    const int along = triangles / across / 2;
    for (int j = 0; j < along; ++j)
        for (int i = 0; i < across; ++i) {
            const kessa::Vector p(i, j, 0), q(i + 1, j, 0), r(i + 1, j + 1, 0), s(i, j + 1, 0);
            addPolygon(*b, {p, q, r});
            addPolygon(*b, {p, r, s});
        }
    if (triangles % 2)
        addPolygon(*b, {{0, double(along), 0}, {1, double(along), 0}, {1, along + 1.0, 0}});
    return b;
}

// A ribbon of n triangles: with an even count every strip along it ends on
// the wrong parity and is refused.
void ribbonCompile(benchmark::State& state) {
    const int n = int(state.range(0));
    timeBranch(state, [n] { return triangulated(1, n); }, true, n);
}
BENCHMARK(ribbonCompile)->Arg(10000)->Arg(20000)->Arg(20001)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);

// Roads and rivers: grounds of triangles a few cells across.
void narrowGroundCompile(benchmark::State& state) {
    const int across = int(state.range(0)), n = int(state.range(1));
    timeBranch(state, [across, n] { return triangulated(across, n); }, true, n);
}
BENCHMARK(narrowGroundCompile)
    ->ArgNames({"across", "triangles"})
    ->ArgsProduct({{2, 4}, {20000, 40000, 80000}})
    ->Unit(benchmark::kMillisecond);

// A ground of side x side quads whose materials take turns, materials of
// them in all, or each quad with a material of its own (materials 0).
void materialsCompile(benchmark::State& state) {
    const int side = int(state.range(0)), count = int(state.range(1));
    auto make = [side, count] {
        std::unique_ptr<PolygonBranch> b = ground(side);
        std::vector<orvel::counted_ptr<kessa::Material>> materials;
        for (int i = 0; i < (count ? count : side * side); ++i)
            materials.emplace_back(new kessa::Material(pellium::Color{1, 1, 1, 1}));
        for (std::size_t i = 0; i < b->polygons().size(); ++i)
            b->polygons()[i]->setMaterial(materials[i % materials.size()]);
        return b;
    };
    timeBranch(state, make, true, side * side);
}
BENCHMARK(materialsCompile)
    ->ArgNames({"side", "materials"})
    ->Args({300, 1})
    ->Args({300, 1000})
    ->Args({300, 4000})
    ->Args({100, 0})
    ->Args({141, 0})
    ->Args({200, 0})
    ->Unit(benchmark::kMillisecond);

// Building a million polygons, welding and compiling them with the arenas
// on: the allocations that are left come with blocks and growing lists.
void arenaAllocations(benchmark::State& state) {
    kessa::enablePolygonArena();
    kessa::Material::getDefault();
    unsigned long allocations = 0;
    for (auto _ : state) {
        unsigned long before = allocationCount();
        std::unique_ptr<PolygonBranch> b = ground(1000);
        b->clean();
        allocations = allocationCount() - before;
    }
    kessa::disablePolygonArena();
    state.counters["allocations per polygon"] = double(allocations) / 1e6;
}
BENCHMARK(arenaAllocations)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
