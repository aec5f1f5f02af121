// Geometry queries over a scene of about 1,000,000 triangles (a heightfield
// of 640 x 640 quads and 400 spheres, split into geometry branches of at
// most 1,400 triangles): ray-triangle tests per second in a batch's inner
// loop, random first-hit rays through the database walk, one collision step
// of a short sphere move, welding grids of 500,000 and 1,000,000 corners,
// and welding fans of 20,000 to 320,000 triangles whose middle corners
// differ in their texture coordinates. Operator new calls per ray
// or move after the first are counted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "AllocationCount.h"
#include "scene/BunchSplitter.h"
#include "scene/CollisionAction.h"
#include "scene/Database.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/Ray.h"
#include "scene/RayTracer.h"
#include "scene/render/Texture.h"

namespace {

using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa::Vector;

constexpr int side = 640;
constexpr double spacing = 1.0;

double height(double x, double y) { return 4 * std::sin(x * 0.07) * std::cos(y * 0.05) + std::sin(x * 0.9 + y * 1.3); }

void addQuad(GeoBunchBuilder& b, const GeoBunch::Float3 (&p)[4]) {
    GeoBunchBuilder::Triangle t = {};
    const int corners[2][3] = {{0, 1, 2}, {1, 3, 2}};
    for (const auto& c : corners) {
        for (int k = 0; k < 3; ++k)
            t.corners[k].position = p[c[k]];
        b.triangles.push_back(t);
    }
}

// n x n quads from (x0, y0), one unit apart, on the height function (or flat).
void addGrid(GeoBunchBuilder& b, int n, double x0, double y0, bool flat) {
    auto at = [&](int i, int j) {
        double x = x0 + i * spacing, y = y0 + j * spacing;
        return GeoBunch::Float3{float(x), float(y), flat ? 0.0f : float(height(x, y))};
    };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            addQuad(b, {at(i, j), at(i + 1, j), at(i, j + 1), at(i + 1, j + 1)});
}

// A sphere of 16 x 15 quads (448 triangles, the poles' degenerate halves
// dropped by the build).
void addSphere(GeoBunchBuilder& b, const Vector& c, double r) {
    const double pi = 3.141592653589793;
    auto at = [&](int i, int j) {
        double u = 2 * pi * i / 16, v = pi * j / 15;
        return GeoBunch::Float3{float(c.x + r * std::cos(u) * std::sin(v)), float(c.y + r * std::sin(u) * std::sin(v)),
                                float(c.z + r * std::cos(v))};
    };
    for (int j = 0; j < 15; ++j)
        for (int i = 0; i < 16; ++i)
            addQuad(b, {at(i, j), at(i + 1, j), at(i, j + 1), at(i + 1, j + 1)});
}

struct World {
    World() {
        GeoBunchBuilder all;
        all.triangles.reserve(2 * side * side + 400 * 480);
        addGrid(all, side, 0, 0, false);
        std::mt19937 random(3);
        std::uniform_real_distribution<double> place(10, side - 10);
        for (int i = 0; i < 400; ++i) {
            double x = place(random), y = place(random);
            addSphere(all, {x, y, height(x, y) + 2}, 2);
        }
        triangles = all.triangles.size();
        auto object = std::make_unique<kessa::Object>();
        auto tree = std::make_unique<kessa::GroupBranch>();
        kessa::GeometryBranch noHook;
        kessa::splitBunch(noHook, *tree, all, 1);
        object->attach(std::move(tree));
        database.addObject(std::move(object));
        database.clean();
    }
    kessa::Database database;
    std::size_t triangles;
};

World& world() {
    static World w;
    return w;
}

void rayTriangleTests(benchmark::State& state) {
    GeoBunchBuilder b;
    addGrid(b, 100, 0, 0, false);
    GeoBunch bunch;
    bunch.setTriangles(b);
    std::mt19937 random(1);
    std::uniform_real_distribution<double> at(0, 100);
    std::vector<kessa::Ray> rays(256);
    for (kessa::Ray& r : rays) {
        r.setOrigin({at(random), at(random), 20});
        r.aimAt({at(random), at(random), -20});
    }
    std::size_t i = 0;
    for (auto _ : state) {
        kessa::RayHit hit;
        hit.distance = rays[i].length;
        benchmark::DoNotOptimize(bunch.intersectRay(rays[i], hit, false));
        i = (i + 1) % rays.size();
    }
    state.counters["tests_per_s"] =
        benchmark::Counter(double(state.iterations()) * bunch.triangleCount(), benchmark::Counter::kIsRate);
}

// Rays from 30 units above the ground to points on it, 20 to 60 units away.
void firstHitRays(benchmark::State& state) {
    World& w = world();
    std::mt19937 random(2);
    std::uniform_real_distribution<double> at(60, side - 60), offset(-40, 40);
    std::vector<kessa::Ray> rays(1024);
    for (kessa::Ray& r : rays) {
        double x = at(random), y = at(random);
        r.setOrigin({x, y, height(x, y) + 30});
        double tx = x + offset(random), ty = y + offset(random);
        r.aimAt({tx, ty, height(tx, ty) - 5});
    }
    kessa::RayTracer tracer;
    tracer.traceDatabase(rays[0], w.database);
    std::size_t i = 0, hits = 0;
    unsigned long allocated = 0;
    for (auto _ : state) {
        const unsigned long before = allocationCount();
        hits += tracer.traceDatabase(rays[i], w.database);
        allocated += allocationCount() - before;
        i = (i + 1) % rays.size();
    }
    state.counters["rays_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["new_per_ray"] = double(allocated) / double(state.iterations());
    state.counters["hit_share"] = double(hits) / double(state.iterations());
    state.counters["triangles"] = double(w.triangles);
}

// A sphere of radius 1 moved half a unit from just above the ground, down
// and forward into it, from many places.
void shortSphereMove(benchmark::State& state) {
    World& w = world();
    std::mt19937 random(4);
    std::uniform_real_distribution<double> at(20, side - 20);
    std::vector<Vector> starts(1024);
    for (Vector& p : starts) {
        p.x = at(random);
        p.y = at(random);
        p.z = height(p.x, p.y) + 1.2;
    }
    kessa::CollisionAction action;
    std::size_t i = 0, contacts = 0;
    unsigned long allocated = 0;
    auto moveOnce = [&] {
        const unsigned long before = allocationCount();
        action.setMotion(starts[i], {0.3, 0.3, -0.3}, 1.0);
        action.addCollider(&w.database);
        contacts += action.collide();
        allocated += allocationCount() - before;
        i = (i + 1) % starts.size();
    };
    moveOnce();
    allocated = 0;
    for (auto _ : state)
        moveOnce();
    state.counters["new_per_move"] = double(allocated) / double(state.iterations());
    state.counters["contact_share"] = double(contacts) / double(state.iterations() + 1);
    state.counters["gathered"] = double(w.database.triangles.size());
}

void weldGrid(benchmark::State& state) {
    // Two triangles, six corners, per quad.
    const int n = int(std::sqrt(double(state.range(0)) / 6));
    GeoBunchBuilder b;
    addGrid(b, n, 0, 0, true);
    for (auto _ : state) {
        GeoBunch bunch;
        bunch.setTriangles(b);
        benchmark::DoNotOptimize(bunch.vertexCount());
    }
    state.counters["corners"] = double(b.triangles.size() * 3);
}

// n triangles round one corner above a square, their far corners on a
// serpentine through a grid of unit steps; the middle corner's texture
// coordinates differ from triangle to triangle by more than welding allows.
void weldFan(benchmark::State& state) {
    const int n = int(state.range(0)), row = int(std::ceil(std::sqrt(double(n + 1))));
    auto rim = [row](int i) {
        const int y = i / row, x = y % 2 ? row - 1 - i % row : i % row;
        GeoBunchBuilder::Corner c = {};
        c.position = {float(x), float(y), 0};
        c.texCoords[0] = {float(x) / float(row), float(y) / float(row)};
        return c;
    };
    GeoBunchBuilder b;
    orvel::counted_ptr<kessa::Material> textured(new kessa::Material(pellium::Color{1, 1, 1, 1}));
    textured->setTexture(orvel::counted_ptr<kessa::Texture>(new kessa::Texture), 0);
    b.material.setMaterial(textured);
    for (int i = 0; i < n; ++i) {
        GeoBunchBuilder::Triangle t = {};
        t.corners[0].position = {row / 2.0f, row / 2.0f, 10};
        t.corners[0].texCoords[0] = {0.02f * float(i % 256), 0.02f * float(i / 256)};
        t.corners[1] = rim(i);
        t.corners[2] = rim(i + 1);
        b.triangles.push_back(t);
    }
    for (auto _ : state) {
        GeoBunch bunch;
        bunch.setTriangles(b);
        benchmark::DoNotOptimize(bunch.vertexCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(rayTriangleTests);
BENCHMARK(firstHitRays)->Unit(benchmark::kMicrosecond);
BENCHMARK(shortSphereMove)->Unit(benchmark::kMicrosecond);
BENCHMARK(weldGrid)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(weldFan)->Arg(20000)->Arg(40000)->Arg(80000)->Arg(160000)->Arg(320000)->Unit(benchmark::kMillisecond);
