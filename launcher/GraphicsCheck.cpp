#include "GraphicsCheck.h"

namespace game_launcher {

const char* graphicsCardProblem(const pellium::GLcaps& caps) {
    if (!caps.accelerated)
        return "No 3D graphics accelerator found. You probably need to update your graphics card driver...";
    if (caps.textureUnits < 2)
        return "Fatal graphics card error (not enough texture units).";
    return nullptr;
}

}  // namespace game_launcher
