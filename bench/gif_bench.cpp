// GIF decoding of a 1024 x 1024, 256-colour picture: our reader against
// giflib on the same bytes. giflib also writes the test files. Rates are in
// megapixels per second ("items" are pixels).
#include <benchmark/benchmark.h>

#include <gif_lib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "gui/gl/GifReader.h"

namespace {

constexpr int side = 1024;
using Bytes = std::vector<unsigned char>;

int appendBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A picture like a photograph (smooth areas with grain), or pure noise, the
// worst case for LZW.
Bytes makeGif(bool noise) {
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[size_t(i)] = {GifByteType(i), GifByteType((i * 7) & 255), GifByteType(255 - i)};
    std::mt19937 random(1);
    std::vector<GifPixelType> indices(size_t(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            double v = 127.5 + 60 * std::sin(x * 0.013) * std::cos(y * 0.021) + 60 * std::sin((x + y) * 0.0041);
            int grain = int(random() % 5) - 2;
            indices[size_t(y) * side + x] = noise ? GifPixelType(random()) : GifPixelType(std::lround(v) + grain);
        }
    }
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, side, side, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr);
    for (int y = 0; y < side; ++y)
        EGifPutLine(gif, &indices[size_t(y) * side], side);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const Bytes& file(bool noise) {
    static const Bytes photo = makeGif(false), random = makeGif(true);
    return noise ? random : photo;
}

struct Reading {
    const Bytes* bytes;
    size_t pos;
};

int readBytes(GifFileType* gif, GifByteType* to, int n) {
    auto* r = static_cast<Reading*>(gif->UserData);
    size_t k = std::min(size_t(n), r->bytes->size() - r->pos);
    std::memcpy(to, r->bytes->data() + r->pos, k);
    r->pos += k;
    return int(k);
}

void ours(benchmark::State& state) {
    const Bytes& bytes = file(state.range(0) != 0);
    for (auto _ : state) {
        pellium::Image image;
        bool made = pellium::loadGIF(image, bytes.data(), bytes.size());
        if (!made)
            state.SkipWithError("the reader gave no image");
        benchmark::DoNotOptimize(image.constPixels());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.counters["file_kB"] = double(bytes.size()) / 1024;
}

// giflib to colour indices, the way it is usually called.
void giflibIndices(benchmark::State& state) {
    const Bytes& bytes = file(state.range(0) != 0);
    for (auto _ : state) {
        Reading reading{&bytes, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reading, readBytes, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK)
            state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

// giflib, then its indices turned into our 32-bit bottom-up pixels: the same
// output our reader makes.
void giflibPixels(benchmark::State& state) {
    const Bytes& bytes = file(state.range(0) != 0);
    std::vector<uint32_t> pixels(size_t(side) * side);
    for (auto _ : state) {
        Reading reading{&bytes, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reading, readBytes, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK)
            state.SkipWithError("giflib failed");
        uint32_t table[256];
        const ColorMapObject* map = gif->SColorMap;
        for (int i = 0; i < 256; ++i) {
            const GifColorType& c = map->Colors[i];
            table[i] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
        const GifByteType* in = gif->SavedImages[0].RasterBits;
        for (int y = 0; y < side; ++y) {
            uint32_t* row = &pixels[size_t(side - 1 - y) * side];
            for (int x = 0; x < side; ++x)
                row[x] = table[in[size_t(y) * side + x]];
        }
        benchmark::DoNotOptimize(pixels.data());
        DGifCloseFile(gif, &error);
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

}  // namespace

// Argument 0: the photograph-like picture; 1: noise.
BENCHMARK(ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(giflibIndices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(giflibPixels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
