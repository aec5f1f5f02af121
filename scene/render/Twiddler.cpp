#include "scene/render/Twiddler.h"

#include <algorithm>

#include "gui/Event.h"
#include "gui/Window.h"

namespace kessa {

Twiddler::Twiddler(pellium::Window& w, const pellium::Event& start)
    : window(w), width(std::max(1, w.getBounds().width)), height(std::max(1, w.getBounds().height)) {
    refresh(start);
}

void Twiddler::refresh(const pellium::Event& event, bool position) {
    if (position && event.x >= 0) {
        x = event.x;
        y = event.y;
    }
    left = event.left != 0;
    middle = event.middle != 0;
    right = event.right != 0;
}

}  // namespace kessa
