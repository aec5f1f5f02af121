#include "gui/gl/FontCache.h"

#include <map>

#include "platform/FontBackend.h"

namespace pellium {

namespace {

struct Cache {
    std::map<FontKey, orvel::counted_ptr<Font>> fonts;
    unsigned generation = 0;
};

Cache& cache() {
    static Cache c;
    return c;
}

}  // namespace

orvel::counted_ptr<Font> FontCache::get(const FontKey& key) {
    Cache& c = cache();
    if (c.generation != platform::fontBackendGeneration()) {
        c.fonts.clear();
        c.generation = platform::fontBackendGeneration();
    }
    orvel::counted_ptr<Font>& slot = c.fonts[key];
    if (!slot)
        slot = orvel::counted_ptr<Font>(new Font(key));
    return slot;
}

void FontCache::clear() {
    cache().fonts.clear();
}

size_t FontCache::size() {
    return cache().fonts.size();
}

}  // namespace pellium
