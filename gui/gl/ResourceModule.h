// Bitmap resources built into the program. Each module (the program, or a
// system library it loads by name, such as the common controls) has a table
// of packed device-independent bitmaps by id: a bitmap information header,
// its colour table, then the rows, as a resource section holds them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "base/orvel_string.h"
#include "gui/gl/Image.h"

namespace pellium {

class ResourceModule {
public:
    using Bitmap = std::vector<uint8_t>;

    explicit ResourceModule(const char* name) : name_(name) {}

    const orvel_string& name() const { return name_; }
    void addBitmap(int id, Bitmap dib) { bitmaps_[id] = std::move(dib); }
    // Null when the module has no bitmap of that id.
    const Bitmap* bitmap(int id) const;

    // The built-in module of a library file name (any case, with or without
    // its folder), or null. "comctl32.dll" holds the standard toolbar strip.
    static const ResourceModule* find(const char* libraryName);

private:
    orvel_string name_;
    std::map<int, Bitmap> bitmaps_;
};

// Id of the common controls' small standard toolbar strip: 16 x 16 cells,
// cut, copy, paste, undo, redo, delete, new, open and save, on silver.
constexpr int standardSmallColourBitmap = 120;

// Reads a packed bitmap (1, 4, 8, 24 or 32 bits a pixel, uncompressed, rows
// either way up) into a 32-bit bottom-up image with every alpha 255. An
// empty image when the bytes are not such a bitmap or are cut short.
Image decodeDib(const uint8_t* dib, size_t size);

}  // namespace pellium
