// Resampling: linear passes on 16.16 fixed-point positions, and exact
// halving by pairwise averages for the large reductions. Positions are 64-bit
// so that sides up to 65535 (and beyond) do not overflow.
#include <cstring>
#include <vector>

#include "gui/gl/Image.h"
#include "gui/gl/ImageData.h"

namespace pellium {

namespace {

using Pixels = std::vector<uint32_t>;

// Channel-wise (a * (65536 - f) + b * f) / 65536, rounded down.
inline uint32_t blend(uint32_t a, uint32_t b, uint32_t f) {
    if (f == 0 || a == b)
        return a;
    const uint32_t g = 65536 - f;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t c = (((a >> shift) & 0xFF) * g + ((b >> shift) & 0xFF) * f) >> 16;
        out |= c << shift;
    }
    return out;
}

// Channel-wise floor((a + b) / 2) for all four channels at once.
inline uint32_t average(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1); }

// Blends source samples into count outputs at the given 16.16 positions. A
// sample reads pixel i = position >> 16 and its next neighbour, or itself at
// the end. get(i) and put(k, ...) hide whether rows or columns are walked.
struct Positions {
    int64_t first;
    int64_t step;
};

Positions narrowing(int from, int to) { return {0, int64_t(from) * 65536 / to}; }
Positions lowering(int from, int to) {
    int64_t step = int64_t(from) * 65536 / to;
    return {step / 2, step};
}
// Widening fills from the far end down; written here as the position of output
// 0 so that exactly `to` outputs are made and none lands before the start.
Positions widening(int from, int to) {
    int64_t step = int64_t(from) * 65536 / to;
    // More than 65536 outputs per pixel: every one is the last pixel.
    if (step == 0)
        return {int64_t(from) * 65536 - 1, 0};
    return {int64_t(from) * 65536 - step / 2 - int64_t(to - 1) * step, step};
}

// One pass along the width: w x h to w2 x h.
Pixels resampleRows(const Pixels& in, int w, int h, int w2, Positions at) {
    Pixels out(size_t(w2) * h);
    std::vector<int> index(w2);
    std::vector<uint32_t> frac(w2);
    for (int k = 0; k < w2; ++k) {
        int64_t p = at.first + at.step * k;
        index[k] = int(p >> 16);
        frac[k] = uint32_t(p & 0xFFFF);
    }
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = &in[size_t(y) * w];
        uint32_t* dst = &out[size_t(y) * w2];
        for (int k = 0; k < w2; ++k) {
            int i = index[k];
            dst[k] = blend(row[i], row[i + 1 < w ? i + 1 : i], frac[k]);
        }
    }
    return out;
}

// One pass along the height: w x h to w x h2.
Pixels resampleColumns(const Pixels& in, int w, int h, int h2, Positions at) {
    Pixels out(size_t(w) * h2);
    for (int k = 0; k < h2; ++k) {
        int64_t p = at.first + at.step * k;
        int i = int(p >> 16);
        uint32_t f = uint32_t(p & 0xFFFF);
        const uint32_t* a = &in[size_t(i) * w];
        const uint32_t* b = &in[size_t(i + 1 < h ? i + 1 : i) * w];
        uint32_t* dst = &out[size_t(k) * w];
        for (int x = 0; x < w; ++x)
            dst[x] = blend(a[x], b[x], f);
    }
    return out;
}

Pixels halveRows(const Pixels& in, int w, int h) {
    const int half = w / 2;
    Pixels out(size_t(half) * h);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = &in[size_t(y) * w];
        uint32_t* dst = &out[size_t(y) * half];
        for (int k = 0; k < half; ++k)
            dst[k] = average(row[2 * k], row[2 * k + 1]);
    }
    return out;
}

Pixels halveColumns(const Pixels& in, int w, int h) {
    const int half = h / 2;
    Pixels out(size_t(w) * half);
    for (int k = 0; k < half; ++k) {
        const uint32_t* a = &in[size_t(2 * k) * w];
        const uint32_t* b = a + w;
        uint32_t* dst = &out[size_t(k) * w];
        for (int x = 0; x < w; ++x)
            dst[x] = average(a[x], b[x]);
    }
    return out;
}

void resampleWidth(Pixels& pixels, int w, int h, int w2) {
    if (w2 > w) {
        pixels = resampleRows(pixels, w, h, w2, widening(w, w2));
        return;
    }
    // Reach w2 by halving from the smallest w2 * 2^k that is not above w.
    int mid = w2;
    while (int64_t(mid) * 2 <= w)
        mid *= 2;
    if (mid != w)
        pixels = resampleRows(pixels, w, h, mid, narrowing(w, mid));
    for (; mid > w2; mid /= 2)
        pixels = halveRows(pixels, mid, h);
}

void resampleHeight(Pixels& pixels, int w, int h, int h2) {
    // An unchanged height keeps its rows: a pass from half a step would blend
    // every row with the next.
    if (h2 == h)
        return;
    if (h2 > h) {
        pixels = resampleColumns(pixels, w, h, h2, widening(h, h2));
        return;
    }
    // Unlike the width, the doubling stops strictly below h.
    int mid = h2;
    while (int64_t(mid) * 2 < h)
        mid *= 2;
    if (mid != h)
        pixels = resampleColumns(pixels, w, h, mid, lowering(h, mid));
    for (; mid > h2; mid /= 2)
        pixels = halveColumns(pixels, w, mid);
}

}  // namespace

void Image::resize(int width, int height) {
    if (width < 1 || height < 1) {
        release();
        return;
    }
    if (!data_) {
        data_ = new ImageData(width, height);
        return;
    }
    const int w = data_->width, h = data_->height;
    if (width == w && height == h)
        return;
    touch();
    resampleWidth(data_->pixels, w, h, width);
    resampleHeight(data_->pixels, width, h, height);
    data_->width = width;
    data_->height = height;
}

}  // namespace pellium
