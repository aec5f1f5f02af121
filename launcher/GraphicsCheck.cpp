#include "GraphicsCheck.h"

namespace game_launcher {

const char* graphicsCardProblem(const pellium::GLcaps& caps) {
    if (!caps.accelerated)
        return "No 3D graphics accelerator found. You probably need to update your graphics card driver...";
    if (caps.textureUnits < 2)
        return "Fatal graphics card error (not enough texture units).";
    return nullptr;
}

const char* driverCrashed(std::uint32_t code) { return code / 1000 == 30 ? " (graphics driver crashed)" : nullptr; }

}  // namespace game_launcher
