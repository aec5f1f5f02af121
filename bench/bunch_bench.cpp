// Drawing triangle batches: 200 batches of 5,000 triangles each per frame in
// a 640 × 480 GL window, compiled into buffer objects and from client arrays
// (fullGLacceleration off). Reports frames per second, operator new calls
// per frame after the first, and the bytes a batch holds per triangle.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <memory>
#include <vector>

#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/GLwindow.h"
#include "scene/GeoBunchInternals.h"

#include "TimeFrames.h"

namespace {

using kessa::GeoBunch;

constexpr int width = 640, height = 480;
constexpr int batches = 200;
// A grid of 50 × 50 quads: 5,000 triangles over 2,601 vertices.
constexpr int cells = 50;

class BenchWindow : public pellium::GLwindow {
public:
    BenchWindow() {
        setTitle("bunch bench");
        setResizable(false);
        setBounds({-1, -1, width, height});
        open();
    }
    void initGL() override {}
    void render(pellium::GLRenderInfo&) override {}
};

// Batch i covers its own 32 × 48 pixel cell, as an indexed triangle list
// with colours and normals, the shape the batch builder makes.
std::unique_ptr<GeoBunch> gridBatch(int i) {
    const float x0 = float(i % 20) * 32, y0 = float(i / 20) * 48;
    orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
    orvel::ref_ptr<GeoBunch::color_data> c(new GeoBunch::color_data);
    orvel::ref_ptr<GeoBunch::normal_data> n(new GeoBunch::normal_data);
    orvel::ref_ptr<GeoBunch::index_data> list(new GeoBunch::index_data);
    for (int y = 0; y <= cells; ++y)
        for (int x = 0; x <= cells; ++x) {
            v->push_back({x0 + float(x) * 30 / cells, y0 + float(y) * 46 / cells, 0});
            c->push_back({(unsigned char)(x * 5), (unsigned char)(y * 5), (unsigned char)i, 255});
            n->push_back({0, 0, 1});
        }
    for (unsigned y = 0; y < cells; ++y)
        for (unsigned x = 0; x < cells; ++x) {
            unsigned a = y * (cells + 1) + x, b = a + 1, d = a + cells + 1, e = d + 1;
            for (unsigned k : {a, b, e, a, e, d})
                list->push_back(k);
        }
    auto bunch = std::make_unique<GeoBunch>();
    bunch->setVertexData(v, true);
    bunch->setColorData(c);
    bunch->setNormalData(n);
    bunch->setIndexData(list);
    return bunch;
}

double bytesPerTriangle(GeoBunch& b) {
    const kessa::GeoBunchInternals& in = b.internals();
    double bytes = double(sizeof(GeoBunch) + sizeof(kessa::GeoBunchInternals));
    bytes += double(in.vertices()->byteCount() + in.colors()->byteCount() + in.normals()->byteCount() +
                    in.indices()->byteCount());
    return bytes / b.triangleCount();
}

void drawBatches(benchmark::State& state, bool compiled) {
    BenchWindow window;
    if (!window.makeCurrent(&window)) {
        state.SkipWithError("no GL window");
        return;
    }
    pellium::resetGLState();
    pellium::GLRenderInfo info;
    info.width = width;
    info.height = height;
    glViewport(0, 0, width, height);
    pellium::setPixelProjection(info);
    pellium::fullGLacceleration = compiled;

    std::vector<std::unique_ptr<GeoBunch>> list;
    for (int i = 0; i < batches; ++i)
        list.push_back(gridBatch(i));
    auto frame = [&] {
        pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 1 | 2);
        for (auto& b : list)
            b->internals().render();
        glFinish();
    };
    timeFrames(state, frame);  // the first frame compiles
    state.counters["bytes_per_triangle"] = bytesPerTriangle(*list[0]);
    state.counters["triangles_per_frame"] = double(batches) * list[0]->triangleCount();
    pellium::fullGLacceleration = true;
}

void BM_DrawBatchesCompiled(benchmark::State& state) { drawBatches(state, true); }
void BM_DrawBatchesFromClientArrays(benchmark::State& state) { drawBatches(state, false); }

// Real time: llvmpipe rasterises on threads of its own.
BENCHMARK(BM_DrawBatchesCompiled)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
BENCHMARK(BM_DrawBatchesFromClientArrays)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

}  // namespace
