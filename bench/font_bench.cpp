// Building the glyph atlas of one font size (characters 32..126), in
// milliseconds: from nothing (making the font, which rasterises its glyphs
// once, then packing and drawing), and again for a font already made.
#include <benchmark/benchmark.h>

#include "gui/gl/Font.h"
#include "gui/gl/GlyphAtlas.h"

namespace {

using pellium::Font;
using pellium::FontKey;
using pellium::GlyphAtlas;

void BM_AtlasFromNewFont(benchmark::State& state) {
    const FontKey key(int(state.range(0)), int(state.range(1)), 0);
    const bool outline = state.range(2) != 0;
    for (auto _ : state) {
        Font font(key);
        GlyphAtlas atlas;
        benchmark::DoNotOptimize(atlas.build(font, 32, 126, outline));
    }
}

void BM_AtlasFromMadeFont(benchmark::State& state) {
    Font font(FontKey(int(state.range(0)), int(state.range(1)), 0));
    const bool outline = state.range(2) != 0;
    for (auto _ : state) {
        GlyphAtlas atlas;
        benchmark::DoNotOptimize(atlas.build(font, 32, 126, outline));
    }
}

// (face, size, outline): the default GL font, body text, a large title.
#define ATLAS_CASES(bm)                                                                               \
    BENCHMARK(bm)->Args({123, 0, 0})->Args({125, 14, 0})->Args({125, 14, 1})->Args({124, 28, 0})->Unit( \
        benchmark::kMillisecond)

ATLAS_CASES(BM_AtlasFromNewFont);
ATLAS_CASES(BM_AtlasFromMadeFont);

}  // namespace
