#include "gui/gl/ResourceModule.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "gui/gl/ImageData.h"
#include "gui/gl/StandardBitmaps.h"

namespace pellium {

namespace {

uint32_t read32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

const ResourceModule::Bitmap* ResourceModule::bitmap(int id) const {
    auto found = bitmaps_.find(id);
    return found == bitmaps_.end() ? nullptr : &found->second;
}

const ResourceModule* ResourceModule::find(const char* libraryName) {
    if (!libraryName)
        return nullptr;
    const char* base = libraryName;
    for (const char* p = libraryName; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    if (strcasecmp(base, "comctl32.dll") == 0 || strcasecmp(base, "comctl32") == 0)
        return commonControlsModule();
    return nullptr;
}

Image decodeDib(const uint8_t* dib, size_t size) {
    if (!dib || size < 40)
        return Image();
    const uint32_t headerSize = read32(dib);
    const int32_t width = int32_t(read32(dib + 4));
    const int32_t rawHeight = int32_t(read32(dib + 8));
    const unsigned bits = read16(dib + 14);
    const uint32_t compression = read32(dib + 16);
    uint32_t colours = read32(dib + 32);
    if (headerSize < 40 || headerSize > size || compression != 0 || width < 1 || rawHeight == 0 ||
        !fileImageSizeAllowed(uint64_t(width), uint64_t(std::llabs(int64_t(rawHeight)))))
        return Image();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return Image();
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    if (bits <= 8 && (colours == 0 || colours > (1u << bits)))
        colours = 1u << bits;
    if (bits > 8)
        colours = 0;
    const size_t tableAt = headerSize;
    const size_t rowsAt = tableAt + size_t(colours) * 4;
    const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    if (rowsAt > size || stride * height > size - rowsAt)
        return Image();

    // Table entries are blue, green, red, reserved: our pixel order already.
    // Indices past a short table are opaque black, as every pixel is opaque.
    uint32_t table[256];
    std::fill(table, table + 256, 0xFF000000u);
    for (uint32_t i = 0; i < colours; ++i)
        table[i] = read32(dib + tableAt + i * 4) | 0xFF000000u;
    Image image(width, height);
    uint32_t* out = image.data()->pixels.data();
    for (int r = 0; r < height; ++r) {
        const uint8_t* row = dib + rowsAt + size_t(r) * stride;
        uint32_t* to = out + size_t(bottomUp ? r : height - 1 - r) * width;
        for (int x = 0; x < width; ++x) {
            switch (bits) {
            case 1:
                to[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                to[x] = table[(row[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                break;
            case 8:
                to[x] = table[row[x]];
                break;
            case 24:
                to[x] = 0xFF000000u | uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
                break;
            default:
                to[x] = read32(row + 4 * x) | 0xFF000000u;
                break;
            }
        }
    }
    return image;
}

void Image::loadBitmapResource(const ResourceModule* module, int id) {
    const ResourceModule::Bitmap* dib = module ? module->bitmap(id) : nullptr;
    *this = dib ? decodeDib(dib->data(), dib->size()) : Image();
}

}  // namespace pellium
