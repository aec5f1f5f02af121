// The software rasteriser's rates on an 800 x 600 back buffer: solid fills
// (pixels per second; the target is at least a gigapixel a second on one
// core), and text in the default GUI font and in 14-pixel Arial
// (characters per second).
#include <benchmark/benchmark.h>

#include "gui/gdiGraphics.h"
#include "gui/gl/Font.h"

namespace {

using pellium::GuiColor;

// Whole-surface fills, and fills of widget-sized rectangles.
void BM_SolidFill(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 800, 600});
    int i = 0;
    for (auto _ : state) {
        g.setColor((i++ & 1) ? GuiColor::face : GuiColor::window);
        g.fillRect({(i * 7) % (800 - w + 1), (i * 13) % (600 - h + 1), w, h});
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] = benchmark::Counter(double(state.iterations()) * w * h, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SolidFill)->Args({800, 600})->Args({80, 24})->Args({16, 16});

void BM_Text(benchmark::State& state) {
    pellium::Font font(pellium::FontKey(int(state.range(0)), int(state.range(1)), 0));
    const char* line = "The quick brown fox jumps over the lazy dog 0123456789";
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 800, 600});
    g.setColor(GuiColor::button_text);
    g.drawString(line, &font, 0, 300);  // the glyphs are made on first use
    int y = 0;
    for (auto _ : state) {
        g.drawString(line, &font, 4, 20 + (y++ % 28) * 20);
        benchmark::ClobberMemory();
    }
    state.counters["chars/s"] = benchmark::Counter(double(state.iterations()) * 54, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Text)->Args({127, 0})->Args({125, 14})->Args({124, 28});

}  // namespace
