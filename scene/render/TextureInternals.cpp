#include "scene/render/TextureInternals.h"

#include <algorithm>
#include <vector>

namespace kessa {

namespace {

std::vector<TextureInternals*>& known() {
    static std::vector<TextureInternals*> list;
    return list;
}

}  // namespace

TextureInternals::TextureInternals(Texture* t) : texture(t) { known().push_back(this); }

TextureInternals::~TextureInternals() {
    std::vector<TextureInternals*>& list = known();
    list.erase(std::find(list.begin(), list.end(), this));
}

int TextureInternals::knownCount() { return int(known().size()); }

}  // namespace kessa
