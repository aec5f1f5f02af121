// What start-up tells the user about a graphics driver the program cannot use.
#pragma once

#include <cstdint>

#include "gui/gl/GLcaps.h"

namespace game_launcher {

// The message for a driver without hardware acceleration or with fewer than
// two texture units; null when the driver will do.
const char* graphicsCardProblem(const pellium::GLcaps& caps);

// What a crash at the progress word is blamed on: " (graphics driver
// crashed)" in a step of the graphics driver (the 30000s), null in a step
// of no driver's. Safe in a signal handler.
const char* driverCrashed(std::uint32_t code);

}  // namespace game_launcher
