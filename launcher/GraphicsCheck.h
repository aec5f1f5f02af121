// What start-up tells the user about a graphics driver the program cannot use.
#pragma once

#include "gui/gl/GLcaps.h"

namespace game_launcher {

// The message for a driver without hardware acceleration or with fewer than
// two texture units; null when the driver will do.
const char* graphicsCardProblem(const pellium::GLcaps& caps);

}  // namespace game_launcher
