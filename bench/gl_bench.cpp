// Drawing a 100,000-triangle indexed array from client memory and from buffer
// objects, and the cost of a state call that changes nothing. The grid is
// drawn into a square viewport of the given side: at 16 pixels its triangles
// are far below a pixel, so the vertex path is measured and not the filling
// of pixels. On Mesa's llvmpipe both paths cost the same: its vertex work
// runs on the calling thread and reads client arrays where they lie, so a
// buffer object saves no copy there; what buffers save is the transfer to a
// graphics card's own memory. Off-screen renders into a 256 x 256 picture
// (a plain client and the colour mixer's) count the framebuffer's binding,
// the drawing and the read-back. Needs a display (llvmpipe under Xvfb will do):
//   xvfb-run -a -s "-screen 0 1280x1024x24" build-release/bench/bench_gl
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <memory>
#include <vector>

#include "gui/gl/ColorMixerInternals.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/GLwindow.h"
#include "gui/gl/Image.h"
#include "gui/gl/VertexArray.h"

namespace {

constexpr int windowSide = 480;
constexpr int columns = 250, rows = 200;  // 250 × 200 cells of two triangles

class BenchWindow : public pellium::GLwindow {
public:
    BenchWindow() {
        setTitle("bench_gl");
        setResizable(false);
        setBounds({-1, -1, windowSide, windowSide});
        open();
    }
};

BenchWindow& window() {
    static BenchWindow w;
    return w;
}

// A grid over a side x side square, coloured by place, as one indexed triangle list.
std::unique_ptr<pellium::VertexArray> grid(int side) {
    int count = (columns + 1) * (rows + 1);
    std::vector<float> xyz;
    std::vector<unsigned char> colors;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c) {
            xyz.insert(xyz.end(), {float(c) * side / columns, float(r) * side / rows, 0});
            colors.insert(colors.end(), {(unsigned char)(c), (unsigned char)(r), 128, 255});
        }
    std::vector<int> indices;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            int v = r * (columns + 1) + c, up = v + columns + 1;
            indices.insert(indices.end(), {v, v + 1, up, up, v + 1, up + 1});
        }
    std::unique_ptr<pellium::VertexArray> a(new pellium::VertexArray(count));
    a->setVertices(xyz.data());
    a->setColors(colors.data());
    a->setIndices(indices.data(), int(indices.size()));
    return a;
}

bool prepare(benchmark::State& state, int side = windowSide) {
    if (!window().makeCurrent(&window())) {
        state.SkipWithError("no GL window (is there a display?)");
        return false;
    }
    pellium::GLRenderInfo info;
    info.width = side;
    info.height = side;
    pellium::setPixelProjection(info);
    pellium::disableGLState(5);
    return true;
}

void drawTriangles(benchmark::State& state, bool buffers) {
    const int side = int(state.range(0));
    if (!prepare(state, side))
        return;
    std::unique_ptr<pellium::VertexArray> a = grid(side);
    if (buffers && !a->makeVBO(false)) {
        state.SkipWithError("no buffer objects");
        return;
    }
    for (auto _ : state) {
        a->draw();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * columns * rows * 2);
    state.SetLabel("items = triangles; real time, as GL draws on its own threads");
}

void BM_TrianglesClientArrays(benchmark::State& state) { drawTriangles(state, false); }
void BM_TrianglesBufferObjects(benchmark::State& state) { drawTriangles(state, true); }
BENCHMARK(BM_TrianglesClientArrays)->Arg(16)->Arg(windowSide)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TrianglesBufferObjects)->Arg(16)->Arg(windowSide)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each call finds its state already set: a cache hit and no GL call.
void BM_StateCallThatChangesNothing(benchmark::State& state) {
    if (!prepare(state))
        return;
    pellium::enableGLState(4);
    for (auto _ : state) {
        pellium::enableGLState(4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StateCallThatChangesNothing);

void BM_BlendModeThatChangesNothing(benchmark::State& state) {
    if (!prepare(state))
        return;
    pellium::setBlendMode(2, 3);
    for (auto _ : state) {
        pellium::setBlendMode(2, 3);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlendModeThatChangesNothing);

// For scale: the same state sent to GL every time.
void BM_StateSentToGL(benchmark::State& state) {
    if (!prepare(state))
        return;
    for (auto _ : state) {
        glEnable(GL_ALPHA_TEST);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StateSentToGL);

// A cleared picture with one triangle across it, read back each time.
void BM_OffscreenRender256(benchmark::State& state) {
    struct Triangle : pellium::GLclient {
        void render(pellium::GLRenderInfo& info) override {
            glClearColor(0.2f, 0.3f, 0.4f, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glBegin(GL_TRIANGLES);
            glColor3f(1, 0, 0);
            glVertex2i(0, 0);
            glColor3f(0, 1, 0);
            glVertex2i(info.width, 0);
            glColor3f(0, 0, 1);
            glVertex2i(0, info.height);
            glEnd();
        }
    } client;
    pellium::Image picture(256, 256);
    for (auto _ : state)
        if (!picture.renderGL(client)) {
            state.SkipWithError("no off-screen rendering (is there a display?)");
            return;
        }
    state.SetLabel("real time");
}
BENCHMARK(BM_OffscreenRender256)->Unit(benchmark::kMillisecond)->UseRealTime();

// The colour mixer's picture at a new hue each time.
void BM_ColorMixerPicture256(benchmark::State& state) {
    pellium::ColorMixerInternals mixer(256);
    int hue = 0;
    for (auto _ : state) {
        mixer.hsv.hue = float(++hue % 360);
        if (!mixer.update()) {
            state.SkipWithError("the picture was not rendered");
            return;
        }
    }
    state.SetLabel("real time");
}
BENCHMARK(BM_ColorMixerPicture256)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
