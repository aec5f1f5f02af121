#include "scene/render/Renderable.h"

namespace kessa {

void Renderable::render(pellium::GLRenderInfo& context, Viewer&) { draw(context); }

void Renderable::draw(pellium::GLRenderInfo&) {}

}  // namespace kessa
