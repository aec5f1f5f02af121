#include "gui/gl/GLmatrix.h"
#include "scene/Matrix.h"
#include "scene/render/RenderAccumulatorInternals.h"

namespace kessa {

void RenderAccumulator::loadModelview(const Matrix& m) {
    pellium::loadViewIdentity();
    m.multGL();
}

}  // namespace kessa
