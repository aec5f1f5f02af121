// What a texture keeps for drawing: its picture when it has one in memory,
// and the GL textures made from it or from its files, one per frame of a
// sequence. Files with equal options share their GL textures through a
// process-wide cache.
#pragma once

#include <vector>

#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/gl/GLtexture.h"
#include "gui/gl/Image.h"

namespace kessa {

class Texture;

class TextureInternals {
public:
    explicit TextureInternals(Texture* texture);
    ~TextureInternals();
    TextureInternals(const TextureInternals&) = delete;
    TextureInternals& operator=(const TextureInternals&) = delete;

    // Makes the frames: from the picture in memory, else from the file (and
    // the files numbered after it, for a sequence) through the current image
    // reader. Without any, the black fallback texture.
    void load();
    // Binds the frame the engine clock selects, loading first when there are none.
    void bind();

    // Logs, binds the two white textures, then every live texture in the
    // order they were made.
    static void bindAll();
    // Every live texture's internals, in creation order.
    static int knownCount();

    Texture* texture;
    pellium::Image image;
    bool dirty = true;
    unsigned loadStamp = 0;
    float cycleTime = 1, inverseCycle = 1;
    int width = 0, height = 0;
    std::vector<orvel::counted_ptr<pellium::GLtexture>> frames;

private:
    orvel::counted_ptr<pellium::GLtexture> fileFrame(const orvel_string& file);
};

}  // namespace kessa
