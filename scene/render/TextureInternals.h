// What a texture keeps for drawing: its picture when it has one in memory,
// whether the GL side must be rebuilt, and its size once known.
#pragma once

#include "gui/gl/Image.h"

namespace kessa {

class Texture;

class TextureInternals {
public:
    explicit TextureInternals(Texture* texture);
    ~TextureInternals();
    TextureInternals(const TextureInternals&) = delete;
    TextureInternals& operator=(const TextureInternals&) = delete;

    // Every live texture's internals, in creation order.
    static int knownCount();

    Texture* texture;
    pellium::Image image;
    bool dirty = true;
    int width = 0, height = 0;
};

}  // namespace kessa
